// Search under an objective that a propagator enforces: whether each model is
// followed by a restart or by the walk through the subspaces next to its
// decisions, every reported model improves on the last one, and the search
// ends exhausted at the brute-force optimum.
#include "brute_force.hpp"
#include "solve/propagate_control.hpp"
#include "solve/propagate_init.hpp"
#include "solve/solver_set.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <random>
#include <vector>

namespace Gondra::Solve {
namespace {

// Minimises the weighted count of true problem variables; a total assignment
// that is no better than the best model reported so far is refuted by a
// clause over the weighted variables it makes true.
class CountObjective : public Propagator {
public:
    // lax: a model as good as the best one is admitted, so the search meets
    // models again unless the host tells them apart.
    explicit CountObjective(std::vector<int64_t> weights, bool lax = false)
        : weights_(std::move(weights)), lax_(lax) {}

    bool init(PropagateInit& init) override {
        init.set_check_mode(CheckMode::total);
        return true;
    }
    bool check(PropagateControl& ctl) override {
        std::vector<int32_t> clause;
        int64_t cost = 0;
        for (size_t i = 0; i < weights_.size(); ++i) {
            auto v = static_cast<int32_t>(i + 2);
            if (ctl.assignment().is_true(v) && weights_[i] > 0) {
                cost += weights_[i];
                clause.push_back(-v);
            }
        }
        if (cost < best.load() || (lax_ && cost == best.load())) {
            return true;
        }
        ctl.add_clause(clause, ClauseType::learnt);
        return true;
    }
    int64_t cost_of(Model const& m) const {
        int64_t cost = 0;
        for (size_t i = 0; i < weights_.size(); ++i) {
            cost += m.is_true(static_cast<int32_t>(i + 2)) ? weights_[i] : 0;
        }
        return cost;
    }

    std::atomic<int64_t> best{INT64_MAX};

private:
    std::vector<int64_t> weights_;
    bool lax_;
};

// The least cost over all models by enumeration (INT64_MAX without models);
// weight i counts when variable i + 1 is true.
int64_t brute_force_optimum(Testing::SmallProblem const& p, std::vector<int64_t> const& weights) {
    int64_t optimum = INT64_MAX;
    for (uint32_t bits : Testing::all_models(p)) {
        int64_t cost = 0;
        for (uint32_t i = 0; i < weights.size(); ++i) {
            cost += ((bits >> i) & 1u) != 0 ? weights[i] : 0;
        }
        optimum = std::min(optimum, cost);
    }
    return optimum;
}

// How the host goes on after a model: restart without and with the clause
// over its decisions, or walk.
struct Mode {
    bool restart;
    bool block;
};
constexpr Mode modes[] = {{true, false}, {true, true}, {false, false}};

TEST(ObjectiveModelTest, ModelsImproveUntilTheOptimumInEitherMode) {
    std::mt19937 rng(7);
    for (int round = 0; round < 60; ++round) {
        uint32_t vars = 4 + rng() % 7;
        auto p = Testing::random_cnf(rng, vars, 2 + rng() % (2 * vars), 3);
        std::vector<int64_t> weights;
        for (uint32_t i = 0; i < vars; ++i) {
            weights.push_back(static_cast<int64_t>(rng() % 4));
        }
        int64_t optimum = brute_force_optimum(p, weights);
        for (Mode mode : modes) {
            for (uint32_t threads : {1u, 2u}) {
                SolverSet set;
                p.load(set.problem());
                CountObjective objective(weights);
                set.add_propagator(&objective);
                SolveOptions options;
                options.models = 0;
                options.threads = threads;
                options.application_objective = true;
                options.restart_on_model = mode.restart;
                options.block_on_restart = mode.block;
                std::vector<int64_t> costs;
                auto summary = set.solve(options, [&](Model const& m) {
                    int64_t cost = objective.cost_of(m);
                    costs.push_back(cost);
                    objective.best = std::min(objective.best.load(), cost);
                    return true;
                });
                SCOPED_TRACE(testing::Message() << "round " << round << " restart " << mode.restart << " block "
                                                << mode.block << " threads " << threads);
                EXPECT_TRUE(summary.exhausted);
                if (optimum == INT64_MAX) {
                    EXPECT_TRUE(costs.empty());
                    continue;
                }
                ASSERT_FALSE(costs.empty());
                // Threads may report a model found before another's better one.
                EXPECT_EQ(*std::min_element(costs.begin(), costs.end()), optimum);
                if (threads == 1) {
                    for (size_t k = 1; k < costs.size(); ++k) {
                        EXPECT_LT(costs[k], costs[k - 1]);
                    }
                }
            }
        }
    }
}

// A propagator that admits a model as good as the best: restarting without
// blocking clauses, the search meets models again; it still ends, each model
// reported once, at the optimum.
TEST(ObjectiveModelTest, ModelsFoundAgainAreReportedOnceAndTheSearchEnds) {
    std::mt19937 rng(11);
    for (int round = 0; round < 40; ++round) {
        uint32_t vars = 4 + rng() % 6;
        auto p = Testing::random_cnf(rng, vars, 2 + rng() % (2 * vars), 3);
        std::vector<int64_t> weights;
        for (uint32_t i = 0; i < vars; ++i) {
            weights.push_back(static_cast<int64_t>(rng() % 3));
        }
        int64_t optimum = brute_force_optimum(p, weights);
        for (Mode mode : modes) {
            for (uint32_t threads : {1u, 2u}) {
                SolverSet set;
                p.load(set.problem());
                CountObjective objective(weights, true);
                set.add_propagator(&objective);
                SolveOptions options;
                options.models = 0;
                options.threads = threads;
                options.application_objective = true;
                options.restart_on_model = mode.restart;
                options.block_on_restart = mode.block;
                std::vector<uint32_t> found;
                int64_t least = INT64_MAX;
                auto summary = set.solve(options, [&](Model const& m) {
                    uint32_t bits = 0;
                    for (uint32_t i = 0; i < vars; ++i) {
                        bits |= m.is_true(static_cast<int32_t>(i + 2)) ? 1u << i : 0u;
                    }
                    found.push_back(bits);
                    int64_t cost = objective.cost_of(m);
                    least = std::min(least, cost);
                    objective.best = std::min(objective.best.load(), cost);
                    return true;
                });
                SCOPED_TRACE(testing::Message() << "round " << round << " restart " << mode.restart << " block "
                                                << mode.block << " threads " << threads);
                EXPECT_TRUE(summary.exhausted);
                EXPECT_EQ(least, optimum);
                if (threads == 1) {
                    std::sort(found.begin(), found.end());
                    EXPECT_EQ(std::adjacent_find(found.begin(), found.end()), found.end());
                }
            }
        }
    }
}

} // namespace
} // namespace Gondra::Solve
