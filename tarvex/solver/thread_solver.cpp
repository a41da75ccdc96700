#include "solver/thread_solver.hpp"

#include "constraints/sum_constraint_state.hpp"
#include "solver/scoped_timer.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <optional>
#include <stdexcept>

namespace Tarvex {

namespace {

LiteralEntry const empty_entry{};

} // namespace

ThreadSolver::ThreadSolver(ThreadConfig const& config, ThreadStats& stats)
    : config_{&config}, stats_{&stats}, levels_{Level{0, 0, 0, 0, 0}} {}

ThreadSolver::~ThreadSolver() = default;

// ---- watches and activity

void ThreadSolver::add_var_watch(var_id var, value_t coefficient, AbstractConstraintState& state) {
    var_watches_[var].push_back({coefficient, &state});
}

void ThreadSolver::remove_var_watch(var_id var, value_t coefficient, AbstractConstraintState& state) {
    auto& watches = var_watches_[var];
    auto it = std::find_if(watches.begin(), watches.end(), [&](Watch const& w) {
        return w.coefficient == coefficient && w.state == &state;
    });
    if (it != watches.end()) {
        watches.erase(it);
    }
}

void ThreadSolver::mark_inactive(AbstractConstraintState& state) {
    if (state.may_deactivate() && state.deactivation_level() == 0) {
        inactive_.push_back(&state);
        state.set_deactivation_level(current_level() + 1);
    }
}

AbstractConstraintState* ThreadSolver::state_of(AbstractConstraint const& constraint) const {
    auto it = states_.find(&constraint);
    return it != states_.end() ? it->second.get() : nullptr;
}

void ThreadSolver::push_level(level_t level) {
    levels_.push_back({level, bound_trail_.size(), inactive_.size(), removed_watches_.size(), graph_.trail_size()});
}

void ThreadSolver::enqueue(AbstractConstraintState& state) {
    if (state.deactivation_level() == 0 && !state.set_in_queue(true)) {
        todo_.push_back(&state);
    }
}

// ---- order literals

LiteralEntry const& ThreadSolver::lookup_literal(literal_t lit) const {
    auto index = static_cast<std::size_t>(std::abs(static_cast<wide_t>(lit))) - 1;
    return index < literal_map_.size() ? literal_map_[index] : empty_entry;
}

LiteralEntry* ThreadSolver::find_entry(literal_t lit) {
    auto index = static_cast<std::size_t>(std::abs(static_cast<wide_t>(lit))) - 1;
    return index < literal_map_.size() ? &literal_map_[index] : nullptr;
}

literal_t ThreadSolver::get_literal(AbstractClauseCreator& cc, VariableState& vs, value_t v) {
    if (v < vs.min_bound()) {
        return -true_literal;
    }
    if (v >= vs.max_bound()) {
        return true_literal;
    }
    literal_t& slot = vs.literal_slot(v);
    if (slot != 0) {
        return slot;
    }
    literal_t lit = cc.add_literal();
    // With the host's preference for assigning new atoms false, values are
    // pushed towards sign_value.
    if (v >= config_->sign_value) {
        lit = -lit;
    }
    slot = lit;
    register_literal(vs, v, lit);
    cc.add_watch(lit);
    cc.add_watch(-lit);
    return lit;
}

literal_t ThreadSolver::update_literal(AbstractClauseCreator& cc, VariableState& vs, value_t v, int truth) {
    if (truth == 0 || cc.assignment().decision_level() != 0) {
        return get_literal(cc, vs, v);
    }
    if (v < vs.min_bound()) {
        return -true_literal;
    }
    if (v >= vs.max_bound()) {
        return true_literal;
    }
    literal_t& slot = vs.literal_slot(v);
    if (slot != 0) {
        return slot;
    }
    if (truth == 1) {
        slot = true_literal;
        auto [prev, next] = link_literal(vs, true_literal, v);
        fact_queue_.push_back({1, vs.var(), v, next});
        return true_literal;
    }
    slot = -true_literal;
    auto [prev, next] = link_literal(vs, -true_literal, v);
    fact_queue_.push_back({-1, vs.var(), v, prev});
    return -true_literal;
}

literal_t ThreadSolver::value_literal(AbstractClauseCreator& cc, VariableState& vs, value_t v) {
    if (literal_t known = value_literals_.find(vs.var(), v); known != 0) {
        return known;
    }
    literal_t at = get_literal(cc, vs, v);
    literal_t below = v > std::numeric_limits<value_t>::min() ? get_literal(cc, vs, v - 1) : -true_literal;
    literal_t lit = 0;
    if (at == -true_literal || below == true_literal) {
        lit = -true_literal;
    } else if (at == true_literal) {
        lit = -below;
    } else if (below == -true_literal) {
        lit = at;
    } else {
        lit = cc.add_literal();
        // lit <-> (x <= v and not x <= v - 1); never deleted, since the
        // literal is reused for as long as it exists.
        std::array<literal_t, 3> both{-at, below, lit};
        std::array<literal_t, 2> upper{at, -lit};
        std::array<literal_t, 2> lower{-below, -lit};
        if (!cc.add_clause(both, clause_type_static) || !cc.add_clause(upper, clause_type_static) ||
            !cc.add_clause(lower, clause_type_static)) {
            // The definition cannot conflict by itself: the host was in
            // conflict already. A partly defined literal is not kept.
            return 0;
        }
    }
    value_literals_.store(vs.var(), v, lit, vs.min_bound(), vs.max_bound());
    return lit;
}

void ThreadSolver::register_literal(VariableState& vs, value_t v, literal_t lit) {
    auto index = static_cast<std::size_t>(std::abs(static_cast<wide_t>(lit))) - 1;
    literal_map_.grow(index + 1);
    auto [prev, next] = link_literal(vs, lit, v);
    auto& entry = literal_map_[index];
    entry.var_sign = vs.var() | (lit > 0 ? LiteralEntry::sign_bit : 0U);
    entry.value = v;
    entry.prev = prev;
    entry.next = next;
}

std::pair<literal_t, literal_t> ThreadSolver::link_literal(VariableState& vs, literal_t lit, value_t v) {
    literal_t prev = vs.prev_literal(v);
    if (prev == 0) {
        prev = -true_literal;
    }
    if (prev != -true_literal) {
        if (auto* entry = find_entry(prev); entry != nullptr && entry->is_order_literal(prev)) {
            if (lit != 0) {
                entry->next = lit;
            } else {
                literal_t next = vs.next_literal(v);
                entry->next = next != 0 ? next : true_literal;
            }
        }
    }
    literal_t next = vs.next_literal(v);
    if (next == 0) {
        next = true_literal;
    }
    if (next != true_literal) {
        if (auto* entry = find_entry(next); entry != nullptr && entry->is_order_literal(next)) {
            if (lit != 0) {
                entry->prev = lit;
            } else {
                literal_t before = vs.prev_literal(v);
                entry->prev = before != 0 ? before : -true_literal;
            }
        }
    }
    return {prev, next};
}

void ThreadSolver::drop_search_literals() {
    minimize_bound_.reset();
    // A new call may optimise something else.
    model_phases_.clear();
    minimize_level_ = 0;
    value_literals_.erase_if([this](literal_t lit) {
        return static_cast<std::uint64_t>(std::abs(static_cast<wide_t>(lit))) > init_literal_count_;
    });
    for (std::size_t index = init_literal_count_; index < literal_map_.size(); ++index) {
        auto& entry = literal_map_[index];
        if (!entry.valid()) {
            continue;
        }
        auto& vs = var_states_[entry.var()];
        vs.unset_literal(entry.value);
        link_literal(vs, 0, entry.value);
        entry.prev = 0;
    }
}

// ---- bound changes

bool ThreadSolver::propagate_changes(AbstractClauseCreator& cc, std::span<literal_t const> literals) {
    ScopedTimer timer{stats_->time_propagate};
    level_t level = cc.assignment().decision_level();
    if (level > current_level()) {
        push_level(level);
    }
    for (literal_t lit : literals) {
        if (!propagate_literal(cc, lit)) {
            return false;
        }
    }
    return true;
}

bool ThreadSolver::propagate_literal(AbstractClauseCreator& cc, literal_t lit) {
    if (may_have_states(lit)) {
        auto [begin, end] = literal_states_.equal_range(lit);
        for (auto it = begin; it != end; ++it) {
            enqueue(*it->second);
        }
    }
    return update_bounds(cc, lit);
}

void ThreadSolver::fix_literal(literal_t lit) {
    auto* entry = find_entry(lit);
    if (entry == nullptr || !entry->valid()) {
        return;
    }
    auto& vs = var_states_[entry->var()];
    value_t v = entry->value;
    if (entry->is_order_literal(lit)) {
        vs.set_literal(v, true_literal);
        link_literal(vs, true_literal, v);
        // link_literal may have touched other entries only; entry stays valid.
        fact_queue_.push_back({1, vs.var(), v, entry->next});
    } else {
        vs.set_literal(v, -true_literal);
        link_literal(vs, -true_literal, v);
        fact_queue_.push_back({-1, vs.var(), v, entry->prev});
    }
    entry->prev = 0;
}

bool ThreadSolver::update_bounds(AbstractClauseCreator& cc, literal_t lit) {
    if (lit != true_literal) {
        auto assignment = cc.assignment();
        if (assignment.decision_level() != 0 || !assignment.is_fixed(lit)) {
            LiteralEntry upper = lookup_literal(lit);
            if (upper.is_order_literal(lit) &&
                !update_upper(cc, var_states_[upper.var()], lit, upper.value, upper.next)) {
                return false;
            }
            LiteralEntry lower = lookup_literal(-lit);
            if (lower.is_order_literal(-lit)) {
                return update_lower(cc, var_states_[lower.var()], lit, lower.value, lower.prev);
            }
            return true;
        }
        // The atom's entry serves both signs; fixing empties it.
        fix_literal(lit);
    }
    for (std::size_t i = 0; i < fact_queue_.size(); ++i) {
        Fact fact = fact_queue_[i];
        auto& vs = var_states_[fact.var];
        bool ok = fact.truth == 1 ? update_upper(cc, vs, true_literal, fact.value, fact.neighbour)
                                  : update_lower(cc, vs, true_literal, fact.value, fact.neighbour);
        if (!ok) {
            return false;
        }
        link_literal(vs, 0, fact.value);
        vs.unset_literal(fact.value);
    }
    fact_queue_.clear();
    return true;
}

inline void ThreadSolver::save_bound(VariableState& vs, bool upper) {
    std::uint32_t key = vs.var() << 1 | (upper ? 1U : 0U);
    std::uint32_t index = upper ? vs.upper_save() : vs.lower_save();
    // The newest save is on the current level: the bound from before the
    // level is kept already.
    if (index < bound_trail_.size() && index >= levels_.back().bound_trail && bound_trail_[index].var_side == key) {
        return;
    }
    index = static_cast<std::uint32_t>(bound_trail_.size());
    bound_trail_.push_back({key, upper ? vs.upper_bound() : vs.lower_bound()});
    if (upper) {
        vs.set_upper_save(index);
    } else {
        vs.set_lower_save(index);
    }
}

bool ThreadSolver::update_upper(AbstractClauseCreator& cc, VariableState& vs, literal_t antecedent, value_t v,
                                literal_t next) {
    if (v < vs.lower_bound()) {
        std::array<literal_t, 2> clause{get_literal(cc, vs, vs.lower_bound() - 1), -antecedent};
        if (cc.add_clause(clause)) {
            cc.propagate();
        }
        return false;
    }
    var_id var = vs.var();
    if (v < vs.upper_bound()) {
        if (upper_diff_[var] == 0) {
            upper_changed_.push_back(var);
        }
        upper_diff_[var] += v - vs.upper_bound();
        if (current_level() == 0) {
            vs.set_upper_bound(v);
        } else {
            save_bound(vs, true);
            vs.move_upper_bound(v);
        }
    }
    auto assignment = cc.assignment();
    if (assignment.is_true(next)) {
        return true;
    }
    bool chain = config_->propagate_chain && assignment.decision_level() != 0;
    literal_t reason = antecedent;
    bool ok = true;
    vs.for_each_above(v, [&](value_t, literal_t lit) {
        if (assignment.is_true(lit)) {
            return false;
        }
        std::array<literal_t, 2> clause{-reason, lit};
        if (!cc.add_clause(clause, reason == true_literal ? clause_type_static : clause_type_learnt)) {
            ok = false;
            return false;
        }
        if (chain) {
            reason = lit;
        }
        return true;
    });
    return ok;
}

bool ThreadSolver::update_lower(AbstractClauseCreator& cc, VariableState& vs, literal_t antecedent, value_t v,
                                literal_t prev) {
    if (v >= vs.upper_bound()) {
        std::array<literal_t, 2> clause{-get_literal(cc, vs, vs.upper_bound()), -antecedent};
        if (cc.add_clause(clause)) {
            cc.propagate();
        }
        return false;
    }
    var_id var = vs.var();
    if (v + 1 > vs.lower_bound()) {
        if (lower_diff_[var] == 0) {
            lower_changed_.push_back(var);
        }
        lower_diff_[var] += v + 1 - vs.lower_bound();
        if (current_level() == 0) {
            vs.set_lower_bound(v + 1);
        } else {
            save_bound(vs, false);
            vs.move_lower_bound(v + 1);
        }
    }
    auto assignment = cc.assignment();
    if (assignment.is_true(-prev)) {
        return true;
    }
    bool chain = config_->propagate_chain && assignment.decision_level() != 0;
    literal_t reason = antecedent;
    bool ok = true;
    vs.for_each_below(v, [&](value_t, literal_t lit) {
        if (assignment.is_true(-lit)) {
            return false;
        }
        std::array<literal_t, 2> clause{-reason, -lit};
        if (!cc.add_clause(clause, reason == true_literal ? clause_type_static : clause_type_learnt)) {
            ok = false;
            return false;
        }
        if (chain) {
            reason = -lit;
        }
        return true;
    });
    return ok;
}

// ---- fixpoint

void ThreadSolver::notify_watches(var_id var, value_t diff) {
    auto& watches = var_watches_[var];
    level_t level = current_level();
    std::size_t kept = 0;
    for (auto const& watch : watches) {
        level_t deactivated = watch.state->deactivation_level();
        if (deactivated != 0 && level >= deactivated) {
            removed_watches_.push_back({watch.state, watch.coefficient, var});
            continue;
        }
        if (watch.state->on_bound_change(watch.coefficient, diff)) {
            enqueue(*watch.state);
        }
        watches[kept++] = watch;
    }
    watches.resize(kept);
}

bool ThreadSolver::fixpoint(AbstractClauseCreator& cc, bool check_state) {
    ScopedTimer timer{stats_->time_check};
    auto assignment = cc.assignment();
    level_t level = current_level();
    if (assignment.decision_level() != level && minimize_level_ <= level) {
        return true;
    }
    while (true) {
        if (!fact_queue_.empty() && !update_bounds(cc, true_literal)) {
            return false;
        }
        for (var_id var : upper_changed_) {
            notify_watches(var, upper_diff_[var]);
            upper_diff_[var] = 0;
        }
        upper_changed_.clear();
        for (var_id var : lower_changed_) {
            notify_watches(var, lower_diff_[var]);
            lower_diff_[var] = 0;
        }
        lower_changed_.clear();
        if (!todo_.empty()) {
            bool failed = false;
            // States are only queued by bound changes and literals, never
            // while another state propagates, so todo does not grow here.
            for (std::size_t i = 0; i < todo_.size(); ++i) {
                auto* state = todo_[i];
                state->set_in_queue(false);
                if (failed) {
                    continue;
                }
                if (assignment.is_false(state->owner_constraint().constraint_literal())) {
                    mark_inactive(*state);
                } else if (!state->propagate_constraint(*this, cc, check_state)) {
                    failed = true;
                }
            }
            todo_.clear();
            if (failed) {
                return false;
            }
        }
        if (fact_queue_.empty()) {
            return true;
        }
    }
}

// ---- undo

void ThreadSolver::undo() {
    ScopedTimer timer{stats_->time_undo};
    if (levels_.size() <= 1) {
        // Level 0 is never undone.
        return;
    }
    undo_level(levels_.back());
    levels_.pop_back();
}

void ThreadSolver::undo_bounds(std::size_t begin, bool upper) {
    auto& diffs = upper ? upper_diff_ : lower_diff_;
    for (std::size_t i = begin; i < bound_trail_.size(); ++i) {
        auto [key, bound] = bound_trail_[i];
        if (((key & 1U) != 0) != upper) {
            continue;
        }
        var_id var = key >> 1;
        auto& vs = var_states_[var];
        // Undo leaves a restored bound's save index pointing past the trail,
        // so a bound that moves again on a level the search came back to is
        // saved a second time. The first save holds the level's old bound;
        // restoring it points the save index at it, which marks the later
        // saves of the same bound as ones to skip.
        std::uint32_t first = upper ? vs.upper_save() : vs.lower_save();
        if (first >= begin && first < i && bound_trail_[first].var_side == key) {
            continue;
        }
        auto index = static_cast<std::uint32_t>(i);
        value_t current = 0;
        if (upper) {
            current = vs.upper_bound();
            vs.move_upper_bound(bound);
            vs.set_upper_save(index);
        } else {
            current = vs.lower_bound();
            vs.move_lower_bound(bound);
            vs.set_lower_save(index);
        }
        // The part of the change that the watchers were already told.
        value_t reported = current - bound - diffs[var];
        if (reported != 0) {
            for (auto const& watch : var_watches_[var]) {
                watch.state->revert_bound_change(watch.coefficient, reported);
            }
        }
        diffs[var] = 0;
    }
    for (var_id var : upper ? upper_changed_ : lower_changed_) {
        diffs[var] = 0;
    }
    (upper ? upper_changed_ : lower_changed_).clear();
}

void ThreadSolver::undo_level(Level const& level) {
    // Lower bounds first, each side in the order of the changes, as the
    // watchers were told.
    undo_bounds(level.bound_trail, false);
    undo_bounds(level.bound_trail, true);
    bound_trail_.truncate(level.bound_trail);

    for (std::size_t i = level.inactive; i < inactive_.size(); ++i) {
        inactive_[i]->set_deactivation_level(0);
    }
    inactive_.resize(level.inactive);

    for (std::size_t i = level.removed_watches; i < removed_watches_.size(); ++i) {
        auto const& removed = removed_watches_[i];
        var_watches_[removed.var].push_back({removed.coefficient, removed.state});
    }
    removed_watches_.resize(level.removed_watches);
    graph_.backtrack(level.graph_trail);

    for (auto* state : todo_) {
        state->set_in_queue(false);
    }
    todo_.clear();
}

// ---- total assignments

literal_t ThreadSolver::split_literal(AbstractClauseCreator& cc, VariableState& vs) {
    if (config_->active_heuristic() == HeuristicMode::LowerBound) {
        // Together with the decisions below this tries the smallest value
        // first, as schedules want their start times.
        return get_literal(cc, vs, vs.lower_bound());
    }
    auto mid = static_cast<value_t>(vs.lower_bound() +
                                    (static_cast<wide_t>(vs.upper_bound()) - vs.lower_bound()) / 2);
    return get_literal(cc, vs, mid);
}

namespace {

// Whether a sum or the objective holds with its variables at their lower
// bounds; nullopt for constraints that bounds alone cannot decide.
std::optional<bool> holds_at_lower_bounds(AbstractConstraintState const& state, ThreadSolver const& solver) {
    if (auto const* sum = dynamic_cast<SumStateImpl const*>(&state)) {
        return sum->holds_at_lower_bounds(solver);
    }
    if (auto const* objective = dynamic_cast<MinimizeStateImpl const*>(&state)) {
        return objective->holds_at_lower_bounds(solver);
    }
    return std::nullopt;
}

} // namespace

bool ThreadSolver::lower_bounds_are_model(Host::Assignment assignment) {
    auto& states = lower_bound_states_;
    states.clear();
    level_t level = current_level();
    bool unassigned = false;
    for (auto const& vs : var_states_) {
        if (vs.is_assigned()) {
            continue;
        }
        unassigned = true;
        for (auto const& watch : var_watches_[vs.var()]) {
            auto* state = watch.state;
            level_t deactivated = state->deactivation_level();
            // Switched off, or entailed by the bounds: any values within
            // them satisfy it.
            if ((deactivated != 0 && level >= deactivated) ||
                assignment.is_false(state->owner_constraint().constraint_literal())) {
                continue;
            }
            states.push_back(state);
        }
    }
    if (!unassigned) {
        return false;
    }
    std::sort(states.begin(), states.end());
    states.erase(std::unique(states.begin(), states.end()), states.end());
    // The objective may keep a variable of positive weight unfixed: its
    // lower bound is its cheapest value, and the next model must be cheaper
    // than this one anyway.
    return std::all_of(states.begin(), states.end(), [this](AbstractConstraintState const* state) {
        return holds_at_lower_bounds(*state, *this).value_or(false);
    });
}

void ThreadSolver::check_lower_bound_model(Host::Assignment assignment) {
    for (auto const& [lit, state] : literal_states_) {
        if (!assignment.is_true(lit)) {
            continue;
        }
        auto holds = holds_at_lower_bounds(*state, *this);
        if (!holds.has_value()) {
            state->check_assignment(*this);
        } else if (!*holds) {
            throw std::logic_error("invalid solution");
        }
    }
}

void ThreadSolver::check_total(AbstractClauseCreator& cc, bool check_solution) {
    if (config_->lower_bound_models && lower_bounds_are_model(cc.assignment())) {
        // Every variable that is not fixed only occurs in sums that hold
        // with all variables at their lower bounds, the values of a model.
        if (check_solution) {
            check_lower_bound_model(cc.assignment());
        }
        if (config_->active_model_phases()) {
            save_model_phases(cc.assignment());
        }
        return;
    }
    if (config_->split_all) {
        bool split = false;
        for (auto& vs : var_states_) {
            if (!vs.is_assigned()) {
                split_literal(cc, vs);
                split = true;
            }
        }
        if (split) {
            return;
        }
    }
    auto n = static_cast<std::uint32_t>(var_states_.size());
    for (std::uint32_t k = 0; k < n; ++k) {
        auto i = static_cast<std::uint32_t>((static_cast<std::uint64_t>(split_cursor_) + k) % n);
        if (!var_states_[i].is_assigned()) {
            split_literal(cc, var_states_[i]);
            split_cursor_ = i;
            return;
        }
    }
    if (check_solution) {
        auto assignment = cc.assignment();
        for (auto const& [lit, state] : literal_states_) {
            if (assignment.is_true(lit)) {
                state->check_assignment(*this);
            }
        }
    }
    if (config_->active_model_phases()) {
        save_model_phases(cc.assignment());
    }
}

void ThreadSolver::save_model_phases(Host::Assignment assignment) {
    std::size_t size = assignment.size();
    model_phases_.assign(size + 1, 0);
    for (std::size_t v = 1; v <= size; ++v) {
        auto truth = assignment.truth_value(static_cast<literal_t>(v));
        model_phases_[v] = truth == gondra_truth_value_true ? 1 : truth == gondra_truth_value_false ? -1 : 0;
    }
}

void ThreadSolver::update_minimize_bound(AbstractConstraint const& objective, level_t level, wide_t bound) {
    auto* state = state_of(objective);
    if (!minimize_bound_.has_value() || bound < *minimize_bound_) {
        minimize_bound_ = bound;
        minimize_level_ = level;
    } else if (level < minimize_level_) {
        minimize_level_ = level;
    } else {
        return;
    }
    if (state != nullptr) {
        enqueue(*state);
    }
}

// ---- decisions

literal_t ThreadSolver::decide(literal_t fallback) const {
    auto heuristic = config_->active_heuristic();
    bool phases = config_->active_model_phases() && !model_phases_.empty();
    if (heuristic == HeuristicMode::None && !phases) {
        return fallback;
    }
    auto const& entry = lookup_literal(fallback);
    bool order = entry.is_order_literal(fallback) || entry.is_order_literal(-fallback);
    if (phases && (!order || heuristic == HeuristicMode::None)) {
        // Search near the last model: the atom takes its truth there.
        auto atom = static_cast<std::size_t>(std::abs(static_cast<wide_t>(fallback)));
        std::int8_t phase = atom < model_phases_.size() ? model_phases_[atom] : 0;
        if (phase != 0) {
            auto positive = static_cast<literal_t>(atom);
            return phase > 0 ? positive : -positive;
        }
        return fallback;
    }
    if (heuristic == HeuristicMode::None) {
        return fallback;
    }
    if (heuristic == HeuristicMode::LowerBound) {
        // Whatever the sign of the host's choice: x <= v for the smallest
        // stored v at or above the lower bound.
        if (entry.is_order_literal(fallback) || entry.is_order_literal(-fallback)) {
            auto const& vs = var_states_[entry.var()];
            literal_t lit = vs.first_literal_from(vs.lower_bound());
            return lit != 0 ? lit : fallback;
        }
        return fallback;
    }
    if (entry.is_order_literal(fallback)) {
        auto const& vs = var_states_[entry.var()];
        return vs.first_literal_from(vs.lower_bound());
    }
    if (entry.is_order_literal(-fallback)) {
        auto const& vs = var_states_[entry.var()];
        return -vs.prev_literal(vs.upper_bound());
    }
    return fallback;
}

} // namespace Tarvex
