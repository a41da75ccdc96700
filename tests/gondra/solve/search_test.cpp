// Model counts, unsatisfiability and optima of the whole search, checked
// against brute force on many small random problems, with 1 and 4 threads.
#include "brute_force.hpp"
#include "solve/dimacs_reader.hpp"
#include "solve/solver_set.hpp"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>

namespace Gondra::Solve {
namespace {

using Testing::SmallProblem;

uint32_t bits_of(Model const& m, uint32_t vars) {
    uint32_t bits = 0;
    for (uint32_t v = 0; v < vars; ++v) {
        if (m.is_true(static_cast<int32_t>(v + 2))) {
            bits |= 1u << v;
        }
    }
    return bits;
}

struct Enumeration {
    SolveSummary summary;
    std::multiset<uint32_t> models;
    std::vector<std::vector<int64_t>> costs;
};

Enumeration enumerate(SmallProblem const& p, uint32_t threads, int64_t models) {
    SolverSet set;
    p.load(set.problem());
    SolveOptions options;
    options.threads = threads;
    options.models = models;
    Enumeration out;
    std::mutex guard; // the solver serialises reports; this guards the test's view only
    out.summary = set.solve(options, [&](Model const& m) {
        std::lock_guard<std::mutex> lock(guard);
        out.models.insert(bits_of(m, p.vars));
        out.costs.push_back(m.cost());
        return true;
    });
    return out;
}

class SearchTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(SearchTest, RandomCnfModelCountsMatchBruteForce) {
    std::mt19937 rng(17 + GetParam());
    for (int round = 0; round < 60; ++round) {
        uint32_t vars = 3 + rng() % 10;
        auto p = Testing::random_cnf(rng, vars, vars + rng() % (3 * vars), 3 + rng() % 2);
        auto expected = Testing::all_models(p);
        auto got = enumerate(p, GetParam(), 0);
        ASSERT_EQ(got.models.size(), expected.size()) << "round " << round;
        ASSERT_EQ(std::set<uint32_t>(got.models.begin(), got.models.end()),
                  std::set<uint32_t>(expected.begin(), expected.end()));
        EXPECT_TRUE(got.summary.exhausted);
        EXPECT_EQ(got.summary.status,
                  expected.empty() ? SolveStatus::unsatisfiable : SolveStatus::satisfiable);
    }
}

TEST_P(SearchTest, WeightConstraintModelCountsMatchBruteForce) {
    std::mt19937 rng(99 + GetParam());
    for (int round = 0; round < 150; ++round) {
        uint32_t vars = 3 + rng() % 8;
        auto p = Testing::random_weight_problem(rng, vars);
        auto expected = Testing::all_models(p);
        auto got = enumerate(p, GetParam(), 0);
        ASSERT_EQ(got.models.size(), expected.size()) << "round " << round;
        ASSERT_EQ(std::set<uint32_t>(got.models.begin(), got.models.end()),
                  std::set<uint32_t>(expected.begin(), expected.end()));
    }
}

TEST_P(SearchTest, OptimumMatchesBruteForce) {
    std::mt19937 rng(7 + GetParam());
    for (int round = 0; round < 120; ++round) {
        uint32_t vars = 3 + rng() % 9;
        auto p = round % 2 == 0 ? Testing::random_cnf(rng, vars, vars, 3)
                                : Testing::random_weight_problem(rng, vars);
        uint32_t terms = 1 + rng() % 6;
        for (uint32_t k = 0; k < terms; ++k) {
            int32_t lit = rng() % 10 == 0 ? 1 : Testing::random_lit(rng, vars);
            p.minimize.push_back({lit, static_cast<int32_t>(rng() % 9) - 3, static_cast<int32_t>(rng() % 3)});
        }
        auto expected = Testing::all_models(p);
        auto got = enumerate(p, GetParam(), -1);
        if (expected.empty()) {
            EXPECT_EQ(got.summary.status, SolveStatus::unsatisfiable);
            continue;
        }
        std::vector<int64_t> best = Testing::cost_of(p, expected[0]);
        for (auto bits : expected) {
            best = std::min(best, Testing::cost_of(p, bits));
        }
        ASSERT_EQ(got.summary.status, SolveStatus::optimum) << "round " << round;
        ASSERT_EQ(got.summary.best_cost, best) << "round " << round;
        // Reported costs strictly improve and match the reported models.
        for (size_t i = 1; i < got.costs.size(); ++i) {
            EXPECT_LT(got.costs[i], got.costs[i - 1]);
        }
    }
}

TEST_P(SearchTest, ModelLimitAndAssumptions) {
    SmallProblem p;
    p.vars = 4; // no constraints: 16 models
    auto got = enumerate(p, GetParam(), 5);
    EXPECT_EQ(got.models.size(), 5u);
    EXPECT_EQ(std::set<uint32_t>(got.models.begin(), got.models.end()).size(), 5u);
    EXPECT_FALSE(got.summary.exhausted);

    SolverSet set;
    p.load(set.problem());
    SolveOptions options;
    options.threads = GetParam();
    options.models = 0;
    options.assumptions = {2, -3};
    std::set<uint32_t> seen;
    std::mutex guard;
    auto summary = set.solve(options, [&](Model const& m) {
        std::lock_guard<std::mutex> lock(guard);
        EXPECT_TRUE(m.is_true(2));
        EXPECT_TRUE(m.is_true(-3));
        seen.insert(bits_of(m, p.vars));
        return true;
    });
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_EQ(summary.models, 4u);
    // The same set solves again with contradicting assumptions.
    options.assumptions = {2, -2};
    summary = set.solve(options, nullptr);
    EXPECT_EQ(summary.status, SolveStatus::unsatisfiable);
}

INSTANTIATE_TEST_SUITE_P(Threads, SearchTest, ::testing::Values(1u, 4u));

TEST(SearchTest, PigeonholeIsUnsatisfiable) {
    for (uint32_t holes = 3; holes <= 6; ++holes) {
        SolverSet set;
        uint32_t pigeons = holes + 1;
        auto var = [&](uint32_t p, uint32_t h) { return static_cast<int32_t>(2 + p * holes + h); };
        set.problem().reserve_variables(1 + pigeons * holes);
        for (uint32_t p = 0; p < pigeons; ++p) {
            std::vector<int32_t> c;
            for (uint32_t h = 0; h < holes; ++h) {
                c.push_back(var(p, h));
            }
            set.problem().add_clause(c);
        }
        for (uint32_t h = 0; h < holes; ++h) {
            for (uint32_t p = 0; p < pigeons; ++p) {
                for (uint32_t q = p + 1; q < pigeons; ++q) {
                    int32_t c[] = {-var(p, h), -var(q, h)};
                    set.problem().add_clause(c);
                }
            }
        }
        auto summary = set.solve({}, nullptr);
        EXPECT_EQ(summary.status, SolveStatus::unsatisfiable);
        EXPECT_GT(summary.statistics.conflicts, 0u);
    }
}

TEST(SearchTest, InterruptEndsSearchAsUnknown) {
    // Pigeonhole 11 into 10 takes far longer than the time limit.
    SolverSet set;
    uint32_t holes = 10, pigeons = 11;
    auto var = [&](uint32_t p, uint32_t h) { return static_cast<int32_t>(2 + p * holes + h); };
    set.problem().reserve_variables(1 + pigeons * holes);
    for (uint32_t p = 0; p < pigeons; ++p) {
        std::vector<int32_t> c;
        for (uint32_t h = 0; h < holes; ++h) {
            c.push_back(var(p, h));
        }
        set.problem().add_clause(c);
    }
    for (uint32_t h = 0; h < holes; ++h) {
        for (uint32_t p = 0; p < pigeons; ++p) {
            for (uint32_t q = p + 1; q < pigeons; ++q) {
                int32_t c[] = {-var(p, h), -var(q, h)};
                set.problem().add_clause(c);
            }
        }
    }
    SolveOptions options;
    options.threads = 2;
    options.time_limit = 0.3;
    auto summary = set.solve(options, nullptr);
    EXPECT_EQ(summary.status, SolveStatus::unknown);
}

TEST(DimacsReaderTest, ReadsClausesAndReportsLocatedErrors) {
    Problem p;
    DimacsInfo info;
    std::string error;
    ASSERT_TRUE(DimacsReader::parse("c comment\np cnf 3 2\n1 -2 0\n2 3 0\n", "t.cnf", p, info, error))
        << error;
    EXPECT_EQ(info.variables, 3u);
    EXPECT_EQ(info.clauses, 2u);
    ASSERT_EQ(p.num_clauses(), 2u);
    EXPECT_EQ(std::vector<int32_t>(p.clause(0).begin(), p.clause(0).end()), (std::vector<int32_t>{2, -3}));

    struct Case {
        char const* text;
        char const* message;
    };
    Case cases[] = {
        {"p cnf 2 1\n1 3 0\n", "t.cnf:2:3-4: error: literal 3 exceeds the declared 2 variables"},
        {"p cnf 2 1\n1 x 0\n", "t.cnf:2:3-4: error: expected an integer, got 'x'"},
        {"1 2 0\n", "t.cnf:1:1-2: error: clause before the problem line"},
        {"p dnf 2 1\n", "t.cnf:1:3-6: error: expected 'cnf'"},
        {"p cnf 2 1\n1 99999999999 0\n", "t.cnf:2:3-14: error: number out of range"},
        {"p cnf 2\n", "error: expected an integer"},
        {"", "t.cnf:1:1-2: error: missing problem line"},
    };
    for (auto const& c : cases) {
        Problem q;
        DimacsInfo i;
        std::string e;
        EXPECT_FALSE(DimacsReader::parse(c.text, "t.cnf", q, i, e)) << c.text;
        EXPECT_NE(e.find(c.message), std::string::npos) << e;
    }
    EXPECT_FALSE(DimacsReader::read_file("/nonexistent/file.cnf", p, info, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

} // namespace
} // namespace Gondra::Solve
