#pragma once

// The tuning records: one TheoryConfig per theory handle, a default
// ThreadConfig and one ThreadConfig per individually configured thread.

#include "core/integer_types.hpp"

#include <cstdint>
#include <forward_list>

namespace Tarvex {

enum class HeuristicMode : std::int32_t {
    None = 0,     // the host's own decision heuristic
    MaxChain = 1, // assign chains of order literals
    // put a variable at its lower bound when the host decides one of its
    // order literals, and split domains at the lower bound
    LowerBound = 2,
    // lower-bound while an objective is optimised, none otherwise
    Auto = 3,
};

// How much a distinct constraint derives from a term fixed to a value v.
enum class DistinctPropagation : std::int32_t {
    Ends = 0,   // terms whose lowest or highest value is v move off it
    Values = 1, // also: v is cut out of the domain of every one-variable term
    Bounds = 2, // also: intervals that as many terms must fill as they hold
                // values are closed to the other one-variable terms
};

// What a disjoint constraint derives from the windows of its tasks.
enum class DisjointPropagation : std::int32_t {
    // Overloads and exactly filled windows; the mirrored direction looks
    // again only after a backtrack.
    Windows = 0,
    // Edge finding in both directions, each looking at the tasks that
    // changed since it last did.
    EdgeFinding = 1,
};

// Whether decisions follow the last model found.
enum class ModelPhases : std::int32_t {
    No = 0,
    // a decided atom takes its truth in the last model
    Yes = 1,
    // yes while an objective is optimised, no otherwise
    Auto = 2,
};

struct ThreadConfig {
    HeuristicMode heuristic = HeuristicMode::Auto;
    ModelPhases model_phases = ModelPhases::Auto;
    // x <= v is decided negative exactly when v >= sign_value.
    value_t sign_value = 0;
    bool split_all = false;
    bool propagate_chain = true;
    bool refine_reasons = true;
    bool refine_introduce = true;
    DistinctPropagation distinct_propagation = DistinctPropagation::Ends;
    DisjointPropagation disjoint_propagation = DisjointPropagation::Windows;
    // Difference constraints x - y <= k also form a graph in which cycles of
    // negative weight are found as their last edge arrives.
    bool difference_graph = true;
    // On a total assignment whose lower bounds satisfy every sum and the
    // objective, those are the model's values and no domain is split. Only
    // sound when not all models are asked for: models that differ only in
    // the values of such variables are not enumerated.
    bool lower_bound_models = false;
    // Set when the search starts: whether an objective is optimised.
    bool optimising = false;

    // The heuristic in force, auto resolved.
    HeuristicMode active_heuristic() const {
        if (heuristic == HeuristicMode::Auto) {
            return optimising ? HeuristicMode::LowerBound : HeuristicMode::None;
        }
        return heuristic;
    }
    // Whether model phases are in force, auto resolved.
    bool active_model_phases() const {
        return model_phases == ModelPhases::Yes || (model_phases == ModelPhases::Auto && optimising);
    }
};

enum class LowerBoundModels : std::int32_t {
    Auto = 0, // when one model is asked for or an objective is optimised
    Yes = 1,
    No = 2,
};

struct TheoryConfig {
    // Element i belongs to host thread i. A list keeps the records in place,
    // since thread solvers point at theirs.
    std::forward_list<ThreadConfig> solver_configs;
    ThreadConfig default_solver_config;
    double weight_constraint_ratio = 1.0;
    std::uint64_t clause_limit_total = 1000000;
    std::uint32_t clause_limit = 1000;
    std::uint32_t distinct_limit = 1000;
    std::uint32_t minimize_limit = 0;
    value_t min_int = -1073741823;
    value_t max_int = 1073741823;
    bool sort_constraints = true;
    bool literals_only = false;
    bool add_order_clauses = false;
    bool check_solution = true;
    bool check_state = false;
    LowerBoundModels lower_bound_models = LowerBoundModels::Auto;
    // Set before solving when the host looks for one model or optimises.
    bool single_model_search = false;

    // Whether the threads take lower bounds as model values.
    bool uses_lower_bound_models() const {
        return lower_bound_models == LowerBoundModels::Yes ||
               (lower_bound_models == LowerBoundModels::Auto && single_model_search);
    }

    // Whether the default or any per-thread record asks for decisions.
    bool uses_heuristic() const {
        if (default_solver_config.heuristic != HeuristicMode::None ||
            default_solver_config.model_phases != ModelPhases::No) {
            return true;
        }
        for (auto const& config : solver_configs) {
            if (config.heuristic != HeuristicMode::None || config.model_phases != ModelPhases::No) {
                return true;
            }
        }
        return false;
    }

    // Element i of solver_configs; missing elements up to i are appended as
    // copies of the default.
    ThreadConfig& solver_config(std::uint32_t i) {
        auto prev = solver_configs.before_begin();
        auto it = solver_configs.begin();
        for (std::uint32_t k = 0;; ++k) {
            if (it == solver_configs.end()) {
                it = solver_configs.insert_after(prev, default_solver_config);
            }
            if (k == i) {
                return *it;
            }
            prev = it++;
        }
    }
};

} // namespace Tarvex
