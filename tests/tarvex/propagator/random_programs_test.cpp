// Random small integer programs solved by the real host with the theory, on
// one and on three threads, compared model by model with brute force.

#include "host_session.hpp"
#include "random_program.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <limits>
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

using Settings = HostSession::Settings;

void expect_models(RandomProgram const& program, int threads, Settings const& settings) {
    HostSession session{{"-n", "0", "-t", std::to_string(threads)}, settings};
    ASSERT_TRUE(session.ground(program.text)) << session.error() << "\n" << program.text;
    expect_outcome(session.solve(), program.models, program.text);
}

// The same program in two solving steps: the second adds constraints over
// the variables of the first.
void expect_models_in_steps(RandomProgram const& program, int threads, Settings const& settings) {
    HostSession session{{"-n", "0", "-t", std::to_string(threads)}, settings};
    ASSERT_TRUE(session.ground(program.first_text)) << session.error() << "\n" << program.first_text;
    expect_outcome(session.solve(), program.first_models, program.first_text);
    std::string both = program.first_text + "% second step\n" + program.second_text;
    ASSERT_TRUE(session.ground(program.second_text, "more")) << session.error() << "\n" << both;
    expect_outcome(session.solve(), program.models, both);
}

void run_programs(RandomProgramOptions options, int threads, int count, std::uint32_t seed, bool steps = false,
                  Settings const& settings = {}) {
    RandomProgramGenerator generator{seed};
    for (int i = 0; i < count; ++i) {
        auto program = generator.next(options);
        SCOPED_TRACE("program " + std::to_string(i));
        if (steps) {
            expect_models_in_steps(program, threads, settings);
        } else {
            expect_models(program, threads, settings);
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

// Sums over nearly all of ten variables, whose propagation derives many
// bounds at once from one long reason.
TEST(RandomPrograms, LongSums) {
    run_programs({.long_sums = true}, 1, 40, 41);
    run_programs({.pin_values = true, .long_sums = true}, 1, 20, 42);
    run_programs({.long_sums = true}, 3, 30, 43);
    run_programs({.long_sums = true}, 1, 20, 44, true);
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

// The same programs with every constraint kept for propagation, and with
// every translation limit at its maximum.
Settings const translation_off{{"translate-clauses", "0"}, {"translate-pb", "-1"}, {"translate-distinct", "0"}};
Settings const translation_max{{"translate-clauses", "max,-1"},
                               {"translate-pb", "max"},
                               {"translate-distinct", "max"},
                               {"translate-opt", "max"}};
// Clauses only: weight constraints are never chosen.
Settings const clauses_only{{"translate-clauses", "max,-1"}, {"translate-pb", "-1"}};

// Distinct and disjoint constraints over more elements than two, and
// products, checked against brute force with the theory verifying every
// total assignment and, in one variant, its cached state on every
// propagation.
TEST(RandomPrograms, GlobalsOneThread) {
    run_programs({.globals = true}, 1, 200, 141);
    run_programs({.pin_values = true, .globals = true}, 1, 100, 142);
}

TEST(RandomPrograms, GlobalsThreeThreads) {
    run_programs({.globals = true}, 3, 150, 143);
    run_programs({.pin_values = true, .globals = true}, 3, 80, 144);
}

// Small distinct constraints are translated by default; these keep them
// propagated.
TEST(RandomPrograms, GlobalsWithAndWithoutChecks) {
    Settings const state{{"check-state", "yes"}, {"translate-distinct", "0"}};
    run_programs({.globals = true}, 1, 100, 145, false, state);
    run_programs({.globals = true}, 3, 100, 146, false, state);
    run_programs({.globals = true}, 1, 100, 147, false, {{"check-solution", "no"}});
    run_programs({.globals = true}, 3, 80, 159, false, {{"check-state", "yes"}});
}

TEST(RandomPrograms, GlobalsWithStrongerPropagation) {
    Settings values{{"distinct-propagation", "values"}, {"disjoint-propagation", "edge-finding"},
                    {"translate-distinct", "0"}};
    run_programs({.globals = true}, 1, 150, 151, false, values);
    run_programs({.globals = true}, 3, 100, 152, false, values);
    run_programs({.globals = true}, 1, 80, 153, true, values);
    values.emplace_back("check-state", "yes");
    run_programs({.pin_values = true, .globals = true}, 1, 80, 154, false, values);
    Settings const bounds{{"distinct-propagation", "bounds"}, {"disjoint-propagation", "edge-finding"},
                          {"translate-distinct", "0"}};
    run_programs({.globals = true}, 1, 150, 155, false, bounds);
    run_programs({.globals = true}, 3, 100, 156, false, bounds);
    run_programs({.globals = true}, 1, 80, 157, true, bounds);
    // Threads with different strengths search one space together.
    Settings const mixed{{"distinct-propagation", "values,1"}, {"disjoint-propagation", "edge-finding,2"},
                         {"distinct-propagation", "bounds,2"}, {"translate-distinct", "0"}};
    run_programs({.globals = true}, 3, 100, 158, false, mixed);
}

TEST(RandomPrograms, GlobalsInTwoSteps) {
    run_programs({.globals = true}, 1, 100, 148, true);
    run_programs({.globals = true}, 3, 80, 149, true);
}

TEST(RandomPrograms, GlobalsWithTranslationOffAndAtItsLimits) {
    run_programs({.globals = true}, 1, 150, 161, false, translation_off);
    run_programs({.globals = true}, 3, 100, 162, false, translation_off);
    run_programs({.globals = true}, 1, 150, 163, false, translation_max);
    run_programs({.globals = true}, 3, 100, 164, false, translation_max);
    run_programs({.pin_values = true, .globals = true}, 1, 80, 165, false, translation_max);
    run_programs({.globals = true}, 1, 80, 166, true, translation_max);
    run_programs({.globals = true}, 3, 60, 167, true, translation_max);
}

TEST(RandomPrograms, TranslationOffOneAndThreeThreads) {
    run_programs({}, 1, 100, 41, false, translation_off);
    run_programs({}, 3, 60, 42, false, translation_off);
    run_programs({.pin_values = true}, 1, 60, 43, false, translation_off);
    run_programs({}, 1, 60, 44, true, translation_off);
}

TEST(RandomPrograms, TranslationAtItsLimitsOneAndThreeThreads) {
    for (auto const* settings : {&translation_max, &clauses_only}) {
        run_programs({}, 1, 100, 51, false, *settings);
        run_programs({}, 3, 60, 52, false, *settings);
        run_programs({.pin_values = true}, 1, 60, 53, false, *settings);
        run_programs({}, 1, 60, 54, true, *settings);
        run_programs({}, 3, 40, 55, true, *settings);
    }
}

// Settings of the search itself change decisions and reasons, never models.
TEST(RandomPrograms, SearchSettingsKeepTheModels) {
    Settings const chains{{"order-heuristic", "max-chain"}, {"sign-value", "+,1"}, {"check-state", "yes"},
                          {"translate-clauses", "0"}};
    Settings const plain{{"refine-reasons", "no"}, {"propagate-chain", "no,0"}, {"split-all", "yes"},
                         {"sort-constraints", "no"}, {"add-order-clauses", "yes"}, {"diff-cycles", "no"}};
    Settings const lowest{{"order-heuristic", "lower-bound"}, {"sign-value", "-,1"}, {"translate-clauses", "0"}};
    Settings const untuned{{"order-heuristic", "none"}, {"lower-bound-models", "no"}, {"translate-clauses", "0"}};
    // Decisions that follow the last model while all are enumerated.
    Settings const phases{{"model-phases", "yes"}, {"order-heuristic", "none"}, {"translate-clauses", "0"}};
    for (auto const* settings : {&chains, &plain, &lowest, &untuned, &phases}) {
        run_programs({}, 1, 80, 61, false, *settings);
        run_programs({}, 3, 60, 62, false, *settings);
        run_programs({}, 1, 40, 63, true, *settings);
    }
}

// Difference constraints kept for propagation, whose cycles the graph refutes
// (or, switched off, bound propagation alone), on one and three threads and
// in two steps.
TEST(RandomPrograms, DifferenceCycles) {
    for (char const* cycles : {"yes", "no"}) {
        Settings const settings{{"translate-clauses", "0"}, {"diff-cycles", cycles}, {"check-state", "yes"}};
        run_programs({.differences = true}, 1, 120, 81, false, settings);
        run_programs({.differences = true}, 3, 60, 82, false, settings);
        run_programs({.differences = true}, 1, 60, 83, true, settings);
        run_programs({.pin_values = true, .differences = true}, 1, 40, 84, false, settings);
    }
}

// Lower bounds taken as values skip models that differ only in the values of
// variables left unfixed, but every model reported must be one, and a
// satisfiable program must get one; on the difference programs too, whose
// variables the graph bounds.
TEST(RandomPrograms, LowerBoundModelsAreModels) {
    struct Case {
        RandomProgramOptions options;
        std::uint32_t seed;
    };
    for (auto const& [options, seed] : {Case{{}, 91}, Case{{.differences = true}, 92}, Case{{.long_sums = true}, 93},
                                        Case{{.conditions = true}, 94}, Case{{.globals = true}, 95}}) {
        RandomProgramGenerator generator{seed};
        for (int i = 0; i < 60 && !::testing::Test::HasFailure(); ++i) {
            auto program = generator.next(options);
            SCOPED_TRACE("program " + std::to_string(i) + "\n" + program.text);
            for (int threads : {1, 3}) {
                // One model asked for, where auto applies, and all of them.
                for (char const* models : {"1", "0"}) {
                    Settings settings{{"translate-clauses", "0"}, {"check-state", "yes"}};
                    if (std::string{models} == "0") {
                        settings.emplace_back("lower-bound-models", "yes");
                    }
                    HostSession session{{"-n", models, "-t", std::to_string(threads)}, settings};
                    ASSERT_TRUE(session.ground(program.text)) << session.error();
                    auto outcome = session.solve();
                    ASSERT_TRUE(outcome.ok) << outcome.error;
                    std::set<std::vector<std::string>> found;
                    for (auto const& model : outcome.models) {
                        EXPECT_TRUE(program.models.contains(model)) << "wrong: " << show(model);
                        EXPECT_TRUE(found.insert(model).second) << "reported twice: " << show(model);
                    }
                    EXPECT_EQ(outcome.models.empty(), program.models.empty()) << "models " << models;
                }
            }
        }
    }
}

namespace {

// The cost of a model under the objective sum of (-1)^i * (i + 1) * x_i.
long cost_of(std::vector<std::string> const& model) {
    long cost = 0;
    for (auto const& symbol : model) {
        int i = 0;
        int v = 0;
        if (std::sscanf(symbol.c_str(), "__csp(x%d,%d)", &i, &v) == 2) {
            cost += (i % 2 == 0 ? 1 : -1) * (i + 1) * v;
        }
    }
    return cost;
}

std::string objective_text(std::vector<std::string> const& model) {
    std::string text;
    for (auto const& symbol : model) {
        int i = 0;
        int v = 0;
        if (std::sscanf(symbol.c_str(), "__csp(x%d,%d)", &i, &v) == 2) {
            text += (text.empty() ? "" : " + ") + std::string(i % 2 == 0 ? "" : "-") + std::to_string(i + 1) +
                    "*x" + std::to_string(i);
        }
    }
    return "&minimize{" + text + "}.\n";
}

// The least cost of the program's models (which must exist).
long cheapest(RandomProgram const& program) {
    long best = cost_of(*program.models.begin());
    for (auto const& model : program.models) {
        best = std::min(best, cost_of(model));
    }
    return best;
}

} // namespace

// The objective handed to the host and the one propagated reach the same
// optimum, the one brute force finds.
TEST(RandomPrograms, TranslatedAndPropagatedObjectivesAgree) {
    RandomProgramGenerator generator{71};
    int optimised = 0;
    for (int i = 0; i < 80 && !::testing::Test::HasFailure(); ++i) {
        auto program = generator.next({});
        if (program.models.empty()) {
            continue;
        }
        long best = cheapest(program);
        std::string text = program.text + objective_text(*program.models.begin());
        SCOPED_TRACE("program " + std::to_string(i) + "\n" + text);
        // The default search, which decides start values at their lower
        // bounds and takes lower bounds as values while optimising, and the
        // search without either.
        Settings const untuned{{"translate-opt", "0"}, {"order-heuristic", "none"}, {"lower-bound-models", "no"}};
        for (int threads : {1, 3}) {
            for (char const* limit : {"0", "max", "untuned"}) {
                bool plain = std::string{limit} == "untuned";
                HostSession session{{"-t", std::to_string(threads)},
                                    plain ? untuned : Settings{{"translate-opt", limit}}};
                ASSERT_TRUE(session.ground(text)) << session.error();
                auto outcome = session.solve();
                ASSERT_TRUE(outcome.ok) << outcome.error;
                ASSERT_FALSE(outcome.models.empty());
                bool translated = session.propagator().objective() == nullptr;
                // With limit 0 an objective over fixed variables only still
                // goes to the host.
                if (std::string{limit} == "max") {
                    EXPECT_TRUE(translated);
                }
                // Another thread may report a model after a cheaper one:
                // the cheapest is the optimum.
                long found = std::numeric_limits<long>::max();
                for (std::size_t m = 0; m < outcome.models.size(); ++m) {
                    found = std::min(found, translated ? static_cast<long>(outcome.costs.at(m).at(0))
                                                       : cost_of(outcome.models[m]));
                }
                EXPECT_EQ(found, best) << "threads " << threads << " translate-opt " << limit;
            }
        }
        ++optimised;
    }
    EXPECT_GT(optimised, 20);
}

// How the search goes on after a model of the propagated objective (phases
// of the last model or not; restart with or without blocking its decisions,
// or walk) changes the way to the optimum, never the optimum.
TEST(RandomPrograms, ObjectiveSearchSettingsReachTheOptimum) {
    RandomProgramGenerator generator{73};
    int optimised = 0;
    int propagated = 0;
    for (int i = 0; i < 60 && !::testing::Test::HasFailure(); ++i) {
        auto program = generator.next({.differences = i % 2 == 1});
        if (program.models.empty()) {
            continue;
        }
        long best = cheapest(program);
        std::string text = program.text + objective_text(*program.models.begin());
        SCOPED_TRACE("program " + std::to_string(i) + "\n" + text);
        for (int threads : {1, 3}) {
            for (char const* search : {"restart", "restart-block", "walk"}) {
                for (char const* phases : {"yes", "no"}) {
                    HostSession session{{"-t", std::to_string(threads), "--opt-search", search},
                                        {{"translate-opt", "0"}, {"model-phases", phases}}};
                    ASSERT_TRUE(session.ground(text)) << session.error();
                    auto outcome = session.solve();
                    ASSERT_TRUE(outcome.ok) << outcome.error;
                    ASSERT_FALSE(outcome.models.empty());
                    // An objective over fixed variables only goes to the host.
                    propagated += session.propagator().objective() != nullptr ? 1 : 0;
                    long found = std::numeric_limits<long>::max();
                    std::set<std::vector<std::string>> seen;
                    for (auto model : outcome.models) {
                        // The theory adds the cost to each model; the program has none.
                        std::erase_if(model,
                                      [](std::string const& symbol) { return symbol.starts_with("__csp_cost"); });
                        EXPECT_TRUE(program.models.contains(model)) << "wrong: " << show(model);
                        found = std::min(found, cost_of(model));
                        if (threads == 1) {
                            EXPECT_TRUE(seen.insert(model).second) << "reported twice: " << show(model);
                        }
                    }
                    EXPECT_EQ(found, best) << "threads " << threads << " opt-search " << search
                                           << " model-phases " << phases;
                }
            }
        }
        ++optimised;
    }
    EXPECT_GT(optimised, 20);
    EXPECT_GT(propagated, 20 * 12);
}

// The language as users write it, conditional elements and pools among it;
// with and without moving sums out of integrity constraints, which must not
// change the models.
Settings const unshifted{{"shift-constraints", "no"}};

TEST(RandomPrograms, UserLanguageOneThread) {
    run_programs({.conditions = true}, 1, 200, 61);
    run_programs({.conditions = true}, 1, 200, 61, false, unshifted);
}

TEST(RandomPrograms, UserLanguageThreeThreads) {
    run_programs({.conditions = true}, 3, 120, 62);
    run_programs({.conditions = true}, 3, 120, 62, false, unshifted);
}

TEST(RandomPrograms, UserLanguagePinnedInStepsAndUntranslated) {
    run_programs({.pin_values = true, .conditions = true}, 1, 100, 63);
    run_programs({.conditions = true}, 1, 100, 64, true);
    run_programs({.pairs_only = true, .conditions = true}, 3, 80, 65);
    run_programs({.conditions = true}, 1, 100, 66, false, translation_off);
}

} // namespace

// A thread other than the first may hold level-0 facts of its own from an
// earlier step; its theory state, copied from the first thread's, must be
// told of them, or it reports values that break a constraint. Which thread
// learns what depends on timing, so the program is solved many times.
TEST(RandomPrograms, SecondStepOnThreeThreadsSeesEveryThreadsFacts) {
    RandomProgramGenerator generator{167};
    RandomProgram program;
    for (int i = 0; i < 50; ++i) {
        program = generator.next({.globals = true});
    }
    for (int run = 0; run < 200; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        expect_models_in_steps(program, 3, {{"translate-pb", "max"}});
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}
