#include "propagator/propagator.hpp"

#include "constraints/constraint_builder.hpp"
#include "host/propagate_control.hpp"
#include "host/propagate_init.hpp"
#include "host/symbols.hpp"
#include "host/theory_atoms.hpp"
#include "parsing/theory_atom_parser.hpp"
#include "solver/control_clause_creator.hpp"
#include "solver/init_clause_creator.hpp"
#include "solver/scoped_timer.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace Tarvex {

namespace {

// The host names threads by index into the solver list; a thread it did not
// announce at initialisation would index past it.
ThreadSolver& solver_at(std::vector<ThreadSolver>& solvers, gondra_id_t thread_id) {
    if (thread_id >= solvers.size()) {
        throw std::logic_error("no solver for thread " + std::to_string(thread_id));
    }
    return solvers[thread_id];
}

} // namespace

ThreadSolver& Propagator::master_solver() {
    if (solvers_.empty()) {
        solvers_.emplace_back(config_.solver_config(0), step_stats_.thread_stats(0));
    }
    return solvers_.front();
}

void Propagator::add_constraint(UniqueConstraint constraint) {
    ++step_stats_.num_constraints;
    master_solver().add_constraint(*constraint);
    constraints_.push_back(std::move(constraint));
}

bool Propagator::is_shown(var_id var) const {
    auto it = variable_symbols_.find(var);
    if (it == variable_symbols_.end()) {
        return false;
    }
    if (!show_restricted_ || shown_variables_.contains(var)) {
        return true;
    }
    gondra_symbol_t symbol = it->second;
    if (Host::symbol_type(symbol) != gondra_symbol_type_function) {
        return false;
    }
    // The sign of the symbol is ignored: -p(3) is shown by p/1.
    auto arity = static_cast<std::uint32_t>(Host::symbol_arguments(symbol).size());
    return shown_signatures_.contains(Host::create_signature(Host::symbol_name(symbol), arity, true));
}

value_t Propagator::value(std::uint32_t thread_id, var_id var) const {
    if (thread_id >= solvers_.size() || var >= solvers_[thread_id].num_variables()) {
        return 0;
    }
    return solvers_[thread_id].var_state(var).lower_bound();
}

UniqueConstraint Propagator::detach_objective() {
    if (objective_ == nullptr) {
        return nullptr;
    }
    --step_stats_.num_constraints;
    for (auto& solver : solvers_) {
        solver.remove_constraint(*objective_);
    }
    auto it = std::find_if(constraints_.begin(), constraints_.end(),
                           [this](UniqueConstraint const& c) { return c.get() == objective_; });
    UniqueConstraint detached;
    if (it != constraints_.end()) {
        detached = std::move(*it);
        constraints_.erase(it);
    }
    objective_ = nullptr;
    return detached;
}

void Propagator::resize_solvers(std::size_t count) {
    for (std::size_t i = solvers_.size(); i < count; ++i) {
        auto index = static_cast<std::uint32_t>(i);
        solvers_.emplace_back(config_.solver_config(index), step_stats_.thread_stats(index));
    }
    if (solvers_.size() > count) {
        solvers_.erase(solvers_.begin() + static_cast<std::ptrdiff_t>(count), solvers_.end());
    }
}

