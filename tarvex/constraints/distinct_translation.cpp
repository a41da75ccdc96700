// A distinct constraint becomes one weight constraint per value that two or
// more terms can take: at most one of the literals "term i equals v" holds.
// A term of several elements is first replaced by an auxiliary variable tied
// to it by two sums, so that "equals v" stays one order-literal pair.

#include "constraints/constraint_translation.hpp"
#include "solver/init_clause_creator.hpp"
#include "solver/thread_solver.hpp"

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <map>
#include <vector>

namespace Tarvex {

namespace {

constexpr wide_t value_limit = 1073741823;

// Disjoint half-open ranges [first, second), ordered and never touching.
class ValueSet {
public:
    void insert(wide_t a, wide_t b) {
        auto it = ranges_.upper_bound(a);
        if (it != ranges_.begin()) {
            auto before = std::prev(it);
            if (before->second >= a) {
                it = before;
            }
        }
        while (it != ranges_.end() && it->first <= b) {
            a = std::min(a, it->first);
            b = std::max(b, it->second);
            it = ranges_.erase(it);
        }
        ranges_.emplace_hint(it, a, b);
    }

    bool contains(wide_t v) const {
        auto it = ranges_.upper_bound(v);
        return it != ranges_.begin() && std::prev(it)->second > v;
    }

    // Number of integers covered.
    wide_t size() const {
        wide_t n = 0;
        for (auto const& [a, b] : ranges_) {
            n += b - a;
        }
        return n;
    }

    std::map<wide_t, wide_t> const& ranges() const { return ranges_; }

private:
    std::map<wide_t, wide_t> ranges_;
};

// The term equals c * x + k, or the constant k when there is no variable.
struct Representative {
    var_id var = no_var;
    value_t coefficient = 1;
    value_t constant = 0;
};

// The values that the term can take under the variables' current bounds:
// every sum of one value per element, stepping by |c| over the domain.
ValueSet term_values(ThreadSolver const& solver, DistinctTerm const& term, wide_t low) {
    ValueSet values;
    values.insert(low, low + 1);
    for (auto const& [c, x] : term.element_span()) {
        auto const& vs = solver.var_state(x);
        wide_t steps = wide_t{vs.upper_bound()} - vs.lower_bound();
        wide_t step = std::abs(wide_t{c});
        ValueSet shifted;
        for (auto const& [a, b] : values.ranges()) {
            for (wide_t j = 0; j <= steps; ++j) {
                shifted.insert(a + j * step, b + j * step);
            }
        }
        values = std::move(shifted);
    }
    return values;
}

} // namespace

std::pair<bool, bool> translate_distinct(TheoryConfig const& config, ThreadSolver& solver, InitClauseCreator& cc,
                                         DistinctConstraint const& constraint,
                                         std::span<DistinctConstraintState::TermBounds const> bounds, ConstraintList& added) {
    auto terms = constraint.terms();
    // The values that the terms cover, top values left out; the test runs
    // before any value set is built, so that no set grows past the limit.
    ValueSet covered;
    for (auto const& [low, high] : bounds) {
        if (high > value_limit || low < -value_limit) {
            return {true, false};
        }
        if (low < high) {
            covered.insert(low, high);
        }
    }
    if (covered.size() >= wide_t{config.distinct_limit}) {
        return {true, false};
    }

    std::vector<ValueSet> values;
    values.reserve(terms.size());
    std::map<wide_t, std::uint32_t> count;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        values.push_back(term_values(solver, terms[i], bounds[i].low));
        for (auto const& [a, b] : values.back().ranges()) {
            for (wide_t v = a; v < b; ++v) {
                ++count[v];
            }
        }
    }

    auto shared = [&](ValueSet const& set) {
        for (auto const& [a, b] : set.ranges()) {
            for (wide_t v = a; v < b; ++v) {
                if (count[v] >= 2) {
                    return true;
                }
            }
        }
        return false;
    };
    std::vector<Representative> representatives;
    representatives.reserve(terms.size());
    for (std::size_t i = 0; i < terms.size(); ++i) {
        auto const& term = terms[i];
        Representative rep{no_var, 1, term.constant};
        if (term.count > 0 && shared(values[i])) {
            auto elements = term.element_span();
            if (elements.size() == 1) {
                rep = {elements[0].second, elements[0].first, term.constant};
            } else {
                // y = term as -y + elements <= -k and y - elements <= k.
                var_id y = solver.add_variable(static_cast<value_t>(bounds[i].low),
                                               static_cast<value_t>(bounds[i].high));
                std::vector<CoefVar> sum;
                sum.reserve(elements.size() + 1);
                sum.emplace_back(-1, y);
                sum.insert(sum.end(), elements.begin(), elements.end());
                added.push_back(SumConstraint::create(true_literal, -term.constant, sum, config.sort_constraints));
                sum[0].first = 1;
                for (std::size_t j = 1; j < sum.size(); ++j) {
                    sum[j].first = -sum[j].first;
                }
                added.push_back(SumConstraint::create(true_literal, term.constant, sum, config.sort_constraints));
                rep = {y, 1, 0};
            }
        }
        representatives.push_back(rep);
    }

    std::vector<WeightedLiteral> pairs;
    for (auto const& [v, n] : count) {
        if (n < 2) {
            continue;
        }
        pairs.clear();
        for (std::size_t i = 0; i < terms.size(); ++i) {
            if (!values[i].contains(v)) {
                continue;
            }
            auto const& [x, c, k] = representatives[i];
            literal_t e = true_literal;
            if (x != no_var) {
                auto u = static_cast<value_t>((v - k) / c);
                auto& vs = solver.var_state(x);
                literal_t l1 = solver.get_literal(cc, vs, u);
                literal_t l2 = solver.get_literal(cc, vs, u - 1);
                if (l1 == true_literal) {
                    e = -l2;
                } else if (l2 == true_literal) {
                    e = l1;
                } else {
                    // e holds exactly when x = u: x <= u and not x <= u - 1.
                    e = cc.add_literal();
                    literal_t const define[] = {-l1, l2, e};
                    literal_t const upper[] = {l1, -e};
                    literal_t const lower[] = {-l2, -e};
                    cc.add_clause(define);
                    cc.add_clause(upper);
                    cc.add_clause(lower);
                }
            }
            pairs.emplace_back(e, 1);
        }
        cc.add_weight_constraint(constraint.literal(), pairs, 1, 1);
    }
    return {true, true};
}

} // namespace Tarvex
