#pragma once

// Linear and nonlinear terms as read from theory atoms, and their canonical
// form: each variable once, no zero coefficient, constants moved out.

#include "core/coef_var.hpp"
#include "core/integer_types.hpp"

#include <vector>

namespace Tarvex {

// Ordered list of (coefficient, variable); an element with no_var is a
// constant whose value is its coefficient.
using LinearTerm = std::vector<CoefVar>;

// A coefficient times a product of variables: no variable is a constant, one a
// linear element, two a product.
struct ProductTerm {
    value_t coefficient;
    std::vector<var_id> variables;

    friend bool operator==(ProductTerm const&, ProductTerm const&) = default;
};

// Rewrites the term into canonical form in place and returns the constant to
// add to a right-hand side (the negated sum of the constant elements). Throws
// the range and overflow errors of the checked arithmetic; the term is then
// left half-rewritten.
value_t simplify_linear(LinearTerm& term);

// Throws when the extreme values of constant + term, with every variable
// ranging over the admissible values, do not fit 64 bits, or when a
// coefficient lies outside the admissible values.
void check_linear_bounds(LinearTerm const& term, value_t constant);

} // namespace Tarvex
