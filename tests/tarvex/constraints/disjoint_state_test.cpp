#include "constraints/disjoint_constraint.hpp"
#include "constraints/disjoint_constraint_state.hpp"
#include "tarvex/constraints/state_fixture.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace Tarvex {
namespace {

using TestSupport::Clause;

class DisjointStateTest : public TestSupport::StateFixture {
protected:
    DisjointConstraintState& add_tasks(literal_t lit, std::vector<CoefVar> const& tasks) {
        return add<DisjointConstraintState>(DisjointConstraint::create(lit, tasks));
    }
};

TEST_F(DisjointStateTest, TasksLongerThanTheirWindowAreAnOverload) {
    auto a = variable(0, 10);
    auto b = variable(0, 10);
    auto c = variable(0, 10);
    literal_t on = assignment.new_atom();
    add_tasks(on, {{3, a}, {3, b}, {1, c}});
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_TRUE(cc.clauses.empty());
    ASSERT_TRUE(bound(1, a, 2, true));
    ASSERT_TRUE(bound(1, b, 2, true));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    // a and b need 6 points of [0, 4]; their lower bounds hold on level 0.
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(sorted(cc.clauses[0].literals), sorted({-on, -order(a, 2), -order(b, 2)}));
}

TEST_F(DisjointStateTest, FilledWindowPushesTasksPastItsEnd) {
    auto a = variable(0, 10);
    auto b = variable(0, 5);
    auto far = variable(20, 30);
    literal_t on = assignment.new_atom();
    assignment.assign(on);
    add_tasks(on, {{2, a}, {1, b}, {1, far}});
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_TRUE(cc.clauses.empty());
    // a fixed at 0 fills [0, 1]: b starts at 2 or later.
    ASSERT_TRUE(bound(1, a, 0, true));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{-order(a, 0), -order(b, 1)}));

}

TEST_F(DisjointStateTest, FilledWindowPushesTasksBeforeItsStart) {
    // c at 8 fills [8, 9]; d (ending by 9) must end before 8. The forward
    // pass finds nothing; the mirrored one looks at every window when the
    // constraint is new (and after every backtrack).
    auto c = variable(8, 8);
    auto d = variable(3, 8);
    auto far = variable(20, 30);
    add_tasks(1, {{2, c}, {2, d}, {1, far}});
    ASSERT_TRUE(solver.fixpoint(cc, false));
    ASSERT_EQ(cc.clauses.size(), 1U);
    EXPECT_EQ(cc.clauses[0].literals, (Clause{order(d, 6)}));
}

TEST_F(DisjointStateTest, EdgeFindingPutsATaskAfterASetItCannotJoin) {
    for (auto mode : {DisjointPropagation::Windows, DisjointPropagation::EdgeFinding}) {
        config.disjoint_propagation = mode;
        auto a = variable(0, 10);
        auto b = variable(0, 10);
        auto i = variable(0, 8);
        add_tasks(1, {{3, a}, {2, b}, {2, i}});
        ASSERT_TRUE(solver.fixpoint(cc, false));
        // a and b need 5 of the 6 points of [0, 5]: i (2 long) cannot come
        // before them or between them, so it starts at 5 or later.
        cc.clauses.clear();
        ASSERT_TRUE(bound(1, a, 3, true));
        ASSERT_TRUE(bound(1, b, 4, true));
        ASSERT_TRUE(solver.fixpoint(cc, false));
        if (mode == DisjointPropagation::Windows) {
            EXPECT_TRUE(cc.clauses.empty());
        } else {
            ASSERT_EQ(cc.clauses.size(), 1U);
            EXPECT_EQ(sorted(cc.clauses[0].literals), sorted({-order(a, 3), -order(b, 4), -order(i, 4)}));
        }
        solver.undo();
        assignment.backtrack_to(1);
        assignment.set_decision_level(0);
    }
}

TEST_F(DisjointStateTest, UnchangedClustersAreSkippedUntilABacktrack) {
    auto a = variable(0, 10);
    auto b = variable(0, 10);
    auto c = variable(0, 10);
    auto& state = add_tasks(1, {{3, a}, {3, b}, {3, c}});
    ASSERT_TRUE(bound(1, a, 1, true));
    ASSERT_TRUE(bound(1, b, 1, true));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    std::size_t clauses = cc.clauses.size();
    ASSERT_GT(clauses, 0U);
    ASSERT_TRUE(state.propagate_constraint(solver, cc, false));
    EXPECT_EQ(cc.clauses.size(), clauses);
    state.revert_bound_change(1, 0);
    ASSERT_TRUE(state.propagate_constraint(solver, cc, false));
    EXPECT_EQ(cc.clauses.size(), 2 * clauses);
}

TEST_F(DisjointStateTest, CheckFindsOverlapsButNotTouchingEnds) {
    auto a = variable(0, 0);
    auto b = variable(2, 2);
    auto c = variable(1, 1);
    EXPECT_NO_THROW(add_tasks(1, {{2, a}, {3, b}, {0, c}}).check_assignment(solver));
    try {
        add_tasks(1, {{2, a}, {3, b}, {1, c}}).check_assignment(solver);
        FAIL() << "no exception";
    } catch (std::logic_error const& error) {
        EXPECT_STREQ(error.what(), "invalid assignment to distinct constraint");
    }
}

} // namespace
} // namespace Tarvex
