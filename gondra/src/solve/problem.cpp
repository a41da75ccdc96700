#include "solve/problem.hpp"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace Gondra::Solve {

Problem::Problem() {
    clause_starts_.push_back(0);
}

int32_t Problem::add_variable() {
    if (num_vars_ >= static_cast<uint32_t>(std::numeric_limits<int32_t>::max() >> 2)) {
        throw ProblemError("too many variables");
    }
    return static_cast<int32_t>(++num_vars_);
}

int32_t Problem::add_propagator_variable() {
    int32_t var = add_variable();
    propagator_vars_.push_back(static_cast<uint32_t>(var));
    return var;
}

void Problem::reserve_variables(uint32_t count) {
    if (count >= static_cast<uint32_t>(std::numeric_limits<int32_t>::max() >> 2)) {
        throw ProblemError("too many variables");
    }
    num_vars_ = std::max(num_vars_, count);
}

void Problem::check_literal(int32_t lit) const {
    if (lit == 0 || lit == std::numeric_limits<int32_t>::min() ||
        static_cast<uint32_t>(lit < 0 ? -lit : lit) > num_vars_) {
        throw ProblemError("invalid literal " + std::to_string(lit) + ": the problem has " +
                           std::to_string(num_vars_) + " variables");
    }
}

void Problem::add_clause(std::span<int32_t const> lits) {
    for (auto lit : lits) {
        check_literal(lit);
    }
    // Drop false constants and duplicates; a true constant or a complementary
    // pair makes the clause redundant.
    std::vector<int32_t> out;
    out.reserve(lits.size());
    for (auto lit : lits) {
        if (lit == 1) {
            return;
        }
        if (lit == -1 || std::find(out.begin(), out.end(), lit) != out.end()) {
            continue;
        }
        if (std::find(out.begin(), out.end(), -lit) != out.end()) {
            return;
        }
        out.push_back(lit);
    }
    if (out.empty()) {
        inconsistent_ = true;
    }
    clause_lits_.insert(clause_lits_.end(), out.begin(), out.end());
    clause_starts_.push_back(clause_lits_.size());
}

void Problem::add_pb(std::vector<PbTerm> terms, int64_t bound) {
    // Merge terms per variable: a*x + b*-x = min(a,b) + |a-b| * (x or -x).
    std::unordered_map<int32_t, size_t> index;
    std::vector<PbTerm> merged;
    for (auto term : terms) {
        check_literal(term.literal);
        if (term.coefficient == 0 || term.literal == -1) {
            continue;
        }
        if (term.literal == 1) {
            bound -= term.coefficient;
            continue;
        }
        if (term.coefficient < 0) {
            bound -= term.coefficient;
            term = {-term.literal, -term.coefficient};
        }
        int32_t var = term.literal < 0 ? -term.literal : term.literal;
        auto [it, fresh] = index.emplace(var, merged.size());
        if (fresh) {
            merged.push_back(term);
            continue;
        }
        auto& old = merged[it->second];
        if (old.literal == term.literal) {
            old.coefficient += term.coefficient;
        } else {
            int64_t common = std::min(old.coefficient, term.coefficient);
            bound -= common;
            if (old.coefficient < term.coefficient) {
                old.literal = term.literal;
            }
            old.coefficient = std::max(old.coefficient, term.coefficient) - common;
        }
    }
    if (bound <= 0) {
        return;
    }
    int64_t total = 0;
    int64_t min_coef = std::numeric_limits<int64_t>::max();
    std::vector<PbTerm> out;
    for (auto term : merged) {
        if (term.coefficient == 0) {
            continue;
        }
        term.coefficient = std::min(term.coefficient, bound);
        total += term.coefficient;
        min_coef = std::min(min_coef, term.coefficient);
        out.push_back(term);
    }
    if (total < bound) {
        inconsistent_ = true;
        clause_starts_.push_back(clause_lits_.size());
        return;
    }
    if (min_coef >= bound) {
        std::vector<int32_t> clause;
        for (auto term : out) {
            clause.push_back(term.literal);
        }
        add_clause(clause);
        return;
    }
    std::sort(out.begin(), out.end(), [](PbTerm a, PbTerm b) { return a.coefficient > b.coefficient; });
    PbRow row{static_cast<uint32_t>(pb_terms_.size()), 0, bound};
    pb_terms_.insert(pb_terms_.end(), out.begin(), out.end());
    row.end = static_cast<uint32_t>(pb_terms_.size());
    pb_rows_.push_back(row);
}

void Problem::add_weight_constraint(int32_t lit, std::span<WeightedLiteral const> lits, int64_t bound,
                                    WeightType type, bool compare_equal) {
    check_literal(lit);
    for (auto const& wl : lits) {
        check_literal(wl.literal);
    }
    if (compare_equal) {
        // sum = b  <=>  (sum >= b) and (-sum >= -b); each half gets its own
        // defined variable, lit is tied to their conjunction.
        int32_t ge = add_variable();
        int32_t le = add_variable();
        add_weight_constraint(ge, lits, bound, WeightType::equivalence, false);
        std::vector<WeightedLiteral> negated;
        for (auto const& wl : lits) {
            negated.push_back({wl.literal, -wl.weight});
        }
        add_weight_constraint(le, negated, -bound, WeightType::equivalence, false);
        if (type != WeightType::implication_right) {
            int32_t c[] = {-ge, -le, lit};
            add_clause(c);
        }
        if (type != WeightType::implication_left) {
            int32_t a[] = {-lit, ge};
            int32_t b[] = {-lit, le};
            add_clause(a);
            add_clause(b);
        }
        return;
    }
    std::vector<PbTerm> terms;
    for (auto const& wl : lits) {
        terms.push_back({wl.literal, wl.weight});
    }
    if (type != WeightType::implication_left) {
        // lit -> sum >= b:  M * -lit + sum >= b, M large enough to satisfy
        // the row whenever lit is false.
        auto row = terms;
        int64_t spread = 0;
        for (auto const& t : row) {
            spread += t.coefficient > 0 ? t.coefficient : -t.coefficient;
        }
        row.push_back({-lit, spread + (bound > 0 ? bound : -bound) + 1});
        add_pb(std::move(row), bound);
    }
    if (type != WeightType::implication_right) {
        // sum >= b -> lit:  -sum >= 1 - b  or lit, i.e. sum(-w * l) + (1 - b + W) * lit >= 1 - b
        // with W making the lit weight cover the worst case.
        auto row = terms;
        int64_t spread = 0;
        for (auto& t : row) {
            t.coefficient = -t.coefficient;
            spread += t.coefficient > 0 ? t.coefficient : -t.coefficient;
        }
        int64_t rhs = 1 - bound;
        row.push_back({lit, spread + (rhs > 0 ? rhs : -rhs) + 1});
        add_pb(std::move(row), rhs);
    }
}

void Problem::add_minimize(int32_t lit, int32_t weight, int32_t priority) {
    check_literal(lit);
    // Zero weights still declare their priority level.
    minimize_.push_back({lit, weight, priority});
}

} // namespace Gondra::Solve
