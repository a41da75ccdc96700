// A sum becomes one weight constraint, or the clauses of a depth-first
// enumeration of the minimal violating assignments of its elements.

#include "constraints/constraint_translation.hpp"
#include "core/checked_arithmetic.hpp"
#include "solver/init_clause_creator.hpp"
#include "solver/thread_solver.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace Tarvex {

namespace {

// The values of one element to enumerate under a node (A, B): the first value
// and how many there are. c > 0 walks down from hi, c < 0 up from lo.
struct ValueRange {
    wide_t first;
    wide_t count;
    // A and B of the child for the first value.
    wide_t a;
    wide_t b;
};

ValueRange value_range(value_t c, VariableState const& vs, wide_t a, wide_t b) {
    wide_t lb = vs.lower_bound();
    wide_t ub = vs.upper_bound();
    if (c > 0) {
        wide_t hi = std::min(ub - 1, lb + floor_div(b, c));
        wide_t lo = std::max(lb - 1, ub + floor_div(a, c));
        return {hi, hi - lo + 1, a + c * (ub - hi - 1), b - c * (hi + 1 - lb)};
    }
    wide_t m = -static_cast<wide_t>(c);
    wide_t lo = std::max(lb, ub - floor_div(b, m) - 1);
    wide_t hi = std::min(ub, lb - floor_div(a, m) - 1);
    return {lo, hi - lo + 1, a + m * (lo - lb), b - m * (ub - lo)};
}

struct CountFrame {
    wide_t a;
    wide_t b;
    wide_t remaining;
    std::size_t index;
};

// Whether the enumeration has fewer than limit leaves; no literal is made.
bool fewer_clauses_than(std::span<CoefVar const> elements, ThreadSolver const& solver, wide_t root_a,
                        wide_t root_b, std::uint32_t limit) {
    // k: leaves found plus values not taken yet, never above the final count.
    std::uint64_t k = 0;
    auto grown = [&](std::uint64_t by) {
        k += by;
        return k < limit;
    };
    if (root_b < 0) {
        return grown(1);
    }
    std::vector<CountFrame> stack;
    auto expand = [&](wide_t a, wide_t b, std::size_t index) {
        auto range = value_range(elements[index].first, solver.var_state(elements[index].second), a, b);
        stack.push_back({range.a, range.b, range.count, index});
        return grown(static_cast<std::uint64_t>(range.count));
    };
    if (!expand(root_a, root_b, 0)) {
        return false;
    }
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.remaining == 0) {
            stack.pop_back();
            continue;
        }
        wide_t step = std::abs(static_cast<wide_t>(elements[top.index].first));
        wide_t a = top.a;
        wide_t b = top.b;
        std::size_t next = top.index + 1;
        top.a += step;
        top.b += step;
        --top.remaining;
        --k;
        if (b < 0) {
            if (!grown(1)) {
                return false;
            }
        } else if (!expand(a, b, next)) {
            return false;
        }
    }
    return true;
}

struct GenerateFrame {
    wide_t a;
    wide_t b;
    wide_t value;
    wide_t remaining;
    std::size_t length;
    std::size_t index;
};

