#include "parsing/conditional_elements.hpp"

#include "core/checked_arithmetic.hpp"
#include "parsing/relation_normaliser.hpp"

#include <algorithm>
#include <vector>

namespace Tarvex {

bool ConditionalElements::add_sum_element(literal_t condition, LinearTerm term, LinearTerm& out) {
    if (builder_.literal_is_true(condition)) {
        out.insert(out.end(), term.begin(), term.end());
        return true;
    }
    if (builder_.literal_is_true(-condition)) {
        return true;
    }
    // term = sum + constant; the constant is weighted by the indicator.
    value_t constant = checked_neg(simplify_linear(term));
    if (constant != 0) {
        var_id b = no_var;
        if (!indicator(condition, b)) {
            return false;
        }
        out.emplace_back(constant, b);
    }
    if (!term.empty()) {
        var_id y = no_var;
        if (!conditional_value(condition, term, y)) {
            return false;
        }
        out.emplace_back(1, y);
    }
    return true;
}

bool ConditionalElements::indicator(literal_t condition, var_id& result) {
    if (auto it = indicators_.find(condition); it != indicators_.end()) {
        result = it->second;
        return true;
    }
    var_id b = builder_.new_variable();
    IntervalSet zero_one;
    zero_one.emplace(0, 2);
    // condition <=> -b <= -1, which the order literal of b <= 0 expresses.
    if (!builder_.build_domain(true_literal, b, zero_one) || !builder_.build_sum(condition, {{-1, b}}, -1, true)) {
        return false;
    }
    indicators_.emplace(condition, b);
    result = b;
    return true;
}

bool ConditionalElements::conditional_value(literal_t condition, LinearTerm const& sum, var_id& result) {
    auto key = std::make_pair(condition, sum);
    if (auto it = values_.find(key); it != values_.end()) {
        result = it->second;
        return true;
    }
    var_id y = builder_.new_variable();
    // condition implies y - sum = 0, its negation y = 0.
    LinearTerm difference{{1, y}};
    for (auto const& [coefficient, var] : sum) {
        difference.emplace_back(checked_neg(coefficient), var);
    }
    value_t rhs = simplify_linear(difference);
    if (!add_sum_relation(builder_, condition, difference, Relation::equal, rhs, false) ||
        !add_sum_relation(builder_, -condition, {{1, y}}, Relation::equal, 0, false)) {
        return false;
    }
    values_.emplace(std::move(key), y);
    unbounded_.emplace_back(y, sum);
    result = y;
    return true;
}

bool ConditionalElements::finish(std::unordered_map<var_id, std::pair<value_t, value_t>> const& domains) {
    auto values = std::move(unbounded_);
    unbounded_.clear();
    for (auto const& [y, sum] : values) {
        wide_t low = 0;
        wide_t high = 0;
        bool known = true;
        for (auto const& [coefficient, var] : sum) {
            auto it = domains.find(var);
            if (it == domains.end()) {
                known = false;
                break;
            }
            wide_t a = static_cast<wide_t>(coefficient) * it->second.first;
            wide_t b = static_cast<wide_t>(coefficient) * it->second.second;
            low += std::min(a, b);
            high += std::max(a, b);
        }
        if (!known) {
            continue;
        }
        IntervalSet hull;
        hull.emplace(static_cast<value_t>(std::clamp<wide_t>(std::min<wide_t>(low, 0), min_value, max_value)),
                     static_cast<value_t>(std::clamp<wide_t>(std::max<wide_t>(high, 0), min_value, max_value) + 1));
        if (!builder_.build_domain(true_literal, y, hull)) {
            return false;
        }
    }
    return true;
}

literal_t ConditionalElements::conjunction(std::initializer_list<literal_t> literals) {
    std::vector<literal_t> open;
    for (literal_t lit : literals) {
        if (lit == -true_literal || builder_.literal_is_true(-lit)) {
            return -true_literal;
        }
        if (lit != true_literal && !builder_.literal_is_true(lit)) {
            open.push_back(lit);
        }
    }
    std::sort(open.begin(), open.end());
    open.erase(std::unique(open.begin(), open.end()), open.end());
    if (open.empty()) {
        return true_literal;
    }
    if (open.size() == 1) {
        return open.front();
    }
    literal_t d = builder_.new_literal();
    std::vector<literal_t> clause{d};
    for (literal_t lit : open) {
        builder_.push_clause(std::vector<literal_t>{-d, lit});
        clause.push_back(-lit);
    }
    builder_.push_clause(clause);
    return d;
}

} // namespace Tarvex
