#pragma once
// Random small ground programs and a brute-force oracle for their stable
// models (reduct and least/minimal model), shared by the stable-model tests.
#include "ground/ground_program.hpp"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace Gondra::Ground::Testing {

using Mask = uint32_t;
using Cost = std::map<int32_t, int64_t>; // priority -> cost, zero entries dropped

inline bool holds(Literal lit, Mask m) {
    bool in = (m >> (lit > 0 ? lit : -lit)) & 1u;
    return lit > 0 ? in : !in;
}

// Body of a rule under the reduct: positive literals are read in n, negative
// ones in m (m = n evaluates the body classically). Weight and unequal bodies
// are aggregates: they must hold in m as well, which matters for negative
// weights and for !=.
inline bool body_holds(GroundProgram const& p, Rule const& r, Mask n, Mask m) {
    auto value = [&](Literal l, Mask i) { return l > 0 ? holds(l, i) : holds(l, m); };
    if (r.body_type == BodyType::normal) {
        for (auto const& wl : p.body(r)) {
            if (!value(wl.literal, n)) {
                return false;
            }
        }
        return true;
    }
    auto sum_holds = [&](Mask i) {
        int64_t sum = 0;
        for (auto const& wl : p.body(r)) {
            sum += value(wl.literal, i) ? wl.weight : 0;
        }
        return r.body_type == BodyType::weight ? sum >= r.bound : sum != r.bound;
    };
    return sum_holds(m) && sum_holds(n);
}

struct Oracle {
    GroundProgram const& p;
    std::vector<uint8_t> input; // 0 none, 1 free (choice), 2 true (fact)

    explicit Oracle(GroundProgram const& program) : p(program), input(program.num_atoms() + 1, 0) {
        for (auto const& e : p.externals) {
            input[e.atom] = e.value == ExternalValue::free ? 1 : e.value == ExternalValue::truth ? 2 : 0;
        }
    }

    bool is_model(Mask m) const {
        for (Atom a = 1; a <= p.num_atoms(); ++a) {
            if (input[a] == 2 && !holds(static_cast<Literal>(a), m)) {
                return false;
            }
        }
        for (auto const& r : p.rules) {
            if (r.head_type == HeadType::choice || !body_holds(p, r, m, m)) {
                continue;
            }
            bool any = false;
            for (Atom h : p.head(r)) {
                any = any || holds(static_cast<Literal>(h), m);
            }
            if (!any) {
                return false;
            }
        }
        return true;
    }

    // n satisfies the reduct of the program with respect to m.
    bool satisfies_reduct(Mask n, Mask m) const {
        for (Atom a = 1; a <= p.num_atoms(); ++a) {
            bool in_n = holds(static_cast<Literal>(a), n);
            if (!in_n && (input[a] == 2 || (input[a] == 1 && holds(static_cast<Literal>(a), m)))) {
                return false;
            }
        }
        for (auto const& r : p.rules) {
            if (!body_holds(p, r, n, m)) {
                continue;
            }
            bool ok = false;
            for (Atom h : p.head(r)) {
                bool needed = r.head_type == HeadType::disjunctive || holds(static_cast<Literal>(h), m);
                ok = ok || (needed && holds(static_cast<Literal>(h), n));
            }
            if (r.head_type == HeadType::choice) {
                for (Atom h : p.head(r)) {
                    if (holds(static_cast<Literal>(h), m) && !holds(static_cast<Literal>(h), n)) {
                        return false;
                    }
                }
            } else if (!ok) {
                return false;
            }
        }
        return true;
    }

    bool is_stable(Mask m) const {
        if (!is_model(m) || !satisfies_reduct(m, m)) {
            return false;
        }
        // No proper subset may satisfy the reduct (enumerate submasks of m).
        for (Mask n = (m - 1) & m;; n = (n - 1) & m) {
            if (n != m && satisfies_reduct(n, m)) {
                return false;
            }
            if (n == 0) {
                break;
            }
        }
        return true;
    }

    std::set<Mask> stable_models() const {
        std::set<Mask> out;
        Mask limit = Mask{1} << (p.num_atoms() + 1);
        for (Mask m = 0; m < limit; m += 2) {
            if (is_stable(m)) {
                out.insert(m);
            }
        }
        return out;
    }

    Cost cost(Mask m) const {
        Cost c;
        for (auto const& t : p.minimize) {
            c[t.priority] += holds(t.literal, m) ? t.weight : 0;
        }
        std::erase_if(c, [](auto const& e) { return e.second == 0; });
        return c;
    }
};

// Lexicographic order, highest priority first.
inline bool cheaper(Cost const& a, Cost const& b) {
    std::set<int32_t, std::greater<>> prios;
    for (auto const& [k, v] : a)
        prios.insert(k);
    for (auto const& [k, v] : b)
        prios.insert(k);
    for (int32_t k : prios) {
        int64_t x = a.count(k) ? a.at(k) : 0;
        int64_t y = b.count(k) ? b.at(k) : 0;
        if (x != y) {
            return x < y;
        }
    }
    return false;
}

