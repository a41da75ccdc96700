#include "parsing/linear_term.hpp"

#include "core/checked_arithmetic.hpp"

#include <cstddef>
#include <unordered_map>

namespace Tarvex {

namespace {

// Variable to output position; one per thread, cleared but never released, so
// simplifying many small terms does not allocate a map each time.
std::unordered_map<var_id, std::size_t>& scratch_positions() {
    thread_local std::unordered_map<var_id, std::size_t> positions;
    return positions;
}

} // namespace

value_t simplify_linear(LinearTerm& term) {
    auto& positions = scratch_positions();
    positions.clear();
    value_t constant = 0;
    std::size_t out = 0;
    for (std::size_t i = 0; i < term.size(); ++i) {
        auto [coefficient, variable] = term[i];
        if (coefficient == 0) {
            continue;
        }
        if (variable == no_var) {
            constant = checked_sub(constant, coefficient);
            continue;
        }
        auto [it, inserted] = positions.try_emplace(variable, out);
        if (inserted) {
            term[out++] = {coefficient, variable};
        } else {
            term[it->second].first = checked_add(term[it->second].first, coefficient);
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < out; ++i) {
        if (term[i].first != 0) {
            term[kept++] = term[i];
        }
    }
    term.resize(kept);
    check_value_range(constant);
    check_linear_bounds(term, constant);
    return constant;
}

void check_linear_bounds(LinearTerm const& term, value_t constant) {
    constexpr wide_t max = max_value;
    wide_t low = constant;
    wide_t high = constant;
    for (auto const& [coefficient, variable] : term) {
        static_cast<void>(variable);
        check_value_range(coefficient);
        wide_t c = coefficient;
        low = checked_add(low, checked_mul(c, c > 0 ? -max : max));
        high = checked_add(high, checked_mul(c, c > 0 ? max : -max));
    }
}

} // namespace Tarvex
