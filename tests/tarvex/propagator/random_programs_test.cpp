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

void expect_models(RandomProgram const& program, int threads, bool shift = true) {
    HostSession session{{"-n", "0", "-t", std::to_string(threads)}};
    // Until the option lands, the handle's field is the switch.
    session.theory()->shift_constraints = shift;
    ASSERT_TRUE(session.ground(program.text)) << session.error() << "\n" << program.text;
    expect_outcome(session.solve(), program.models, program.text);
}

// The same program in two solving steps: the second adds constraints over
// the variables of the first.
void expect_models_in_steps(RandomProgram const& program, int threads) {
    HostSession session{{"-n", "0", "-t", std::to_string(threads)}};
    ASSERT_TRUE(session.ground(program.first_text)) << session.error() << "\n" << program.first_text;
    expect_outcome(session.solve(), program.first_models, program.first_text);
    std::string both = program.first_text + "% second step\n" + program.second_text;
    ASSERT_TRUE(session.ground(program.second_text, "more")) << session.error() << "\n" << both;
    expect_outcome(session.solve(), program.models, both);
}

void run_programs(RandomProgramOptions options, int threads, int count, std::uint32_t seed, bool steps = false,
                  bool shift = true) {
    RandomProgramGenerator generator{seed};
    for (int i = 0; i < count; ++i) {
        auto program = generator.next(options);
        SCOPED_TRACE("program " + std::to_string(i));
        if (steps) {
            expect_models_in_steps(program, threads);
        } else {
            expect_models(program, threads, shift);
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

// The language as users write it, conditional elements and pools among it;
// with and without moving sums out of integrity constraints, which must not
// change the models.
TEST(RandomPrograms, UserLanguageOneThread) {
    run_programs({.conditions = true}, 1, 200, 41);
    run_programs({.conditions = true}, 1, 200, 41, false, false);
}

TEST(RandomPrograms, UserLanguageThreeThreads) {
    run_programs({.conditions = true}, 3, 120, 42);
    run_programs({.conditions = true}, 3, 120, 42, false, false);
}

TEST(RandomPrograms, UserLanguagePinnedAndInSteps) {
    run_programs({.pin_values = true, .conditions = true}, 1, 100, 43);
    run_programs({.conditions = true}, 1, 100, 44, true);
    run_programs({.pairs_only = true, .conditions = true}, 3, 80, 45);
}

TEST(RandomPrograms, TwoStepsThreeThreads) {
    run_programs({}, 3, 80, 33, true);
    run_programs({.pairs_only = true}, 3, 60, 34, true);
}

} // namespace
