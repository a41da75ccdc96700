#pragma once
// The normal rules of a ground program by content, so that a rule instance
// equal to an earlier one (same head type, head atoms and body literals, as
// given: callers pass them sorted) is not added twice. Open addressing over
// rule numbers.

#include "ground/flat_map.hpp"
#include "ground/ground_program.hpp"
#include "ground/id_table.hpp"

#include <algorithm>
#include <span>

namespace Gondra::Ground {

class RuleSet {
public:
    // Adds the rule to the program unless an equal rule is there; false when it was.
    bool add(GroundProgram& program, HeadType type, std::span<Atom const> head,
             std::span<Literal const> body) {
        if (program.rules.size() < known_) clear(); // the program was replaced
        auto h = static_cast<uint32_t>(hash(type, head, body));
        auto next = static_cast<uint32_t>(program.rules.size());
        // Contents decide: a rule number of a replaced program can at worst miss a duplicate.
        auto same = [&](uint32_t rule) {
            return rule < program.rules.size() && equal(program, program.rules[rule], type, head, body);
        };
        bool fresh = rules_.insert(h, next, same).second;
        if (fresh) {
            program.add_rule(type, head, body);
            known_ = program.rules.size();
        }
        return fresh;
    }

private:
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

    void clear() {
        rules_ = {};
        known_ = 0;
    }

    IdTable rules_;
    size_t known_ = 0; // rules of the program at the last add
};

} // namespace Gondra::Ground
