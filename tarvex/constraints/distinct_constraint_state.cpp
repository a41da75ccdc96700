#include "constraints/distinct_constraint_state.hpp"

#include "constraints/constraint_translation.hpp"
#include "core/checked_arithmetic.hpp"
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
    Entry const new_entry{new_bound, term};
    auto it = std::lower_bound(entries_.begin(), entries_.end(), Entry{old_bound, term});
    // Bounds mostly move by a few places: shift the neighbours one by one
    // rather than searching the destination.
    if (new_bound < old_bound) {
        for (; it != entries_.begin() && new_entry < *(it - 1); --it) {
            *it = *(it - 1);
        }
    } else {
        for (; it + 1 != entries_.end() && *(it + 1) < new_entry; ++it) {
            *it = *(it + 1);
        }
    }
    *it = new_entry;
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
    moved_.assign(size, 0);
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
    clear_touched();
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
        moved_[i] = 3;
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
    // Fresh bounds: a term may still be waiting for its refresh.
    std::vector<TermBounds> bounds;
    bounds.reserve(constraint_->size());
    for (auto const& term : constraint_->terms()) {
        bounds.push_back(compute_bounds(solver, term));
    }
    return translate_distinct(config, solver, cc, *constraint_, bounds, added);
}

std::unique_ptr<AbstractConstraintState> DistinctConstraintState::clone_state() const {
    auto clone = std::make_unique<DistinctConstraintState>(*constraint_);
    clone->term_bounds_ = term_bounds_;
    clone->lows_ = lows_;
    clone->highs_ = highs_;
    clone->dirty_terms_ = dirty_terms_;
    clone->up_touched_ = up_touched_;
    clone->down_touched_ = down_touched_;
    clone->moved_ = moved_;
    clone->deactivation_level_ = deactivation_level_;
    clone->queued_ = queued_;
    return clone;
}

bool DistinctConstraintState::on_bound_change(value_t tag, value_t delta) {
    std::uint32_t term = tag_term(tag);
    dirty_terms_.add(term);
    (tag > 0 ? up_touched_ : down_touched_).add(term);
    // A rising lower bound raises the term's low through a positive
    // coefficient and lowers its high through a negative one.
    moved_[term] |= (tag > 0) == (delta > 0) ? 1 : 2;
    return true;
}

void DistinctConstraintState::revert_bound_change(value_t tag, value_t delta) {
    static_cast<void>(delta);
    dirty_terms_.add(tag_term(tag));
    clear_touched();
}

