#include "constraints/nonlinear_constraint_state.hpp"

#include "core/wide128.hpp"
#include "solver/thread_solver.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace Tarvex {

namespace {

// Watch tags; the state reacts to every change alike.
constexpr value_t tag_x = 0;
constexpr value_t tag_y = 1;
constexpr value_t tag_z = 2;

} // namespace

void NonlinearConstraintState::attach_to_solver(ThreadSolver& solver) {
    solver.add_var_watch(constraint_->var_x(), tag_x, *this);
    solver.add_var_watch(constraint_->var_y(), tag_y, *this);
    if (constraint_->co_z() != 0) {
        solver.add_var_watch(constraint_->var_z(), tag_z, *this);
    }
}

void NonlinearConstraintState::detach_from_solver(ThreadSolver& solver) {
    solver.remove_var_watch(constraint_->var_x(), tag_x, *this);
    solver.remove_var_watch(constraint_->var_y(), tag_y, *this);
    if (constraint_->co_z() != 0) {
        solver.remove_var_watch(constraint_->var_z(), tag_z, *this);
    }
}

std::pair<bool, bool> NonlinearConstraintState::translate_to_clauses(TheoryConfig const& config,
                                                                      ThreadSolver& solver, InitClauseCreator& cc,
                                                                      ConstraintList& added) {
    static_cast<void>(config);
    static_cast<void>(solver);
    static_cast<void>(cc);
    static_cast<void>(added);
    return {true, false};
}

std::unique_ptr<AbstractConstraintState> NonlinearConstraintState::clone_state() const {
    auto clone = std::make_unique<NonlinearConstraintState>(*constraint_);
    clone->deactivation_level_ = deactivation_level_;
    clone->queued_ = queued_;
    return clone;
}

bool NonlinearConstraintState::propagate_constraint(ThreadSolver& solver, AbstractClauseCreator& cc,
                                                    bool check_state) {
    static_cast<void>(check_state);
    auto const& c = *constraint_;
    auto& vx = solver.var_state(c.var_x());
    auto& vy = solver.var_state(c.var_y());
    value_t const lx = vx.lower_bound();
    value_t const ux = vx.upper_bound();
    value_t const ly = vy.lower_bound();
    value_t const uy = vy.upper_bound();

    // The product over the box of the factors' bounds takes its extremes at
    // the corners.
    wide128_t const a_lx = wide128_t{static_cast<wide_t>(c.co_xy()) * lx};
    wide128_t const a_ux = wide128_t{static_cast<wide_t>(c.co_xy()) * ux};
    std::array<wide128_t, 4> const corners{a_lx * wide128_t{ly}, a_lx * wide128_t{uy}, a_ux * wide128_t{ly},
                                           a_ux * wide128_t{uy}};
    wide128_t const min_xy = *std::min_element(corners.begin(), corners.end());
    wide128_t const max_xy = *std::max_element(corners.begin(), corners.end());

    value_t const co_z = c.co_z();
    VariableState* vz = co_z != 0 ? &solver.var_state(c.var_z()) : nullptr;
    wide128_t z_min{};
    wide128_t z_max{};
    if (vz != nullptr) {
        wide128_t const at_lower{static_cast<wide_t>(co_z) * vz->lower_bound()};
        wide128_t const at_upper{static_cast<wide_t>(co_z) * vz->upper_bound()};
        z_min = co_z < 0 ? at_upper : at_lower;
        z_max = co_z < 0 ? at_lower : at_upper;
    }
    wide128_t const rhs{c.rhs()};
    if (max_xy + z_max <= rhs) {
        solver.mark_inactive(*this);
        return true;
    }

    auto assignment = cc.assignment();
    literal_t const lit = c.literal();
    auto& reason = solver.temp_reason();
    reason.clear();
    // x in [lx, ux] and y in [ly, uy]; literals false on level 0 say nothing.
    auto push_bound = [&](literal_t bound) {
        if (!assignment.is_fixed(bound)) {
            reason.push_back(bound);
        }
    };
    auto push_factor_bounds = [&] {
        push_bound(-solver.get_literal(cc, vx, ux));
        push_bound(solver.get_literal(cc, vx, lx - 1));
        push_bound(-solver.get_literal(cc, vy, uy));
        push_bound(solver.get_literal(cc, vy, ly - 1));
    };

    if (min_xy + z_min > rhs) {
        // Even the smallest value of the left-hand side is too large.
        push_factor_bounds();
        if (vz != nullptr) {
            push_bound(co_z < 0 ? -solver.get_literal(cc, *vz, vz->upper_bound())
                                : solver.get_literal(cc, *vz, vz->lower_bound() - 1));
        }
        reason.push_back(-lit);
        return cc.add_clause(reason, clause_type_learnt);
    }
    if (vz == nullptr || !assignment.is_true(lit)) {
        return true;
    }

    // co_z * z <= rhs - co_xy * x * y <= rhs - min_xy. The bound lies within
    // z's bounds since the conflict test failed, so it fits a value.
    wide128_t const room = rhs - min_xy;
    if (co_z > 0) {
        wide128_t const n = floor_div(room, wide128_t{co_z});
        if (n >= wide128_t{vz->upper_bound()}) {
            return true;
        }
        push_bound(-lit);
        push_factor_bounds();
        reason.push_back(solver.get_literal(cc, *vz, static_cast<value_t>(n.to_wide())));
    } else {
        wide128_t const n = ceil_div(room, wide128_t{co_z});
        if (n <= wide128_t{vz->lower_bound()}) {
            return true;
        }
        push_bound(-lit);
        push_factor_bounds();
        reason.push_back(-solver.get_literal(cc, *vz, static_cast<value_t>(n.to_wide() - 1)));
    }
    return cc.add_clause(reason, clause_type_learnt);
}

void NonlinearConstraintState::check_assignment(ThreadSolver& solver) const {
    auto const& c = *constraint_;
    auto const& vx = solver.var_state(c.var_x());
    auto const& vy = solver.var_state(c.var_y());
    wide128_t value = wide128_t{static_cast<wide_t>(c.co_xy()) * vx.lower_bound()} * wide128_t{vy.lower_bound()};
    if (c.co_z() != 0) {
        value += wide128_t{static_cast<wide_t>(c.co_z()) * solver.var_state(c.var_z()).lower_bound()};
    }
    if (value > wide128_t{c.rhs()}) {
        throw std::logic_error("invalid solution");
    }
}

} // namespace Tarvex
