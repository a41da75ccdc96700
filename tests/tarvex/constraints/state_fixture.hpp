#pragma once

// A thread solver with a scripted assignment and a recording clause creator,
// for checking the exact clauses of one constraint state.

#include "solver/thread_solver.hpp"
#include "tarvex/solver/recording_clause_creator.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace Tarvex::TestSupport {

using Clause = std::vector<literal_t>;

class StateFixture : public ::testing::Test {
protected:
    var_id variable(value_t min, value_t max) { return solver.add_variable(min, max); }
    template <class State> State& add(UniqueConstraint constraint) {
        constraints.push_back(std::move(constraint));
        return static_cast<State&>(solver.add_constraint(*constraints.back()));
    }
    literal_t order(var_id var, value_t v) { return solver.get_literal(cc, solver.var_state(var), v); }
    // Makes lit true on `level` and tells the solver.
    bool decide(level_t level, literal_t lit) {
        assignment.set_decision_level(level);
        assignment.assign(lit);
        std::array<literal_t, 1> changes{lit};
        return solver.propagate_changes(cc, changes);
    }
    // x <= v (upper) or x > v, decided on `level`.
    bool bound(level_t level, var_id var, value_t v, bool upper) {
        literal_t lit = order(var, v);
        return decide(level, upper ? lit : -lit);
    }
    static Clause sorted(Clause clause) {
        std::sort(clause.begin(), clause.end());
        return clause;
    }

    ThreadConfig config;
    ThreadStats stats;
    ScriptedAssignment assignment;
    RecordingClauseCreator cc{assignment};
    ThreadSolver solver{config, stats};
    ConstraintList constraints;
};

} // namespace Tarvex::TestSupport
