#include "constraints/sum_constraint.hpp"
#include "constraints/sum_constraint_state.hpp"
#include "solver/thread_solver.hpp"
#include "tarvex/solver/recording_clause_creator.hpp"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace Tarvex {
namespace {

class BoundTrailTest : public ::testing::Test {
protected:
    // x and y in [0, 20] with order literals at every even value in between.
    void make_variables() {
        x = solver.add_variable(0, 20);
        y = solver.add_variable(0, 20);
        for (var_id var : {x, y}) {
            for (value_t v = 2; v < 20; v += 2) {
                lits[{var, v}] = solver.get_literal(cc, solver.var_state(var), v);
            }
        }
    }
    // x <= v for truth, x > v otherwise.
    literal_t le(var_id var, value_t v, bool truth = true) const {
        literal_t lit = lits.at({var, v});
        return truth ? lit : -lit;
    }
    // Makes lit true on `level` and tells the solver; on a new level the
    // host's trail size from before is kept for going back.
    bool decide(level_t level, literal_t lit) {
        if (level > assignment.decision_level()) {
            marks.push_back(assignment.trail_size());
        }
        assignment.set_decision_level(level);
        assignment.assign(lit);
        std::array<literal_t, 1> changes{lit};
        return solver.propagate_changes(cc, changes) && solver.fixpoint(cc, false);
    }
    void backtrack() {
        solver.undo();
        assignment.backtrack_to(marks.back());
        marks.pop_back();
        assignment.set_decision_level(static_cast<level_t>(marks.size()));
    }
    std::pair<value_t, value_t> bounds(var_id var) const {
        auto const& vs = solver.var_state(var);
        return {vs.lower_bound(), vs.upper_bound()};
    }

