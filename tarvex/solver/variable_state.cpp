#include "solver/variable_state.hpp"

#include <stdexcept>

namespace Tarvex {

literal_t VariableState::literal_at(value_t v) const {
    if (is_dense()) {
        return in_dense(v) ? dense_[dense_index(v)] : 0;
    }
    auto it = sparse_lower(v);
    return it != sparse_.end() && it->value == v ? it->lit : 0;
}

void VariableState::set_literal(value_t v, literal_t lit) {
    literal_slot(v) = lit;
}

void VariableState::unset_literal(value_t v) {
    if (is_dense()) {
        if (in_dense(v)) {
            dense_[dense_index(v)] = 0;
            unmark(dense_index(v));
        }
        return;
    }
    if (auto it = sparse_lower(v); it != sparse_.end() && it->value == v) {
        sparse_.erase(it);
        // Level-0 facts remove most literals of some variables.
        if (sparse_.size() < sparse_.capacity() / 4) {
            sparse_.shrink_to_fit();
        }
    }
}

literal_t VariableState::prev_literal(value_t v) const {
    literal_t result = 0;
    for_each_below(v, [&](value_t, literal_t lit) {
        result = lit;
        return false;
    });
    return result;
}

literal_t VariableState::next_literal(value_t v) const {
    literal_t result = 0;
    for_each_above(v, [&](value_t, literal_t lit) {
        result = lit;
        return false;
    });
    return result;
}

literal_t VariableState::first_literal_from(value_t v) const {
    if (v == std::numeric_limits<value_t>::min()) {
        literal_t result = 0;
        for_each_literal([&](value_t, literal_t lit) {
            if (result == 0) {
                result = lit;
            }
        });
        return result;
    }
    return next_literal(v - 1);
}

bool VariableState::try_make_dense() {
    if (is_dense() || sparse_.empty()) {
        return false;
    }
    wide_t lo = min_bound();
    wide_t hi = max_bound();
    auto n = static_cast<wide_t>(sparse_.size());
    if (n <= (hi - lo) / 10 || sparse_.front().value < lo || sparse_.back().value >= hi) {
        return false;
    }
    auto size = static_cast<std::size_t>(hi - lo);
    dense_.assign(size, 0);
    filled_.assign((size + 63) / 64, 0);
    filled_words_.assign((filled_.size() + 63) / 64, 0);
    for (auto const& [value, lit] : sparse_) {
        if (lit != 0) {
            auto i = static_cast<std::size_t>(value - lo);
            dense_[i] = lit;
            mark(i);
        }
    }
    sparse_ = {};
    offset_ = static_cast<value_t>(lo);
    return true;
}

literal_t& VariableState::literal_slot(value_t v) {
    if (!is_dense()) {
        try_make_dense();
    }
    if (is_dense()) {
        if (!in_dense(v)) {
            // Root bounds only narrow, so a value inside them always has a slot.
            throw std::logic_error("order literal outside of the root domain");
        }
        // Marked before the caller fills it: scans skip slots still 0.
        mark(dense_index(v));
        return dense_[dense_index(v)];
    }
    auto it = sparse_.begin() + (sparse_lower(v) - sparse_.cbegin());
    if (it == sparse_.end() || it->value != v) {
        it = sparse_.insert(it, Pair{v, 0});
    }
    return it->lit;
}

std::size_t VariableState::literal_count() const {
    std::size_t n = 0;
    for_each_literal([&](value_t, literal_t) { ++n; });
    return n;
}

void VariableState::shrink_to_fit() {
    sparse_.shrink_to_fit();
    dense_.shrink_to_fit();
    filled_.shrink_to_fit();
    filled_words_.shrink_to_fit();
}

} // namespace Tarvex
