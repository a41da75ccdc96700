#include "constraints/distinct_constraint.hpp"
#include "constraints/distinct_constraint_state.hpp"
#include "tarvex/constraints/state_fixture.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace Tarvex {
namespace {

using TestSupport::Clause;

class DistinctStateTest : public TestSupport::StateFixture {
protected:
    DistinctConstraintState& add_distinct(literal_t lit, std::vector<DistinctConstraint::Term> const& terms) {
        return add<DistinctConstraintState>(DistinctConstraint::create(lit, terms, false));
    }
};

TEST_F(DistinctStateTest, FixedTermPushesTermsWhoseEndsEqualItsValue) {
    auto x = variable(0, 5);
    auto y = variable(3, 5);
    auto z = variable(1, 3);
    literal_t on = assignment.new_atom();
    add_distinct(on, {{{{1, x}}, 0}, {{{1, y}}, 0}, {{{1, z}}, 0}});
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_TRUE(cc.clauses.empty());
    ASSERT_TRUE(decide(1, on));
    ASSERT_TRUE(bound(1, x, 3, true));
    ASSERT_TRUE(bound(1, x, 2, false));
    cc.clauses.clear();
    ASSERT_TRUE(solver.fixpoint(cc, false));
    // x sits at 3: z (whose high is 3) falls, then y (whose low is 3) rises;
    // the level-0 bounds of y and z need no mention.
    ASSERT_EQ(cc.clauses.size(), 2U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-on, -order(x, 3), order(x, 2), order(z, 2)}));
    EXPECT_EQ(cc.clauses[1].literals, (Clause{-on, -order(x, 3), order(x, 2), -order(y, 3)}));
}

TEST_F(DistinctStateTest, NumbersAndRootFixedTermsAreComparedAtTheStart) {
    // Nothing ever changes a bound here, yet 2 and the sum x + y (at least
    // 2) must be told apart, and so must 4 and w.
    auto x = variable(1, 5);
    auto y = variable(1, 5);
    auto w = variable(4, 4);
    literal_t on = assignment.new_atom();
    assignment.assign(on);
    cc.unit_propagate = true;
    add_distinct(on, {{{{1, x}, {1, y}}, 0}, {{}, 2}, {{}, 4}, {{{1, w}}, 0}});
    EXPECT_FALSE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 2U);
    // Some element of x + y leaves its lower bound.
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-order(x, 1), -order(y, 1)}));
    // Two fixed terms with one value: every literal is false, a conflict.
    EXPECT_TRUE(cc.clauses[1].literals.empty());
}

TEST_F(DistinctStateTest, CoefficientsDecideWhichBoundMovesAndEqualValuesConflict) {
    auto x = variable(0, 4);
    auto y = variable(0, 4);
    auto z = variable(0, 4);
    literal_t on = assignment.new_atom();
    cc.unit_propagate = true;
    // 2x, 4 - y, z + 1 (values 2x, -y + 4, z + 1).
    add_distinct(on, {{{{2, x}}, 0}, {{{-1, y}}, 4}, {{{1, z}}, 1}});
    ASSERT_TRUE(decide(1, on));
    ASSERT_TRUE(bound(2, x, 2, true));
    ASSERT_TRUE(bound(2, x, 1, false));
    cc.clauses.clear();
    ASSERT_TRUE(solver.fixpoint(cc, false));
    // 2x = 4: 4 - y has its high 4 at y's lower bound, so y must rise; z + 1
    // spans 1..5 and keeps its bounds.
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-on, -order(x, 2), order(x, 1), -order(y, 0)}));
    // z + 1 = 4 collides with 2x.
    ASSERT_TRUE(bound(3, z, 3, true));
    EXPECT_FALSE(bound(3, z, 2, false) && solver.fixpoint(cc, false));
}

