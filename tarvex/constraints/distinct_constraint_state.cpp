#include "constraints/distinct_constraint_state.hpp"

#include "solver/thread_solver.hpp"

#include <algorithm>
#include <stdexcept>

namespace Tarvex {

namespace {

// Watch tag of the elements of term i: the sign tells the direction in which
// a rising lower bound moves the term.
value_t term_tag(std::uint32_t term, value_t coefficient) {
    auto tag = static_cast<value_t>(term + 1);
    return coefficient > 0 ? tag : -tag;
}

std::uint32_t tag_term(value_t tag) {
    return static_cast<std::uint32_t>(tag > 0 ? tag : -static_cast<wide_t>(tag)) - 1;
}

} // namespace

// ---- the flat ordered sets

void DistinctConstraintState::TermOrder::insert(Entry entry) {
    entries_.insert(std::lower_bound(entries_.begin(), entries_.end(), entry), entry);
}

void DistinctConstraintState::TermOrder::move(std::uint32_t term, wide_t old_bound, wide_t new_bound) {
    Entry const old_entry{old_bound, term};
    Entry const new_entry{new_bound, term};
    auto it = std::lower_bound(entries_.begin(), entries_.end(), old_entry);
    if (new_entry < old_entry) {
        auto dest = std::lower_bound(entries_.begin(), it, new_entry);
        std::move_backward(dest, it, it + 1);
        *dest = new_entry;
    } else if (old_entry < new_entry) {
        auto dest = std::lower_bound(it + 1, entries_.end(), new_entry);
        std::move(it + 1, dest, it);
        *(dest - 1) = new_entry;
    }
}

std::span<DistinctConstraintState::TermOrder::Entry const>
DistinctConstraintState::TermOrder::equal_range(wide_t bound) const {
    auto first = std::lower_bound(entries_.begin(), entries_.end(), bound,
                                  [](Entry const& entry, wide_t value) { return entry.first < value; });
    auto last = first;
    while (last != entries_.end() && last->first == bound) {
        ++last;
    }
    return {first, last};
}

// ---- the state

DistinctConstraintState::DistinctConstraintState(DistinctConstraint const& constraint) : constraint_{&constraint} {
    std::size_t size = constraint.size();
    term_bounds_.reserve(size);
    lows_.reserve(size);
    highs_.reserve(size);
    dirty_terms_.resize(size);
    up_touched_.resize(size);
    down_touched_.resize(size);
}

DistinctConstraintState::TermBounds DistinctConstraintState::compute_bounds(ThreadSolver const& solver,
                                                                           DistinctTerm const& term) const {
    TermBounds bounds{term.constant, term.constant};
    for (auto const& [coefficient, var] : term.element_span()) {
        auto const& vs = solver.var_state(var);
        wide_t at_lower = static_cast<wide_t>(coefficient) * vs.lower_bound();
        wide_t at_upper = static_cast<wide_t>(coefficient) * vs.upper_bound();
        bounds.low += coefficient > 0 ? at_lower : at_upper;
        bounds.high += coefficient > 0 ? at_upper : at_lower;
    }
    return bounds;
}

void DistinctConstraintState::attach_to_solver(ThreadSolver& solver) {
    auto terms = constraint_->terms();
    term_bounds_.clear();
    lows_.clear();
    highs_.clear();
    dirty_terms_.clear();
    up_touched_.clear();
    down_touched_.clear();
    for (std::uint32_t i = 0; i < terms.size(); ++i) {
        auto bounds = compute_bounds(solver, terms[i]);
        term_bounds_.push_back(bounds);
        lows_.insert({bounds.low, i});
        highs_.insert({bounds.high, i});
        for (auto const& [coefficient, var] : terms[i].element_span()) {
            solver.add_var_watch(var, term_tag(i, coefficient), *this);
        }
        // Terms that are fixed from the start (plain numbers, variables fixed
        // before the constraint was added) never see a bound change, so the
        // first propagation compares every term.
        up_touched_.add(i);
        down_touched_.add(i);
    }
}

void DistinctConstraintState::detach_from_solver(ThreadSolver& solver) {
    auto terms = constraint_->terms();
    for (std::uint32_t i = 0; i < terms.size(); ++i) {
        for (auto const& [coefficient, var] : terms[i].element_span()) {
            solver.remove_var_watch(var, term_tag(i, coefficient), *this);
        }
    }
}

std::pair<bool, bool> DistinctConstraintState::translate_to_clauses(TheoryConfig const& config,
                                                                     ThreadSolver& solver, InitClauseCreator& cc,
                                                                     ConstraintList& added) {
    static_cast<void>(config);
    static_cast<void>(solver);
    static_cast<void>(cc);
    static_cast<void>(added);
    return {true, false};
}

std::unique_ptr<AbstractConstraintState> DistinctConstraintState::clone_state() const {
    auto clone = std::make_unique<DistinctConstraintState>(*constraint_);
    clone->term_bounds_ = term_bounds_;
    clone->lows_ = lows_;
    clone->highs_ = highs_;
    clone->dirty_terms_ = dirty_terms_;
    clone->up_touched_ = up_touched_;
    clone->down_touched_ = down_touched_;
    clone->deactivation_level_ = deactivation_level_;
    clone->queued_ = queued_;
    return clone;
}

bool DistinctConstraintState::on_bound_change(value_t tag, value_t delta) {
    static_cast<void>(delta);
    std::uint32_t term = tag_term(tag);
    dirty_terms_.add(term);
    (tag > 0 ? up_touched_ : down_touched_).add(term);
    return true;
}

void DistinctConstraintState::revert_bound_change(value_t tag, value_t delta) {
    static_cast<void>(delta);
    dirty_terms_.add(tag_term(tag));
    up_touched_.clear();
    down_touched_.clear();
}

void DistinctConstraintState::refresh(ThreadSolver const& solver) {
    auto terms = constraint_->terms();
    for (std::uint32_t i : dirty_terms_.list()) {
        auto& bounds = term_bounds_[i];
        auto fresh = compute_bounds(solver, terms[i]);
        lows_.move(i, bounds.low, fresh.low);
        highs_.move(i, bounds.high, fresh.high);
        bounds = fresh;
    }
    dirty_terms_.clear();
}

bool DistinctConstraintState::exclude_value(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t fixed,
                                            std::uint32_t restricted, bool upward) {
    auto assignment = cc.assignment();
    auto& reason = solver.temp_reason();
    reason.clear();
    auto push = [&](literal_t lit) {
        if (!assignment.is_fixed(lit)) {
            reason.push_back(lit);
        }
    };
    push(-constraint_->literal());
    auto terms = constraint_->terms();
    // Every variable of the fixed term sits at its value.
    for (auto const& [coefficient, var] : terms[fixed].element_span()) {
        static_cast<void>(coefficient);
        auto& vs = solver.var_state(var);
        push(-solver.get_literal(cc, vs, vs.upper_bound()));
        push(solver.get_literal(cc, vs, vs.lower_bound() - 1));
    }
    auto const& term = terms[restricted];
    bool const single = term.count == 1;
    // Every variable of the restricted term sits at the bound that makes its
    // extreme equal the value, and one of them must leave that bound.
    for (auto const& [coefficient, var] : term.element_span()) {
        auto& vs = solver.var_state(var);
        value_t s = upward ? -coefficient : coefficient;
        literal_t move = 0;
        if (s <= 0) {
            push(solver.get_literal(cc, vs, vs.lower_bound() - 1));
            int truth = single && reason.empty() ? -1 : 0;
            move = -solver.update_literal(cc, vs, vs.lower_bound(), truth);
        } else {
            push(-solver.get_literal(cc, vs, vs.upper_bound()));
            int truth = single && reason.empty() ? 1 : 0;
            move = solver.update_literal(cc, vs, vs.upper_bound() - 1, truth);
        }
        if (assignment.is_true(move)) {
            // The term has left the value already.
            return true;
        }
        push(move);
    }
    return cc.add_clause(reason, clause_type_learnt);
}

bool DistinctConstraintState::propagate_touched(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t j,
                                                bool upward) {
    auto const [low, high] = term_bounds_[j];
    auto is_fixed = [this](std::uint32_t k) { return term_bounds_[k].low == term_bounds_[k].high; };
    if (low == high) {
        for (auto const& [bound, k] : highs_.equal_range(low)) {
            if (k != j && !exclude_value(solver, cc, j, k, false)) {
                return false;
            }
        }
        for (auto const& [bound, k] : lows_.equal_range(low)) {
            if (k != j && !exclude_value(solver, cc, j, k, true)) {
                return false;
            }
        }
        return true;
    }
    auto same = upward ? lows_.equal_range(low) : highs_.equal_range(high);
    for (auto const& [bound, k] : same) {
        if (is_fixed(k)) {
            // A touched fixed term compares itself with every term.
            if (up_touched_.contains(k) || down_touched_.contains(k)) {
                return true;
            }
            return exclude_value(solver, cc, k, j, upward);
        }
    }
    return true;
}

bool DistinctConstraintState::propagate_constraint(ThreadSolver& solver, AbstractClauseCreator& cc,
                                                   bool check_state) {
    refresh(solver);
    if (check_state) {
        auto terms = constraint_->terms();
        for (std::uint32_t i = 0; i < terms.size(); ++i) {
            auto bounds = compute_bounds(solver, terms[i]);
            if (bounds.low != term_bounds_[i].low || bounds.high != term_bounds_[i].high) {
                throw std::logic_error("invalid term bounds");
            }
        }
    }
    bool ok = true;
    for (std::uint32_t j : up_touched_.list()) {
        if (!propagate_touched(solver, cc, j, true)) {
            ok = false;
            break;
        }
    }
    if (ok) {
        for (std::uint32_t j : down_touched_.list()) {
            // A fixed term touched both ways was compared with every term
            // above already.
            bool done = up_touched_.contains(j) && term_bounds_[j].low == term_bounds_[j].high;
            if (!done && !propagate_touched(solver, cc, j, false)) {
                ok = false;
                break;
            }
        }
    }
    // After a refused clause the host backtracks over the changes that
    // touched these terms anyway.
    up_touched_.clear();
    down_touched_.clear();
    return ok;
}

void DistinctConstraintState::check_assignment(ThreadSolver& solver) const {
    check_values_.clear();
    for (auto const& term : constraint_->terms()) {
        wide_t value = term.constant;
        for (auto const& [coefficient, var] : term.element_span()) {
            auto const& vs = solver.var_state(var);
            if (!vs.is_assigned()) {
                throw std::logic_error("variable is not fully assigned");
            }
            value += static_cast<wide_t>(coefficient) * vs.lower_bound();
        }
        auto it = std::lower_bound(check_values_.begin(), check_values_.end(), value);
        if (it != check_values_.end() && *it == value) {
            throw std::logic_error("invalid distinct constraint");
        }
        check_values_.insert(it, value);
    }
}

} // namespace Tarvex
