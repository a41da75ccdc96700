#pragma once
#include <cstdint>

namespace Gondra::Solve {

// Counters of one solver thread; the control publishes them.
struct SolverStatistics {
    uint64_t choices = 0;
    uint64_t conflicts = 0;
    uint64_t restarts = 0;
    uint64_t propagations = 0;
    uint64_t learnt_clauses = 0;
    uint64_t learnt_literals = 0;
    uint64_t deleted_clauses = 0;
    uint64_t models = 0;
    uint64_t variables = 0;
    uint64_t clauses = 0;
    uint64_t binary_clauses = 0;
    uint64_t weight_constraints = 0;

    void add(SolverStatistics const& o) {
        choices += o.choices;
        conflicts += o.conflicts;
        restarts += o.restarts;
        propagations += o.propagations;
        learnt_clauses += o.learnt_clauses;
        learnt_literals += o.learnt_literals;
        deleted_clauses += o.deleted_clauses;
        models += o.models;
    }
    // The counters gathered since `before` was taken; sizes stay as they are.
    SolverStatistics since(SolverStatistics const& before) const {
        SolverStatistics d = *this;
        d.choices -= before.choices;
        d.conflicts -= before.conflicts;
        d.restarts -= before.restarts;
        d.propagations -= before.propagations;
        d.learnt_clauses -= before.learnt_clauses;
        d.learnt_literals -= before.learnt_literals;
        d.deleted_clauses -= before.deleted_clauses;
        d.models -= before.models;
        return d;
    }
};

} // namespace Gondra::Solve
