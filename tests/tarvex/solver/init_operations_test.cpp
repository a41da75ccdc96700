#include "constraints/sum_constraint.hpp"
#include "host/propagate_init.hpp"
#include "solver/init_clause_creator.hpp"
#include "solver/thread_solver.hpp"
#include "tarvex/solver/recording_clause_creator.hpp"

#include <gtest/gtest.h>

#include <array>

namespace Tarvex {
namespace {

using Clause = std::vector<literal_t>;

class InitOperationsTest : public ::testing::Test {
protected:
    std::vector<Clause> clauses() const {
        std::vector<Clause> result;
        for (auto const& clause : cc.clauses) {
            result.push_back(clause.literals);
        }
        return result;
    }

    ThreadConfig config;
    ThreadStats stats;
    TestSupport::ScriptedAssignment assignment;
    TestSupport::RecordingClauseCreator cc{assignment};
    ThreadSolver solver{config, stats};
};

TEST_F(InitOperationsTest, DomainWithAGapFixesItsEndsAndExcludesTheGap) {
    auto x = solver.add_variable(0, 10);
    IntervalSet domain{{1, 3}, {5, 7}};
    ASSERT_TRUE(solver.add_dom(cc, 1, x, domain));
    auto& vs = solver.var_state(x);
    literal_t l2 = vs.literal_at(2);
    literal_t l4 = vs.literal_at(4);
    literal_t l6 = vs.literal_at(6);
    EXPECT_EQ(clauses(), (std::vector<Clause>{{-1, -1, 1}, {-1, l2, -l4}, {-1, -1, l6}, {-1, -l4, l2}}));
    // x >= 1 is a fact; x <= 6 is the unit clause on the literal that exists.
    ASSERT_EQ(solver.fact_queue().size(), 1U);
    EXPECT_EQ(solver.fact_queue()[0].truth, -1);
    EXPECT_EQ(solver.fact_queue()[0].value, 0);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_EQ(vs.lower_bound(), 1);
}

TEST_F(InitOperationsTest, ConditionalDomainOnlyAddsClauses) {
    auto x = solver.add_variable(0, 10);
    literal_t t = assignment.new_atom();
    ASSERT_TRUE(solver.add_dom(cc, t, x, IntervalSet{{2, 4}}));
    auto& vs = solver.var_state(x);
    EXPECT_EQ(clauses(), (std::vector<Clause>{{-t, -1, -vs.literal_at(1)}, {-t, -1, vs.literal_at(3)}}));
    EXPECT_TRUE(solver.fact_queue().empty());
    assignment.assign(-t);
    cc.clauses.clear();
    ASSERT_TRUE(solver.add_dom(cc, t, x, IntervalSet{{2, 4}}));
    EXPECT_TRUE(cc.clauses.empty());
}

TEST_F(InitOperationsTest, SimpleWithNegativeCoefficientImpliesALowerBound) {
    auto x = solver.add_variable(-10, 10);
    literal_t lit = assignment.new_atom();
    ASSERT_TRUE(solver.add_simple(cc, lit, -2, x, 5, false));
    literal_t at = solver.var_state(x).literal_at(-3);
    ASSERT_NE(at, 0);
    EXPECT_EQ(clauses(), (std::vector<Clause>{{-lit, -at}}));
    // The strict form adds the converse.
    cc.clauses.clear();
    literal_t other = assignment.new_atom();
    auto y = solver.add_variable(-10, 10);
    solver.get_literal(cc, solver.var_state(y), -3);
    ASSERT_TRUE(solver.add_simple(cc, other, -2, y, 5, true));
    literal_t yat = solver.var_state(y).literal_at(-3);
    EXPECT_EQ(clauses(), (std::vector<Clause>{{-other, -yat}, {yat, other}}));
}

TEST_F(InitOperationsTest, StrictSimpleBindsTheLiteralItself) {
    auto x = solver.add_variable(0, 10);
    literal_t lit = assignment.new_atom();
    ASSERT_TRUE(solver.add_simple(cc, lit, 2, x, 9, true));
    EXPECT_EQ(solver.var_state(x).literal_at(4), lit);
    EXPECT_TRUE(solver.lookup_literal(lit).is_order_literal(lit));
    EXPECT_TRUE(cc.clauses.empty());
    EXPECT_EQ(cc.watches, (std::vector<literal_t>{lit, -lit}));

    // Negative coefficient: the negated literal stands for x <= v.
    literal_t neg = assignment.new_atom();
    ASSERT_TRUE(solver.add_simple(cc, neg, -1, x, -7, true));
    EXPECT_EQ(solver.var_state(x).literal_at(6), -neg);
}

TEST_F(InitOperationsTest, StrictSimpleWithAnOrderLiteralOfAnotherVariableIntroducesAFreshOne) {
    auto x = solver.add_variable(0, 10);
    auto y = solver.add_variable(0, 10);
    literal_t lit = assignment.new_atom();
    ASSERT_TRUE(solver.add_simple(cc, lit, 1, x, 4, true));
    ASSERT_TRUE(solver.add_simple(cc, lit, 1, y, 4, true));
    literal_t fresh = solver.var_state(y).literal_at(4);
    EXPECT_NE(fresh, lit);
    EXPECT_EQ(clauses(), (std::vector<Clause>{{-lit, fresh}, {-fresh, lit}}));
    EXPECT_EQ(solver.var_state(x).literal_at(4), lit);
}

TEST_F(InitOperationsTest, StrictSimpleWithAFixedLiteralQueuesAFact) {
    auto x = solver.add_variable(0, 10);
    literal_t lit = assignment.new_atom();
    assignment.assign(-lit);
    ASSERT_TRUE(solver.add_simple(cc, lit, 1, x, 4, true));
    ASSERT_TRUE(solver.fixpoint(cc, false));
    EXPECT_EQ(solver.var_state(x).lower_bound(), 5);
    EXPECT_TRUE(cc.clauses.empty());
}

TEST_F(InitOperationsTest, SimplifyAppliesTheLevelZeroTrail) {
    auto x = solver.add_variable(0, 10);
    literal_t l3 = solver.get_literal(cc, solver.var_state(x), 3);
    assignment.assign(l3);
    ASSERT_TRUE(solver.simplify(cc, true));
    EXPECT_EQ(solver.var_state(x).upper_bound(), 3);
    EXPECT_FALSE(solver.lookup_literal(l3).valid());
}

TEST_F(InitOperationsTest, ImportBoundsAddsUnitClausesForTighterBounds) {
    auto x = solver.add_variable(0, 10);
    literal_t l6 = solver.get_literal(cc, solver.var_state(x), 6);
    ThreadStats other_stats;
    ThreadSolver other{config, other_stats};
    other.add_variable(2, 6);
    ASSERT_TRUE(solver.import_bounds(cc, other, false));
    EXPECT_EQ(clauses(), (std::vector<Clause>{{l6}, {1}}));
    EXPECT_EQ(solver.var_state(x).lower_bound(), 2);
}

TEST_F(InitOperationsTest, RemovingAConstraintRemovesItsWatchesAndQueueEntry) {
    auto x = solver.add_variable(0, 10);
    literal_t lit = assignment.new_atom();
    auto constraint = SumConstraint::create(lit, 3, std::array<CoefVar, 1>{CoefVar{2, x}}, false);
    auto& state = solver.add_constraint(*constraint);
    EXPECT_EQ(&solver.add_constraint(*constraint), &state);
    EXPECT_EQ(solver.var_watches(x).size(), 1U);
    EXPECT_EQ(solver.todo().size(), 1U);
    solver.remove_constraint(*constraint);
    EXPECT_TRUE(solver.var_watches(x).empty());
    EXPECT_TRUE(solver.todo().empty());
    EXPECT_EQ(solver.num_states(), 0U);
    assignment.assign(lit);
    std::array<literal_t, 1> changes{lit};
    EXPECT_TRUE(solver.propagate_changes(cc, changes));
    EXPECT_TRUE(solver.todo().empty());
}

TEST_F(InitOperationsTest, CopyGivesTheCopyItsOwnStates) {
    auto x = solver.add_variable(0, 10);
    auto queued = SumConstraint::create(assignment.new_atom(), 30, std::array<CoefVar, 1>{CoefVar{2, x}}, false);
    auto satisfied = SumConstraint::create(assignment.new_atom(), 30, std::array<CoefVar, 1>{CoefVar{1, x}}, false);
    solver.add_constraint(*satisfied);
    ASSERT_TRUE(solver.fixpoint(cc, false));
    solver.add_constraint(*queued);
    ASSERT_EQ(solver.inactive().size(), 1U);
    ASSERT_EQ(solver.todo().size(), 1U);

    ThreadStats copy_stats;
    ThreadSolver copy{config, copy_stats};
    copy.copy_state(solver);
    auto* mine = copy.state_of(*queued);
    ASSERT_NE(mine, nullptr);
    EXPECT_NE(mine, solver.state_of(*queued));
    EXPECT_EQ(copy.todo(), (std::vector<AbstractConstraintState*>{mine}));
    EXPECT_EQ(copy.inactive(), (std::vector<AbstractConstraintState*>{copy.state_of(*satisfied)}));
    ASSERT_EQ(copy.var_watches(x).size(), 2U);
    for (auto const& watch : copy.var_watches(x)) {
        EXPECT_TRUE(watch.state == mine || watch.state == copy.state_of(*satisfied));
    }
    EXPECT_TRUE(mine->in_queue());
    EXPECT_NE(copy.state_of(*satisfied)->deactivation_level(), 0U);
}

// A constraint whose translation replaces it by one that stays (translating a
// real sum would need the host's assignment).
class ReplacedConstraint final : public AbstractConstraint {
public:
    explicit ReplacedConstraint(bool replace) : replace{replace} {}
    std::unique_ptr<AbstractConstraintState> make_state() const override;
    literal_t constraint_literal() const override { return 1; }
    bool replace;
};

class ReplacedState final : public AbstractConstraintState {
public:
    explicit ReplacedState(ReplacedConstraint const& constraint) : constraint_{&constraint} {}
    AbstractConstraint const& owner_constraint() const override { return *constraint_; }
    void attach_to_solver(ThreadSolver&) override {}
    void detach_from_solver(ThreadSolver&) override {}
    std::pair<bool, bool> translate_to_clauses(TheoryConfig const&, ThreadSolver&, InitClauseCreator&,
                                               ConstraintList& added) override {
        if (!constraint_->replace) {
            return {true, false};
        }
        added.push_back(std::make_unique<ReplacedConstraint>(false));
        return {true, true};
    }
    std::unique_ptr<AbstractConstraintState> clone_state() const override {
        return std::make_unique<ReplacedState>(*constraint_);
    }
    bool on_bound_change(value_t, value_t) override { return false; }
    void revert_bound_change(value_t, value_t) override {}
    bool propagate_constraint(ThreadSolver&, AbstractClauseCreator&, bool) override { return true; }
    void check_assignment(ThreadSolver&) const override {}
    bool set_in_queue(bool queued) override { return std::exchange(queued_, queued); }
    bool in_queue() const override { return queued_; }
    bool may_deactivate() const override { return true; }
    level_t deactivation_level() const override { return 0; }
    void set_deactivation_level(level_t) override {}

private:
    ReplacedConstraint const* constraint_;
    bool queued_ = false;
};

std::unique_ptr<AbstractConstraintState> ReplacedConstraint::make_state() const {
    return std::make_unique<ReplacedState>(*this);
}

TEST_F(InitOperationsTest, TranslateProcessesAppendedConstraintsInTheSamePass) {
    auto x = solver.add_variable(0, 10);
    Host::PropagateInit init{nullptr};
    TheoryStats theory_stats;
    InitClauseCreator creator{init, theory_stats};
    TheoryConfig theory_config;
    theory_config.add_order_clauses = true;
    literal_t l2 = solver.get_literal(cc, solver.var_state(x), 2);
    literal_t l7 = solver.get_literal(cc, solver.var_state(x), 7);
    static_cast<void>(l2);
    static_cast<void>(l7);

    ConstraintList constraints;
    constraints.push_back(std::make_unique<ReplacedConstraint>(true));
    theory_stats.num_constraints = 1;
    ASSERT_TRUE(solver.translate(creator, theory_stats, theory_config, constraints));
    EXPECT_EQ(theory_stats.translate_added, 1U);
    EXPECT_EQ(theory_stats.translate_removed, 1U);
    EXPECT_EQ(theory_stats.num_constraints, 1U);
    ASSERT_EQ(constraints.size(), 1U);
    auto const* kept = dynamic_cast<ReplacedConstraint*>(constraints[0].get());
    ASSERT_NE(kept, nullptr);
    EXPECT_FALSE(kept->replace);
    EXPECT_EQ(solver.num_states(), 1U);
    EXPECT_NE(solver.state_of(*constraints[0]), nullptr);
    EXPECT_EQ(solver.todo().size(), 1U);
    // One order clause for the pair of stored literals.
    EXPECT_EQ(theory_stats.num_clauses, 1U);
    // The kept state is still queued as its flag says, so removing it
    // later leaves nothing dangling in the queue.
    EXPECT_TRUE(solver.state_of(*constraints[0])->in_queue());
    solver.remove_constraint(*constraints[0]);
    EXPECT_TRUE(solver.todo().empty());
}

} // namespace
} // namespace Tarvex
