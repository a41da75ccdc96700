#pragma once

// Bounds of one integer variable in one solver thread and the order literals
// (x <= v) that exist for it. Literals live in a vector of (value, literal)
// pairs sorted by value until more than a tenth of the root domain carries
// one, then in a flat vector over the root domain. A pair costs 8 bytes where
// a node of an ordered map costs 48, and there are millions of them when the
// theory introduces literals during search. The flat form has a two-level
// bitset of its filled slots beside it: finding a literal's neighbours must
// not walk the empty stretches, which span most of a wide domain.

#include "core/integer_types.hpp"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <algorithm>
#include <bit>
#include <vector>

namespace Tarvex {

class VariableState {
public:
    // Offset while the literals are kept in the sorted pairs.
    static constexpr value_t map_offset = std::numeric_limits<value_t>::min();

    // Save index of a bound never saved.
    static constexpr std::uint32_t no_save = std::numeric_limits<std::uint32_t>::max();

    VariableState(var_id var, value_t lower, value_t upper)
        : var_{var}, lower_bound_{lower}, upper_bound_{upper}, min_bound_{lower}, max_bound_{upper} {}

    var_id var() const { return var_; }
    value_t lower_bound() const { return lower_bound_; }
    value_t upper_bound() const { return upper_bound_; }
    // Bounds in force at decision level 0.
    value_t min_bound() const { return min_bound_; }
    value_t max_bound() const { return max_bound_; }
    bool is_assigned() const { return lower_bound_ == upper_bound_; }
    bool is_dense() const { return offset_ != map_offset; }
    value_t offset() const { return offset_; }

    bool has_literal(value_t v) const { return literal_at(v) != 0; }
    // The stored literal of v, 0 if none.
    literal_t literal_at(value_t v) const;
    void set_literal(value_t v, literal_t lit);
    void unset_literal(value_t v);
    // Literal of the largest stored value below v, 0 if none.
    literal_t prev_literal(value_t v) const;
    // Literal of the smallest stored value above v, 0 if none.
    literal_t next_literal(value_t v) const;
    // Literal of the smallest stored value at or above v, 0 if none.
    literal_t first_literal_from(value_t v) const;
    // Switches to the dense form when more than a tenth of the root domain
    // carries literals; true if it switched.
    bool try_make_dense();
    // The storage slot of v, created if missing; may switch to the dense form.
    literal_t& literal_slot(value_t v);
    // Number of stored literals.
    std::size_t literal_count() const;

    // Calls f(value, literal) for the stored literals above v, increasing,
    // while f returns true; returns false if f stopped the walk.
    template <class F> bool for_each_above(value_t v, F&& f) const;
    // The same for the stored literals below v, decreasing.
    template <class F> bool for_each_below(value_t v, F&& f) const;
    // Calls f(value, literal) for every stored literal, increasing.
    template <class F> void for_each_literal(F&& f) const;

    // Narrows the bounds on level 0, where they are the root bounds too.
    void set_upper_bound(value_t bound) { upper_bound_ = max_bound_ = bound; }
    void set_lower_bound(value_t bound) { lower_bound_ = min_bound_ = bound; }
    // Changes the bounds above level 0, or restores them on undo; the
    // thread's bound trail keeps the bounds to go back to.
    void move_upper_bound(value_t bound) { upper_bound_ = bound; }
    void move_lower_bound(value_t bound) { lower_bound_ = bound; }
    // Trail index of the bound's newest save, no_save before the first. After
    // undo it may point past the trail or at another bound's entry: the
    // thread checks it against the trail to save a bound once per level.
    std::uint32_t upper_save() const { return upper_save_; }
    std::uint32_t lower_save() const { return lower_save_; }
    void set_upper_save(std::uint32_t index) { upper_save_ = index; }
    void set_lower_save(std::uint32_t index) { lower_save_ = index; }

    void shrink_to_fit();

private:
    static constexpr std::uint64_t one = 1;
    // Slots whose bit is set; a set bit may belong to a slot just handed out
    // by literal_slot and not yet written, so readers check the slot too.
    void mark(std::size_t i) {
        filled_[i >> 6] |= one << (i & 63);
        filled_words_[i >> 12] |= one << ((i >> 6) & 63);
    }
    void unmark(std::size_t i) {
        auto& word = filled_[i >> 6];
        word &= ~(one << (i & 63));
        if (word == 0) {
            filled_words_[i >> 12] &= ~(one << ((i >> 6) & 63));
        }
    }
    // The first marked slot from i on, the size if none.
    std::size_t next_marked(std::size_t i) const;
    // One past the last marked slot below i, 0 if none.
    std::size_t prev_marked(std::size_t i) const;
    std::size_t dense_index(value_t v) const { return static_cast<std::size_t>(static_cast<wide_t>(v) - offset_); }
    bool in_dense(value_t v) const {
        return v >= offset_ && static_cast<wide_t>(v) - offset_ < static_cast<wide_t>(dense_.size());
    }

