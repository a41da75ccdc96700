#include "parsing/term_algebra.hpp"

#include "core/checked_arithmetic.hpp"
#include "parsing/syntax_error.hpp"

#include <algorithm>
#include <unordered_map>

namespace Tarvex {

namespace {

struct VariableListHash {
    std::size_t operator()(std::vector<var_id> const& variables) const noexcept {
        std::size_t hash = variables.size();
        for (var_id v : variables) {
            hash ^= v + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
        }
        return hash;
    }
};

// Variable list to output position; per thread, cleared but not released.
std::unordered_map<std::vector<var_id>, std::size_t, VariableListHash>& scratch_products() {
    thread_local std::unordered_map<std::vector<var_id>, std::size_t, VariableListHash> positions;
    return positions;
}

} // namespace

void negate_from(LinearTerm& term, std::size_t start) {
    for (std::size_t i = start; i < term.size(); ++i) {
        term[i].first = checked_neg(term[i].first);
    }
}

void negate_from(std::vector<ProductTerm>& term, std::size_t start) {
    for (std::size_t i = start; i < term.size(); ++i) {
        term[i].coefficient = checked_neg(term[i].coefficient);
    }
}

void multiply_linear(LinearTerm const& left, LinearTerm const& right, LinearTerm& out) {
    for (auto const& [lc, lv] : left) {
        for (auto const& [rc, rv] : right) {
            value_t c = checked_mul(lc, rc);
            if (lv == no_var) {
                out.emplace_back(c, rv);
            } else if (rv == no_var) {
                out.emplace_back(c, lv);
            } else {
                throw_syntax(only_linear);
            }
        }
    }
}

void multiply_products(std::vector<ProductTerm> const& left, std::vector<ProductTerm> const& right,
                       std::vector<ProductTerm>& out) {
    for (auto const& l : left) {
        for (auto const& r : right) {
            ProductTerm product{checked_mul(l.coefficient, r.coefficient), l.variables};
            product.variables.insert(product.variables.end(), r.variables.begin(), r.variables.end());
            out.push_back(std::move(product));
        }
    }
}

value_t combine_products(std::vector<ProductTerm>& term) {
    auto& positions = scratch_products();
    positions.clear();
    value_t constant = 0;
    std::size_t out = 0;
    for (std::size_t i = 0; i < term.size(); ++i) {
        auto& element = term[i];
        if (element.variables.empty()) {
            if (element.coefficient != 0) {
                constant = checked_sub(constant, element.coefficient);
            }
            continue;
        }
        std::sort(element.variables.begin(), element.variables.end());
        if (element.coefficient == 0) {
            continue;
        }
        auto it = positions.find(element.variables);
        if (it != positions.end()) {
            auto& target = term[it->second];
            target.coefficient = checked_add(target.coefficient, element.coefficient);
            continue;
        }
        positions.emplace(element.variables, out);
        if (out != i) {
            term[out] = std::move(element);
        }
        ++out;
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < out; ++i) {
        if (term[i].coefficient != 0) {
            if (kept != i) {
                term[kept] = std::move(term[i]);
            }
            ++kept;
        }
    }
    term.resize(kept);
    check_value_range(constant);
    for (auto const& element : term) {
        check_value_range(element.coefficient);
    }
    return constant;
}

} // namespace Tarvex
