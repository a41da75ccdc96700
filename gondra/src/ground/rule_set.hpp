#pragma once
// The normal rules of a ground program by content, so that a rule instance
// equal to an earlier one (same head type, head atoms and body literals, as
// given: callers pass them sorted) is not added twice. Open addressing over
// rule numbers; slots keep 32 bits of the rules' hashes (enough to place
// them in any table that fits in memory), so that neither probing nor
// growing reads the rules themselves, and a slot takes 8 bytes.

#include "ground/flat_map.hpp"
#include "ground/ground_program.hpp"

#include <algorithm>
#include <span>
#include <vector>

namespace Gondra::Ground {

class RuleSet {
public:
    // Adds the rule to the program unless an equal rule is there; false when it was.
    bool add(GroundProgram& program, HeadType type, std::span<Atom const> head,
             std::span<Literal const> body) {
        if (program.rules.size() < known_) clear(); // the program was replaced
        auto h = static_cast<uint32_t>(hash(type, head, body));
        if (2 * (size_ + 1) > slots_.size()) grow();
        size_t mask = slots_.size() - 1;
        for (size_t i = h & mask;; i = (i + 1) & mask) {
            Slot& s = slots_[i];
            if (s.rule == empty) {
                s = {h, static_cast<uint32_t>(program.rules.size())};
                ++size_;
                program.add_rule(type, head, body);
                known_ = program.rules.size();
                return true;
            }
            // Contents decide: a slot of a replaced program can at worst miss a duplicate.
            if (s.hash == h && s.rule < program.rules.size() &&
                equal(program, program.rules[s.rule], type, head, body))
                return false;
        }
    }

private:
    static constexpr uint32_t empty = UINT32_MAX;
    struct Slot {
        uint32_t hash = 0;
        uint32_t rule = empty;
    };

    static uint64_t hash(HeadType type, std::span<Atom const> head, std::span<Literal const> body) {
        uint64_t h = combine64(0x6a09e667f3bcc909ULL, static_cast<uint64_t>(type) + 1);
        for (Atom a : head)
            h = combine64(h, a);
        h = combine64(h, 0xbb67ae8584caa73bULL);
        for (Literal l : body)
            h = combine64(h, static_cast<uint32_t>(l));
        return h;
    }

    static bool equal(GroundProgram const& p, Rule const& r, HeadType type, std::span<Atom const> head,
                      std::span<Literal const> body) {
        if (r.body_type != BodyType::normal || r.head_type != type) return false;
        auto rh = p.head(r);
        auto rb = p.body(r);
        return std::equal(rh.begin(), rh.end(), head.begin(), head.end()) &&
               std::equal(rb.begin(), rb.end(), body.begin(), body.end(),
                          [](WeightLiteral const& w, Literal l) { return w.literal == l; });
    }

    void grow() {
        std::vector<Slot> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 64 : 2 * old.size(), Slot{});
        size_t mask = slots_.size() - 1;
        for (Slot const& s : old) {
            if (s.rule == empty) continue;
            size_t i = s.hash & mask;
            while (slots_[i].rule != empty)
                i = (i + 1) & mask;
            slots_[i] = s;
        }
    }

    void clear() {
        slots_.clear();
        size_ = 0;
        known_ = 0;
    }

    std::vector<Slot> slots_;
    size_t size_ = 0;
    size_t known_ = 0; // rules of the program at the last add
};

} // namespace Gondra::Ground
