// Publication of the theory's statistics into the host's trees.

#include "api/api_guard.hpp"
#include "host/host_error.hpp"
#include "tarvex.h"

#include <cstdint>
#include <iterator>

using namespace Tarvex;

namespace {

class StatisticsWriter {
public:
    explicit StatisticsWriter(gondra_statistics_t* tree) : tree_{tree} {}

    uint64_t map(uint64_t parent, char const* name) {
        uint64_t key = 0;
        Host::check(gondra_statistics_map_add_subkey(tree_, parent, name, gondra_statistics_type_map, &key));
        return key;
    }
    uint64_t array(uint64_t parent, char const* name) {
        uint64_t key = 0;
        Host::check(gondra_statistics_map_add_subkey(tree_, parent, name, gondra_statistics_type_array, &key));
        return key;
    }
    void value(uint64_t parent, char const* name, double number) {
        uint64_t key = 0;
        Host::check(gondra_statistics_map_add_subkey(tree_, parent, name, gondra_statistics_type_value, &key));
        Host::check(gondra_statistics_value_set(tree_, key, number));
    }
    void count(uint64_t parent, char const* name, std::uint64_t number) {
        value(parent, name, static_cast<double>(number));
    }
    // Pushes maps until the array has n entries; a longer one stays as it is.
    void grow_array(uint64_t array, std::size_t n) {
        size_t size = 0;
        Host::check(gondra_statistics_array_size(tree_, array, &size));
        for (; size < n; ++size) {
            uint64_t pushed = 0;
            Host::check(gondra_statistics_array_push(tree_, array, gondra_statistics_type_map, &pushed));
        }
    }
    uint64_t array_at(uint64_t array, std::size_t i) {
        uint64_t key = 0;
        Host::check(gondra_statistics_array_at(tree_, array, i, &key));
        return key;
    }

private:
    gondra_statistics_t* tree_;
};

void publish(gondra_statistics_t* tree, uint64_t root, TheoryStats const& stats) {
    StatisticsWriter out{tree};
    uint64_t theory = out.map(root, "Tarvex");
    if (stats.has_cost) {
        out.value(theory, "Cost", static_cast<double>(stats.cost));
    }
    uint64_t init = out.map(theory, "Init time in seconds");
    out.value(init, "Total", stats.time_init);
    out.value(init, "Simplify", stats.time_simplify);
    out.value(init, "Translate", stats.time_translate);
    uint64_t problem = out.map(theory, "Problem");
    out.count(problem, "Constraints", stats.num_constraints);
    out.count(problem, "Variables", stats.num_variables);
    out.count(problem, "Clauses", stats.num_clauses);
    out.count(problem, "Literals", stats.num_literals);
    uint64_t translate = out.map(theory, "Translate");
    out.count(translate, "Constraints removed", stats.translate_removed);
    out.count(translate, "Constraints added", stats.translate_added);
    out.count(translate, "Clauses", stats.translate_clauses);
    out.count(translate, "Weight constraints", stats.translate_wcs);
    out.count(translate, "Literals", stats.translate_literals);
    uint64_t threads = out.array(theory, "Thread");
    auto n = static_cast<std::size_t>(std::distance(stats.solver_stats.begin(), stats.solver_stats.end()));
    out.grow_array(threads, n);
    std::size_t i = 0;
    for (auto const& thread : stats.solver_stats) {
        uint64_t entry = out.array_at(threads, i++);
        uint64_t times = out.map(entry, "Time in seconds");
        out.value(times, "Total", thread.time_propagate + thread.time_check + thread.time_undo);
        out.value(times, "Propagation", thread.time_propagate);
        out.value(times, "Check", thread.time_check);
        out.value(times, "Undo", thread.time_undo);
        out.count(entry, "Refined reason", thread.refined_reason);
        out.count(entry, "Introduced reason", thread.introduced_reason);
        out.count(entry, "Literals introduced", thread.literals);
    }
}

} // namespace

extern "C" bool tarvex_on_statistics(tarvex_theory_t* theory, gondra_statistics_t* step,
                                     gondra_statistics_t* accu) {
    bool has_roots = false;
    bool ok = Host::guard([&] {
        auto& propagator = require_theory(theory).propagator;
        uint64_t step_root = 0;
        uint64_t accu_root = 0;
        // Without roots the host has already set its error; keep it as it is.
        has_roots = gondra_statistics_root(step, &step_root) && gondra_statistics_root(accu, &accu_root);
        if (!has_roots) {
            return;
        }
        auto& step_stats = propagator.step_stats();
        auto& accu_stats = propagator.accu_stats();
        fold_statistics(accu_stats, step_stats);
        publish(step, step_root, step_stats);
        publish(accu, accu_root, accu_stats);
        reset_statistics(step_stats);
    });
    return ok && has_roots;
}