    ThreadConfig config;
    ThreadStats stats;
    TestSupport::ScriptedAssignment assignment;
    TestSupport::RecordingClauseCreator cc{assignment};
    ThreadSolver solver{config, stats};
    var_id x = 0;
    var_id y = 0;
    std::map<std::pair<var_id, value_t>, literal_t> lits;
    std::vector<std::uint32_t> marks;
};

using Bounds = std::pair<value_t, value_t>;

// Entries keep their values across chunk boundaries, after truncating and
// growing again over old contents, and in a copy.
TEST(BoundTrail, KeepsEntriesAcrossChunksTruncationAndCopies) {
    BoundTrail trail;
    auto entry = [](std::size_t i, int round) {
        return SavedBound{static_cast<std::uint32_t>(i), static_cast<value_t>(i) * 3 - round};
    };
    std::size_t const n = 2 * BoundTrail::chunk_size + 5;
    for (std::size_t i = 0; i < n; ++i) {
        trail.push_back(entry(i, 0));
    }
    ASSERT_EQ(trail.size(), n);
    trail.truncate(BoundTrail::chunk_size - 1);
    std::size_t const bytes = trail.bytes();
    for (std::size_t i = BoundTrail::chunk_size - 1; i < n; ++i) {
        trail.push_back(entry(i, 1));
    }
    // Growing back to the old size reuses the chunks.
    EXPECT_EQ(trail.bytes(), bytes);
    BoundTrail copy{trail};
    trail.truncate(0);
    EXPECT_TRUE(trail.empty());
    ASSERT_EQ(copy.size(), n);
    for (std::size_t i = 0; i < n; ++i) {
        int round = i < BoundTrail::chunk_size - 1 ? 0 : 1;
        ASSERT_EQ(copy[i].var_side, entry(i, round).var_side) << i;
        ASSERT_EQ(copy[i].bound, entry(i, round).bound) << i;
    }
    copy = BoundTrail{};
    EXPECT_EQ(copy.size(), 0U);
}

// Each level keeps a variable's bound once per side, however often it moves,
// and undo brings back every level's bounds in turn.
TEST_F(BoundTrailTest, UndoRestoresTheBoundsOfEveryLevel) {
    make_variables();
    ASSERT_TRUE(decide(1, le(x, 16)));
    ASSERT_TRUE(decide(1, le(x, 2, false)));
    EXPECT_EQ(solver.bound_trail().size(), 2U);
    ASSERT_TRUE(decide(2, le(x, 12)));
    ASSERT_TRUE(decide(2, le(x, 10)));
    ASSERT_TRUE(decide(2, le(y, 6, false)));
    ASSERT_TRUE(decide(2, le(y, 8, false)));
    EXPECT_EQ(solver.bound_trail().size(), 4U);
    ASSERT_TRUE(decide(3, le(x, 6)));
    ASSERT_TRUE(decide(3, le(y, 14)));
    ASSERT_TRUE(decide(3, le(x, 4, false)));
    EXPECT_EQ(bounds(x), (Bounds{5, 6}));
    EXPECT_EQ(bounds(y), (Bounds{9, 14}));

    backtrack();
    EXPECT_EQ(bounds(x), (Bounds{3, 10}));
    EXPECT_EQ(bounds(y), (Bounds{9, 20}));
    EXPECT_EQ(solver.bound_trail().size(), 4U);
    backtrack();
    EXPECT_EQ(bounds(x), (Bounds{3, 16}));
    EXPECT_EQ(bounds(y), (Bounds{0, 20}));
    backtrack();
    EXPECT_EQ(bounds(x), (Bounds{0, 20}));
    EXPECT_TRUE(solver.bound_trail().empty());
    EXPECT_EQ(solver.num_levels(), 1U);
    // Bounds above level 0 never touch the root domain.
    EXPECT_EQ(solver.var_state(x).min_bound(), 0);
    EXPECT_EQ(solver.var_state(x).max_bound(), 20);
}

// Back on a level after a backjump, a bound moves again: undoing the level
// must return to the bound from before the level, and the watchers must be
// told each change back exactly once.
TEST_F(BoundTrailTest, ALevelEnteredAgainAfterABackjumpIsUndoneToItsOldBounds) {
    make_variables();
    auto constraint = SumConstraint::create(1, 100, std::array<CoefVar, 1>{CoefVar{3, x}}, false);
    auto& state = static_cast<SumStateImpl&>(solver.add_constraint(*constraint));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    // Satisfied on level 0 and switched off; switch it back on to listen.
    state.set_deactivation_level(0);
    ASSERT_EQ(state.upper_sum(), 60);

    ASSERT_TRUE(decide(1, le(x, 16)));
    ASSERT_TRUE(decide(2, le(x, 12)));
    ASSERT_TRUE(decide(2, le(x, 4, false)));
    EXPECT_EQ(state.upper_sum(), 36);
    backtrack();
    EXPECT_EQ(bounds(x), (Bounds{0, 16}));
    EXPECT_EQ(state.upper_sum(), 48);
    EXPECT_EQ(state.lower_sum(), 0);

    ASSERT_TRUE(decide(1, le(x, 10)));
    ASSERT_TRUE(decide(1, le(x, 8)));
    ASSERT_TRUE(decide(1, le(x, 2, false)));
    EXPECT_EQ(bounds(x), (Bounds{3, 8}));
    EXPECT_EQ(state.upper_sum(), 24);
    EXPECT_EQ(state.lower_sum(), 9);
    ASSERT_TRUE(decide(2, le(x, 6)));
    backtrack();
    EXPECT_EQ(bounds(x), (Bounds{3, 8}));
    EXPECT_EQ(state.upper_sum(), 24);

    backtrack();
    EXPECT_EQ(bounds(x), (Bounds{0, 20}));
    EXPECT_EQ(state.upper_sum(), 60);
    EXPECT_EQ(state.lower_sum(), 0);
    EXPECT_TRUE(solver.bound_trail().empty());

    // A third visit of level 1 finds no stale save of the second one.
    ASSERT_TRUE(decide(1, le(x, 14)));
    EXPECT_EQ(solver.bound_trail().size(), 1U);
    backtrack();
    EXPECT_EQ(bounds(x), (Bounds{0, 20}));
    EXPECT_EQ(state.upper_sum(), 60);
}

// Changes on level 0 narrow the root domain, also after search came back to
// it, and are never undone.
TEST_F(BoundTrailTest, LevelZeroChangesMoveTheRootBounds) {
    make_variables();
    ASSERT_TRUE(decide(0, le(x, 18)));
    EXPECT_EQ(solver.var_state(x).max_bound(), 18);
    EXPECT_TRUE(solver.bound_trail().empty());

    ASSERT_TRUE(decide(1, le(x, 12)));
    ASSERT_TRUE(decide(1, le(y, 4, false)));
    EXPECT_EQ(solver.var_state(x).max_bound(), 18);
    EXPECT_EQ(solver.var_state(y).min_bound(), 0);
    backtrack();

    ASSERT_TRUE(decide(0, le(y, 2, false)));
    EXPECT_EQ(bounds(y), (Bounds{3, 20}));
    EXPECT_EQ(solver.var_state(y).min_bound(), 3);
    ASSERT_TRUE(decide(1, le(y, 10)));
    EXPECT_EQ(solver.var_state(y).max_bound(), 20);
    backtrack();
    EXPECT_EQ(bounds(x), (Bounds{0, 18}));
    EXPECT_EQ(bounds(y), (Bounds{3, 20}));
    solver.undo();
    EXPECT_EQ(bounds(y), (Bounds{3, 20}));
}

// A thread copied from another starts from its level-0 state with a trail of
// its own: searching and undoing in the copy leaves the original alone.
TEST_F(BoundTrailTest, ACopiedThreadKeepsItsOwnTrail) {
    make_variables();
    ASSERT_TRUE(decide(0, le(x, 2, false)));
    ThreadStats copy_stats;
    ThreadSolver copy{config, copy_stats};
    copy.copy_state(solver);
    EXPECT_EQ(copy.var_state(x).min_bound(), 3);
    EXPECT_EQ(copy.var_state(x).lower_bound(), 3);

    ASSERT_TRUE(decide(1, le(x, 10)));
    ASSERT_TRUE(decide(2, le(y, 6)));
    assignment.set_decision_level(1);
    std::array<literal_t, 1> changes{le(x, 14)};
    ASSERT_TRUE(copy.propagate_changes(cc, changes));
    EXPECT_EQ(copy.var_state(x).upper_bound(), 14);
    EXPECT_EQ(copy.var_state(y).upper_bound(), 20);
    EXPECT_EQ(copy.bound_trail().size(), 1U);
    copy.undo();
    EXPECT_EQ(copy.var_state(x).upper_bound(), 20);
    EXPECT_EQ(bounds(x), (Bounds{3, 10}));
    EXPECT_EQ(bounds(y), (Bounds{0, 6}));
    backtrack();
    backtrack();
    EXPECT_EQ(bounds(x), (Bounds{3, 20}));
    EXPECT_EQ(bounds(y), (Bounds{0, 20}));
}

} // namespace
} // namespace Tarvex
