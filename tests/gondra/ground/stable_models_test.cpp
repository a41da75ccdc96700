// Differential test: stable models of random small ground programs, computed
// by brute force from the definition (reduct and least/minimal model), against
// the solver's enumeration and optimisation.
#include "ground/ground_program.hpp"
#include "ground/program_translator.hpp"
#include "solve/solver_set.hpp"
#include "stable_random_program.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <set>

namespace Gondra::Ground {
namespace {

using namespace Testing;

struct Outcome {
    bool rejected = false;
    std::vector<Mask> models;
    Solve::SolveSummary summary;
    Cost last_cost;
};

Outcome solve(GroundProgram const& p, uint32_t threads, int64_t models) {
    Outcome out;
    Solve::SolverSet set;
    ProgramTranslator translator;
    try {
        translator.translate(p, set);
    } catch (TranslateError const&) {
        out.rejected = true;
        return out;
    }
    Solve::SolveOptions options;
    options.threads = threads;
    options.models = models;
    translator.external_assumptions(options.assumptions);
    out.summary = set.solve(options, [&](Solve::Model const& model) {
        Mask m = 0;
        for (Atom a = 1; a <= p.num_atoms(); ++a) {
            if (model.is_true(translator.solver_literal(static_cast<Literal>(a)))) {
                m |= Mask{1} << a;
            }
        }
        out.models.push_back(m);
        Cost c;
        for (size_t i = 0; i < model.cost().size(); ++i) {
            if (model.cost()[i] != 0) {
                c[model.priorities()[i]] = model.cost()[i];
            }
        }
        out.last_cost = c;
        return true;
    });
    return out;
}

TEST(StableModels, RandomProgramsEnumerateExactlyTheStableModels) {
    int compared = 0;
    int with_loops = 0;
    for (uint32_t seed = 1; seed <= 1200; ++seed) {
        Generator gen(seed);
        GroundProgram p = gen.make(false);
        Oracle oracle(p);
        auto expected = oracle.stable_models();
        for (uint32_t threads : {1u, 3u}) {
            Outcome o = solve(p, threads, 0);
            if (o.rejected) { // a head cycle
                continue;
            }
            ASSERT_NE(o.summary.status, Solve::SolveStatus::error) << o.summary.failure.message;
            std::set<Mask> got(o.models.begin(), o.models.end());
            ASSERT_EQ(got.size(), o.models.size()) << "a model was reported twice\nseed " << seed << "\n"
                                                   << describe(p);
            ASSERT_EQ(got, expected) << "seed " << seed << " threads " << threads << "\n" << describe(p);
            EXPECT_EQ(o.summary.status,
                      expected.empty() ? Solve::SolveStatus::unsatisfiable : Solve::SolveStatus::satisfiable);
            ++compared;
        }
        ProgramTranslator t;
        Solve::SolverSet s;
        try {
            t.translate(p, s);
            with_loops += t.num_loop_atoms() > 0 ? 1 : 0;
        } catch (TranslateError const&) {
        }
    }
    // The generator must actually exercise both translations and loops.
    EXPECT_GT(compared, 2000);
    EXPECT_GT(with_loops, 200);
}

TEST(StableModels, RandomProgramsReachTheOptimalCost) {
    int optimised = 0;
    for (uint32_t seed = 5001; seed <= 5600; ++seed) {
        Generator gen(seed);
        GroundProgram p = gen.make(true);
        Oracle oracle(p);
        auto expected = oracle.stable_models();
        std::optional<Cost> best;
        for (Mask m : expected) {
            Cost c = oracle.cost(m);
            if (!best || cheaper(c, *best)) {
                best = c;
            }
        }
        for (uint32_t threads : {1u, 3u}) {
            Outcome o = solve(p, threads, -1);
            if (o.rejected) {
                continue;
            }
            ASSERT_NE(o.summary.status, Solve::SolveStatus::error) << o.summary.failure.message;
            if (!best) {
                EXPECT_EQ(o.summary.status, Solve::SolveStatus::unsatisfiable) << "seed " << seed;
                continue;
            }
            ASSERT_EQ(o.summary.status, Solve::SolveStatus::optimum) << "seed " << seed << "\n"
                                                                     << describe(p);
            ASSERT_FALSE(o.models.empty());
            EXPECT_TRUE(expected.count(o.models.back())) << "seed " << seed << "\n" << describe(p);
            EXPECT_EQ(oracle.cost(o.models.back()), *best) << "seed " << seed << "\n" << describe(p);
            EXPECT_EQ(o.last_cost, *best) << "seed " << seed << "\n" << describe(p);
            ++optimised;
        }
    }
    EXPECT_GT(optimised, 600);
}

} // namespace
} // namespace Gondra::Ground
