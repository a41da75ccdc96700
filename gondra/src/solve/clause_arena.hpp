#pragma once
// All long clauses live in one flat array of 32-bit words: a three-word header
// (size, flags and LBD, activity) followed by the literals. A clause is named by
// the offset of its header, so the hot loops touch one contiguous block.
#include "solve/literal.hpp"

#include <bit>
#include <cstdint>
#include <span>
#include <vector>

namespace Gondra::Solve {

using ClauseRef = uint32_t;

class ClauseArena {
public:
    static constexpr uint32_t header_words = 3;
    static constexpr uint32_t flag_learnt = 1u;
    static constexpr uint32_t flag_deleted = 2u;
    static constexpr uint32_t flag_volatile = 4u;
    static constexpr uint32_t flag_used = 8u;
    // Kept only while it is a reason: never watched, deleted at the next
    // reduction that finds it unlocked.
    static constexpr uint32_t flag_transient = 16u;

    ClauseRef alloc(std::span<Lit const> lits, uint32_t flags, uint32_t lbd) {
        auto ref = static_cast<ClauseRef>(mem_.size());
        mem_.push_back(static_cast<uint32_t>(lits.size()));
        mem_.push_back(flags | (lbd << 8));
        mem_.push_back(0);
        mem_.insert(mem_.end(), lits.begin(), lits.end());
        return ref;
    }

    uint32_t size(ClauseRef c) const { return mem_[c]; }
    Lit* lits(ClauseRef c) { return mem_.data() + c + header_words; }
    Lit const* lits(ClauseRef c) const { return mem_.data() + c + header_words; }
    uint32_t flags(ClauseRef c) const { return mem_[c + 1] & 0xffu; }
    bool learnt(ClauseRef c) const { return (mem_[c + 1] & flag_learnt) != 0; }
    bool deleted(ClauseRef c) const { return (mem_[c + 1] & flag_deleted) != 0; }
    void set_flag(ClauseRef c, uint32_t flag) { mem_[c + 1] |= flag; }
    void clear_flag(ClauseRef c, uint32_t flag) { mem_[c + 1] &= ~flag; }
    uint32_t lbd(ClauseRef c) const { return mem_[c + 1] >> 8; }
    void set_lbd(ClauseRef c, uint32_t lbd) { mem_[c + 1] = (mem_[c + 1] & 0xffu) | (lbd << 8); }
    float activity(ClauseRef c) const { return std::bit_cast<float>(mem_[c + 2]); }
    void set_activity(ClauseRef c, float a) { mem_[c + 2] = std::bit_cast<uint32_t>(a); }

    void mark_deleted(ClauseRef c) {
        set_flag(c, flag_deleted);
        wasted_ += header_words + size(c);
    }
    size_t words() const { return mem_.size(); }
    size_t wasted() const { return wasted_; }

    // Moves a live clause into `to`; the old header remembers where it went.
    ClauseRef move_to(ClauseRef c, ClauseArena& to) {
        ClauseRef n = to.alloc({lits(c), size(c)}, flags(c), lbd(c));
        to.mem_[n + 2] = mem_[c + 2];
        mem_[c + 2] = n;
        return n;
    }
    ClauseRef forward(ClauseRef c) const { return mem_[c + 2]; }
    void swap(ClauseArena& other) {
        mem_.swap(other.mem_);
        std::swap(wasted_, other.wasted_);
    }
    void clear() {
        mem_.clear();
        wasted_ = 0;
    }

private:
    std::vector<uint32_t> mem_;
    size_t wasted_ = 0;
};

} // namespace Gondra::Solve
