// Enumeration and several solve calls on one SolverSet while the problem
// grows: models that differ only in variables a propagator created during
// search are all found, once, with one and several threads; answers match
// brute force at every step; init's variables and clauses stay, clauses added
// during search stay or go by their type, and no per-call information
// (blocking clauses, objective bounds, interrupts) leaks into the next call.
#include "brute_force.hpp"
#include "lazy_integer.hpp"
#include "solve/solver_set.hpp"

#include <gtest/gtest.h>

#include <mutex>
#include <set>

namespace Gondra::Solve {
namespace {

using Testing::SmallProblem;

using Key = std::pair<uint32_t, int32_t>; // problem bits, x

std::set<Key> solve_all(SolverSet& set, Testing::LazyInteger const& prop, uint32_t threads) {
    SolveOptions options;
    options.threads = threads;
    options.models = 0;
    std::set<Key> got;
    std::mutex guard;
    uint64_t duplicates = 0;
    auto summary = set.solve(options, [&](Model const& m) {
        std::lock_guard<std::mutex> lock(guard);
        uint32_t bits = 0;
        for (uint32_t v = 0; v < prop.vars(); ++v) {
            bits |= m.is_true(static_cast<int32_t>(v + 2)) ? 1u << v : 0u;
        }
        duplicates += got.emplace(bits, prop.value(m.thread_id(), m.assignment())).second ? 0 : 1;
        return true;
    });
    EXPECT_NE(summary.status, SolveStatus::error) << summary.failure.message;
    EXPECT_TRUE(summary.exhausted);
    EXPECT_EQ(duplicates, 0u);
    return got;
}

std::set<Key> brute(SmallProblem const& p, int32_t size) {
    std::set<Key> out;
    for (auto bits : Testing::all_models(p)) {
        for (int32_t x = 0; x <= std::min<int32_t>(__builtin_popcount(bits), size - 1); ++x) {
            out.emplace(bits, x);
        }
    }
    return out;
}

class MultiShotTest : public ::testing::TestWithParam<uint32_t> {};

// New problem variables take numbers search variables had in the last call.
TEST_P(MultiShotTest, GrowingProblemMatchesBruteForceAtEveryStep) {
    uint32_t threads = GetParam();
    std::mt19937 rng(7 + threads);
    for (int round = 0; round < 25; ++round) {
        SolverSet set;
        SmallProblem p = Testing::random_cnf(rng, 3 + rng() % 3, 2, 3);
        p.load(set.problem());
        auto size = static_cast<int32_t>(1 + rng() % 5);
        Testing::LazyInteger prop(p.vars, size);
        set.add_propagator(&prop);
        for (int step = 0; step < 3; ++step) {
            EXPECT_EQ(solve_all(set, prop, threads), brute(p, size)) << "round " << round << " step " << step;
            // The same call again: blocking clauses of the last one are gone.
            EXPECT_EQ(solve_all(set, prop, threads), brute(p, size)) << "repeat, round " << round;
            uint32_t added = 1 + rng() % 2;
            for (uint32_t i = 0; i < added; ++i) {
                EXPECT_EQ(set.problem().add_variable(), static_cast<int32_t>(p.vars + 2));
                ++p.vars;
            }
            prop.set_vars(p.vars);
            auto more = Testing::random_cnf(rng, p.vars, 2, 3);
            for (auto const& c : more.clauses) {
                p.clauses.push_back(c);
                set.problem().add_clause(c);
            }
        }
    }
}

// Adds in init of its first call a fresh variable a with a <-> 2, and, with
// one thread (clauses added during search belong to their thread), during the
// first search a static unit -3 and a volatile unit -4. Later calls add
// nothing, so what holds there is what persisted.
class OneShotClauses : public Propagator {
public:
    bool init(PropagateInit& init) override {
        ++calls;
        if (calls == 1) {
            aux = init.add_literal(true);
            int32_t a[] = {-aux, 2};
            int32_t b[] = {aux, -2};
            init.add_clause(a);
            init.add_clause(b);
            init.set_check_mode(init.number_of_threads() == 1 ? CheckMode::fixpoint : CheckMode::none);
        } else {
            init.set_check_mode(CheckMode::none);
        }
        return true;
    }
    bool check(PropagateControl& ctl) override {
        if (added) {
            return true;
        }
        added = true;
        int32_t s[] = {-3};
        int32_t v[] = {-4};
        return ctl.add_clause(s, ClauseType::static_) && ctl.add_clause(v, ClauseType::volatile_);
    }
    int calls = 0;
    bool added = false;
    int32_t aux = 0;
};

TEST_P(MultiShotTest, InitClausesAndStaticClausesPersistVolatileOnesGo) {
    uint32_t threads = GetParam();
    SolverSet set;
    set.problem().reserve_variables(4); // 2, 3, 4 free
    OneShotClauses prop;
    set.add_propagator(&prop);
    std::mutex guard;
    std::set<std::pair<uint32_t, bool>> first;
    SolveOptions options;
    options.threads = threads;
    options.models = 0;
    set.solve(options, [&](Model const& m) {
        std::lock_guard<std::mutex> lock(guard);
        first.emplace((m.is_true(2) ? 1u : 0u) | (m.is_true(3) ? 2u : 0u) | (m.is_true(4) ? 4u : 0u),
                      m.is_true(prop.aux));
        return true;
    });
    std::set<std::pair<uint32_t, bool>> want1;
    for (uint32_t bits = 0; bits < 8; ++bits) {
        if (threads > 1 || (bits & 6u) == 0) {
            want1.emplace(bits, (bits & 1u) != 0);
        }
    }
    EXPECT_EQ(first, want1);
    int32_t aux = prop.aux;
    EXPECT_EQ(aux, 5);
    // The problem grows past the init variable, which keeps its number.
    EXPECT_EQ(set.problem().add_variable(), 6);
    std::set<std::pair<uint32_t, bool>> second;
    set.solve(options, [&](Model const& m) {
        std::lock_guard<std::mutex> lock(guard);
        second.emplace((m.is_true(2) ? 1u : 0u) | (m.is_true(3) ? 2u : 0u) | (m.is_true(4) ? 4u : 0u) |
                           (m.is_true(6) ? 8u : 0u),
                       m.is_true(aux));
        return true;
    });
    // -3 stays, -4 is gone, aux <-> 2 holds.
    std::set<std::pair<uint32_t, bool>> want2;
    for (uint32_t bits = 0; bits < 16; ++bits) {
        if (threads > 1 || (bits & 2u) == 0) {
            want2.emplace(bits, (bits & 1u) != 0);
        }
    }
    EXPECT_EQ(second, want2);
    EXPECT_EQ(prop.calls, 2);
}

TEST_P(MultiShotTest, ObjectiveBoundDoesNotLeakIntoTheNextCall) {
    uint32_t threads = GetParam();
    std::mt19937 rng(3 + threads);
    for (int round = 0; round < 15; ++round) {
        SmallProblem p = Testing::random_cnf(rng, 5, 4, 3);
        for (uint32_t v = 2; v <= 6; ++v) {
            p.minimize.push_back({static_cast<int32_t>(rng() % 2 == 0 ? v : -static_cast<int32_t>(v)),
                                  static_cast<int32_t>(rng() % 4), 0});
        }
        auto models = Testing::all_models(p);
        std::vector<int64_t> optimum;
        for (auto bits : models) {
            auto c = Testing::cost_of(p, bits);
            if (optimum.empty() || c < optimum) {
                optimum = c;
            }
        }
        SolverSet set;
        p.load(set.problem());
        SolveOptions options;
        options.threads = threads;
        for (int step = 0; step < 2; ++step) {
            std::vector<int64_t> last;
            std::mutex guard;
            auto summary = set.solve(options, [&](Model const& m) {
                std::lock_guard<std::mutex> lock(guard);
                last = m.cost();
                return true;
            });
            if (models.empty()) {
                EXPECT_EQ(summary.status, SolveStatus::unsatisfiable);
                continue;
            }
            EXPECT_EQ(summary.status, SolveStatus::optimum) << "round " << round << " step " << step;
            EXPECT_EQ(last, optimum) << "round " << round << " step " << step;
            // As a control does to report an optimal model: fix the cost and
            // solve again; the bound "cost < optimum" must be gone by then.
            std::vector<WeightedLiteral> terms;
            for (auto const& m : p.minimize) {
                terms.push_back({m.literal, m.weight});
            }
            set.problem().add_weight_constraint(1, terms, optimum[0], WeightType::equivalence, true);
        }
    }
}

TEST_P(MultiShotTest, WhatACallProvesWithoutPerCallInformationStays) {
    // Pigeonhole 6 into 5: the first call needs conflicts, the second none
    // as the refutation holds without per-call information.
    SolverSet set;
    uint32_t holes = 5, pigeons = 6;
    auto var = [&](uint32_t p, uint32_t h) { return static_cast<int32_t>(2 + p * holes + h); };
    set.problem().reserve_variables(1 + pigeons * holes);
    for (uint32_t p = 0; p < pigeons; ++p) {
        std::vector<int32_t> c;
        for (uint32_t h = 0; h < holes; ++h) {
            c.push_back(var(p, h));
        }
        set.problem().add_clause(c);
        for (uint32_t q = p + 1; q < pigeons; ++q) {
            for (uint32_t h = 0; h < holes; ++h) {
                int32_t pair[] = {-var(p, h), -var(q, h)};
                set.problem().add_clause(pair);
            }
        }
    }
    SolveOptions options;
    options.threads = GetParam();
    auto first = set.solve(options, nullptr);
    EXPECT_EQ(first.status, SolveStatus::unsatisfiable);
    EXPECT_GT(first.statistics.conflicts, 0u);
    auto second = set.solve(options, nullptr);
    EXPECT_EQ(second.status, SolveStatus::unsatisfiable);
    if (GetParam() == 1) {
        // (Other threads may still search until the one that knows stops them.)
        EXPECT_EQ(second.statistics.conflicts, 0u);
    }
}

// Records the problem literals fixed when init runs and the changes
// propagated on level 0. Level 0 is never undone for a propagator, so
// whatever it sees there must hold in every model.
class FixedAtInit : public Propagator {
public:
    explicit FixedAtInit(uint32_t vars) : vars_(vars) {}
    bool init(PropagateInit& init) override {
        std::lock_guard<std::mutex> lock(guard_);
        for (uint32_t v = 2; v <= vars_ + 1; ++v) {
            auto lit = static_cast<int32_t>(v);
            init.add_watch(lit);
            init.add_watch(-lit);
            if (init.assignment().is_fixed(lit)) {
                fixed.push_back(init.assignment().is_true(lit) ? lit : -lit);
            }
        }
        return true;
    }
    bool propagate(PropagateControl& ctl, std::span<int32_t const> changes) override {
        if (ctl.assignment().decision_level() == 0) {
            std::lock_guard<std::mutex> lock(guard_);
            fixed.insert(fixed.end(), changes.begin(), changes.end());
        }
        return true;
    }
    std::vector<int32_t> fixed;

private:
    std::mutex guard_;
    uint32_t vars_;
};

TEST_P(MultiShotTest, LevelZeroAfterEnumeratingOrOptimisingHoldsInEveryModel) {
    std::mt19937 rng(11 + GetParam());
    for (int round = 0; round < 30; ++round) {
        SmallProblem p = Testing::random_cnf(rng, 6, 5, 3);
        bool optimise = round % 2 == 1;
        if (optimise) {
            for (uint32_t v = 2; v <= 7; ++v) {
                p.minimize.push_back({static_cast<int32_t>(v), static_cast<int32_t>(1 + rng() % 3), 0});
            }
        }
        auto models = Testing::all_models(p);
        SolverSet set;
        p.load(set.problem());
        FixedAtInit prop(p.vars);
        set.add_propagator(&prop);
        SolveOptions options;
        options.threads = GetParam();
        options.models = 0;
        for (int step = 0; step < 3; ++step) {
            set.solve(options, nullptr);
            for (int32_t lit : prop.fixed) {
                uint32_t bit = 1u << (std::abs(lit) - 2);
                for (auto bits : models) {
                    EXPECT_EQ((bits & bit) != 0, lit > 0)
                        << "literal " << lit << " fixed at step " << step << " of round " << round
                        << " is false in a model";
                }
            }
        }
    }
}

TEST_P(MultiShotTest, InterruptBetweenCallsStopsTheNextCallOnly) {
    SolverSet set;
    set.problem().reserve_variables(3);
    SolveOptions options;
    options.threads = GetParam();
    set.interrupt();
    auto stopped = set.solve(options, nullptr);
    EXPECT_EQ(stopped.status, SolveStatus::unknown);
    EXPECT_TRUE(stopped.interrupted);
    auto next = set.solve(options, nullptr);
    EXPECT_EQ(next.status, SolveStatus::satisfiable);
    EXPECT_FALSE(next.interrupted);
    set.interrupt();
    set.clear_interrupt();
    EXPECT_EQ(set.solve(options, nullptr).status, SolveStatus::satisfiable);
}

INSTANTIATE_TEST_SUITE_P(Threads, MultiShotTest, ::testing::Values(1u, 4u));

} // namespace
} // namespace Gondra::Solve