// Creates the literals in visiting order and adds one clause per leaf
// (unless only literals are wanted); false when a clause was refused.
bool generate_clauses(std::span<CoefVar const> elements, ThreadSolver& solver, InitClauseCreator& cc,
                      literal_t head, wide_t root_a, wide_t root_b, bool literals_only) {
    std::vector<literal_t> clause;
    clause.reserve(elements.size() + 1);
    if (head != 0) {
        clause.push_back(head);
    }
    auto emit = [&] { return literals_only || cc.add_clause(clause); };
    if (root_b < 0) {
        return emit();
    }
    std::vector<GenerateFrame> stack;
    auto expand = [&](wide_t a, wide_t b, std::size_t index) {
        auto range = value_range(elements[index].first, solver.var_state(elements[index].second), a, b);
        stack.push_back({range.a, range.b, range.first, range.count, clause.size(), index});
    };
    expand(root_a, root_b, 0);
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.remaining == 0) {
            stack.pop_back();
            continue;
        }
        auto [c, x] = elements[top.index];
        wide_t step = std::abs(static_cast<wide_t>(c));
        wide_t a = top.a;
        wide_t b = top.b;
        auto v = static_cast<value_t>(top.value);
        std::size_t next = top.index + 1;
        clause.resize(top.length);
        top.a += step;
        top.b += step;
        top.value += c > 0 ? -1 : 1;
        --top.remaining;
        // c > 0: the path takes x > v, so the clause asks for x <= v; c < 0
        // the other way round. At the variable's bound the literal is false
        // and left out.
        literal_t lit = solver.get_literal(cc, solver.var_state(x), v);
        if (c < 0) {
            lit = -lit;
        }
        if (lit != -true_literal) {
            clause.push_back(lit);
        }
        if (b < 0) {
            if (!emit()) {
                return false;
            }
        } else {
            expand(a, b, next);
        }
    }
    return true;
}

} // namespace

std::pair<bool, bool> translate_sum(TheoryConfig const& config, ThreadSolver& solver, InitClauseCreator& cc,
                                    SumConstraint const& constraint, wide_t lower_sum, wide_t upper_sum) {
    auto assignment = cc.assignment();
    literal_t lit = constraint.literal();
    if (assignment.is_false(lit)) {
        return {true, true};
    }
    wide_t rhs = constraint.rhs();
    if (upper_sum <= rhs) {
        return {true, true};
    }
    wide_t slack = rhs - lower_sum;
    auto elements = constraint.elements();

    // Order literals a weight constraint would need, per non-fixed variable.
    wide_t needed = 0;
    wide_t free = 0;
    for (auto const& [c, x] : elements) {
        auto const& vs = solver.var_state(x);
        wide_t width = wide_t{vs.upper_bound()} - vs.lower_bound();
        needed += std::min(floor_div(slack, std::abs(static_cast<wide_t>(c))) + 1, width);
        if (width != 0) {
            ++free;
        }
    }
    double ratio = config.weight_constraint_ratio;
    bool weight_constraint = free > 0 ? static_cast<double>(needed) / static_cast<double>(free) <= ratio
                                      : ratio >= 0;

    if (weight_constraint) {
        // The host's bound is the slack plus one, which must fit value_t.
        if (slack < -2147483647 || slack > 2147483646) {
            return {true, false};
        }
        std::vector<WeightedLiteral> literals;
        for (auto const& [c, x] : elements) {
            auto& vs = solver.var_state(x);
            wide_t lb = vs.lower_bound();
            wide_t ub = vs.upper_bound();
            // Each true literal is one step of x away from its cheapest end.
            if (c > 0) {
                wide_t end = std::min(ub, lb + floor_div(slack, c) + 1);
                for (wide_t v = lb; v < end; ++v) {
                    literals.emplace_back(-solver.get_literal(cc, vs, static_cast<value_t>(v)), c);
                }
            } else {
                wide_t m = -static_cast<wide_t>(c);
                for (wide_t v = std::max(lb, ub - floor_div(slack, m) - 1); v < ub; ++v) {
                    literals.emplace_back(solver.get_literal(cc, vs, static_cast<value_t>(v)),
                                          static_cast<value_t>(m));
                }
            }
        }
        return {cc.add_weight_constraint(lit, literals, static_cast<value_t>(slack), 1), true};
    }

    if (config.clause_limit_total <= cc.stats().translate_clauses) {
        return {true, false};
    }
    wide_t root_a = rhs - upper_sum;
    if (!fewer_clauses_than(elements, solver, root_a, slack, config.clause_limit)) {
        return {true, false};
    }
    literal_t head = assignment.is_true(lit) ? 0 : -lit;
    if (!generate_clauses(elements, solver, cc, head, root_a, slack, config.literals_only)) {
        return {false, true};
    }
    return {true, !config.literals_only};
}

} // namespace Tarvex