class Generator {
public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    GroundProgram make(bool with_minimize) {
        GroundProgram p;
        uint32_t n = pick(3, 8);
        for (uint32_t i = 0; i < n; ++i) {
            p.new_atom();
        }
        uint32_t rules = pick(2, 10);
        for (uint32_t i = 0; i < rules; ++i) {
            switch (pick(0, 9)) {
            case 0:
            case 1:
            case 2: { // normal rule, mostly positive bodies to make loops
                Atom h = atom(n);
                auto body = literals(n, pick(0, 3), 70);
                p.add_rule(HeadType::disjunctive, std::span<Atom const>(&h, 1), body);
                break;
            }
            case 3:
            case 4: { // choice, sometimes with bounds
                std::vector<Atom> heads;
                for (uint32_t k = pick(1, 3); k > 0; --k) {
                    heads.push_back(atom(n));
                }
                auto body = literals(n, pick(0, 2), 60);
                p.add_rule(HeadType::choice, heads, body);
                if (pick(0, 2) == 0 && p.num_atoms() < 11) {
                    bounds(p, heads, body);
                }
                break;
            }
            case 5:
            case 6: { // weight or count body, sometimes with negative weights or !=
                Atom h = atom(n);
                std::vector<WeightLiteral> body;
                uint32_t kind = pick(0, 3);
                for (uint32_t k = pick(1, 4); k > 0; --k) {
                    int32_t w = kind == 0 ? 1 : kind == 1 ? static_cast<int32_t>(pick(1, 3)) : static_cast<int32_t>(pick(0, 5)) - 2;
                    body.push_back({literal(n, 70), w});
                }
                if (kind == 3) {
                    p.add_unequal_rule(HeadType::disjunctive, std::span<Atom const>(&h, 1), static_cast<int64_t>(pick(0, 3)) - 1, body);
                } else {
                    p.add_weight_rule(HeadType::disjunctive, std::span<Atom const>(&h, 1), static_cast<int64_t>(pick(0, 5)) - 1, body);
                }
                break;
            }
            case 7: { // integrity constraint
                auto body = literals(n, pick(1, 3), 50);
                p.add_rule(HeadType::disjunctive, {}, body);
                break;
            }
            case 8: { // disjunction (rejected when not head-cycle-free)
                std::vector<Atom> heads{atom(n), atom(n)};
                auto body = literals(n, pick(0, 2), 60);
                p.add_rule(HeadType::disjunctive, heads, body);
                break;
            }
            default: { // external
                ExternalValue v[] = {ExternalValue::free, ExternalValue::truth, ExternalValue::falsity};
                p.add_external(atom(n), v[pick(0, 2)]);
                break;
            }
            }
        }
        if (with_minimize) {
            for (uint32_t k = pick(1, 4); k > 0; --k) {
                p.add_minimize(literal(n, 70), static_cast<int32_t>(pick(0, 5)) - 2,
                               static_cast<int32_t>(pick(0, 1)));
            }
        }
        return p;
    }

private:
    uint32_t pick(uint32_t lo, uint32_t hi) { return std::uniform_int_distribution<uint32_t>(lo, hi)(rng_); }
    Atom atom(uint32_t n) { return pick(1, n); }
    Literal literal(uint32_t n, uint32_t positive_percent) {
        auto a = static_cast<Literal>(atom(n));
        return pick(0, 99) < positive_percent ? a : -a;
    }
    std::vector<Literal> literals(uint32_t n, uint32_t count, uint32_t positive_percent) {
        std::vector<Literal> out;
        for (; count > 0; --count) {
            out.push_back(literal(n, positive_percent));
        }
        return out;
    }
    // lo { heads } hi :- body, as the grounder writes it: auxiliary count
    // atoms and integrity constraints.
    void bounds(GroundProgram& p, std::vector<Atom> const& heads, std::vector<Literal> const& body) {
        std::vector<WeightLiteral> count;
        for (Atom h : heads) {
            count.push_back({static_cast<Literal>(h), 1});
        }
        auto size = static_cast<uint32_t>(heads.size());
        uint32_t lo = pick(0, size);
        uint32_t hi = pick(lo, size);
        if (lo > 0) {
            Atom aux = p.new_atom();
            p.add_weight_rule(HeadType::disjunctive, std::span<Atom const>(&aux, 1), lo, count);
            auto c = body;
            c.push_back(-static_cast<Literal>(aux));
            p.add_rule(HeadType::disjunctive, {}, c);
        }
        if (hi < size) {
            Atom aux = p.new_atom();
            p.add_weight_rule(HeadType::disjunctive, std::span<Atom const>(&aux, 1), hi + 1, count);
            auto c = body;
            c.push_back(static_cast<Literal>(aux));
            p.add_rule(HeadType::disjunctive, {}, c);
        }
    }

    std::mt19937 rng_;
};

inline std::string describe(GroundProgram const& p) {
    std::ostringstream out;
    auto lit = [](Literal l) { return (l < 0 ? "not a" : "a") + std::to_string(l < 0 ? -l : l); };
    for (auto const& r : p.rules) {
        if (r.head_type == HeadType::choice) out << "{";
        for (Atom h : p.head(r))
            out << "a" << h << (r.head_type == HeadType::choice ? ";" : "|");
        if (r.head_type == HeadType::choice) out << "}";
        out << " :- ";
        if (r.body_type != BodyType::normal) out << r.bound << (r.body_type == BodyType::weight ? "<=" : "!=") << "{";
        for (auto const& wl : p.body(r)) {
            out << lit(wl.literal);
            if (r.body_type != BodyType::normal) out << "=" << wl.weight;
            out << ", ";
        }
        if (r.body_type != BodyType::normal) out << "}";
        out << ".\n";
    }
    for (auto const& e : p.externals)
        out << "#external a" << e.atom << " " << int(e.value) << ".\n";
    for (auto const& m : p.minimize)
        out << "#minimize " << lit(m.literal) << "=" << m.weight << "@" << m.priority << ".\n";
    return out.str();
}

} // namespace Gondra::Ground::Testing
