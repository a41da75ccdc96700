#include "constraints/sum_constraint.hpp"
#include "constraints/sum_constraint_state.hpp"
#include "solver/thread_solver.hpp"
#include "tarvex/solver/recording_clause_creator.hpp"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace Tarvex {
namespace {

using Clause = std::vector<literal_t>;

class SumStateTest : public ::testing::Test {
protected:
    var_id variable(value_t min, value_t max) { return solver.add_variable(min, max); }
    SumStateImpl& add(literal_t lit, value_t rhs, std::vector<CoefVar> const& elements) {
        constraints.push_back(SumConstraint::create(lit, rhs, elements, false));
        return static_cast<SumStateImpl&>(solver.add_constraint(*constraints.back()));
    }
    // Makes lit true on `level` (without telling the solver).
    void assign(level_t level, literal_t lit) {
        assignment.set_decision_level(level);
        assignment.assign(lit);
    }
    bool tell(literal_t lit) {
        std::array<literal_t, 1> changes{lit};
        return solver.propagate_changes(cc, changes);
    }
    literal_t literal(var_id var, value_t v) { return solver.var_state(var).literal_at(v); }

    ThreadConfig config;
    ThreadStats stats;
    TestSupport::ScriptedAssignment assignment;
    TestSupport::RecordingClauseCreator cc{assignment};
    ThreadSolver solver{config, stats};
    ConstraintList constraints;
};

TEST_F(SumStateTest, DerivesUpperBoundsWithTheLiteralAsOnlyReason) {
    auto x = variable(0, 10);
    auto y = variable(0, 10);
    literal_t on = assignment.new_atom();
    auto& state = add(on, 6, {{2, x}, {3, y}});
    EXPECT_EQ(state.lower_sum(), 0);
    EXPECT_EQ(state.upper_sum(), 50);
    assign(1, on);
    ASSERT_TRUE(tell(on));
    ASSERT_TRUE(solver.fixpoint(cc, true));
    ASSERT_EQ(cc.clauses.size(), 2U);
    literal_t x3 = literal(x, 3);
    literal_t y2 = literal(y, 2);
    ASSERT_NE(x3, 0);
    ASSERT_NE(y2, 0);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-on, x3}));
    EXPECT_EQ(cc.clauses[1].literals, (Clause{-on, y2}));
    EXPECT_EQ(cc.clauses[0].type, clause_type_learnt);
}

TEST_F(SumStateTest, FixedLiteralLeavesTheDerivedLiteralAlone) {
    auto x = variable(0, 10);
    auto y = variable(0, 10);
    literal_t on = assignment.new_atom();
    assign(0, on);
    add(on, 6, {{2, x}, {3, y}});
    assignment.set_decision_level(1);
    ASSERT_TRUE(tell(on));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 2U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{literal(x, 3)}));
    EXPECT_EQ(cc.clauses[1].literals, (Clause{literal(y, 2)}));
}

TEST_F(SumStateTest, OnLevelZeroDerivationsBecomeFacts) {
    auto x = variable(0, 10);
    add(1, 4, {{1, x}});
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_EQ(solver.var_state(x).upper_bound(), 4);
    EXPECT_EQ(cc.literals_added, 0U);
}

TEST_F(SumStateTest, BoundOneBelowTheUpperBoundIsPropagated) {
    auto x = variable(0, 4);
    literal_t on = assignment.new_atom();
    add(on, 3, {{1, x}});
    assign(1, on);
    ASSERT_TRUE(tell(on));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-on, literal(x, 3)}));
}

TEST_F(SumStateTest, NegativeCoefficientRaisesTheLowerBound) {
    auto x = variable(0, 10);
    literal_t on = assignment.new_atom();
    add(on, -3, {{-1, x}});
    assign(1, on);
    ASSERT_TRUE(tell(on));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-on, -literal(x, 2)}));
}

TEST_F(SumStateTest, SatisfiedSumIsDeactivatedEvenWithAFreeLiteral) {
    auto x = variable(0, 3);
    literal_t on = assignment.new_atom();
    auto& state = add(on, 3, {{1, x}});
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_TRUE(cc.clauses.empty());
    EXPECT_NE(state.deactivation_level(), 0U);
}

TEST_F(SumStateTest, FreeLiteralWithNonNegativeSlackDerivesNothing) {
    auto x = variable(0, 10);
    literal_t on = assignment.new_atom();
    auto& state = add(on, 3, {{1, x}});
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_TRUE(cc.clauses.empty());
    EXPECT_EQ(state.deactivation_level(), 0U);
}

