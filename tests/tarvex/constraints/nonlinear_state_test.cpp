#include "constraints/nonlinear_constraint.hpp"
#include "constraints/nonlinear_constraint_state.hpp"
#include "core/coef_var.hpp"
#include "tarvex/constraints/state_fixture.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace Tarvex {
namespace {

using TestSupport::Clause;

class NonlinearStateTest : public TestSupport::StateFixture {
protected:
    NonlinearConstraintState& add_product(literal_t lit, value_t rhs, value_t co_xy, var_id x, var_id y,
                                          value_t co_z = 0, var_id z = no_var) {
        return add<NonlinearConstraintState>(NonlinearConstraint::create(lit, rhs, co_xy, x, y, co_z, z));
    }
};

TEST_F(NonlinearStateTest, CornerProductsBoundTheProduct) {
    auto x = variable(-2, 3);
    auto y = variable(-2, 3);
    literal_t on = assignment.new_atom();
    assignment.assign(on);
    // Corners 4, -6, -6, 9: 6 may hold or not, and nothing is derived for
    // the factors.
    auto& open = add_product(on, 6, 1, x, y);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_TRUE(cc.clauses.empty());
    EXPECT_EQ(open.deactivation_level(), 0U);
    // The smallest corner exceeds -7: the literal must be false (the
    // factors' bounds hold on level 0 and are left out).
    add_product(on, -7, 1, x, y);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-on}));
    // x * x is bounded as if the factors were independent: -6 <= x * x <= 9.
    auto& square = add_product(on, 9, 1, x, x);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_NE(square.deactivation_level(), 0U);
    cc.clauses.clear();
    add_product(on, -6, 1, x, x);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_TRUE(cc.clauses.empty());
}

TEST_F(NonlinearStateTest, LinearTermIsBoundedByTheSmallestProduct) {
    auto x = variable(0, 5);
    auto y = variable(0, 2);
    auto z = variable(-10, 10);
    literal_t on = assignment.new_atom();
    // x * y - 2z <= 7 with x * y >= 0: z >= ceil(7 / -2) = -3.
    add_product(on, 7, 1, x, y, -2, z);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_TRUE(cc.clauses.empty());
    ASSERT_TRUE(decide(1, on));
    ASSERT_TRUE(bound(1, x, 1, false));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 1U);
    // With x >= 2 the smallest product is still 0 (y may be 0).
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-on, order(x, 1), -order(z, -4)}));

    // 3z + x * y <= 10 with x * y >= 1: z <= 3.
    auto u = variable(1, 4);
    auto v = variable(1, 4);
    auto w = variable(0, 10);
    cc.clauses.clear();
    add_product(1, 10, 1, u, v, 3, w);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{order(w, 3)}));
}

TEST_F(NonlinearStateTest, ProductsOfLargeBoundsAreExact) {
    value_t const big = 1073741823;
    auto x = variable(big, big);
    auto y = variable(-big, big);
    auto z = variable(0, 10);
    // (-big * big) * y <= big^3 holds for every y; in 64 bits the corner
    // products would wrap around.
    literal_t on = assignment.new_atom();
    auto& holds = add_product(on, 0, -big, x, y, 1, z);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_EQ(holds.deactivation_level(), 0U);
    auto& always = add_product(on, big, -big, x, x, 1, z);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_NE(always.deactivation_level(), 0U);
    // big * big * big - z <= big cannot hold.
    add_product(on, big, big, x, x, -1, z);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-on}));
}

TEST_F(NonlinearStateTest, CheckEvaluatesTheAssignment) {
    auto x = variable(-3, -3);
    auto y = variable(4, 4);
    auto z = variable(2, 2);
    // -12 + 5 * 2 = -2.
    EXPECT_NO_THROW(add_product(1, -2, 1, x, y, 5, z).check_assignment(solver));
    EXPECT_THROW(add_product(1, -3, 1, x, y, 5, z).check_assignment(solver), std::logic_error);
}

} // namespace
} // namespace Tarvex
