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

// Solves the program and checks that the models are exactly the expected
// ones, each reported once.
void expect_models(RandomProgram const& program, int threads) {
    HostSession session{{"-n", "0", "-t", std::to_string(threads)}};
    ASSERT_TRUE(session.ground(program.text)) << session.error() << "\n" << program.text;
    auto outcome = session.solve();
    ASSERT_TRUE(outcome.ok) << outcome.error << "\n" << program.text;
    std::set<std::vector<std::string>> found;
    for (auto const& model : outcome.models) {
        EXPECT_TRUE(found.insert(model).second) << "reported twice: " << show(model) << "\n" << program.text;
    }
    for (auto const& model : program.models) {
        EXPECT_TRUE(found.contains(model)) << "missing: " << show(model) << "\n" << program.text;
    }
    for (auto const& model : found) {
        EXPECT_TRUE(program.models.contains(model)) << "wrong: " << show(model) << "\n" << program.text;
    }
    bool satisfiable = (outcome.result & gondra_solve_result_satisfiable) != 0;
    EXPECT_EQ(satisfiable, !program.models.empty()) << program.text;
}

void run_programs(RandomProgramOptions options, int threads, int count, std::uint32_t seed) {
    RandomProgramGenerator generator{seed};
    for (int i = 0; i < count; ++i) {
        auto program = generator.next(options);
        SCOPED_TRACE("program " + std::to_string(i));
        expect_models(program, threads);
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
// literals the theory creates while searching. Disabled until the host's
// enumeration blocks models over those literals too (it blocks over the
// variables that exist before search only, so it reports one model per
// assignment of the program atoms).
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

} // namespace