bool Propagator::init_constraints(Gondra::PropagateInit& init, InitClauseCreator& creator,
                                  UniqueConstraint old_objective) {
    Host::PropagateInit host_init{init.to_c()};
    ConstraintBuilder builder{*this, creator, host_init, std::move(old_objective)};
    if (!parse_theory_atoms(builder, Host::TheoryAtoms{init.theory_atoms()})) {
        return false;
    }
    builder.drop_sum_lookup();

    // Adding solvers later must not move the master solver.
    auto threads = static_cast<std::size_t>(std::max(init.number_of_threads(), 1));
    solvers_.reserve(threads);
    auto& master = master_solver();

    // Facts that other threads derived on level 0 in the previous step.
    for (std::size_t i = 1; i < solvers_.size(); ++i) {
        if (!master.import_bounds(creator, solvers_[i], config_.check_state)) {
            return false;
        }
    }

    {
        ScopedTimer timer{step_stats_.time_simplify};
        bool ok = master.simplify(creator, config_.check_state);
        // Simplification is not search time.
        auto& stats = master.stats();
        stats.time_propagate = 0;
        stats.time_check = 0;
        if (!ok) {
            return false;
        }
    }

    auto objective = builder.finish_objective();
    set_optimising(objective != nullptr);
    {
        ScopedTimer timer{step_stats_.time_translate};
        if (objective != nullptr) {
            objective_ = static_cast<MinimizeConstraint const*>(objective.get());
            add_constraint(std::move(objective));
        }
        creator.set_mode(InitClauseCreator::translating);
        if (!master.translate(creator, step_stats_, config_, constraints_)) {
            return false;
        }
        creator.set_mode(InitClauseCreator::normal);
        if (objective_ != nullptr && master.objective_translated()) {
            // The host optimises the objective itself now.
            objective_ = nullptr;
        }
    }

    for (auto const& constraint : constraints_) {
        init.add_watch(constraint->constraint_literal());
    }
    if (!creator.commit()) {
        return false;
    }

    resize_solvers(threads);
    master.shrink();
    for (std::size_t i = 1; i < solvers_.size(); ++i) {
        solvers_[i].copy_state(master);
    }

    if (objective_ != nullptr) {
        init.set_check_mode(gondra_propagator_check_mode_both);
        objective_bound_.store(no_bound);
    }
    auto size = static_cast<std::uint32_t>(init.assignment().size());
    for (auto& solver : solvers_) {
        solver.set_init_literal_count(size);
    }
    return true;
}

void Propagator::set_optimising(bool optimising) {
    config_.default_solver_config.optimising = optimising;
    for (auto& thread : config_.solver_configs) {
        thread.optimising = optimising;
    }
}

void Propagator::init(Gondra::PropagateInit& init) {
    ScopedTimer timer{step_stats_.time_init};
    init.set_check_mode(gondra_propagator_check_mode_fixpoint);
    bool lower_bound_models = config_.uses_lower_bound_models();
    config_.default_solver_config.lower_bound_models = lower_bound_models;
    for (auto& thread : config_.solver_configs) {
        thread.lower_bound_models = lower_bound_models;
    }
    set_optimising(false);
    Host::PropagateInit host_init{init.to_c()};
    // Anything still buffered when a conflict stops initialisation is
    // dropped with the creator: the host has seen the conflict already.
    InitClauseCreator creator{host_init, step_stats_};
    auto old_objective = detach_objective();
    for (auto& solver : solvers_) {
        solver.drop_search_literals();
    }
    init_constraints(init, creator, std::move(old_objective));
}

void Propagator::propagate(Gondra::PropagateControl& control, std::span<literal_t const> changes) {
    auto& solver = solver_at(solvers_, control.thread_id());
    Host::PropagateControl host_control{control.to_c()};
    ControlClauseCreator creator{host_control, solver.stats()};
    // A conflict has reached the host through a refused clause already.
    solver.propagate_changes(creator, changes);
}

void Propagator::undo(Gondra::PropagateControl const& control, std::span<literal_t const> changes) noexcept {
    static_cast<void>(changes);
    gondra_id_t thread_id = control.thread_id();
    if (thread_id < solvers_.size()) {
        solvers_[thread_id].undo();
    }
}

void Propagator::check(Gondra::PropagateControl& control) {
    auto assignment = control.assignment();
    std::size_t size = assignment.size();
    auto& solver = solver_at(solvers_, control.thread_id());
    level_t level = assignment.decision_level();
    if (objective_ != nullptr) {
        wide_t bound = objective_bound_.load();
        if (bound != no_bound) {
            solver.update_minimize_bound(*objective_, level, bound + objective_->adjust());
        }
    }
    Host::PropagateControl host_control{control.to_c()};
    ControlClauseCreator creator{host_control, solver.stats()};
    if (solver.fixpoint(creator, config_.check_state) && assignment.size() == size && assignment.is_total()) {
        solver.check_total(creator, config_.check_solution);
    }
}

literal_t Propagator::decide(gondra_id_t thread_id, Gondra::Assignment const& assignment, literal_t fallback) {
    static_cast<void>(assignment);
    return solver_at(solvers_, thread_id).decide(fallback);
}

} // namespace Tarvex
