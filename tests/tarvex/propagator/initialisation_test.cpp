// What one initialisation leaves in the propagator: solvers, variables and
// the constraint objects the builder chose to make.

#include "host_session.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace Tarvex;
using namespace Tarvex::Testing;

namespace {

struct Built {
    std::size_t constraints;
    std::uint64_t counted_constraints;
    std::uint64_t variables;
    std::size_t solvers;
    bool satisfiable;
};

Built initialise(std::string const& program, std::string const& threads = "1") {
    HostSession session{{"-n", "1", "-t", threads}};
    EXPECT_TRUE(session.ground(program)) << session.error();
    auto outcome = session.solve();
    EXPECT_TRUE(outcome.ok) << outcome.error;
    auto& propagator = session.propagator();
    // Publishing the statistics after the solve call moved the step's
    // counts into the run totals.
    return {propagator.constraints().size(), propagator.accu_stats().num_constraints,
            propagator.accu_stats().num_variables, propagator.solvers().size(),
            (outcome.result & gondra_solve_result_satisfiable) != 0};
}

TEST(Initialisation, EveryThreadGetsASolverEvenWithoutTheoryAtoms) {
    auto built = initialise("{a}.", "3");
    EXPECT_EQ(built.solvers, 3U);
    EXPECT_EQ(built.constraints, 0U);
    EXPECT_EQ(built.variables, 0U);
}

TEST(Initialisation, OneVariableSumsNeedNoConstraintObject) {
    auto built = initialise("&dom{0 .. 9} = x. &sum{x} <= 3. a :- &sum{2 * x} > 4.");
    EXPECT_EQ(built.constraints, 0U);
    EXPECT_EQ(built.variables, 1U);
    EXPECT_TRUE(built.satisfiable);
}

TEST(Initialisation, HeadSumsImplyAndBodySumsAreEquivalences) {
    EXPECT_EQ(initialise("&sum{x; y} <= 3.").constraints, 1U);
    // The constraint under the literal and its complement under the negation.
    auto body = initialise("a :- &sum{x; y} <= 3.");
    EXPECT_EQ(body.constraints, 2U);
    EXPECT_EQ(body.counted_constraints, 2U);
    // A head atom that cannot hold registers nothing.
    EXPECT_EQ(initialise("&sum{x; y} <= 3 :- a. b :- not a.").constraints, 0U);
}

TEST(Initialisation, SymbolsMakeOneVariableEach) {
    auto built = initialise("&dom{0 .. 1} = x. &sum{x; x; 2 * y} <= 3. &dom{0 .. 2} = f(x).");
    EXPECT_EQ(built.variables, 3U);
}

TEST(Initialisation, TwoElementPairsAreEncodedWithSums) {
    // Not equal: x - y <= -1 under one literal, y - x <= -1 under the other.
    EXPECT_EQ(initialise("&distinct{x; y}.").constraints, 2U);
    // Each of the two blocks relates both orders of the starts with a strict
    // sum in both directions. Over the full value range this must not take
    // a propagation step per value.
    auto disjoint = initialise("&disjoint{x @ 2; y @ 3}.");
    EXPECT_EQ(disjoint.constraints, 8U);
    EXPECT_TRUE(disjoint.satisfiable);
    // Equal values and a shared start make the atom false; a fact atom is
    // then unsatisfiable.
    EXPECT_FALSE(initialise("&distinct{x + 1; 1 + x}.").satisfiable);
    EXPECT_FALSE(initialise("&disjoint{x @ 2; x @ 3}.").satisfiable);
    EXPECT_TRUE(initialise("&distinct{1; 2}.").satisfiable);
    EXPECT_EQ(initialise("&distinct{1; 2}.").constraints, 0U);
}

TEST(Initialisation, ObjectiveTermsMergeIntoOneConstraint) {
    HostSession session{{"-n", "0"}};
    ASSERT_TRUE(session.ground("&dom{0 .. 3} = x. &minimize{x; 2 * x; 4}. &maximize{y; -3}. &dom{1 .. 2} = y."))
        << session.error();
    auto outcome = session.solve();
    ASSERT_TRUE(outcome.ok) << outcome.error;
    auto const* objective = session.propagator().objective();
    ASSERT_NE(objective, nullptr);
    // 3x - y + 7, sorted by weight.
    ASSERT_EQ(objective->elements().size(), 2U);
    EXPECT_EQ(objective->elements()[0].first, 3);
    EXPECT_EQ(objective->elements()[1].first, -1);
    EXPECT_EQ(objective->adjust(), -7);
}

} // namespace
