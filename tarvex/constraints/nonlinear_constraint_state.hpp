#pragma once

// Per-thread state of literal -> co_xy * x * y + co_z * z <= rhs. The product
// is bounded by the corner products of the factors' bounds, computed in 128
// bits; the state detects conflicts and bounds z, never x or y.

#include "constraints/abstract_constraint_state.hpp"
#include "constraints/nonlinear_constraint.hpp"

namespace Tarvex {

class NonlinearConstraintState final : public AbstractConstraintState {
public:
    explicit NonlinearConstraintState(NonlinearConstraint const& constraint) : constraint_{&constraint} {}

    AbstractConstraint const& owner_constraint() const override { return *constraint_; }
    void attach_to_solver(ThreadSolver& solver) override;
    void detach_from_solver(ThreadSolver& solver) override;
    std::pair<bool, bool> translate_to_clauses(TheoryConfig const& config, ThreadSolver& solver,
                                               InitClauseCreator& cc, ConstraintList& added) override;
    std::unique_ptr<AbstractConstraintState> clone_state() const override;
    // Nothing is cached: every move of a factor or of z may matter.
    bool on_bound_change(value_t coefficient, value_t delta) override {
        static_cast<void>(coefficient);
        static_cast<void>(delta);
        return true;
    }
    void revert_bound_change(value_t coefficient, value_t delta) override {
        static_cast<void>(coefficient);
        static_cast<void>(delta);
    }
    bool propagate_constraint(ThreadSolver& solver, AbstractClauseCreator& cc, bool check_state) override;
    void check_assignment(ThreadSolver& solver) const override;
    bool set_in_queue(bool queued) override {
        bool previous = queued_;
        queued_ = queued;
        return previous;
    }
    bool in_queue() const override { return queued_; }
    bool may_deactivate() const override { return true; }
    level_t deactivation_level() const override { return deactivation_level_; }
    void set_deactivation_level(level_t level) override { deactivation_level_ = level; }

private:
    NonlinearConstraint const* constraint_;
    level_t deactivation_level_ = 0;
    bool queued_ = false;
};

} // namespace Tarvex
