#pragma once
// Stable models by brute force, straight from the definition: a program is a
// set of propositional formulas (rules are implications, aggregates are
// formulas over their elements), M is stable when it satisfies them and no
// proper subset N of M satisfies their reduct with respect to M. The reduct
// replaces every subformula false in M by falsity; for N <= M that leaves:
//   atom a        a in N
//   not F         F false in M (negation is read in M alone)
//   F -> G        (F -> G) true in M, and F at N implies G at N
//   aggregate     true in M, and true of the elements whose conditions hold at N
// Atoms are bits of a mask: at most 16, in practice 8 or fewer.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace Gondra::Ground::Testing {

using Interpretation = uint32_t;

enum class Relation { less, less_equal, equal, not_equal, greater, greater_equal };
enum class Function { count, sum, sum_plus, min, max };

struct Formula;

struct AggregateElement {
    std::vector<int64_t> tuple; // weight or value first
    std::vector<Formula> condition;
};

struct Formula {
    enum class Kind { atom, truth, falsity, negation, conjunction, disjunction, implication, aggregate };
    Kind kind = Kind::truth;
    uint32_t atom = 0;
    std::vector<Formula> args; // negation: 1, implication: 2 (if, then)
    Function function = Function::count;
    std::vector<AggregateElement> elements;
    std::vector<std::pair<Relation, int64_t>> guards; // "aggregate rel value"

    static Formula make_atom(uint32_t a) {
        Formula f;
        f.kind = Kind::atom;
        f.atom = a;
        return f;
    }
    static Formula constant(bool value) {
        Formula f;
        f.kind = value ? Kind::truth : Kind::falsity;
        return f;
    }
    static Formula negation(Formula g) {
        Formula f;
        f.kind = Kind::negation;
        f.args.push_back(std::move(g));
        return f;
    }
    static Formula conjunction(std::vector<Formula> gs) {
        Formula f;
        f.kind = Kind::conjunction;
        f.args = std::move(gs);
        return f;
    }
    static Formula disjunction(std::vector<Formula> gs) {
        Formula f;
        f.kind = Kind::disjunction;
        f.args = std::move(gs);
        return f;
    }
    static Formula implication(Formula from, Formula to) {
        Formula f;
        f.kind = Kind::implication;
        f.args.push_back(std::move(from));
        f.args.push_back(std::move(to));
        return f;
    }
};

inline bool relation_holds(Relation r, int64_t a, int64_t b) {
    switch (r) {
    case Relation::less: return a < b;
    case Relation::less_equal: return a <= b;
    case Relation::equal: return a == b;
    case Relation::not_equal: return a != b;
    case Relation::greater: return a > b;
    case Relation::greater_equal: return a >= b;
    }
    return false;
}

// The value of an aggregate over the distinct tuples of its true elements;
// the empty #min is above every number, the empty #max below.
inline int64_t aggregate_value(Function fn, std::set<std::vector<int64_t>> const& tuples) {
    constexpr int64_t above = std::numeric_limits<int64_t>::max(), below = std::numeric_limits<int64_t>::min();
    int64_t v = fn == Function::min ? above : fn == Function::max ? below : 0;
    for (auto const& t : tuples) {
        switch (fn) {
        case Function::count: ++v; break;
        case Function::sum: v += t[0]; break;
        case Function::sum_plus: v += std::max<int64_t>(t[0], 0); break;
        case Function::min: v = std::min(v, t[0]); break;
        case Function::max: v = std::max(v, t[0]); break;
        }
    }
    return v;
}

// The formula at N in the reduct with respect to M (N = M: truth in M).
inline bool reduct_holds(Formula const& f, Interpretation n, Interpretation m) {
    using Kind = Formula::Kind;
    switch (f.kind) {
    case Kind::atom: return (n >> f.atom) & 1u;
    case Kind::truth: return true;
    case Kind::falsity: return false;
    case Kind::negation: return !reduct_holds(f.args[0], m, m);
    case Kind::conjunction:
        return std::all_of(f.args.begin(), f.args.end(), [&](Formula const& g) { return reduct_holds(g, n, m); });
    case Kind::disjunction:
        return std::any_of(f.args.begin(), f.args.end(), [&](Formula const& g) { return reduct_holds(g, n, m); });
    case Kind::implication: {
        bool in_m = !reduct_holds(f.args[0], m, m) || reduct_holds(f.args[1], m, m);
        return in_m && (!reduct_holds(f.args[0], n, m) || reduct_holds(f.args[1], n, m));
    }
    case Kind::aggregate: {
        auto holds_at = [&](Interpretation i) {
            std::set<std::vector<int64_t>> tuples;
            for (auto const& e : f.elements) {
                bool all = std::all_of(e.condition.begin(), e.condition.end(),
                                       [&](Formula const& g) { return reduct_holds(g, i, m); });
                if (all) tuples.insert(e.tuple);
            }
            int64_t v = aggregate_value(f.function, tuples);
            return std::all_of(f.guards.begin(), f.guards.end(),
                               [&](auto const& g) { return relation_holds(g.first, v, g.second); });
        };
        return holds_at(m) && (n == m || holds_at(n));
    }
    }
    return false;
}

// All stable models of the program over atoms 0..num_atoms-1.
inline std::set<Interpretation> brute_force_stable_models(std::vector<Formula> const& program, uint32_t num_atoms) {
    std::set<Interpretation> out;
    auto satisfies = [&](Interpretation n, Interpretation m) {
        return std::all_of(program.begin(), program.end(), [&](Formula const& r) { return reduct_holds(r, n, m); });
    };
    for (Interpretation m = 0; m < (Interpretation{1} << num_atoms); ++m) {
        if (!satisfies(m, m)) continue;
        bool stable = true;
        // Proper subsets of m, largest first does not matter: all are tried.
        for (Interpretation n = (m - 1) & m; stable && n != m; n = (n - 1) & m) {
            stable = !satisfies(n, m);
            if (n == 0) break;
        }
        if (stable) out.insert(m);
    }
    return out;
}

} // namespace Gondra::Ground::Testing
