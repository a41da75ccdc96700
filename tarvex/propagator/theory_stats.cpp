#include "propagator/theory_stats.hpp"

namespace Tarvex {

void fold_statistics(TheoryStats& accu, TheoryStats const& step) {
    accu.time_init += step.time_init;
    accu.time_translate += step.time_translate;
    accu.time_simplify += step.time_simplify;
    accu.num_variables += step.num_variables;
    accu.num_constraints += step.num_constraints;
    accu.num_clauses += step.num_clauses;
    accu.num_literals += step.num_literals;
    accu.translate_removed += step.translate_removed;
    accu.translate_added += step.translate_added;
    accu.translate_clauses += step.translate_clauses;
    accu.translate_wcs += step.translate_wcs;
    accu.translate_literals += step.translate_literals;
    // The run shows the cost of its last step, and none if that had none.
    accu.cost = step.cost;
    accu.has_cost = step.has_cost;

    auto prev = accu.solver_stats.before_begin();
    auto it = accu.solver_stats.begin();
    for (auto const& thread : step.solver_stats) {
        if (it == accu.solver_stats.end()) {
            it = accu.solver_stats.insert_after(prev, thread);
        } else {
            it->time_propagate += thread.time_propagate;
            it->time_check += thread.time_check;
            it->time_undo += thread.time_undo;
            it->refined_reason += thread.refined_reason;
            it->introduced_reason += thread.introduced_reason;
            it->literals += thread.literals;
        }
        prev = it++;
    }
}

void reset_statistics(TheoryStats& step) {
    // The cost keeps its stale value: nothing reads it without has_cost.
    wide_t cost = step.cost;
    // Solvers point at their thread records: the list's nodes move back
    // unchanged.
    auto threads = std::move(step.solver_stats);
    step = TheoryStats{};
    step.cost = cost;
    for (auto& thread : threads) {
        thread = ThreadStats{};
    }
    step.solver_stats = std::move(threads);
}

} // namespace Tarvex
