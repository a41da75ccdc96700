#pragma once

// Reads a theory term in a sum position as a list of (coefficient, variable)
// or (coefficient, variable list) elements; every non-arithmetic subterm
// becomes an integer variable through the builder.

#include "constraints/abstract_constraint_builder.hpp"
#include "parsing/linear_term.hpp"
#include "parsing/term_ref.hpp"

#include <vector>

namespace Tarvex {

// Appends the elements of the term in reading order (depth first, first
// argument before last); throws on products of two variables.
void read_linear_term(AbstractConstraintBuilder& builder, TermRef term, LinearTerm& out);

// As read_linear_term, but products of variables are kept.
void read_nonlinear_term(AbstractConstraintBuilder& builder, TermRef term, std::vector<ProductTerm>& out);

} // namespace Tarvex
