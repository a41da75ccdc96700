#pragma once

// Elements whose condition is not a fact: an element t : L1, ..., Ln counts
// exactly when its condition holds. The host hands one program literal c for
// the whole condition; this encoder turns "t if c, else nothing" into
// unconditional linear terms over auxiliary variables that c determines, so
// that a constraint over them needs no case split and creates no free
// choice (no model is repeated).
//
// A constant k under c becomes k * b with a 0/1 indicator b of c, one per
// literal, so a condition used by several atoms costs one variable. A
// variable term S under c becomes a variable y with c -> y = S and
// not c -> y = 0, bounded by 0 and the range of S. Measured on a shift-
// planning model scaled to 5 people and 9 to 10 shifts, a bounded variable
// per constant element instead of the indicator was neither better nor
// worse (21.4 s against 31.5 s on one instance, 1.34 s against 0.91 s on
// another, same optimum), so the sharing indicator stays. Leaving y at the
// configured range was not an option: bound propagation then creeps through
// a billion values (a body != over two such terms ran over 20 s instead of
// under 0.01 s).

#include "constraints/abstract_constraint_builder.hpp"
#include "parsing/linear_term.hpp"

#include <initializer_list>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Tarvex {

class ConditionalElements {
public:
    explicit ConditionalElements(AbstractConstraintBuilder& builder) : builder_{builder} {}

    // Appends to out a linear term whose value is that of term when the solver
    // literal condition holds and 0 otherwise. The term is read but not
    // simplified. False when the builder reports a conflict.
    bool add_sum_element(literal_t condition, LinearTerm term, LinearTerm& out);

    // A solver literal equivalent to the conjunction of the literals: 1 when
    // all are true at the root, -1 when one is false there, the literal
    // itself when one is left, else a fresh literal defined by clauses.
    literal_t conjunction(std::initializer_list<literal_t> literals);

    // Bounds the variables made for variable terms by 0 and the extreme
    // values of their terms, over the root domains given (variables missing
    // there keep the configured range). To be called once all domains are
    // read. False on a conflict.
    bool finish(std::unordered_map<var_id, std::pair<value_t, value_t>> const& domains);

private:
    // b in [0, 1] with b = 1 exactly when condition holds; one per literal.
    bool indicator(literal_t condition, var_id& result);
    // y equal to sum when condition holds and 0 otherwise; one per pair.
    bool conditional_value(literal_t condition, LinearTerm const& sum, var_id& result);

    AbstractConstraintBuilder& builder_;
    std::unordered_map<literal_t, var_id> indicators_;
    std::map<std::pair<literal_t, LinearTerm>, var_id> values_;
    std::vector<std::pair<var_id, LinearTerm>> unbounded_;
};

} // namespace Tarvex
