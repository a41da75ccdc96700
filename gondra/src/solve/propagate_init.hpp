#pragma once
// What a propagator's init sees: the problem on level 0 before the search.
// Everything it adds becomes part of the problem every solver thread loads.
#include "solve/problem.hpp"
#include "solve/propagator.hpp"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace Gondra::Solve {

class Solver;
class SolverSet;

class PropagateInit {
public:
    PropagateInit(SolverSet& set, Solver& master, uint32_t slot);

    // Program literal to solver literal (the control supplies the mapping).
    int32_t solver_literal(int32_t program_literal) const;
    void add_watch(int32_t lit);
    void add_watch_to_thread(int32_t lit, uint32_t thread_id);
    void remove_watch(int32_t lit);
    void freeze_literal(int32_t lit) const;
    void const* theory_atoms() const;
    uint32_t number_of_threads() const;
    void set_check_mode(CheckMode mode);
    CheckMode check_mode() const;
    Solver const& assignment() const { return master_; }
    int32_t add_literal(bool freeze);
    // These return false when the problem became inconsistent on level 0.
    bool add_clause(std::span<int32_t const> lits);
    bool add_weight_constraint(int32_t lit, std::span<WeightedLiteral const> lits, int64_t bound,
                               WeightType type, bool compare_equal);
    void add_minimize(int32_t lit, int32_t weight, int32_t priority);
    bool propagate();

private:
    bool sync();

    SolverSet& set_;
    Solver& master_;
    uint32_t slot_;
};

} // namespace Gondra::Solve