TEST_F(SumStateTest, ViolatedSumForcesTheLiteralFalseWithTightReasons) {
    config.refine_reasons = false;
    auto x = variable(0, 10);
    auto y = variable(0, 10);
    literal_t on = assignment.new_atom();
    auto& state = add(on, 10, {{1, x}, {1, y}});
    auto& vx = solver.var_state(x);
    auto& vy = solver.var_state(y);
    literal_t x5 = solver.get_literal(cc, vx, 5);
    literal_t x7 = solver.get_literal(cc, vx, 7);
    literal_t y4 = solver.get_literal(cc, vy, 4);
    assign(1, -x7);
    ASSERT_TRUE(tell(-x7));
    assign(1, -x5);
    assign(1, -y4);
    ASSERT_TRUE(tell(-y4));
    cc.clauses.clear();
    EXPECT_TRUE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{x7, y4, -on}));
    EXPECT_NE(state.deactivation_level(), 0U);
}

TEST_F(SumStateTest, RefinementReusesAWeakerStoredLiteral) {
    auto x = variable(0, 10);
    auto y = variable(0, 10);
    literal_t on = assignment.new_atom();
    add(on, 10, {{1, x}, {1, y}});
    auto& vx = solver.var_state(x);
    auto& vy = solver.var_state(y);
    literal_t x5 = solver.get_literal(cc, vx, 5);
    literal_t x7 = solver.get_literal(cc, vx, 7);
    literal_t y4 = solver.get_literal(cc, vy, 4);
    assign(1, -x7);
    ASSERT_TRUE(tell(-x7));
    assign(1, -x5);
    assign(1, -y4);
    ASSERT_TRUE(tell(-y4));
    cc.clauses.clear();
    EXPECT_TRUE(solver.fixpoint(cc, false));
    // x >= 8 weakens to x >= 6 (slack -3 becomes -1), then y keeps y >= 5.
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{x5, y4, -on}));
    EXPECT_EQ(stats.refined_reason, 1U);
    EXPECT_EQ(stats.introduced_reason, 0U);
}

TEST_F(SumStateTest, RefinementIntroducesALiteralForTheCandidate) {
    auto x = variable(0, 10);
    auto y = variable(0, 10);
    literal_t on = assignment.new_atom();
    add(on, 10, {{1, x}, {1, y}});
    auto& vx = solver.var_state(x);
    auto& vy = solver.var_state(y);
    literal_t x7 = solver.get_literal(cc, vx, 7);
    literal_t y4 = solver.get_literal(cc, vy, 4);
    assign(1, -x7);
    ASSERT_TRUE(tell(-x7));
    assign(1, -y4);
    ASSERT_TRUE(tell(-y4));
    cc.clauses.clear();
    EXPECT_TRUE(solver.fixpoint(cc, false));
    literal_t x5 = vx.literal_at(5);
    ASSERT_NE(x5, 0);
    ASSERT_EQ(cc.clauses.size(), 2U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{x7, -x5}));
    EXPECT_EQ(cc.clauses[1].literals, (Clause{x5, y4, -on}));
    EXPECT_EQ(stats.refined_reason, 1U);
    EXPECT_EQ(stats.introduced_reason, 1U);
}

TEST_F(SumStateTest, BoundChangesUpdateTheCachedSums) {
    auto x = variable(0, 10);
    literal_t on = assignment.new_atom();
    auto& state = add(on, 100, {{-2, x}});
    EXPECT_EQ(state.lower_sum(), -20);
    EXPECT_EQ(state.upper_sum(), 0);
    // A zero product counts as a rising minimum.
    EXPECT_TRUE(state.on_bound_change(-2, 0));
    EXPECT_FALSE(state.on_bound_change(-2, 3));
    EXPECT_EQ(state.upper_sum(), -6);
    EXPECT_TRUE(state.on_bound_change(-2, -4));
    EXPECT_EQ(state.lower_sum(), -12);
    state.revert_bound_change(-2, -4);
    state.revert_bound_change(-2, 3);
    EXPECT_EQ(state.lower_sum(), -20);
    EXPECT_EQ(state.upper_sum(), 0);
    // The sums no longer match the bounds.
    state.on_bound_change(-2, 3);
    EXPECT_THROW(state.propagate_constraint(solver, cc, true), std::logic_error);
}

TEST_F(SumStateTest, CheckRequiresAssignedVariables) {
    auto x = variable(0, 10);
    auto y = variable(2, 2);
    auto& state = add(1, 3, {{1, y}, {1, x}});
    try {
        state.check_assignment(solver);
        FAIL() << "no exception";
    } catch (std::logic_error const& error) {
        EXPECT_STREQ(error.what(), "variable is not assigned");
    }
}

TEST_F(SumStateTest, CloneCopiesSumsAndFlags) {
    auto x = variable(1, 10);
    auto& state = add(assignment.new_atom(), 3, {{4, x}});
    state.set_deactivation_level(3);
    auto clone = state.clone_state();
    auto const& copy = static_cast<SumStateImpl const&>(*clone);
    EXPECT_EQ(copy.lower_sum(), 4);
    EXPECT_EQ(copy.upper_sum(), 40);
    EXPECT_EQ(copy.deactivation_level(), 3U);
    EXPECT_TRUE(copy.in_queue());
    EXPECT_EQ(&copy.owner_constraint(), &state.owner_constraint());
}

} // namespace
} // namespace Tarvex
