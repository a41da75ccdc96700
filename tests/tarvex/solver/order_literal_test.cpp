#include "solver/thread_solver.hpp"
#include "tarvex/solver/recording_clause_creator.hpp"

#include <gtest/gtest.h>

namespace Tarvex {
namespace {

class OrderLiteralTest : public ::testing::Test {
protected:
    ThreadConfig config;
    ThreadStats stats;
    TestSupport::ScriptedAssignment assignment;
    TestSupport::RecordingClauseCreator cc{assignment};
    ThreadSolver solver{config, stats};
};

TEST_F(OrderLiteralTest, ConstantsOutsideTheRootDomainNeedNoLiteral) {
    auto x = solver.add_variable(0, 10);
    auto& vs = solver.var_state(x);
    EXPECT_EQ(solver.get_literal(cc, vs, 10), 1);
    EXPECT_EQ(solver.get_literal(cc, vs, -1), -1);
    EXPECT_EQ(cc.literals_added, 0U);
    literal_t lit = solver.get_literal(cc, vs, 9);
    EXPECT_EQ(cc.literals_added, 1U);
    EXPECT_EQ(solver.get_literal(cc, vs, 9), lit);
    EXPECT_EQ(cc.watches, (std::vector<literal_t>{lit, -lit}));
    auto const& entry = solver.lookup_literal(lit);
    EXPECT_TRUE(entry.is_order_literal(lit));
    EXPECT_FALSE(entry.is_order_literal(-lit));
    EXPECT_EQ(entry.var(), x);
    EXPECT_EQ(entry.value, 9);
}

TEST_F(OrderLiteralTest, SignValueChoosesThePolarity) {
    auto& vs = solver.var_state(solver.add_variable(-10, 10));
    EXPECT_GT(solver.get_literal(cc, vs, -1), 0);
    EXPECT_LT(solver.get_literal(cc, vs, 0), 0);
    config.sign_value = 2147483647;
    EXPECT_GT(solver.get_literal(cc, vs, 5), 0);
}

TEST_F(OrderLiteralTest, NewLiteralsAreLinkedToTheirNeighbours) {
    auto& vs = solver.var_state(solver.add_variable(0, 10));
    literal_t a = solver.get_literal(cc, vs, 2);
    literal_t c = solver.get_literal(cc, vs, 8);
    literal_t b = solver.get_literal(cc, vs, 5);
    EXPECT_EQ(solver.lookup_literal(a).prev, -1);
    EXPECT_EQ(solver.lookup_literal(a).next, b);
    EXPECT_EQ(solver.lookup_literal(b).prev, a);
    EXPECT_EQ(solver.lookup_literal(b).next, c);
    EXPECT_EQ(solver.lookup_literal(c).prev, b);
    EXPECT_EQ(solver.lookup_literal(c).next, 1);
}

TEST_F(OrderLiteralTest, DroppingSearchLiteralsRelinksTheOuterNeighbours) {
    auto x = solver.add_variable(0, 10);
    auto& vs = solver.var_state(x);
    literal_t low = solver.get_literal(cc, vs, 2);
    literal_t high = solver.get_literal(cc, vs, 8);
    solver.set_init_literal_count(static_cast<std::uint32_t>(assignment.size()));
    literal_t middle = solver.get_literal(cc, vs, 5);
    ASSERT_EQ(solver.lookup_literal(low).next, middle);

    solver.drop_search_literals();
    EXPECT_FALSE(solver.lookup_literal(middle).valid());
    EXPECT_FALSE(vs.has_literal(5));
    EXPECT_EQ(solver.lookup_literal(low).next, high);
    EXPECT_EQ(solver.lookup_literal(high).prev, low);
    EXPECT_TRUE(solver.lookup_literal(low).valid());
}

TEST_F(OrderLiteralTest, UpdateLiteralRecordsFactsOnlyOnLevelZero) {
    auto x = solver.add_variable(0, 10);
    auto& vs = solver.var_state(x);
    literal_t above = solver.get_literal(cc, vs, 7);
    EXPECT_EQ(solver.update_literal(cc, vs, 4, 1), 1);
    ASSERT_EQ(solver.fact_queue().size(), 1U);
    auto fact = solver.fact_queue()[0];
    EXPECT_EQ(fact.truth, 1);
    EXPECT_EQ(fact.var, x);
    EXPECT_EQ(fact.value, 4);
    EXPECT_EQ(fact.neighbour, above);
    EXPECT_EQ(solver.update_literal(cc, vs, 2, 2), -1);
    EXPECT_EQ(solver.fact_queue().back().truth, -1);
    EXPECT_EQ(solver.fact_queue().back().neighbour, -1);
    // An existing literal is returned as it is.
    EXPECT_EQ(solver.update_literal(cc, vs, 7, 1), above);

    assignment.set_decision_level(1);
    literal_t lit = solver.update_literal(cc, vs, 3, 1);
    EXPECT_NE(lit, 1);
    EXPECT_TRUE(solver.lookup_literal(lit).is_order_literal(lit));
    EXPECT_EQ(solver.fact_queue().size(), 2U);
}

TEST_F(OrderLiteralTest, AppliedFactsBecomeBoundsAndLeaveTheStorage) {
    auto x = solver.add_variable(0, 10);
    auto& vs = solver.var_state(x);
    literal_t low = solver.get_literal(cc, vs, 1);
    literal_t high = solver.get_literal(cc, vs, 8);
    solver.update_literal(cc, vs, 6, 1);
    solver.update_literal(cc, vs, 3, 2);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_EQ(vs.lower_bound(), 4);
    EXPECT_EQ(vs.upper_bound(), 6);
    EXPECT_FALSE(vs.has_literal(6));
    EXPECT_FALSE(vs.has_literal(3));
    EXPECT_TRUE(solver.fact_queue().empty());
    EXPECT_EQ(solver.lookup_literal(low).next, high);
    EXPECT_EQ(solver.lookup_literal(high).prev, low);
    // Level-0 chains: x <= 6 implies x <= 8, x >= 4 implies x >= 2, as static clauses.
    ASSERT_EQ(cc.clauses.size(), 2U);
    EXPECT_EQ(cc.clauses[0].literals, (std::vector<literal_t>{-1, high}));
    EXPECT_EQ(cc.clauses[0].type, clause_type_static);
    EXPECT_EQ(cc.clauses[1].literals, (std::vector<literal_t>{-1, -low}));
}

TEST_F(OrderLiteralTest, DecideMovesToTheExtremeStoredLiteral) {
    config.heuristic = HeuristicMode::MaxChain;
    auto x = solver.add_variable(0, 20);
    auto& vs = solver.var_state(x);
    literal_t l2 = solver.get_literal(cc, vs, 2);
    solver.get_literal(cc, vs, 5);
    literal_t l9 = solver.get_literal(cc, vs, 9);
    // Root bounds 0..20 narrowed to 1..10 on level 0.
    vs.set_lower_bound(1);
    vs.set_upper_bound(10);
    EXPECT_EQ(solver.decide(l9), l2);
    EXPECT_EQ(solver.decide(-l2), -l9);
    literal_t program_atom = assignment.new_atom();
    EXPECT_EQ(solver.decide(program_atom), program_atom);
    config.heuristic = HeuristicMode::None;
    EXPECT_EQ(solver.decide(l9), l9);
}

} // namespace
} // namespace Tarvex
