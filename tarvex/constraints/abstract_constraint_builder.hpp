#pragma once

// The one channel through which the theory-atom reader changes the solving
// model: literals, clauses, integer variables, constraints, domains, show
// directives and objective terms.

#include "core/coef_var.hpp"
#include "core/integer_types.hpp"
#include "core/interval_set.hpp"
#include "host/symbols.hpp"
#include "parsing/linear_term.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace Tarvex {

// An element of an all-different constraint: the value of term plus constant.
// The term is simplified (each variable once, no constant element).
struct DistinctElement {
    LinearTerm term;
    value_t constant = 0;

    friend bool operator==(DistinctElement const&, DistinctElement const&) = default;
};

// A task of a non-overlap constraint: the half-open interval
// [start, start + duration); the reader passes only positive durations.
struct DisjointElement {
    value_t duration = 0;
    var_id start = no_var;

    friend bool operator==(DisjointElement const&, DisjointElement const&) = default;
};

class AbstractConstraintBuilder {
public:
    AbstractConstraintBuilder() = default;
    AbstractConstraintBuilder(AbstractConstraintBuilder const&) = delete;
    AbstractConstraintBuilder& operator=(AbstractConstraintBuilder const&) = delete;
    virtual ~AbstractConstraintBuilder() = default;

    // The solver literal of a program literal.
    virtual literal_t map_solver_literal(literal_t literal) = 0;
    // A fresh (frozen) solver literal.
    virtual literal_t new_literal() = 0;
    // Whether the literal is true in the initial assignment.
    virtual bool literal_is_true(literal_t literal) = 0;
    // Adds a clause; false on conflict.
    virtual bool push_clause(std::span<literal_t const> clause) = 0;

    // From now on only shown variables and signatures appear in models.
    virtual void enable_show() = 0;
    virtual void show_by_signature(char const* name, std::int64_t arity) = 0;
    virtual void show_by_variable(var_id variable) = 0;

    // The variable of a symbol, created on first use.
    virtual var_id variable_for_symbol(Host::symbol_t symbol) = 0;
    // A fresh auxiliary variable over the configured range. It has no
    // symbol, so models never show it.
    virtual var_id new_variable() = 0;

    // lit implies sum(term) <= rhs; with strict, lit holds exactly when it
    // does. The term is simplified.
    virtual bool build_sum(literal_t lit, LinearTerm const& term, value_t rhs, bool strict) = 0;
    // lit implies a*x*y + c*z <= rhs; a = 0 means no product, c = 0 no
    // linear part.
    virtual bool build_nonlinear(literal_t lit, value_t a, var_id x, var_id y, value_t c, var_id z, value_t rhs,
                                 bool strict) = 0;
    // Adds coefficient * variable to the objective (no_var for a constant).
    virtual void build_objective_term(value_t coefficient, var_id variable) = 0;
    // lit implies that all element values differ.
    virtual bool build_distinct(literal_t lit, std::vector<DistinctElement> const& elements) = 0;
    // lit implies that no two intervals overlap.
    virtual bool build_disjoint(literal_t lit, std::vector<DisjointElement> const& elements) = 0;
    // lit implies that the variable lies in one of the intervals.
    virtual bool build_domain(literal_t lit, var_id variable, IntervalSet const& domain) = 0;
};

} // namespace Tarvex
