#pragma once
// Small random problems and their brute-force semantics, the reference the
// solver's answers are checked against.
#include "solve/problem.hpp"

#include <cstdint>
#include <random>
#include <set>
#include <vector>

namespace Gondra::Solve::Testing {

struct WeightConstraint {
    int32_t lit;
    std::vector<WeightedLiteral> lits;
    int64_t bound;
    WeightType type;
    bool equal;
};

struct SmallProblem {
    uint32_t vars = 0; // problem variables 2 .. vars + 1
    std::vector<std::vector<int32_t>> clauses;
    std::vector<WeightConstraint> weights;
    std::vector<MinimizeTerm> minimize;

    void load(Problem& p) const {
        p.reserve_variables(vars + 1);
        for (auto const& c : clauses) {
            p.add_clause(c);
        }
        for (auto const& w : weights) {
            p.add_weight_constraint(w.lit, w.lits, w.bound, w.type, w.equal);
        }
        for (auto const& m : minimize) {
            p.add_minimize(m.literal, m.weight, m.priority);
        }
    }
};

inline bool holds(uint32_t bits, int32_t lit) {
    if (lit == 1 || lit == -1) {
        return lit == 1;
    }
    int32_t v = lit < 0 ? -lit : lit;
    bool value = ((bits >> (v - 2)) & 1u) != 0;
    return lit < 0 ? !value : value;
}

inline bool satisfies(SmallProblem const& p, uint32_t bits) {
    for (auto const& c : p.clauses) {
        bool sat = false;
        for (auto l : c) {
            sat = sat || holds(bits, l);
        }
        if (!sat) {
            return false;
        }
    }
    for (auto const& w : p.weights) {
        int64_t sum = 0;
        for (auto const& wl : w.lits) {
            sum += holds(bits, wl.literal) ? wl.weight : 0;
        }
        bool body = w.equal ? sum == w.bound : sum >= w.bound;
        bool head = holds(bits, w.lit);
        if (w.type != WeightType::implication_right && body && !head) {
            return false;
        }
        if (w.type != WeightType::implication_left && head && !body) {
            return false;
        }
    }
    return true;
}

inline std::vector<int64_t> cost_of(SmallProblem const& p, uint32_t bits) {
    std::set<int32_t, std::greater<>> priorities;
    for (auto const& m : p.minimize) {
        priorities.insert(m.priority);
    }
    std::vector<int64_t> cost;
    for (auto prio : priorities) {
        int64_t c = 0;
        for (auto const& m : p.minimize) {
            if (m.priority == prio && holds(bits, m.literal)) {
                c += m.weight;
            }
        }
        cost.push_back(c);
    }
    return cost;
}

inline std::vector<uint32_t> all_models(SmallProblem const& p) {
    std::vector<uint32_t> out;
    for (uint32_t bits = 0; bits < (1u << p.vars); ++bits) {
        if (satisfies(p, bits)) {
            out.push_back(bits);
        }
    }
    return out;
}

inline int32_t random_lit(std::mt19937& rng, uint32_t vars) {
    auto v = static_cast<int32_t>(2 + rng() % vars);
    return rng() % 2 == 0 ? v : -v;
}

inline SmallProblem random_cnf(std::mt19937& rng, uint32_t vars, uint32_t clauses, uint32_t width) {
    SmallProblem p;
    p.vars = vars;
    for (uint32_t i = 0; i < clauses; ++i) {
        std::vector<int32_t> c;
        uint32_t len = 1 + rng() % width;
        for (uint32_t k = 0; k < len; ++k) {
            c.push_back(random_lit(rng, vars));
        }
        p.clauses.push_back(c);
    }
    return p;
}

inline SmallProblem random_weight_problem(std::mt19937& rng, uint32_t vars) {
    SmallProblem p = random_cnf(rng, vars, vars / 3, 3);
    uint32_t count = 1 + rng() % 4;
    for (uint32_t i = 0; i < count; ++i) {
        WeightConstraint w;
        w.lit = rng() % 8 == 0 ? (rng() % 2 == 0 ? 1 : -1) : random_lit(rng, vars);
        uint32_t len = 1 + rng() % 5;
        int64_t total = 0;
        for (uint32_t k = 0; k < len; ++k) {
            int32_t weight = static_cast<int32_t>(rng() % 7) - 2; // negative and zero weights too
            w.lits.push_back({random_lit(rng, vars), weight});
            total += weight > 0 ? weight : 0;
        }
        w.bound = static_cast<int64_t>(rng() % static_cast<uint32_t>(total + 4)) - 2;
        w.type = static_cast<WeightType>(static_cast<int>(rng() % 3) - 1);
        w.equal = rng() % 4 == 0;
        p.weights.push_back(w);
    }
    return p;
}

} // namespace Gondra::Solve::Testing
