#include "constraints/sum_constraint.hpp"
#include "constraints/sum_constraint_state.hpp"
#include "solver/thread_solver.hpp"
#include "tarvex/solver/recording_clause_creator.hpp"

#include <gtest/gtest.h>

#include <array>

namespace Tarvex {
namespace {

using Clause = std::vector<literal_t>;

class PropagationTest : public ::testing::Test {
protected:
    // Variable x in [0, 10] with order literals at 2, 4, 6 and 8.
    void make_chain() {
        x = solver.add_variable(0, 10);
        for (value_t v : {2, 4, 6, 8}) {
            lits.push_back(solver.get_literal(cc, solver.var_state(x), v));
        }
    }
    // Makes lit true on level `level` and tells the solver.
    bool decide(level_t level, literal_t lit) {
        assignment.set_decision_level(level);
        assignment.assign(lit);
        std::array<literal_t, 1> changes{lit};
        return solver.propagate_changes(cc, changes);
    }

    ThreadConfig config;
    ThreadStats stats;
    TestSupport::ScriptedAssignment assignment;
    TestSupport::RecordingClauseCreator cc{assignment};
    ThreadSolver solver{config, stats};
    var_id x = 0;
    std::vector<literal_t> lits;
};

TEST_F(PropagationTest, ChainClausesLinkNeighboursWhenChainPropagationIsOn) {
    make_chain();
    ASSERT_TRUE(decide(3, lits[0]));
    EXPECT_EQ(solver.var_state(x).upper_bound(), 2);
    ASSERT_EQ(cc.clauses.size(), 3U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-lits[0], lits[1]}));
    EXPECT_EQ(cc.clauses[1].literals, (Clause{-lits[1], lits[2]}));
    EXPECT_EQ(cc.clauses[2].literals, (Clause{-lits[2], lits[3]}));
    EXPECT_EQ(cc.clauses[0].type, clause_type_learnt);
}

TEST_F(PropagationTest, ChainClausesUseTheArrivingLiteralWhenChainPropagationIsOff) {
    config.propagate_chain = false;
    make_chain();
    ASSERT_TRUE(decide(3, lits[0]));
    ASSERT_EQ(cc.clauses.size(), 3U);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(cc.clauses[i].literals, (Clause{-lits[0], lits[i + 1]}));
    }
}

TEST_F(PropagationTest, ChainOnLevelZeroIsStaticAndFromTheTrueLiteral) {
    make_chain();
    assignment.assign(lits[0]);
    std::array<literal_t, 1> changes{lits[0]};
    ASSERT_TRUE(solver.propagate_changes(cc, changes));
    ASSERT_EQ(cc.clauses.size(), 3U);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(cc.clauses[i].literals, (Clause{-1, lits[i + 1]}));
        EXPECT_EQ(cc.clauses[i].type, clause_type_static);
    }
    // The fixed literal became the bound itself.
    EXPECT_EQ(solver.var_state(x).upper_bound(), 2);
    EXPECT_FALSE(solver.var_state(x).has_literal(2));
    EXPECT_FALSE(solver.lookup_literal(lits[0]).valid());
}

TEST_F(PropagationTest, ChainWalkStopsAtTheFirstTrueLiteral) {
    make_chain();
    assignment.set_decision_level(2);
    assignment.assign(lits[2]);
    ASSERT_TRUE(decide(2, lits[0]));
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-lits[0], lits[1]}));
}

TEST_F(PropagationTest, LowerBoundChainWalksDownwards) {
    make_chain();
    ASSERT_TRUE(decide(1, -lits[2]));
    EXPECT_EQ(solver.var_state(x).lower_bound(), 7);
    ASSERT_EQ(cc.clauses.size(), 2U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{lits[2], -lits[1]}));
    EXPECT_EQ(cc.clauses[1].literals, (Clause{lits[1], -lits[0]}));
}

TEST_F(PropagationTest, BoundAtTheCurrentUpperBoundStillWalksTheChain) {
    make_chain();
    ASSERT_TRUE(decide(1, lits[1]));
    cc.clauses.clear();
    // Upper bound is 4 now; x <= 4 arriving again changes nothing but walks.
    std::array<literal_t, 1> changes{lits[1]};
    ASSERT_TRUE(solver.propagate_changes(cc, changes));
    EXPECT_EQ(solver.var_state(x).upper_bound(), 4);
    EXPECT_EQ(cc.clauses.size(), 2U);
}

TEST_F(PropagationTest, CrossingBoundsIsAConflictWithATwoLiteralClause) {
    make_chain();
    ASSERT_TRUE(decide(1, -lits[2]));
    cc.clauses.clear();
    EXPECT_FALSE(decide(2, lits[0]));
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{lits[2], -lits[0]}));
}

