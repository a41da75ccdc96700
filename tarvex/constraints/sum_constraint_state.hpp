#pragma once

// Per-thread state of a linear sum constraint, and of the objective, which
// enforces its weighted sum against the thread's cost bound with the same
// machinery.

#include "constraints/abstract_constraint_state.hpp"
#include "constraints/minimize_constraint.hpp"
#include "constraints/sum_constraint.hpp"
#include "solver/difference_graph.hpp"

#include <type_traits>

namespace Tarvex {

class SumConstraintState : public AbstractConstraintState {};
class MinimizeConstraintState : public AbstractConstraintState {};

template <bool Objective, class Base> class SumConstraintStateImpl final : public Base {
public:
    using Constraint = std::conditional_t<Objective, MinimizeConstraint, SumConstraint>;

    explicit SumConstraintStateImpl(Constraint const& constraint) : constraint_{&constraint} {}

    AbstractConstraint const& owner_constraint() const override { return *constraint_; }
    void attach_to_solver(ThreadSolver& solver) override;
    void detach_from_solver(ThreadSolver& solver) override;
    std::pair<bool, bool> translate_to_clauses(TheoryConfig const& config, ThreadSolver& solver,
                                               InitClauseCreator& cc, ConstraintList& added) override;
    std::unique_ptr<AbstractConstraintState> clone_state() const override;
    bool on_bound_change(value_t coefficient, value_t delta) override {
        wide_t product = static_cast<wide_t>(coefficient) * delta;
        if (product < 0) {
            upper_sum_ += product;
            return false;
        }
        // Only a rising minimum can make the sum propagate.
        lower_sum_ += product;
        return true;
    }
    void revert_bound_change(value_t coefficient, value_t delta) override {
        wide_t product = static_cast<wide_t>(coefficient) * delta;
        if (product <= 0) {
            upper_sum_ -= product;
        } else {
            lower_sum_ -= product;
        }
    }
    bool propagate_constraint(ThreadSolver& solver, AbstractClauseCreator& cc, bool check_state) override;
    void check_assignment(ThreadSolver& solver) const override;
    bool set_in_queue(bool queued) override {
        bool previous = queued_;
        queued_ = queued;
        return previous;
    }
    bool in_queue() const override { return queued_; }
    bool may_deactivate() const override { return !Objective; }
    level_t deactivation_level() const override { return deactivation_level_; }
    void set_deactivation_level(level_t level) override { deactivation_level_ = level; }

    wide_t lower_sum() const { return lower_sum_; }
    // Whether the sum holds when every variable takes its lower bound (for
    // the objective: stays within the thread's bound, and no unfixed
    // variable has a cheaper value than its lower bound).
    bool holds_at_lower_bounds(ThreadSolver const& solver) const;
    wide_t upper_sum() const { return upper_sum_; }

private:
    struct Reason {
        bool ok;
        literal_t literal;
    };

    literal_t literal() const;
    // The literal stating that the element's variable is at its current
    // bound, weakened as far as the running slack allows when refinement is on.
    Reason reason_literal(ThreadSolver& solver, AbstractClauseCreator& cc, CoefVar const& element, wide_t& slack);
    void verify_sums(ThreadSolver const& solver) const;

    // Adds the edge of a difference constraint whose literal holds to the
    // graph; false on a negative cycle, refuted by a clause over the
    // literals of the cycle's constraints.
    bool activate_edge(ThreadSolver& solver, AbstractClauseCreator& cc);

    // Shares one reason among many derivations through an auxiliary literal.
    bool propagate_shared(ThreadSolver& solver, AbstractClauseCreator& cc, wide_t slack, wide_t reason_slack);

    Constraint const* constraint_;
    wide_t lower_sum_ = 0;
    wide_t upper_sum_ = 0;
    // The largest |c| * (max_bound - min_bound) over the elements when
    // attached: bounds only narrow below that, so a slack at least this large
    // derives nothing and the elements need not be looked at.
    wide_t max_step_ = 0;
    // The constraint's edge when it is a difference constraint c*x - c*y <= rhs.
    DifferenceGraph::edge_id edge_ = DifferenceGraph::no_edge;
    level_t deactivation_level_ = 0;
    bool queued_ = false;
};

using SumStateImpl = SumConstraintStateImpl<false, SumConstraintState>;
using MinimizeStateImpl = SumConstraintStateImpl<true, MinimizeConstraintState>;

extern template class SumConstraintStateImpl<false, SumConstraintState>;
extern template class SumConstraintStateImpl<true, MinimizeConstraintState>;

} // namespace Tarvex