TEST_F(DistinctStateTest, ValuePropagationCutsTheValueOutOfOneVariableTerms) {
    config.distinct_propagation = DistinctPropagation::Values;
    auto x = variable(0, 9);
    auto y = variable(0, 9);
    auto z = variable(0, 9);
    auto u = variable(0, 9);
    literal_t on = assignment.new_atom();
    // x, 2y + 1, z - 2, u + z: x = 5 takes 5 from y (at 2) and z (at 7);
    // the sum of two variables only loses values at its ends.
    add_distinct(on, {{{{1, x}}, 0}, {{{2, y}}, 1}, {{{1, z}}, -2}, {{{1, u}, {1, z}}, 0}});
    ASSERT_TRUE(solver.fixpoint(cc, false));
    ASSERT_TRUE(decide(1, on));
    ASSERT_TRUE(bound(1, x, 5, true));
    ASSERT_TRUE(bound(1, x, 4, false));
    cc.clauses.clear();
    ASSERT_TRUE(solver.fixpoint(cc, false));
    auto& vy = solver.var_state(y);
    auto& vz = solver.var_state(z);
    auto& vx = solver.var_state(x);
    literal_t x5 = solver.value_literal(cc, vx, 5);
    literal_t y2 = solver.value_literal(cc, vy, 2);
    literal_t z7 = solver.value_literal(cc, vz, 7);
    std::vector<Clause> exclusions;
    for (auto const& clause : cc.clauses) {
        if (clause.literals.front() == -on) {
            exclusions.push_back(clause.literals);
        }
    }
    ASSERT_EQ(exclusions.size(), 2U);
    EXPECT_EQ(exclusions[0], (Clause{-on, -x5, -y2}));
    EXPECT_EQ(exclusions[1], (Clause{-on, -x5, -z7}));
    // x5 holds exactly when x is 5.
    EXPECT_EQ(solver.value_literal(cc, vx, 5), x5);
    EXPECT_EQ(solver.value_literal(cc, vx, 10), -1);
    EXPECT_EQ(solver.value_literal(cc, vx, 0), solver.get_literal(cc, vx, 0));
}

TEST_F(DistinctStateTest, FilledIntervalsAreClosedToOtherTerms) {
    config.distinct_propagation = DistinctPropagation::Bounds;
    auto x = variable(1, 9);
    auto y = variable(1, 9);
    auto z = variable(1, 9);
    auto u = variable(1, 9);
    literal_t on = assignment.new_atom();
    // x and y fill [1, 2]: z and 10 - u (both reaching down to 1) must
    // exceed 2, so z >= 3 and u <= 7.
    add_distinct(on, {{{{1, x}}, 0}, {{{1, y}}, 0}, {{{1, z}}, 0}, {{{-1, u}}, 10}});
    ASSERT_TRUE(decide(1, on));
    ASSERT_TRUE(bound(1, x, 2, true));
    ASSERT_TRUE(bound(1, y, 2, true));
    cc.clauses.clear();
    ASSERT_TRUE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 2U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-on, -order(x, 2), -order(y, 2), -order(z, 2)}));
    EXPECT_EQ(cc.clauses[1].literals, (Clause{-on, -order(x, 2), -order(y, 2), order(u, 7)}));
    // A third term in [1, 2] overfills it: the literal must be false.
    ASSERT_TRUE(bound(2, z, 2, true));
    cc.clauses.clear();
    ASSERT_TRUE(solver.fixpoint(cc, false));
    ASSERT_FALSE(cc.clauses.empty());
    EXPECT_EQ(sorted(cc.clauses.back().literals),
              sorted({-on, -order(x, 2), -order(y, 2), -order(z, 2)}));
}

TEST_F(DistinctStateTest, CheckReportsTheFirstRepeatedValue) {
    auto x = variable(2, 2);
    auto y = variable(0, 5);
    auto& state = add_distinct(1, {{{{1, x}}, 0}, {{}, 2}, {{{1, y}}, 0}});
    try {
        state.check_assignment(solver);
        FAIL() << "no exception";
    } catch (std::logic_error const& error) {
        EXPECT_STREQ(error.what(), "invalid distinct constraint");
    }
    auto& other = add_distinct(1, {{{{1, x}}, 1}, {{}, 2}, {{{1, y}}, 0}});
    try {
        other.check_assignment(solver);
        FAIL() << "no exception";
    } catch (std::logic_error const& error) {
        EXPECT_STREQ(error.what(), "variable is not fully assigned");
    }
}

TEST_F(DistinctStateTest, StaleTermBoundsFailTheStateCheck) {
    auto x = variable(0, 5);
    auto y = variable(0, 5);
    auto z = variable(0, 5);
    auto& state = add_distinct(1, {{{{1, x}}, 0}, {{{1, y}}, 0}, {{{1, z}}, 0}});
    ASSERT_TRUE(solver.fixpoint(cc, true));
    solver.var_state(y).set_lower_bound(2);
    EXPECT_THROW(state.propagate_constraint(solver, cc, true), std::logic_error);
    state.on_bound_change(2, 2);
    EXPECT_NO_THROW(state.propagate_constraint(solver, cc, true));
    EXPECT_EQ(state.term_bounds()[1].low, 2);
    auto clone = state.clone_state();
    auto const& copy = static_cast<DistinctConstraintState const&>(*clone);
    EXPECT_EQ(copy.term_bounds()[1].low, 2);
    EXPECT_EQ(copy.lows().entries().size(), 3U);
}

} // namespace
} // namespace Tarvex
