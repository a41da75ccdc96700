#include "constraints/minimize_constraint.hpp"
#include "constraints/sum_constraint_state.hpp"
#include "solver/thread_solver.hpp"
#include "tarvex/solver/recording_clause_creator.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace Tarvex {
namespace {

using Clause = std::vector<literal_t>;

class MinimizeStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        x = solver.add_variable(0, 10);
        y = solver.add_variable(0, 10);
        objective = MinimizeConstraint::create(0, std::vector<CoefVar>{{2, x}, {3, y}}, true);
        state = &static_cast<MinimizeStateImpl&>(solver.add_constraint(*objective));
    }

    ThreadConfig config;
    ThreadStats stats;
    TestSupport::ScriptedAssignment assignment;
    TestSupport::RecordingClauseCreator cc{assignment};
    ThreadSolver solver{config, stats};
    var_id x = 0;
    var_id y = 0;
    UniqueConstraint objective;
    MinimizeStateImpl* state = nullptr;
};

TEST_F(MinimizeStateTest, WithoutABoundNothingIsDerivedOrChecked) {
    ASSERT_TRUE(solver.fixpoint(cc, true));
    EXPECT_TRUE(cc.clauses.empty());
    EXPECT_EQ(state->deactivation_level(), 0U);
    EXPECT_NO_THROW(state->check_assignment(solver));
}

TEST_F(MinimizeStateTest, BoundDerivesVolatileClausesWithFreeLiterals) {
    ASSERT_TRUE(solver.fixpoint(cc, false));
    solver.update_minimize_bound(*objective, 0, 11);
    EXPECT_TRUE(state->in_queue());
    ASSERT_TRUE(solver.fixpoint(cc, false));
    // Heaviest first: 3y, then 2x.
    ASSERT_EQ(cc.clauses.size(), 2U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{solver.var_state(y).literal_at(3)}));
    EXPECT_EQ(cc.clauses[1].literals, (Clause{solver.var_state(x).literal_at(5)}));
    EXPECT_EQ(cc.clauses[0].type, gondra_clause_type_volatile);
    EXPECT_TRUE(solver.fact_queue().empty());
    EXPECT_EQ(state->deactivation_level(), 0U);
    // A worse bound on a lower level only moves the level.
    solver.update_minimize_bound(*objective, 0, 20);
    EXPECT_EQ(*solver.minimize_bound(), 11);
}

// Costs may leave the value range (a sum of many large values): such a bound
// is propagated in wide arithmetic instead of stopping the search.
TEST_F(MinimizeStateTest, BoundsBeyondTheValueRangeArePropagated) {
    solver.update_minimize_bound(*objective, 0, wide_t{1} << 40);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_TRUE(cc.clauses.empty());
    // Below every reachable cost: a conflict whose reasons all hold on level
    // 0, so only the false literal remains, and the host proves the optimum.
    solver.update_minimize_bound(*objective, 0, -(wide_t{1} << 40));
    cc.unit_propagate = true;
    EXPECT_FALSE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-true_literal}));
}

} // namespace
} // namespace Tarvex
