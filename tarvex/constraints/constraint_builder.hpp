#pragma once

// The builder that turns what the theory-atom reader finds into host
// literals and clauses, integer variables, direct order-literal encodings of
// small constraints, constraint objects and objective terms. It lives for one
// initialisation of the propagator.

#include "constraints/abstract_constraint_builder.hpp"
#include "constraints/minimize_constraint.hpp"
#include "host/propagate_init.hpp"
#include "solver/init_clause_creator.hpp"

#include <array>
#include <map>
#include <vector>

namespace Tarvex {

class Propagator;

class ConstraintBuilder final : public AbstractConstraintBuilder {
public:
    // Takes over the objective the propagator detached (or null), so that
    // objective terms accumulate over solving steps.
    ConstraintBuilder(Propagator& propagator, InitClauseCreator& clause_creator, Host::PropagateInit& init,
                      UniqueConstraint objective);

    literal_t map_solver_literal(literal_t literal) override;
    literal_t new_literal() override;
    bool literal_is_true(literal_t literal) override;
    bool push_clause(std::span<literal_t const> clause) override;

    void enable_show() override;
    void show_by_signature(char const* name, std::int64_t arity) override;
    void show_by_variable(var_id variable) override;

    var_id variable_for_symbol(Host::symbol_t symbol) override;
    var_id new_variable() override;

    bool build_sum(literal_t lit, LinearTerm const& term, value_t rhs, bool strict) override;
    bool build_nonlinear(literal_t lit, value_t a, var_id x, var_id y, value_t c, var_id z, value_t rhs,
                         bool strict) override;
    void build_objective_term(value_t coefficient, var_id variable) override;
    bool build_distinct(literal_t lit, std::vector<DistinctElement> const& elements) override;
    bool build_disjoint(literal_t lit, std::vector<DisjointElement> const& elements) override;
    bool build_domain(literal_t lit, var_id variable, IntervalSet const& domain) override;

    // The objective to install: the detached one merged with the terms read
    // in this step, or null when there are none.
    UniqueConstraint finish_objective();
    // Once every atom is read: the lookup of opposed sums is not needed again
    // and would stay at its largest through the rest of the initialisation.
    void drop_sum_lookup() { sums_by_term_ = {}; }

private:
    bool literal_is_false(literal_t literal);
    void add_sum(literal_t lit, std::vector<CoefVar> elements, value_t rhs);
    // Adds [-lit, -other] for every earlier sum under other whose term is the
    // negation of this one and whose bound together with rhs is below 0.
    void exclude_opposed(literal_t lit, LinearTerm const& elements, value_t rhs);
    // One half of the two-element non-overlap encoding: lit excludes that
    // the interval of s starts inside the interval of o. Stores the fresh
    // literals of "o starts no later than s" and "s starts before o ends"
    // (0 where a relation is decided without a literal).
    bool build_starts_inside(literal_t lit, DisjointElement const& s, DisjointElement const& o,
                             std::array<literal_t, 2>& relations);

    Propagator* propagator_;
    InitClauseCreator* clause_creator_;
    Host::PropagateInit* init_;
    UniqueConstraint objective_;
    std::vector<CoefVar> objective_terms_;
    // The sums of this initialisation by their term (sorted by variable,
    // divided by the coefficients' gcd), each with its literal and rounded
    // bound, to find pairs that exclude each other.
    std::map<LinearTerm, std::vector<std::pair<literal_t, wide_t>>> sums_by_term_;
};

} // namespace Tarvex