    var_id var_;
    value_t lower_bound_;
    value_t upper_bound_;
    value_t min_bound_;
    value_t max_bound_;
    value_t offset_ = map_offset;
    std::uint32_t lower_save_ = no_save;
    std::uint32_t upper_save_ = no_save;
    struct Pair {
        value_t value;
        literal_t lit;
    };
    static bool value_less(Pair const& pair, value_t v) { return pair.value < v; }
    static bool less_value(value_t v, Pair const& pair) { return v < pair.value; }
    std::vector<Pair>::const_iterator sparse_lower(value_t v) const {
        return std::lower_bound(sparse_.begin(), sparse_.end(), v, value_less);
    }
    std::vector<Pair>::const_iterator sparse_upper(value_t v) const {
        return std::upper_bound(sparse_.begin(), sparse_.end(), v, less_value);
    }
    std::vector<Pair> sparse_;
    std::vector<literal_t> dense_;
    std::vector<std::uint64_t> filled_;
    std::vector<std::uint64_t> filled_words_;
};

inline std::size_t VariableState::next_marked(std::size_t i) const {
    std::size_t const n = dense_.size();
    if (i >= n) {
        return n;
    }
    std::size_t w = i >> 6;
    if (std::uint64_t word = filled_[w] & (~std::uint64_t{0} << (i & 63)); word != 0) {
        return (w << 6) + static_cast<std::size_t>(std::countr_zero(word));
    }
    ++w;
    if (w >= filled_.size()) {
        return n;
    }
    std::size_t s = w >> 6;
    std::uint64_t summary = filled_words_[s] & (~std::uint64_t{0} << (w & 63));
    while (summary == 0) {
        if (++s >= filled_words_.size()) {
            return n;
        }
        summary = filled_words_[s];
    }
    std::size_t found = (s << 6) + static_cast<std::size_t>(std::countr_zero(summary));
    return (found << 6) + static_cast<std::size_t>(std::countr_zero(filled_[found]));
}

inline std::size_t VariableState::prev_marked(std::size_t i) const {
    if (i == 0) {
        return 0;
    }
    std::size_t const last = i - 1;
    std::size_t w = last >> 6;
    if (std::uint64_t word = filled_[w] & (~std::uint64_t{0} >> (63 - (last & 63))); word != 0) {
        return (w << 6) + 64 - static_cast<std::size_t>(std::countl_zero(word));
    }
    if (w == 0) {
        return 0;
    }
    --w;
    std::size_t s = w >> 6;
    std::uint64_t summary = filled_words_[s] & (~std::uint64_t{0} >> (63 - (w & 63)));
    while (summary == 0) {
        if (s == 0) {
            return 0;
        }
        summary = filled_words_[--s];
    }
    std::size_t found = (s << 6) + 63 - static_cast<std::size_t>(std::countl_zero(summary));
    return (found << 6) + 64 - static_cast<std::size_t>(std::countl_zero(filled_[found]));
}

template <class F> bool VariableState::for_each_above(value_t v, F&& f) const {
    if (is_dense()) {
        std::size_t i = v < offset_ ? 0 : dense_index(v) + 1;
        for (; (i = next_marked(i)) < dense_.size(); ++i) {
            if (dense_[i] != 0 && !f(static_cast<value_t>(offset_ + static_cast<wide_t>(i)), dense_[i])) {
                return false;
            }
        }
        return true;
    }
    for (auto it = sparse_upper(v); it != sparse_.end(); ++it) {
        if (it->lit != 0 && !f(it->value, it->lit)) {
            return false;
        }
    }
    return true;
}

template <class F> bool VariableState::for_each_below(value_t v, F&& f) const {
    if (is_dense()) {
        if (v <= offset_) {
            return true;
        }
        std::size_t i = in_dense(v) ? dense_index(v) : dense_.size();
        while ((i = prev_marked(i)) > 0) {
            --i;
            if (dense_[i] != 0 && !f(static_cast<value_t>(offset_ + static_cast<wide_t>(i)), dense_[i])) {
                return false;
            }
        }
        return true;
    }
    for (auto it = sparse_lower(v); it != sparse_.begin();) {
        --it;
        if (it->lit != 0 && !f(it->value, it->lit)) {
            return false;
        }
    }
    return true;
}

template <class F> void VariableState::for_each_literal(F&& f) const {
    if (is_dense()) {
        for (std::size_t i = 0; (i = next_marked(i)) < dense_.size(); ++i) {
            if (dense_[i] != 0) {
                f(static_cast<value_t>(offset_ + static_cast<wide_t>(i)), dense_[i]);
            }
        }
        return;
    }
    for (auto const& [value, lit] : sparse_) {
        if (lit != 0) {
            f(value, lit);
        }
    }
}

} // namespace Tarvex
