#pragma once

// Counters and times of the theory. All counting goes into the step record;
// the accumulated record is only written when statistics are published.

#include "core/integer_types.hpp"

#include <cstdint>
#include <forward_list>

namespace Tarvex {

struct ThreadStats {
    double time_propagate = 0;
    double time_check = 0;
    double time_undo = 0;
    std::uint64_t refined_reason = 0;
    std::uint64_t introduced_reason = 0;
    // Literals created during search.
    std::uint64_t literals = 0;
};

struct TheoryStats {
    double time_init = 0;
    double time_translate = 0;
    double time_simplify = 0;
    std::uint64_t num_variables = 0;
    std::uint64_t num_constraints = 0;
    std::uint64_t num_clauses = 0;
    std::uint64_t num_literals = 0;
    std::uint64_t translate_removed = 0;
    std::uint64_t translate_added = 0;
    std::uint64_t translate_clauses = 0;
    std::uint64_t translate_wcs = 0;
    std::uint64_t translate_literals = 0;
    wide_t cost = 0;
    bool has_cost = false;
    // Element i belongs to thread i; created on demand, zero-filled.
    std::forward_list<ThreadStats> solver_stats;

    // Element i of solver_stats; missing elements up to i are appended zero-filled.
    ThreadStats& thread_stats(std::uint32_t i) {
        auto prev = solver_stats.before_begin();
        auto it = solver_stats.begin();
        for (std::uint32_t k = 0;; ++k) {
            if (it == solver_stats.end()) {
                it = solver_stats.insert_after(prev, ThreadStats{});
            }
            if (k == i) {
                return *it;
            }
            prev = it++;
        }
    }
};

// Adds a step's times and counters to the run totals (modulo 2^64) and copies
// its cost; thread records are added element by element, missing ones
// appended.
void fold_statistics(TheoryStats& accu, TheoryStats const& step);
// Zeroes a step's times and counters and clears has_cost; the thread records
// keep their places, zeroed.
void reset_statistics(TheoryStats& step);

} // namespace Tarvex
