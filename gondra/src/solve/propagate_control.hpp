#pragma once
// What a propagator may do on its solver thread during search.
#include "solve/solver.hpp"

#include <span>

namespace Gondra::Solve {

class PropagateControl {
public:
    PropagateControl(Solver& solver, uint32_t slot) : solver_(solver), slot_(slot) {}

    uint32_t thread_id() const { return solver_.thread_id(); }
    Solver const& assignment() const { return solver_; }
    // A fresh variable of this thread only.
    int32_t add_literal() { return solver_.add_variable(); }
    void add_watch(int32_t lit) { solver_.watch(slot_, lit); }
    bool has_watch(int32_t lit) const { return solver_.watched(slot_, lit); }
    void remove_watch(int32_t lit) { solver_.unwatch(slot_, lit); }
    // False when the clause is conflicting: the propagator must return.
    bool add_clause(std::span<int32_t const> lits, ClauseType type) { return solver_.add_clause(lits, type); }
    // Unit propagation of what was added; false means stop (conflict).
    bool propagate() { return solver_.propagate_in_callback(); }

private:
    Solver& solver_;
    uint32_t slot_;
};

} // namespace Gondra::Solve
