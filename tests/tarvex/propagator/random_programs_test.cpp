// Random small integer programs solved by the real host with the theory, on
// one and on three threads, compared model by model with brute force.

#include "host_session.hpp"
#include "random_program.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace Tarvex::Testing;

namespace {

std::string show(std::vector<std::string> const& model) {
    std::string text;
    for (auto const& symbol : model) {
        text += symbol + " ";
    }
    return text;
}

// Checks that the models of a solve call are exactly the expected ones, each
// reported once.
void expect_outcome(SolveOutcome const& outcome, std::set<std::vector<std::string>> const& expected,
                    std::string const& text) {
    ASSERT_TRUE(outcome.ok) << outcome.error << "\n" << text;
    std::set<std::vector<std::string>> found;
    for (auto const& model : outcome.models) {
        EXPECT_TRUE(found.insert(model).second) << "reported twice: " << show(model) << "\n" << text;
    }
    for (auto const& model : expected) {
        EXPECT_TRUE(found.contains(model)) << "missing: " << show(model) << "\n" << text;
    }
    for (auto const& model : found) {
        EXPECT_TRUE(expected.contains(model)) << "wrong: " << show(model) << "\n" << text;
    }
    bool satisfiable = (outcome.result & gondra_solve_result_satisfiable) != 0;
    EXPECT_EQ(satisfiable, !expected.empty()) << text;
}

// Verifications of the theory's own invariants while it solves, and the
// strength of propagation.
struct Checks {
    bool solution = true;
    bool state = false;
    Tarvex::DistinctPropagation distinct = Tarvex::DistinctPropagation::Ends;
    Tarvex::DisjointPropagation disjoint = Tarvex::DisjointPropagation::Windows;
};

void configure(HostSession& session, Checks checks) {
    auto& config = session.propagator().config();
    config.check_solution = checks.solution;
    config.check_state = checks.state;
    config.default_solver_config.distinct_propagation = checks.distinct;
    config.default_solver_config.disjoint_propagation = checks.disjoint;
}

void expect_models(RandomProgram const& program, int threads, Checks checks) {
    HostSession session{{"-n", "0", "-t", std::to_string(threads)}};
    configure(session, checks);
    ASSERT_TRUE(session.ground(program.text)) << session.error() << "\n" << program.text;
    expect_outcome(session.solve(), program.models, program.text);
}

// The same program in two solving steps: the second adds constraints over
// the variables of the first.
void expect_models_in_steps(RandomProgram const& program, int threads, Checks checks) {
    HostSession session{{"-n", "0", "-t", std::to_string(threads)}};
    configure(session, checks);
    ASSERT_TRUE(session.ground(program.first_text)) << session.error() << "\n" << program.first_text;
    expect_outcome(session.solve(), program.first_models, program.first_text);
    std::string both = program.first_text + "% second step\n" + program.second_text;
    ASSERT_TRUE(session.ground(program.second_text, "more")) << session.error() << "\n" << both;
    expect_outcome(session.solve(), program.models, both);
}

void run_programs(RandomProgramOptions options, int threads, int count, std::uint32_t seed, bool steps = false,
                  Checks checks = {}) {
    RandomProgramGenerator generator{seed};
    for (int i = 0; i < count; ++i) {
        auto program = generator.next(options);
        SCOPED_TRACE("program " + std::to_string(i));
        if (steps) {
            expect_models_in_steps(program, threads, checks);
        } else {
            expect_models(program, threads, checks);
        }
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

// Values pinned by choice atoms: the host tells models apart by its own atoms,
// so enumeration needs nothing from the theory but correct propagation.
TEST(RandomPrograms, PinnedValuesOneThread) {
    run_programs({.pin_values = true}, 1, 150, 11);
}

TEST(RandomPrograms, PinnedValuesThreeThreads) {
    run_programs({.pin_values = true}, 3, 100, 12);
}

TEST(RandomPrograms, PinnedDistinctAndDisjointPairs) {
    run_programs({.pin_values = true, .pairs_only = true}, 1, 80, 13);
    run_programs({.pin_values = true, .pairs_only = true}, 3, 60, 14);
}

// Values known only to the theory: the host must enumerate over the order
// literals the theory creates while searching.
TEST(RandomPrograms, FreeValuesOneThread) {
    run_programs({}, 1, 150, 21);
}

TEST(RandomPrograms, FreeValuesThreeThreads) {
    run_programs({}, 3, 100, 22);
}

TEST(RandomPrograms, FreeDistinctAndDisjointPairs) {
    run_programs({.pairs_only = true}, 1, 80, 23);
    run_programs({.pairs_only = true}, 3, 60, 24);
}

// Two solving steps: variables, domains and constraints of the first stay,
// order literals of its search go, and the second step's constraints join.
TEST(RandomPrograms, TwoStepsOneThread) {
    run_programs({}, 1, 120, 31, true);
    run_programs({.pin_values = true}, 1, 60, 32, true);
}

TEST(RandomPrograms, TwoStepsThreeThreads) {
    run_programs({}, 3, 80, 33, true);
    run_programs({.pairs_only = true}, 3, 60, 34, true);
}

// Distinct and disjoint constraints over more elements than two, and
// products, checked against brute force with the theory verifying every
// total assignment and, in one variant, its cached state on every
// propagation.
TEST(RandomPrograms, GlobalsOneThread) {
    run_programs({.globals = true}, 1, 200, 41);
    run_programs({.pin_values = true, .globals = true}, 1, 100, 42);
}

TEST(RandomPrograms, GlobalsThreeThreads) {
    run_programs({.globals = true}, 3, 150, 43);
    run_programs({.pin_values = true, .globals = true}, 3, 80, 44);
}

TEST(RandomPrograms, GlobalsWithStateChecks) {
    run_programs({.globals = true}, 1, 100, 45, false, {.solution = true, .state = true});
    run_programs({.globals = true}, 3, 100, 46, false, {.solution = true, .state = true});
}

TEST(RandomPrograms, GlobalsWithoutSolutionChecks) {
    run_programs({.globals = true}, 1, 100, 47, false, {.solution = false, .state = false});
}

TEST(RandomPrograms, GlobalsWithStrongerPropagation) {
    Checks values{.distinct = Tarvex::DistinctPropagation::Values,
                  .disjoint = Tarvex::DisjointPropagation::EdgeFinding};
    run_programs({.globals = true}, 1, 150, 51, false, values);
    run_programs({.globals = true}, 3, 100, 52, false, values);
    run_programs({.globals = true}, 1, 80, 53, true, values);
    values.state = true;
    run_programs({.pin_values = true, .globals = true}, 1, 80, 54, false, values);
    Checks bounds{.distinct = Tarvex::DistinctPropagation::Bounds,
                  .disjoint = Tarvex::DisjointPropagation::EdgeFinding};
    run_programs({.globals = true}, 1, 150, 55, false, bounds);
    run_programs({.globals = true}, 3, 100, 56, false, bounds);
    run_programs({.globals = true}, 1, 80, 57, true, bounds);
}

TEST(RandomPrograms, GlobalsInTwoSteps) {
    run_programs({.globals = true}, 1, 100, 48, true);
    run_programs({.globals = true}, 3, 80, 49, true);
}

} // namespace
