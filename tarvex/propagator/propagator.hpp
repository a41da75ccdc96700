#pragma once

// The object the host drives: it owns the configuration, the constraints, the
// variable and symbol tables, the statistics, one ThreadSolver per host
// thread and the shared objective bound, and answers the host's propagator
// and heuristic callbacks.

#include "constraints/abstract_constraint.hpp"
#include "constraints/minimize_constraint.hpp"
#include "core/integer_types.hpp"
#include "core/theory_config.hpp"
#include "propagator/theory_stats.hpp"
#include "solver/thread_solver.hpp"

#include "gondra.hh"

#include <atomic>
#include <cstdint>
#include <limits>
#include <map>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Tarvex {

class Propagator final : public Gondra::Heuristic {
public:
    // The objective bound when no model has been found yet.
    static constexpr wide_t no_bound = std::numeric_limits<wide_t>::max();

    Propagator() = default;
    Propagator(Propagator const&) = delete;
    Propagator& operator=(Propagator const&) = delete;
    ~Propagator() override = default;

    void init(Gondra::PropagateInit& init) override;
    void propagate(Gondra::PropagateControl& control, std::span<literal_t const> changes) override;
    void undo(Gondra::PropagateControl const& control, std::span<literal_t const> changes) noexcept override;
    void check(Gondra::PropagateControl& control) override;
    literal_t decide(gondra_id_t thread_id, Gondra::Assignment const& assignment,
                     literal_t fallback) override;

    TheoryConfig& config() { return config_; }
    TheoryConfig const& config() const { return config_; }
    TheoryStats& step_stats() { return step_stats_; }
    TheoryStats& accu_stats() { return accu_stats_; }

    // ---- filled during initialisation
    // Thread 0's solver, created on first need.
    ThreadSolver& master_solver();
    // Registers a constraint with the master solver and takes ownership.
    void add_constraint(UniqueConstraint constraint);

    std::unordered_map<gondra_symbol_t, var_id> const& symbol_variables() const { return symbol_variables_; }
    std::map<var_id, gondra_symbol_t> const& variable_symbols() const { return variable_symbols_; }
    // Links a variable and its symbol in both tables.
    void add_variable_symbol(var_id var, gondra_symbol_t symbol) {
        symbol_variables_.emplace(symbol, var);
        variable_symbols_.emplace(var, symbol);
    }

    // ---- show directives
    void enable_show() { show_restricted_ = true; }
    void show_variable(var_id var) { shown_variables_.insert(var); }
    void show_signature(gondra_signature_t signature) { shown_signatures_.insert(signature); }
    // Whether a model lists the variable's value.
    bool is_shown(var_id var) const;

    // ---- search state
    std::vector<ThreadSolver> const& solvers() const { return solvers_; }
    ConstraintList const& constraints() const { return constraints_; }
    MinimizeConstraint const* objective() const { return objective_; }
    // The value of a variable in a thread's solver (its current lower bound);
    // 0 for a thread or variable that does not exist.
    value_t value(std::uint32_t thread_id, var_id var) const;

    wide_t objective_bound() const { return objective_bound_.load(); }
    // Other solver threads read the bound while they search: a sequentially
    // consistent exchange publishes it with a full barrier.
    void set_objective_bound(wide_t bound) { objective_bound_.exchange(bound); }

private:
    // Tells every thread record whether an objective is optimised.
    void set_optimising(bool optimising);
    // Takes the objective out of the solvers and the constraint list, so the
    // builder can merge the terms of the new step into it.
    UniqueConstraint detach_objective();
    // Runs the initialisation steps that can meet a conflict; false on one.
    bool init_constraints(Gondra::PropagateInit& init, InitClauseCreator& creator, UniqueConstraint old_objective);
    void resize_solvers(std::size_t count);

    // Configuration, statistics and constraints are declared before the
    // solvers, which point into them, so they are destroyed after them.
    TheoryConfig config_;
    TheoryStats step_stats_;
    TheoryStats accu_stats_;
    ConstraintList constraints_;
    std::vector<ThreadSolver> solvers_;
    std::unordered_map<gondra_symbol_t, var_id> symbol_variables_;
    std::map<var_id, gondra_symbol_t> variable_symbols_;
    std::unordered_set<var_id> shown_variables_;
    std::unordered_set<gondra_signature_t> shown_signatures_;
    MinimizeConstraint const* objective_ = nullptr;
    // Largest cost still acceptable, shared by all solver threads.
    std::atomic<wide_t> objective_bound_{no_bound};
    bool show_restricted_ = false;
};

} // namespace Tarvex
