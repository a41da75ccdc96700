#pragma once

// Per-thread mutable bookkeeping of one constraint, driven by its ThreadSolver.

#include "constraints/abstract_constraint.hpp"
#include "core/integer_types.hpp"
#include "core/theory_config.hpp"

#include <memory>
#include <utility>

namespace Tarvex {

class ThreadSolver;
class AbstractClauseCreator;
class InitClauseCreator;

class AbstractConstraintState {
public:
    AbstractConstraintState(AbstractConstraintState const&) = delete;
    AbstractConstraintState& operator=(AbstractConstraintState const&) = delete;
    virtual ~AbstractConstraintState() = default;

    // The constraint this state was made from; the solver's key for it.
    virtual AbstractConstraint const& owner_constraint() const = 0;
    // Registers the watches and recomputes every cached value from the bounds.
    virtual void attach_to_solver(ThreadSolver& solver) = 0;
    // Removes exactly the watches attach_to_solver registered.
    virtual void detach_from_solver(ThreadSolver& solver) = 0;
    // Once at initialisation. Returns (consistent, remove): remove drops the
    // state because clauses, weight constraints or the constraints appended
    // to added now express it; consistent false means the host has a conflict.
    virtual std::pair<bool, bool> translate_to_clauses(TheoryConfig const& config, ThreadSolver& solver,
                                                       InitClauseCreator& cc, ConstraintList& added) = 0;
    // An exact copy for another thread.
    virtual std::unique_ptr<AbstractConstraintState> clone_state() const = 0;
    // A watched bound moved by delta (lower bounds up: > 0, upper bounds
    // down: < 0); true if the state must be queued.
    virtual bool on_bound_change(value_t coefficient, value_t delta) = 0;
    // The exact inverse of on_bound_change with the same arguments.
    virtual void revert_bound_change(value_t coefficient, value_t delta) = 0;
    // False when the host refused a clause; the thread then stops.
    virtual bool propagate_constraint(ThreadSolver& solver, AbstractClauseCreator& cc, bool check_state) = 0;
    // Verifies the constraint under a total assignment; throws std::logic_error.
    virtual void check_assignment(ThreadSolver& solver) const = 0;
    // Sets the queued flag and returns its previous value.
    virtual bool set_in_queue(bool queued) = 0;
    virtual bool in_queue() const = 0;
    // Whether a satisfied state may be switched off until backtracking.
    virtual bool may_deactivate() const = 0;
    // 0 while active, else one more than the level of deactivation.
    virtual level_t deactivation_level() const = 0;
    virtual void set_deactivation_level(level_t level) = 0;

protected:
    AbstractConstraintState() = default;
};

using UniqueConstraintState = std::unique_ptr<AbstractConstraintState>;

} // namespace Tarvex
