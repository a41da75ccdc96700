#pragma once

// Combining steps of term reading: negating what a reading appended,
// multiplying the readings of two factors, and the canonical form of
// nonlinear terms.

#include "parsing/linear_term.hpp"

#include <cstddef>
#include <vector>

namespace Tarvex {

// Negates the coefficients of the elements from position start on.
void negate_from(LinearTerm& term, std::size_t start);
void negate_from(std::vector<ProductTerm>& term, std::size_t start);

// Appends the product of two linear readings (left outermost); throws
// "Invalid Syntax: only linear sum constraints are supported" when two
// variables meet.
void multiply_linear(LinearTerm const& left, LinearTerm const& right, LinearTerm& out);

// Appends the product of two nonlinear readings (left outermost), the
// variables of the left element before those of the right.
void multiply_products(std::vector<ProductTerm> const& left, std::vector<ProductTerm> const& right,
                       std::vector<ProductTerm>& out);

// Canonical form of a nonlinear term in place: variable lists sorted, equal
// lists merged, zero coefficients and constants removed. Returns the constant
// for the right-hand side and range-checks it and every coefficient.
value_t combine_products(std::vector<ProductTerm>& term);

} // namespace Tarvex
