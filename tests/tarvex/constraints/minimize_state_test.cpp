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

TEST_F(MinimizeStateTest, BoundOutsideTheValueRangeIsRejected) {
    solver.update_minimize_bound(*objective, 0, wide_t{1} << 40);
    try {
        solver.fixpoint(cc, false);
        FAIL() << "no exception";
    } catch (std::overflow_error const& error) {
        EXPECT_STREQ(error.what(), "bound value out of range");
    }
}

} // namespace
} // namespace Tarvex
