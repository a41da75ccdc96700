#include "constraints/constraint_builder.hpp"

#include "constraints/disjoint_constraint.hpp"
#include "constraints/distinct_constraint.hpp"
#include "constraints/nonlinear_constraint.hpp"
#include "constraints/sum_constraint.hpp"
#include "core/checked_arithmetic.hpp"
#include "propagator/propagator.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <utility>

namespace Tarvex {

namespace {

constexpr value_t value_min = std::numeric_limits<value_t>::min();
constexpr value_t value_max = std::numeric_limits<value_t>::max();

// -value, refusing the one value whose negation does not fit.
value_t negate(value_t value) {
    if (value == value_min) {
        throw_overflow();
    }
    return -value;
}

// The admissible-value check for a 64-bit intermediate: anything beyond 32
// bits is out of range on the same side.
value_t checked_range(wide_t value) {
    return check_value_range(static_cast<value_t>(std::clamp<wide_t>(value, value_min, value_max)));
}

} // namespace

ConstraintBuilder::ConstraintBuilder(Propagator& propagator, InitClauseCreator& clause_creator,
                                     Host::PropagateInit& init, UniqueConstraint objective)
    : propagator_{&propagator}, clause_creator_{&clause_creator}, init_{&init}, objective_{std::move(objective)} {}

literal_t ConstraintBuilder::map_solver_literal(literal_t literal) {
    return init_->solver_literal(literal);
}

literal_t ConstraintBuilder::new_literal() {
    return clause_creator_->add_literal();
}

bool ConstraintBuilder::literal_is_true(literal_t literal) {
    return clause_creator_->assignment().is_true(literal);
}

bool ConstraintBuilder::literal_is_false(literal_t literal) {
    return clause_creator_->assignment().is_false(literal);
}

bool ConstraintBuilder::push_clause(std::span<literal_t const> clause) {
    // Buffered until the creator commits: a conflict surfaces there.
    return clause_creator_->add_clause(clause);
}

void ConstraintBuilder::enable_show() {
    propagator_->enable_show();
}

void ConstraintBuilder::show_by_signature(char const* name, std::int64_t arity) {
    if (arity < 0 || arity > std::numeric_limits<std::uint32_t>::max()) {
        // A valid signature that no symbol has: showing it shows nothing.
        return;
    }
    propagator_->show_signature(Host::create_signature(name, static_cast<std::uint32_t>(arity), true));
}

void ConstraintBuilder::show_by_variable(var_id variable) {
    propagator_->show_variable(variable);
}

var_id ConstraintBuilder::variable_for_symbol(Host::symbol_t symbol) {
    auto const& table = propagator_->symbol_variables();
    if (auto it = table.find(symbol); it != table.end()) {
        return it->second;
    }
    auto const& config = propagator_->config();
    var_id var = propagator_->master_solver().add_variable(config.min_int, config.max_int);
    propagator_->add_variable_symbol(var, symbol);
    ++propagator_->step_stats().num_variables;
    return var;
}

var_id ConstraintBuilder::new_variable() {
    auto const& config = propagator_->config();
    var_id var = propagator_->master_solver().add_variable(config.min_int, config.max_int);
    ++propagator_->step_stats().num_variables;
    return var;
}

void ConstraintBuilder::add_sum(literal_t lit, std::vector<CoefVar> elements, value_t rhs) {
    exclude_opposed(lit, elements, rhs);
    propagator_->add_constraint(SumConstraint::create(lit, rhs, elements, propagator_->config().sort_constraints));
}

void ConstraintBuilder::exclude_opposed(literal_t lit, LinearTerm const& elements, value_t rhs) {
    // S <= k and -S <= k' cannot hold together when k + k' < 0, but bound
    // propagation finds that out only by moving the bounds of S's variables
    // one value at a time through their whole domains.
    if (elements.empty()) {
        return;
    }
    LinearTerm term = elements;
    std::sort(term.begin(), term.end(), [](CoefVar const& a, CoefVar const& b) { return a.second < b.second; });
    wide_t g = 0;
    for (auto const& [coefficient, var] : term) {
        g = std::gcd(g, static_cast<wide_t>(coefficient));
    }
    for (auto& element : term) {
        element.first = static_cast<value_t>(element.first / g);
    }
    wide_t bound = floor_div(static_cast<wide_t>(rhs), g);
    LinearTerm negated = term;
    for (auto& element : negated) {
        element.first = -element.first;
    }
    if (auto it = sums_by_term_.find(negated); it != sums_by_term_.end()) {
        for (auto const& [other, other_bound] : it->second) {
            if (other != -lit && bound + other_bound < 0) {
                std::array<literal_t, 2> clause{-lit, -other};
                push_clause(clause);
            }
        }
    }
    // A few sums per term suffice; many of them would make this quadratic.
    constexpr std::size_t kept_per_term = 8;
    auto& kept = sums_by_term_[std::move(term)];
    if (kept.size() < kept_per_term) {
        kept.emplace_back(lit, bound);
    }
}

bool ConstraintBuilder::build_sum(literal_t lit, LinearTerm const& term, value_t rhs, bool strict) {
    if (!strict && literal_is_false(lit)) {
        return true;
    }
    if (term.size() == 1) {
        // One variable needs no constraint object: its order literals say it
        // all, in both directions when strict.
        return propagator_->master_solver().add_simple(*clause_creator_, lit, term.front().first,
                                                       term.front().second, rhs, strict);
    }
    add_sum(lit, term, rhs);
    if (strict) {
        // Not lit implies -sum <= -rhs - 1.
        std::vector<CoefVar> negated;
        negated.reserve(term.size());
        for (auto const& [coefficient, var] : term) {
            negated.emplace_back(negate(coefficient), var);
        }
        if (rhs == value_max) {
            throw_overflow();
        }
        add_sum(-lit, std::move(negated), -rhs - 1);
    }
    return true;
}

bool ConstraintBuilder::build_nonlinear(literal_t lit, value_t a, var_id x, var_id y, value_t c, var_id z,
                                        value_t rhs, bool strict) {
    if (a == 0) {
        LinearTerm term;
        if (c != 0) {
            term.emplace_back(c, z);
        }
        return build_sum(lit, term, rhs, strict);
    }
    propagator_->add_constraint(NonlinearConstraint::create(lit, rhs, a, x, y, c, z));
    if (strict) {
        if (rhs == value_max || c == value_min || a == value_min) {
            throw_overflow();
        }
        propagator_->add_constraint(NonlinearConstraint::create(-lit, -rhs - 1, -a, x, y, -c, z));
    }
    return true;
}

void ConstraintBuilder::build_objective_term(value_t coefficient, var_id variable) {
    objective_terms_.emplace_back(coefficient, variable);
}

bool ConstraintBuilder::build_distinct(literal_t lit, std::vector<DistinctElement> const& elements) {
    if (literal_is_false(lit)) {
        return true;
    }
    if (elements.size() >= 3) {
        std::vector<DistinctConstraint::Term> terms;
        terms.reserve(elements.size());
        for (auto const& element : elements) {
            terms.emplace_back(element.term, element.constant);
        }
        propagator_->add_constraint(
            DistinctConstraint::create(lit, terms, propagator_->config().sort_constraints));
        return true;
    }
    if (elements.size() < 2) {
        return true;
    }
    // Two values differ exactly when S <= m - 1 or -S <= -m - 1, where S is
    // the variable part of the first term minus the second.
    auto const& [ti, ki] = elements[0];
    auto const& [tj, kj] = elements[1];
    LinearTerm difference = ti;
    difference.reserve(ti.size() + tj.size());
    for (auto const& [coefficient, var] : tj) {
        difference.emplace_back(negate(coefficient), var);
    }
    value_t r = simplify_linear(difference);
    wide_t m = wide_t{r} + (wide_t{kj} - wide_t{ki});
    if (difference.empty()) {
        if (m == 0) {
            std::array<literal_t, 1> clause{-lit};
            push_clause(clause);
        }
        return true;
    }
    literal_t below = new_literal();
    literal_t above = -below;
    if (!literal_is_true(lit)) {
        above = new_literal();
        // Exactly one case holds when lit does, neither when it does not.
        std::array<std::array<literal_t, 3>, 4> clauses{{
            {below, above, -lit},
            {-below, -above, 0},
            {lit, -below, 0},
            {lit, -above, 0},
        }};
        push_clause(std::span<literal_t const>{clauses[0].data(), 3});
        for (std::size_t i = 1; i < clauses.size(); ++i) {
            push_clause(std::span<literal_t const>{clauses[i].data(), 2});
        }
    }
    value_t rhs_below = checked_range(m - 1);
    if (!build_sum(below, difference, rhs_below, false)) {
        return false;
    }
    for (auto& element : difference) {
        element.first = negate(element.first);
    }
    value_t rhs_above = checked_range(-m - 1);
    return build_sum(above, difference, rhs_above, false);
}

bool ConstraintBuilder::build_starts_inside(literal_t lit, DisjointElement const& s, DisjointElement const& o,
                                            std::array<literal_t, 2>& relations) {
    relations = {0, 0};
    enum class Truth { undecided, yes, no };
    auto truth_of = [](LinearTerm const& term, value_t rhs) {
        if (!term.empty()) {
            return Truth::undecided;
        }
        return rhs >= 0 ? Truth::yes : Truth::no;
    };
    // A: o starts no later than s.
    LinearTerm term_a{{1, o.start}, {-1, s.start}};
    value_t rhs_a = simplify_linear(term_a);
    Truth truth_a = truth_of(term_a, rhs_a);
    if (truth_a == Truth::no) {
        return true;
    }
    // B: s starts before o ends.
    LinearTerm term_b{{1, s.start}, {-1, o.start}};
    value_t rhs_b = checked_add<value_t>(o.duration - 1, simplify_linear(term_b));
    Truth truth_b = truth_of(term_b, rhs_b);
    if (truth_b == Truth::no) {
        return true;
    }
    auto literal_for = [&](Truth truth, LinearTerm const& term, value_t rhs, literal_t& out) {
        if (truth == Truth::yes) {
            out = true_literal;
            return true;
        }
        out = new_literal();
        return build_sum(out, term, rhs, true);
    };
    literal_t a = 0;
    literal_t b = 0;
    if (!literal_for(truth_a, term_a, rhs_a, a) || !literal_for(truth_b, term_b, rhs_b, b)) {
        return false;
    }
    relations = {truth_a == Truth::undecided ? a : 0, truth_b == Truth::undecided ? b : 0};
    std::array<literal_t, 3> clause{-lit, -a, -b};
    return push_clause(clause);
}

bool ConstraintBuilder::build_disjoint(literal_t lit, std::vector<DisjointElement> const& elements) {
    if (literal_is_false(lit)) {
        return true;
    }
    if (elements.size() >= 3) {
        std::vector<CoefVar> tasks;
        tasks.reserve(elements.size());
        for (auto const& element : elements) {
            tasks.emplace_back(element.duration, element.start);
        }
        propagator_->add_constraint(DisjointConstraint::create(lit, tasks));
        return true;
    }
    if (elements.size() < 2) {
        return true;
    }
    // Two intervals of positive length overlap exactly when one starts
    // inside the other.
    std::array<literal_t, 2> first{};
    std::array<literal_t, 2> second{};
    if (!build_starts_inside(lit, elements[0], elements[1], first) ||
        !build_starts_inside(lit, elements[1], elements[0], second)) {
        return false;
    }
    // The four relations cover every placement in pairs: xv <= xu or
    // xu <= xv, xv <= xu or xu < xv + dv, xu <= xv or xv < xu + du, and one
    // start lies before the end of the other. Bound propagation alone finds
    // out that two complements contradict each other only by moving the
    // bounds one value at a time through the whole domain, so the pairs are
    // stated as clauses.
    auto [a_first, b_first] = first;
    auto [a_second, b_second] = second;
    std::array<std::array<literal_t, 2>, 4> const covering{{
        {a_first, a_second},
        {a_first, b_first},
        {a_second, b_second},
        {b_first, b_second},
    }};
    for (auto const& clause : covering) {
        if (clause[0] != 0 && clause[1] != 0) {
            push_clause(clause);
        }
    }
    return true;
}

bool ConstraintBuilder::build_domain(literal_t lit, var_id variable, IntervalSet const& domain) {
    if (literal_is_false(lit)) {
        return true;
    }
    return propagator_->master_solver().add_dom(*clause_creator_, lit, variable, domain);
}

UniqueConstraint ConstraintBuilder::finish_objective() {
    if (objective_ != nullptr) {
        // The terms of earlier steps count again, constant included.
        auto const& old = static_cast<MinimizeConstraint const&>(*objective_);
        for (auto const& element : old.elements()) {
            objective_terms_.push_back(element);
        }
        objective_terms_.emplace_back(negate(old.adjust()), no_var);
    }
    if (objective_terms_.empty()) {
        return std::move(objective_);
    }
    value_t adjust = simplify_linear(objective_terms_);
    auto result = MinimizeConstraint::create(adjust, objective_terms_, propagator_->config().sort_constraints);
    objective_.reset();
    return result;
}

} // namespace Tarvex