void DistinctConstraintState::clear_touched() {
    for (auto const* list : {&up_touched_, &down_touched_}) {
        for (std::uint32_t term : list->list()) {
            moved_[term] = 0;
        }
    }
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
    push_fixed_reason(solver, cc, fixed);
    auto push = [&](literal_t lit) {
        if (!assignment.is_fixed(lit)) {
            reason.push_back(lit);
        }
    };
    auto const& term = constraint_->terms()[restricted];
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

void DistinctConstraintState::push_fixed_reason(ThreadSolver& solver, AbstractClauseCreator& cc,
                                                std::uint32_t fixed) {
    auto assignment = cc.assignment();
    auto& reason = solver.temp_reason();
    auto push = [&](literal_t lit) {
        if (!assignment.is_fixed(lit)) {
            reason.push_back(lit);
        }
    };
    push(-constraint_->literal());
    // Every variable of the fixed term sits at its value.
    for (auto const& [coefficient, var] : constraint_->terms()[fixed].element_span()) {
        static_cast<void>(coefficient);
        auto& vs = solver.var_state(var);
        push(-solver.get_literal(cc, vs, vs.upper_bound()));
        push(solver.get_literal(cc, vs, vs.lower_bound() - 1));
    }
}

bool DistinctConstraintState::exclude_inner(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t fixed,
                                            var_id x, value_t w) {
    // Through literals that say that a variable takes a value, the clause is
    // unit when it is made and again whenever the fixed term takes its
    // value, so the host keeps the hole without help.
    literal_t at = solver.value_literal(cc, solver.var_state(x), w);
    if (at == 0) {
        return false;
    }
    auto assignment = cc.assignment();
    if (assignment.is_false(at)) {
        return true;
    }
    auto& reason = solver.temp_reason();
    reason.clear();
    auto const& term = constraint_->terms()[fixed];
    if (term.count == 1) {
        literal_t off = -constraint_->literal();
        if (!assignment.is_fixed(off)) {
            reason.push_back(off);
        }
        auto& vs = solver.var_state(term.elements[0].second);
        literal_t is = solver.value_literal(cc, vs, vs.lower_bound());
        if (is == 0) {
            return false;
        }
        if (!assignment.is_fixed(-is)) {
            reason.push_back(-is);
        }
    } else {
        push_fixed_reason(solver, cc, fixed);
    }
    reason.push_back(-at);
    return cc.add_clause(reason, clause_type_learnt);
}

bool DistinctConstraintState::propagate_fixed(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t j,
                                              bool inner) {
    wide_t const v = term_bounds_[j].low;
    for (auto const& [bound, k] : highs_.equal_range(v)) {
        if (k != j && !exclude_value(solver, cc, j, k, false)) {
            return false;
        }
    }
    for (auto const& [bound, k] : lows_.equal_range(v)) {
        if (k != j && !exclude_value(solver, cc, j, k, true)) {
            return false;
        }
    }
    if (!inner) {
        return true;
    }
    auto terms = constraint_->terms();
    for (std::uint32_t k = 0; k < terms.size(); ++k) {
        auto const& term = terms[k];
        auto const [low, high] = term_bounds_[k];
        if (term.count != 1 || low >= v || high <= v) {
            continue;
        }
        auto const [coefficient, var] = term.elements[0];
        wide_t difference = v - term.constant;
        if (difference % coefficient != 0) {
            continue;
        }
        // Strictly inside the bounds of the variable, so a value.
        if (!exclude_inner(solver, cc, j, var, static_cast<value_t>(difference / coefficient))) {
            return false;
        }
    }
    return true;
}

bool DistinctConstraintState::propagate_end(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t j,
                                            bool upward) {
    auto const [low, high] = term_bounds_[j];
    for (auto const& [bound, k] : upward ? lows_.equal_range(low) : highs_.equal_range(high)) {
        if (term_bounds_[k].low == term_bounds_[k].high) {
            // A touched fixed term compares itself with every term.
            if (up_touched_.contains(k) || down_touched_.contains(k)) {
                return true;
            }
            return exclude_value(solver, cc, k, j, upward);
        }
    }
    return true;
}

bool DistinctConstraintState::propagate_touched(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t j,
                                                bool upward) {
    bool const values = solver.config().distinct_propagation != DistinctPropagation::Ends;
    if (term_bounds_[j].low == term_bounds_[j].high) {
        return propagate_fixed(solver, cc, j, values);
    }
    if (!values) {
        return propagate_end(solver, cc, j, upward);
    }
    // Examine the ends that actually moved.
    return ((moved_[j] & 1) == 0 || propagate_end(solver, cc, j, true)) &&
           ((moved_[j] & 2) == 0 || propagate_end(solver, cc, j, false));
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
    auto const mode = solver.config().distinct_propagation;
    bool const values = mode != DistinctPropagation::Ends;
    bool const changed = !up_touched_.list().empty() || !down_touched_.list().empty();
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
            // above already, and so was any term whose moved ends count.
            bool done = up_touched_.contains(j) && (values || term_bounds_[j].low == term_bounds_[j].high);
            if (!done && !propagate_touched(solver, cc, j, false)) {
                ok = false;
                break;
            }
        }
    }
    // After a refused clause the host backtracks over the changes that
    // touched these terms anyway.
    clear_touched();
    if (ok && changed && mode == DistinctPropagation::Bounds) {
        ok = propagate_hall(solver, cc);
    }
    return ok;
}

void DistinctConstraintState::push_term_bounds(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t t) {
    auto assignment = cc.assignment();
    auto& reason = solver.temp_reason();
    for (auto const& [coefficient, var] : constraint_->terms()[t].element_span()) {
        static_cast<void>(coefficient);
        auto& vs = solver.var_state(var);
        literal_t above = solver.get_literal(cc, vs, vs.lower_bound() - 1);
        if (!assignment.is_fixed(above)) {
            reason.push_back(above);
        }
        literal_t below = -solver.get_literal(cc, vs, vs.upper_bound());
        if (!assignment.is_fixed(below)) {
            reason.push_back(below);
        }
    }
}

