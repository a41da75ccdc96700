#pragma once

// Turns every comparison of a sum-like atom into the one form the builder
// knows: literal implies term <= constant, optionally as an equivalence.

#include "constraints/abstract_constraint_builder.hpp"
#include "core/integer_types.hpp"
#include "parsing/linear_term.hpp"

#include <vector>

namespace Tarvex {

enum class Relation { less_equal, equal, not_equal, less, greater, greater_equal };

// The relation of a guard text; throws "Invalid Syntax" for an unknown one.
Relation parse_relation(char const* text);

// Divides the coefficients and the constant by their greatest common divisor
// when it exceeds 1; with no element a constant of 2 or more becomes 1.
void divide_by_gcd(LinearTerm& term, value_t& constant);
void divide_by_gcd(std::vector<ProductTerm>& term, value_t& constant);

// The parts of a nonlinear term a*x*y + c*z; absent parts are 0 / no_var.
struct NonlinearShape {
    value_t a = 0;
    var_id x = no_var;
    var_id y = no_var;
    value_t c = 0;
    var_id z = no_var;

    friend bool operator==(NonlinearShape const&, NonlinearShape const&) = default;
};

// Throws unless the term has at most one product of two variables and at most
// one element with one variable.
NonlinearShape check_nonlinear_shape(std::vector<ProductTerm> const& term);

// State term relation rhs under lit: as an implication for head atoms, as an
// equivalence for body atoms. False as soon as the builder reports a conflict.
bool add_sum_relation(AbstractConstraintBuilder& builder, literal_t lit, LinearTerm const& term, Relation relation,
                      value_t rhs, bool body);
bool add_nonlinear_relation(AbstractConstraintBuilder& builder, literal_t lit, std::vector<ProductTerm> const& term,
                            Relation relation, value_t rhs, bool body);

} // namespace Tarvex