// The sum state's cached sums move only by what it was told, so undo must
// revert exactly the reported part of a level's changes.
TEST_F(PropagationTest, UndoRevertsExactlyTheReportedPart) {
    make_chain();
    auto constraint = SumConstraint::create(1, 100, std::array<CoefVar, 1>{CoefVar{3, x}}, false);
    auto& state = static_cast<SumStateImpl&>(solver.add_constraint(*constraint));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    // Satisfied on level 0 and switched off; switch it back on to listen.
    state.set_deactivation_level(0);

    ASSERT_TRUE(decide(1, lits[3]));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_EQ(state.upper_sum(), 24);
    // Same level, not yet reported.
    ASSERT_TRUE(decide(1, lits[2]));
    solver.undo();
    EXPECT_EQ(state.upper_sum(), 30);
    EXPECT_EQ(solver.var_state(x).upper_bound(), 10);
    EXPECT_EQ(solver.num_levels(), 1U);

    ASSERT_TRUE(decide(1, -lits[0]));
    solver.undo();
    EXPECT_EQ(state.lower_sum(), 0);
    EXPECT_EQ(solver.var_state(x).lower_bound(), 0);
}

TEST_F(PropagationTest, WatchesOfStatesDeactivatedBelowAreDroppedAndRestored) {
    make_chain();
    auto constraint = SumConstraint::create(1, 100, std::array<CoefVar, 1>{CoefVar{1, x}}, false);
    auto& state = static_cast<SumStateImpl&>(solver.add_constraint(*constraint));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    state.set_deactivation_level(0);
    ASSERT_TRUE(decide(1, -lits[0]));
    solver.mark_inactive(state);
    EXPECT_EQ(state.deactivation_level(), 2U);
    ASSERT_TRUE(decide(2, lits[3]));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_TRUE(solver.var_watches(x).empty());
    EXPECT_EQ(state.upper_sum(), 10);
    solver.undo();
    EXPECT_EQ(solver.var_watches(x).size(), 1U);
    EXPECT_EQ(state.deactivation_level(), 2U);
    solver.undo();
    EXPECT_EQ(state.deactivation_level(), 0U);
}

TEST_F(PropagationTest, FixpointOnALevelWithoutRecordDoesNothing) {
    make_chain();
    auto constraint = SumConstraint::create(1, 100, std::array<CoefVar, 1>{CoefVar{1, x}}, false);
    auto& state = solver.add_constraint(*constraint);
    assignment.set_decision_level(2);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_TRUE(state.in_queue());
    assignment.set_decision_level(0);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_FALSE(state.in_queue());
}

TEST_F(PropagationTest, SplitSearchWrapsAroundAndUsesTheMidpoint) {
    for (int i = 0; i < 6; ++i) {
        bool open = i == 2 || i == 5;
        solver.add_variable(i == 2 ? -3 : 5, open ? (i == 2 ? 4 : 6) : 5);
    }
    solver.set_split_cursor(3);
    solver.check_total(cc, false);
    EXPECT_EQ(solver.split_cursor(), 5U);
    EXPECT_TRUE(solver.var_state(5).has_literal(5));
    solver.set_split_cursor(6);
    solver.check_total(cc, false);
    EXPECT_EQ(solver.split_cursor(), 2U);
    EXPECT_TRUE(solver.var_state(2).has_literal(0));
    EXPECT_EQ(solver.var_state(2).literal_count(), 1U);
}

TEST_F(PropagationTest, SplitAllSplitsEveryOpenDomain) {
    config.split_all = true;
    solver.add_variable(0, 0);
    solver.add_variable(0, 9);
    solver.add_variable(-8, -2);
    solver.check_total(cc, false);
    EXPECT_TRUE(solver.var_state(1).has_literal(4));
    EXPECT_TRUE(solver.var_state(2).has_literal(-5));
}

TEST_F(PropagationTest, TotalCheckVerifiesConstraintsWhoseLiteralIsTrue) {
    auto y = solver.add_variable(3, 3);
    literal_t on = assignment.new_atom();
    auto constraint = SumConstraint::create(on, 2, std::array<CoefVar, 1>{CoefVar{1, y}}, false);
    solver.add_constraint(*constraint);
    EXPECT_NO_THROW(solver.check_total(cc, true));
    assignment.assign(on);
    EXPECT_THROW(solver.check_total(cc, true), std::logic_error);
    EXPECT_NO_THROW(solver.check_total(cc, false));
}

} // namespace
} // namespace Tarvex
