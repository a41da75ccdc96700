#include "constraints/sum_constraint_state.hpp"

#include "constraints/constraint_translation.hpp"
#include "core/checked_arithmetic.hpp"
#include "solver/thread_solver.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>

namespace Tarvex {

namespace {

// Contribution of an element to the lower and upper sums.
wide_t low_term(value_t coefficient, VariableState const& vs) {
    return static_cast<wide_t>(coefficient) * (coefficient > 0 ? vs.lower_bound() : vs.upper_bound());
}
wide_t high_term(value_t coefficient, VariableState const& vs) {
    return static_cast<wide_t>(coefficient) * (coefficient > 0 ? vs.upper_bound() : vs.lower_bound());
}

wide_t magnitude_of(value_t coefficient) {
    return coefficient > 0 ? coefficient : -static_cast<wide_t>(coefficient);
}

// What an element derives from a slack: the value v of the order literal
// (x <= v for positive, not x <= v for negative coefficients), or nothing when
// the bound does not move or the literal is already true.
struct Derivation {
    bool derives;
    value_t value;
    // floor(slack / |c|): how far the bound may lie from the other one.
    wide_t steps;
};

Derivation derivation(value_t coefficient, VariableState const& vs, wide_t slack, Host::Assignment assignment) {
    wide_t lb = vs.lower_bound();
    wide_t ub = vs.upper_bound();
    wide_t k = slack / magnitude_of(coefficient);
    if (coefficient > 0) {
        if (lb + k >= ub) {
            return {false, 0, k};
        }
        auto value = static_cast<value_t>(lb + k);
        literal_t stored = vs.literal_at(value);
        return {stored == 0 || !assignment.is_true(stored), value, k};
    }
    if (ub - k <= lb) {
        return {false, 0, k};
    }
    auto value = static_cast<value_t>(ub - k - 1);
    literal_t stored = vs.literal_at(value);
    return {stored == 0 || !assignment.is_true(-stored), value, k};
}

// A reason is shared among the derivations of one propagation once that
// saves a good deal: the per-derivation clauses repeat the reason, the shared
// form costs one literal and a binary clause per reason literal and derivation.
constexpr std::size_t shared_min_derivations = 4;
constexpr std::size_t shared_min_reason = 8;

} // namespace

template <bool Objective, class Base> literal_t SumConstraintStateImpl<Objective, Base>::literal() const {
    if constexpr (Objective) {
        return true_literal;
    } else {
        return constraint_->literal();
    }
}

template <bool Objective, class Base>
void SumConstraintStateImpl<Objective, Base>::attach_to_solver(ThreadSolver& solver) {
    lower_sum_ = 0;
    upper_sum_ = 0;
    max_step_ = 0;
    for (auto const& [coefficient, var] : constraint_->elements()) {
        solver.add_var_watch(var, coefficient, *this);
        auto const& vs = solver.var_state(var);
        lower_sum_ += low_term(coefficient, vs);
        upper_sum_ += high_term(coefficient, vs);
        wide_t width = static_cast<wide_t>(vs.max_bound()) - vs.min_bound();
        max_step_ = std::max(max_step_, magnitude_of(coefficient) * width);
    }
    if constexpr (!Objective) {
        auto elements = constraint_->elements();
        if (solver.config().difference_graph && elements.size() == 2 &&
            wide_t{elements[0].first} == -wide_t{elements[1].first}) {
            bool first_positive = elements[0].first > 0;
            auto const& x = elements[first_positive ? 0 : 1];
            auto const& y = elements[first_positive ? 1 : 0];
            edge_ = solver.difference_graph().add_edge(x.second, y.second, floor_div(constraint_->rhs(), x.first),
                                                       constraint_->literal());
        }
    }
}

template <bool Objective, class Base>
void SumConstraintStateImpl<Objective, Base>::detach_from_solver(ThreadSolver& solver) {
    for (auto const& [coefficient, var] : constraint_->elements()) {
        solver.remove_var_watch(var, coefficient, *this);
    }
    if (edge_ != DifferenceGraph::no_edge) {
        solver.difference_graph().remove_edge(edge_);
        edge_ = DifferenceGraph::no_edge;
    }
}

template <bool Objective, class Base>
bool SumConstraintStateImpl<Objective, Base>::activate_edge(ThreadSolver& solver, AbstractClauseCreator& cc) {
    auto& cycle = solver.temp_reason();
    if (solver.difference_graph().activate(edge_, cycle)) {
        return true;
    }
    // The constraints of the cycle add up to 0 <= negative: not all of their
    // literals can hold.
    auto assignment = cc.assignment();
    std::size_t kept = 0;
    for (literal_t lit : cycle) {
        if (!assignment.is_fixed(lit)) {
            cycle[kept++] = -lit;
        }
    }
    cycle.resize(kept);
    if (cycle.empty()) {
        cycle.push_back(-true_literal);
    }
    // The clause is false; during initialisation only propagating it makes
    // the host see the conflict.
    if (cc.add_clause(cycle, clause_type_learnt)) {
        cc.propagate();
    }
    return false;
}

template <bool Objective, class Base>
std::pair<bool, bool> SumConstraintStateImpl<Objective, Base>::translate_to_clauses(TheoryConfig const& config,
                                                                                     ThreadSolver& solver,
                                                                                     InitClauseCreator& cc,
                                                                                     ConstraintList& added) {
    static_cast<void>(added);
    if constexpr (Objective) {
        return translate_objective(config, solver, cc, *constraint_);
    } else {
        return translate_sum(config, solver, cc, *constraint_, lower_sum_, upper_sum_);
    }
}

template <bool Objective, class Base>
std::unique_ptr<AbstractConstraintState> SumConstraintStateImpl<Objective, Base>::clone_state() const {
    auto clone = std::make_unique<SumConstraintStateImpl>(*constraint_);
    clone->lower_sum_ = lower_sum_;
    clone->upper_sum_ = upper_sum_;
    clone->max_step_ = max_step_;
    clone->edge_ = edge_;
    clone->deactivation_level_ = deactivation_level_;
    clone->queued_ = queued_;
    return clone;
}

template <bool Objective, class Base>
void SumConstraintStateImpl<Objective, Base>::verify_sums(ThreadSolver const& solver) const {
    wide_t lower = 0;
    wide_t upper = 0;
    for (auto const& [coefficient, var] : constraint_->elements()) {
        auto const& vs = solver.var_state(var);
        lower += low_term(coefficient, vs);
        upper += high_term(coefficient, vs);
    }
    if (lower != lower_sum_ || upper != upper_sum_) {
        throw std::logic_error("invalid lower bound");
    }
    if (lower > upper) {
        throw std::logic_error("lower bound exceeds upper bound");
    }
}

template <bool Objective, class Base>
typename SumConstraintStateImpl<Objective, Base>::Reason
SumConstraintStateImpl<Objective, Base>::reason_literal(ThreadSolver& solver, AbstractClauseCreator& cc,
                                                        CoefVar const& element, wide_t& slack) {
    auto const [coefficient, var] = element;
    auto& vs = solver.var_state(var);
    value_t lb = vs.lower_bound();
    value_t ub = vs.upper_bound();
    bool positive = coefficient > 0;
    wide_t magnitude = positive ? coefficient : -static_cast<wide_t>(coefficient);
    // Its falsity states x >= lb (positive) or x <= ub (negative).
    literal_t lit = positive ? solver.get_literal(cc, vs, lb - 1) : -solver.get_literal(cc, vs, ub);

    auto assignment = cc.assignment();
    auto const& config = solver.config();
    if (!config.refine_reasons || slack + magnitude >= 0 || assignment.decision_level() == 0) {
        return {true, lit};
    }
    // Units by which the bound may be weakened while the sum still exceeds rhs.
    wide_t room = (-slack - 1) / magnitude;
    wide_t candidate = positive ? std::max<wide_t>(lb - room, vs.min_bound())
                                : std::min<wide_t>(ub + room, vs.max_bound());
    if (positive ? candidate >= lb : candidate <= ub) {
        return {true, lit};
    }
    bool refined = false;
    literal_t const plain = lit;
    wide_t bound = positive ? lb : ub;

    // Reuse the literal nearest to the candidate that already exists.
    if (positive) {
        value_t found_value = 0;
        literal_t found = 0;
        vs.for_each_above(static_cast<value_t>(candidate - 2), [&](value_t value, literal_t stored) {
            found_value = value;
            found = stored;
            return false;
        });
        if (found != 0 && static_cast<wide_t>(found_value) + 1 < lb) {
            slack += magnitude * (lb - (static_cast<wide_t>(found_value) + 1));
            bound = static_cast<wide_t>(found_value) + 1;
            lit = found;
            refined = true;
        }
    } else {
        value_t found_value = 0;
        literal_t found = 0;
        vs.for_each_below(static_cast<value_t>(candidate + 1), [&](value_t value, literal_t stored) {
            found_value = value;
            found = stored;
            return false;
        });
        if (found != 0 && found_value > ub) {
            slack += magnitude * (static_cast<wide_t>(found_value) - ub);
            bound = found_value;
            lit = -found;
            refined = true;
        }
    }
    if (refined && !assignment.is_false(lit)) {
        std::array<literal_t, 2> clause{plain, -lit};
        if (!cc.add_clause(clause, clause_type_learnt)) {
            return {false, lit};
        }
    }

    // Introduce a literal for the candidate itself.
    if (config.refine_introduce && assignment.truth_value(lit) != gondra_truth_value_free &&
        assignment.level(lit) == assignment.decision_level() &&
        (positive ? bound > candidate : bound < candidate)) {
        ++solver.stats().introduced_reason;
        slack += magnitude * (positive ? bound - candidate : candidate - bound);
        literal_t previous = lit;
        lit = positive ? solver.get_literal(cc, vs, static_cast<value_t>(candidate - 1))
                       : -solver.get_literal(cc, vs, static_cast<value_t>(candidate));
        ++solver.stats().refined_reason;
        if (assignment.is_false(lit)) {
            return {true, lit};
        }
        std::array<literal_t, 2> clause{previous, -lit};
        return {cc.add_clause(clause, clause_type_learnt), lit};
    }
    if (refined) {
        ++solver.stats().refined_reason;
    }
    return {true, lit};
}

template <bool Objective, class Base>
bool SumConstraintStateImpl<Objective, Base>::propagate_constraint(ThreadSolver& solver, AbstractClauseCreator& cc,
                                                                   bool check_state) {
    wide_t rhs = 0;
    if constexpr (Objective) {
        auto bound = solver.minimize_bound();
        if (!bound.has_value()) {
            return true;
        }
        // The bound need not lie in the value range: slack and sums are wide,
        // and a bound below every reachable cost is simply a conflict on
        // level 0, which proves the optimum.
        rhs = *bound;
    } else {
        rhs = constraint_->rhs();
        if (edge_ != DifferenceGraph::no_edge && !solver.difference_graph().is_active(edge_) &&
            cc.assignment().is_true(constraint_->literal()) && !activate_edge(solver, cc)) {
            return false;
        }
    }
    if (check_state) {
        verify_sums(solver);
    }
    if (upper_sum_ <= rhs) {
        solver.mark_inactive(*this);
        return true;
    }
    clause_type_t const type = Objective ? gondra_clause_type_volatile : clause_type_learnt;
    auto assignment = cc.assignment();
    auto& reason = solver.temp_reason();
    literal_t const lit = literal();
    wide_t slack = rhs - lower_sum_;

    if (slack < 0) {
        // The bounds already violate the sum: the literal must be false.
        reason.clear();
        for (auto const& element : constraint_->elements()) {
            auto [ok, r] = reason_literal(solver, cc, element, slack);
            if (!ok) {
                return false;
            }
            if (!assignment.is_fixed(r)) {
                reason.push_back(r);
            }
        }
        reason.push_back(-lit);
        solver.mark_inactive(*this);
        return cc.add_clause(reason, type);
    }
    if (!Objective && !assignment.is_true(lit)) {
        return true;
    }
    if (slack >= max_step_) {
        // No element's domain is wider than the slack allows.
        return true;
    }
    // Count the derivations, and tighten max_step_ to the level-0 bounds
    // (domains that arrived after attaching narrow it).
    std::size_t derivations = 0;
    // The smallest room that any derivation leaves: a reason valid for that
    // one is valid for all.
    wide_t shared_slack = std::numeric_limits<wide_t>::min();
    wide_t max_step = 0;
    for (auto const& [coefficient, var] : constraint_->elements()) {
        auto const& vs = solver.var_state(var);
        wide_t magnitude = magnitude_of(coefficient);
        max_step = std::max(max_step, magnitude * (static_cast<wide_t>(vs.max_bound()) - vs.min_bound()));
        auto found = derivation(coefficient, vs, slack, assignment);
        if (found.derives) {
            ++derivations;
            shared_slack = std::max(shared_slack, slack - magnitude * (found.steps + 1));
        }
    }
    max_step_ = max_step;
    if (derivations == 0) {
        return true;
    }
    if (assignment.decision_level() > 0 && derivations >= shared_min_derivations &&
        constraint_->elements().size() > shared_min_reason) {
        // A long sum whose slack is used up would otherwise repeat its
        // reason once per derived element.
        return propagate_shared(solver, cc, slack, shared_slack);
    }
    for (auto const& [coefficient, var] : constraint_->elements()) {
        auto& vs = solver.var_state(var);
        auto [derives, value, k] = derivation(coefficient, vs, slack, assignment);
        if (!derives) {
            continue;
        }
        // The slack if x took the first value beyond the new bound.
        wide_t reason_slack = slack - magnitude_of(coefficient) * (k + 1);
        reason.clear();
        if (!assignment.is_fixed(-lit)) {
            reason.push_back(-lit);
        }
        for (auto const& other : constraint_->elements()) {
            if (other.second == var) {
                continue;
            }
            auto [ok, r] = reason_literal(solver, cc, other, reason_slack);
            if (!ok) {
                return false;
            }
            if (!assignment.is_fixed(r)) {
                reason.push_back(r);
            }
        }
        int truth = 0;
        if (!Objective && reason.empty()) {
            // Every reason holds on level 0, so the derivation is a fact.
            truth = coefficient > 0 ? 1 : -1;
        }
        literal_t derived = solver.update_literal(cc, vs, value, truth);
        reason.push_back(coefficient > 0 ? derived : -derived);
        if (!cc.add_clause(reason, type)) {
            return false;
        }
    }
    return true;
}

template <bool Objective, class Base>
bool SumConstraintStateImpl<Objective, Base>::propagate_shared(ThreadSolver& solver, AbstractClauseCreator& cc,
                                                               wide_t slack, wide_t reason_slack) {
    clause_type_t const type = Objective ? gondra_clause_type_volatile : clause_type_learnt;
    auto assignment = cc.assignment();
    auto& reason = solver.temp_reason();
    literal_t const lit = literal();
    // The reason names every element, so it holds for each derivation.
    reason.clear();
    if (!assignment.is_fixed(-lit)) {
        reason.push_back(-lit);
    }
    for (auto const& element : constraint_->elements()) {
        auto [ok, r] = reason_literal(solver, cc, element, reason_slack);
        if (!ok) {
            return false;
        }
        if (!assignment.is_fixed(r)) {
            reason.push_back(r);
        }
    }
    // t is equivalent to the reason: t implies every reason literal false
    // (clauses that must stay, or t could force the derivations on its own),
    // and the reason implies t.
    literal_t t = cc.add_literal();
    for (literal_t r : reason) {
        std::array<literal_t, 2> clause{-t, -r};
        if (!cc.add_clause(clause, gondra_clause_type_volatile_static)) {
            return false;
        }
    }
    reason.push_back(t);
    if (!cc.add_clause(reason, type)) {
        return false;
    }
    for (auto const& [coefficient, var] : constraint_->elements()) {
        auto& vs = solver.var_state(var);
        auto found = derivation(coefficient, vs, slack, assignment);
        if (!found.derives) {
            continue;
        }
        literal_t derived = solver.update_literal(cc, vs, found.value, 0);
        std::array<literal_t, 2> clause{-t, coefficient > 0 ? derived : -derived};
        if (!cc.add_clause(clause, type)) {
            return false;
        }
    }
    return true;
}

template <bool Objective, class Base>
bool SumConstraintStateImpl<Objective, Base>::holds_at_lower_bounds(ThreadSolver const& solver) const {
    wide_t rhs = 0;
    if constexpr (Objective) {
        // After the model the host rules out every value the unfixed
        // variables could still take; none of them may be cheaper than the
        // lower bound, so a variable with a negative weight must be fixed.
        for (auto const& [coefficient, var] : constraint_->elements()) {
            if (coefficient < 0 && !solver.var_state(var).is_assigned()) {
                return false;
            }
        }
        auto bound = solver.minimize_bound();
        if (!bound.has_value()) {
            return true;
        }
        rhs = *bound;
    } else {
        rhs = constraint_->rhs();
    }
    wide_t sum = 0;
    for (auto const& [coefficient, var] : constraint_->elements()) {
        sum += static_cast<wide_t>(coefficient) * solver.var_state(var).lower_bound();
    }
    return sum <= rhs;
}

template <bool Objective, class Base>
void SumConstraintStateImpl<Objective, Base>::check_assignment(ThreadSolver& solver) const {
    wide_t rhs = 0;
    if constexpr (Objective) {
        auto bound = solver.minimize_bound();
        if (!bound.has_value()) {
            return;
        }
        rhs = *bound;
    } else {
        rhs = constraint_->rhs();
    }
    wide_t sum = 0;
    for (auto const& [coefficient, var] : constraint_->elements()) {
        auto const& vs = solver.var_state(var);
        if (!vs.is_assigned()) {
            throw std::logic_error("variable is not assigned");
        }
        sum += static_cast<wide_t>(coefficient) * vs.lower_bound();
    }
    bool consistent = deactivation_level_ == 0 ? sum == upper_sum_ && sum <= lower_sum_ : sum <= upper_sum_;
    if (!consistent || sum > rhs) {
        throw std::logic_error("invalid solution");
    }
}

template class SumConstraintStateImpl<false, SumConstraintState>;
template class SumConstraintStateImpl<true, MinimizeConstraintState>;

} // namespace Tarvex
