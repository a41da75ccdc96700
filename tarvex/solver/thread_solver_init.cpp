// The operations of ThreadSolver that run while the host initialises the
// propagator: thread 0 is filled, simplified and translated, then copied.

#include "core/checked_arithmetic.hpp"
#include "solver/init_clause_creator.hpp"
#include "solver/scoped_timer.hpp"
#include "solver/thread_solver.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <unordered_map>

namespace Tarvex {

var_id ThreadSolver::add_variable(value_t min, value_t max) {
    // The literal map keeps a variable in 31 bits beside a sign bit.
    if (var_states_.size() >= LiteralEntry::sign_bit) {
        throw std::length_error("too many integer variables");
    }
    auto var = static_cast<var_id>(var_states_.size());
    var_states_.emplace_back(var, min, max);
    var_watches_.emplace_back();
    upper_diff_.push_back(0);
    lower_diff_.push_back(0);
    return var;
}

bool ThreadSolver::add_dom(AbstractClauseCreator& cc, literal_t lit, var_id var, IntervalSet const& domain) {
    auto assignment = cc.assignment();
    if (assignment.is_false(lit)) {
        return true;
    }
    if (assignment.is_true(lit)) {
        lit = true_literal;
    }
    if (domain.empty()) {
        // No value fits, so the literal cannot hold; the passes below would
        // add no clause at all.
        std::array<literal_t, 1> clause{-lit};
        return cc.add_clause(clause);
    }
    auto& vs = var_states_[var];
    // Forward: lit and x >= end of the previous interval imply x >= start.
    literal_t prev = true_literal;
    for (auto const& [lower, upper] : domain) {
        int truth = lit == true_literal && assignment.is_true(prev) ? -1 : 0;
        literal_t o = update_literal(cc, vs, checked_pred(lower), truth);
        std::array<literal_t, 3> clause{-lit, -prev, -o};
        if (!cc.add_clause(clause)) {
            return false;
        }
        prev = -get_literal(cc, vs, checked_pred(upper));
    }
    // Backward: lit and x <= start of the next interval - 1 imply x <= end - 1.
    prev = true_literal;
    for (auto it = domain.rbegin(); it != domain.rend(); ++it) {
        auto const& [lower, upper] = *it;
        int truth = lit == true_literal && assignment.is_true(prev) ? 1 : 0;
        literal_t o = update_literal(cc, vs, checked_pred(upper), truth);
        std::array<literal_t, 3> clause{-lit, -prev, o};
        if (!cc.add_clause(clause)) {
            return false;
        }
        prev = get_literal(cc, vs, checked_pred(lower));
    }
    return true;
}

bool ThreadSolver::add_simple(AbstractClauseCreator& cc, literal_t lit, value_t coefficient, var_id var,
                              value_t rhs, bool strict) {
    auto assignment = cc.assignment();
    if (!strict && assignment.is_false(lit)) {
        return true;
    }
    value_t v = 0;
    int truth = 0;
    if (coefficient > 0) {
        v = static_cast<value_t>(floor_div(rhs, coefficient));
        truth = assignment.truth_value(lit);
    } else {
        // c*x <= rhs is x >= ceil(rhs / c), the negation of x <= that - 1.
        wide_t bound = -floor_div(rhs, -static_cast<wide_t>(coefficient)) - 1;
        if (bound < std::numeric_limits<value_t>::min() || bound > std::numeric_limits<value_t>::max()) {
            throw_overflow();
        }
        v = static_cast<value_t>(bound);
        truth = assignment.truth_value(-lit);
    }
    auto& vs = var_states_[var];
    if (strict && v >= vs.min_bound() && v < vs.max_bound() && !vs.has_literal(v)) {
        // The literal itself becomes the order literal; no clause is needed.
        literal_t order = coefficient > 0 ? lit : -lit;
        if (truth == 0) {
            if (lookup_literal(order).valid()) {
                // The atom already stands for another order literal.
                literal_t fresh = cc.add_literal();
                std::array<literal_t, 2> forward{-order, fresh};
                std::array<literal_t, 2> backward{-fresh, order};
                if (!cc.add_clause(forward) || !cc.add_clause(backward)) {
                    return false;
                }
                order = fresh;
            }
            cc.add_watch(order);
            cc.add_watch(-order);
            register_literal(vs, v, order);
            vs.set_literal(v, order);
        } else if (truth == 1) {
            vs.set_literal(v, true_literal);
            auto [prev, next] = link_literal(vs, true_literal, v);
            fact_queue_.push_back({1, var, v, next});
        } else {
            vs.set_literal(v, -true_literal);
            auto [prev, next] = link_literal(vs, -true_literal, v);
            fact_queue_.push_back({-1, var, v, prev});
        }
        return true;
    }
    literal_t o = update_literal(cc, vs, v, truth);
    if (coefficient < 0) {
        o = -o;
    }
    std::array<literal_t, 2> forward{-lit, o};
    if (!cc.add_clause(forward)) {
        return false;
    }
    if (strict) {
        std::array<literal_t, 2> backward{-o, lit};
        return cc.add_clause(backward);
    }
    return true;
}

AbstractConstraintState& ThreadSolver::add_constraint(AbstractConstraint const& constraint) {
    if (auto* state = state_of(constraint); state != nullptr) {
        return *state;
    }
    auto owned = constraint.make_state();
    auto& state = *owned;
    states_.emplace(&constraint, std::move(owned));
    add_literal_state(constraint.constraint_literal(), &state);
    state.attach_to_solver(*this);
    enqueue(state);
    return state;
}

void ThreadSolver::add_literal_state(literal_t lit, AbstractConstraintState* state) {
    literal_states_.emplace(lit, state);
    auto code = literal_code(lit);
    if (code >= state_literals_.size()) {
        state_literals_.resize(code + 1, false);
    }
    state_literals_[code] = true;
}

void ThreadSolver::remove_constraint(AbstractConstraint const& constraint) {
    auto it = states_.find(&constraint);
    if (it == states_.end()) {
        return;
    }
    auto* state = it->second.get();
    state->detach_from_solver(*this);
    auto [begin, end] = literal_states_.equal_range(constraint.constraint_literal());
    for (auto jt = begin; jt != end; ++jt) {
        if (jt->second == state) {
            literal_states_.erase(jt);
            break;
        }
    }
    if (state->deactivation_level() != 0) {
        state->set_deactivation_level(0);
        inactive_.erase(std::remove(inactive_.begin(), inactive_.end(), state), inactive_.end());
    }
    if (state->in_queue()) {
        state->set_in_queue(false);
        todo_.erase(std::remove(todo_.begin(), todo_.end(), state), todo_.end());
    }
    states_.erase(it);
}

bool ThreadSolver::simplify(AbstractClauseCreator& cc, bool check_state) {
    while (true) {
        {
            ScopedTimer timer{stats_->time_propagate};
            if (!cc.propagate()) {
                return false;
            }
            auto assignment = cc.assignment();
            std::uint32_t size = assignment.trail_size();
            if (size == trail_offset_ && todo_.empty() && fact_queue_.empty()) {
                return true;
            }
            if (assignment.decision_level() > current_level()) {
                push_level(assignment.decision_level());
            }
            for (std::uint32_t i = trail_offset_; i < size; ++i) {
                if (!propagate_literal(cc, assignment.trail_at(i))) {
                    return false;
                }
            }
            trail_offset_ = size;
        }
        if (!fixpoint(cc, check_state)) {
            return false;
        }
    }
}

bool ThreadSolver::import_bounds(AbstractClauseCreator& cc, ThreadSolver& other, bool check_state) {
    std::size_t n = std::min(var_states_.size(), other.var_states_.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto& vs = var_states_[i];
        auto const& theirs = other.var_states_[i];
        if (theirs.upper_bound() < vs.upper_bound()) {
            std::array<literal_t, 1> clause{update_literal(cc, vs, theirs.upper_bound(), 1)};
            if (!cc.add_clause(clause)) {
                return false;
            }
        }
        if (theirs.lower_bound() > vs.lower_bound()) {
            std::array<literal_t, 1> clause{-update_literal(cc, vs, theirs.lower_bound() - 1, -1)};
            if (!cc.add_clause(clause)) {
                return false;
            }
        }
    }
    return fixpoint(cc, check_state);
}

bool ThreadSolver::translate(InitClauseCreator& cc, TheoryStats& stats, TheoryConfig const& config,
                             ConstraintList& constraints) {
    std::size_t initial = constraints.size();
    std::size_t kept = 0;
    auto handed_over = [&cc] { return cc.stats().translate_clauses + cc.stats().translate_wcs; };
    auto handed_before = handed_over();
    for (std::size_t i = 0; i < constraints.size(); ++i) {
        auto& state = add_constraint(*constraints[i]);
        if (i >= initial) {
            ++stats.num_constraints;
            ++stats.translate_added;
        }
        auto [ok, remove] = state.translate_to_clauses(config, *this, cc, constraints);
        if (!ok) {
            return false;
        }
        if (remove) {
            --stats.num_constraints;
            ++stats.translate_removed;
        } else {
            std::swap(constraints[i], constraints[kept]);
            ++kept;
        }
    }
    if (kept < constraints.size()) {
        std::vector<AbstractConstraint const*> removed;
        removed.reserve(constraints.size() - kept);
        for (std::size_t i = kept; i < constraints.size(); ++i) {
            removed.push_back(constraints[i].get());
        }
        std::sort(removed.begin(), removed.end());
        auto is_removed = [&](AbstractConstraintState const* state) {
            return std::binary_search(removed.begin(), removed.end(), &state->owner_constraint());
        };
        for (auto& watches : var_watches_) {
            std::erase_if(watches, [&](Watch const& watch) { return is_removed(watch.state); });
        }
        std::erase_if(inactive_, [&](AbstractConstraintState* state) {
            state->set_deactivation_level(0);
            return is_removed(state);
        });
        // Only the states that leave the queue lose their flag: a kept state
        // still queued but unflagged would be missed by remove_constraint
        // and stay in the queue after its destruction.
        std::erase_if(todo_, [&](AbstractConstraintState* state) {
            if (!is_removed(state)) {
                return false;
            }
            state->set_in_queue(false);
            return true;
        });
        std::erase_if(literal_states_, [&](auto const& entry) { return is_removed(entry.second); });
        std::erase_if(states_, [&](auto const& entry) {
            return std::binary_search(removed.begin(), removed.end(), entry.first);
        });
        constraints.resize(kept);
    }
    // The host derives level-0 facts from what was translated (a distinct
    // constraint's weight constraints prune values that its propagation
    // left), but reports only later changes to the propagator: read them
    // here, or the bounds stay behind the host's assignment and a total
    // assignment is taken for one with nothing left to split.
    if (handed_over() != handed_before) {
        auto mode = cc.mode();
        cc.set_mode(InitClauseCreator::normal);
        double propagate_time = stats_->time_propagate;
        double check_time = stats_->time_check;
        bool ok = simplify(cc, config.check_state);
        stats_->time_propagate = propagate_time;
        stats_->time_check = check_time;
        cc.set_mode(mode);
        if (!ok) {
            return false;
        }
    }
    if (config.add_order_clauses) {
        for (auto const& vs : var_states_) {
            literal_t below = 0;
            bool ok = true;
            vs.for_each_literal([&](value_t, literal_t lit) {
                if (ok && below != 0 && below != -true_literal) {
                    std::array<literal_t, 2> clause{-below, lit};
                    ok = cc.add_clause(clause);
                }
                below = lit;
            });
            if (!ok) {
                return false;
            }
        }
    }
    return true;
}

void ThreadSolver::shrink() {
    // The variable states keep their slack: moving them into an exact buffer
    // would hold both buffers at once, the largest moment of the whole run.
    for (auto& vs : var_states_) {
        vs.shrink_to_fit();
    }
    literal_map_.shrink_to_fit();
    fact_queue_.shrink_to_fit();
    states_.rehash(0);
    for (auto& watches : var_watches_) {
        watches.shrink_to_fit();
    }
    var_watches_.shrink_to_fit();
    upper_diff_.shrink_to_fit();
    lower_diff_.shrink_to_fit();
    upper_changed_.shrink_to_fit();
    lower_changed_.shrink_to_fit();
    literal_states_.rehash(0);
}

void ThreadSolver::copy_state(ThreadSolver const& master) {
    split_cursor_ = master.split_cursor_;
    trail_offset_ = master.trail_offset_;
    minimize_level_ = master.minimize_level_;
    minimize_bound_ = master.minimize_bound_;
    var_states_ = master.var_states_;
    fact_queue_ = master.fact_queue_;
    literal_map_ = master.literal_map_;
    value_literals_ = master.value_literals_;
    graph_ = master.graph_;

    states_.clear();
    literal_states_.clear();
    state_literals_.clear();
    std::unordered_map<AbstractConstraintState const*, AbstractConstraintState*> clones;
    clones.reserve(master.states_.size());
    for (auto const& [constraint, state] : master.states_) {
        auto clone = state->clone_state();
        clones.emplace(state.get(), clone.get());
        add_literal_state(constraint->constraint_literal(), clone.get());
        states_.emplace(constraint, std::move(clone));
    }
    auto mine = [&](AbstractConstraintState const* state) { return clones.at(state); };

    auto const& level0 = master.levels_.front();
    levels_.assign(1, level0);
    bound_trail_ = master.bound_trail_;
    upper_diff_ = master.upper_diff_;
    lower_diff_ = master.lower_diff_;
    upper_changed_ = master.upper_changed_;
    lower_changed_ = master.lower_changed_;

    inactive_.clear();
    for (auto* state : master.inactive_) {
        inactive_.push_back(mine(state));
    }
    var_watches_.assign(master.var_watches_.size(), {});
    for (std::size_t var = 0; var < master.var_watches_.size(); ++var) {
        auto& watches = var_watches_[var];
        watches.reserve(master.var_watches_[var].size());
        for (auto const& watch : master.var_watches_[var]) {
            watches.push_back({watch.coefficient, mine(watch.state)});
        }
    }
    removed_watches_.clear();
    for (auto const& removed : master.removed_watches_) {
        removed_watches_.push_back({mine(removed.state), removed.coefficient, removed.var});
    }
    todo_.clear();
    for (auto* state : master.todo_) {
        todo_.push_back(mine(state));
    }
}

} // namespace Tarvex