bool DistinctConstraintState::propagate_hall(ThreadSolver& solver, AbstractClauseCreator& cc) {
    auto assignment = cc.assignment();
    auto& reason = solver.temp_reason();
    auto highs = highs_.entries();
    auto lows = lows_.entries();
    auto inside = [&](std::uint32_t t, wide_t a, wide_t b) {
        return term_bounds_[t].low >= a && term_bounds_[t].high <= b;
    };
    auto start_reason = [&](wide_t a, wide_t b) {
        reason.clear();
        literal_t off = -constraint_->literal();
        if (!assignment.is_fixed(off)) {
            reason.push_back(off);
        }
        for (auto const& [high, t] : highs) {
            if (high > b) {
                break;
            }
            if (inside(t, a, b)) {
                push_term_bounds(solver, cc, t);
            }
        }
    };
    for (std::size_t first = 0; first < lows.size(); ++first) {
        wide_t const a = lows[first].first;
        if (first > 0 && lows[first - 1].first == a) {
            continue;
        }
        // The terms inside [a, b] for growing b, a whole group of equal
        // highs at a time.
        wide_t count = 0;
        for (std::size_t i = 0; i < highs.size();) {
            wide_t const b = highs[i].first;
            for (; i < highs.size() && highs[i].first == b; ++i) {
                count += term_bounds_[highs[i].second].low >= a ? 1 : 0;
            }
            if (b < a || count == 0) {
                continue;
            }
            wide_t const room = b - a + 1;
            if (count > room) {
                // More terms than values: the literal must be false.
                start_reason(a, b);
                return cc.add_clause(reason, clause_type_learnt);
            }
            if (count < room) {
                continue;
            }
            for (std::uint32_t r = 0; r < term_bounds_.size(); ++r) {
                auto const [low, high] = term_bounds_[r];
                if (inside(r, a, b) || high < a || low > b || constraint_->terms()[r].count != 1) {
                    continue;
                }
                if (low >= a || high <= b) {
                    start_reason(a, b);
                    if (!push_out_of(solver, cc, a, b, r, low >= a)) {
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

bool DistinctConstraintState::push_out_of(ThreadSolver& solver, AbstractClauseCreator& cc, wide_t a, wide_t b,
                                          std::uint32_t r, bool upward) {
    auto assignment = cc.assignment();
    auto& reason = solver.temp_reason();
    auto const& term = constraint_->terms()[r];
    auto const [coefficient, var] = term.elements[0];
    auto& vs = solver.var_state(var);
    // Upward the term must exceed b, kept at a or above by one bound of its
    // variable; downward it must stay below a, kept at b or below.
    wide_t const target = upward ? b + 1 - term.constant : a - 1 - term.constant;
    bool const rises = (coefficient > 0) == upward;
    literal_t kept = 0;
    literal_t derived = 0;
    if (rises) {
        // x >= ceil(target / c).
        wide_t bound = -floor_div(-target, static_cast<wide_t>(coefficient));
        kept = solver.get_literal(cc, vs, vs.lower_bound() - 1);
        derived = -solver.get_literal(cc, vs, static_cast<value_t>(std::clamp<wide_t>(
                                                  bound - 1, wide_t{vs.min_bound()} - 1, vs.max_bound())));
    } else {
        // x <= floor(target / c).
        wide_t bound = floor_div(target, static_cast<wide_t>(coefficient));
        kept = -solver.get_literal(cc, vs, vs.upper_bound());
        derived = solver.get_literal(cc, vs, static_cast<value_t>(std::clamp<wide_t>(
                                                 bound, wide_t{vs.min_bound()} - 1, vs.max_bound())));
    }
    if (assignment.is_true(derived)) {
        return true;
    }
    if (!assignment.is_fixed(kept)) {
        reason.push_back(kept);
    }
    reason.push_back(derived);
    return cc.add_clause(reason, clause_type_learnt);
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
