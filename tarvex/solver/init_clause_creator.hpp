#pragma once

// Clause creator of the initialisation phase: literals and watches reach the
// host at once, clauses, weight constraints and minimize terms are buffered
// and handed over in one batch by commit.

#include "host/propagate_init.hpp"
#include "propagator/theory_stats.hpp"
#include "solver/abstract_clause_creator.hpp"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace Tarvex {

using WeightedLiteral = std::pair<literal_t, value_t>;

class InitClauseCreator final : public AbstractClauseCreator {
public:
    // Translation counters count too while the mode is translating.
    enum Mode : std::uint32_t { normal = 0, translating = 1 };

    InitClauseCreator(Host::PropagateInit& init, TheoryStats& stats) : init_{&init}, stats_{&stats} {}

    literal_t add_literal() override;
    void add_watch(literal_t lit) override;
    // Conflicts among buffered clauses surface only at propagate or commit.
    bool propagate() override;
    // Buffers the clause; the type is ignored. Always true.
    bool add_clause(std::span<literal_t const> clause, clause_type_t type = clause_type_learnt) override;
    Host::Assignment assignment() override;

    // Records lit related to (sum of the weights of the true literals <= bound):
    // type 1 the literal implies the constraint, -1 the constraint implies the
    // literal, 0 both. Already satisfied implications are dropped. Always true.
    bool add_weight_constraint(literal_t lit, std::span<WeightedLiteral const> literals, value_t bound,
                               int type);
    void add_minimize(literal_t lit, value_t weight, value_t priority);
    // Hands everything buffered to the host; false on conflict.
    bool commit();

    void set_mode(Mode mode) { mode_ = mode; }
    // The step record the creator counts into; translation reads its budget there.
    TheoryStats const& stats() const { return *stats_; }
    Mode mode() const { return mode_; }

private:
    struct WeightConstraint {
        literal_t literal;
        std::vector<gondra_weighted_literal_t> literals;
        value_t bound;
        int type;
    };
    struct MinimizeTerm {
        literal_t literal;
        value_t weight;
        value_t priority;
    };

    Mode mode_ = normal;
    Host::PropagateInit* init_;
    TheoryStats* stats_;
    // Clauses one after another, each followed by a 0.
    std::vector<literal_t> clauses_;
    std::vector<WeightConstraint> weight_constraints_;
    std::vector<MinimizeTerm> minimize_;
};

} // namespace Tarvex
