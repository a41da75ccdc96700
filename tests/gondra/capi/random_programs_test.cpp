// Differential test: random small non-ground programs over p/1, q/1, r/1 on
// the domain 1..3 are solved through the C interface (parser, grounder,
// translation, search) and compared with stable models computed here by
// grounding the program by hand and checking every interpretation against
// the least model of its reduct.
//
// Aggregates occur only in rules whose heads are r atoms (or in constraints)
// and range over p and q, and p/q rules use r only negatively: no aggregate
// takes part in a positive loop, so evaluating aggregates in the guessed
// interpretation is exact. Positive loops through normal and choice rules are
// generated freely. Conditional body literals follow the same rule.
#include "solve_runner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int num_preds = 3; // p, q, r
constexpr int domain = 3;
constexpr int num_atoms = num_preds * domain;
char const* const pred_names[] = {"p", "q", "r"};
enum Var { X = 0, Y = 1, Z = 2 };
char const* const var_names[] = {"X", "Y", "Z"};

// A variable plus offset, or a constant.
struct Term {
    int var = -1;
    int value = 0; // the constant, or the offset of the variable
    int64_t eval(std::array<int, 3> const& binding) const { return var < 0 ? value : binding[var] + value; }
    std::string text() const {
        if (var < 0) return std::to_string(value);
        std::string s = var_names[var];
        if (value > 0) s += "+" + std::to_string(value);
        if (value < 0) s += std::to_string(value);
        return s;
    }
};

struct AtomRef {
    int pred;
    Term arg;
    std::string text() const { return std::string(pred_names[pred]) + "(" + arg.text() + ")"; }
    // Index of the ground atom, -1 outside the domain (never true).
    int ground(std::array<int, 3> const& b) const {
        int64_t v = arg.eval(b);
        return v >= 1 && v <= domain ? pred * domain + static_cast<int>(v) - 1 : -1;
    }
};

char const* const relation_text[] = {"<", "<=", "=", "!=", ">", ">="};
bool compare(int64_t a, int op, int64_t b) {
    switch (op) {
    case 0: return a < b;
    case 1: return a <= b;
    case 2: return a == b;
    case 3: return a != b;
    case 4: return a > b;
    default: return a >= b;
    }
}

enum class AggFun { count, sum, sum_plus, min, max };
char const* const fun_text[] = {"#count", "#sum", "#sum+", "#min", "#max"};

struct Element {
    bool single;     // tuple (Z); else (Z+offset, Z)
    int offset;
    int pred;        // positive condition pred(Z)
    int neg_pred;    // -1 or "not neg_pred(Z)"
    int cmp_op;      // -1 or "Z op X"
};

struct Aggregate {
    AggFun fun;
    std::vector<Element> elements;
    std::optional<std::pair<int, Term>> left, right; // "T op agg", "agg op T"
};

// cond: "atom : cond_pred(Z)" with atom over Z, a conjunction over Z.
enum class LitKind { pos, neg, negneg, cmp, agg, negagg, cond };

struct Lit {
    LitKind kind;
    AtomRef atom{};
    Term lhs{}, rhs{};
    int op = 0;
    int cond_pred = 0;
    Aggregate agg{};
};

enum class RuleKind { normal, constraint, choice_pool, choice_single, choice_atoms, weak };

struct Rule {
    RuleKind kind = RuleKind::normal;
    std::vector<AtomRef> heads; // normal: one; choice_atoms: several; choice_single: one
    int pool_pred = 0;          // choice_pool: { pool_pred(Z) : dom(Z) }
    std::optional<int> lower, upper;
    std::vector<Lit> body;
    std::array<bool, 2> uses{}; // X, Y bound by dom
    Term weight{};
    int priority = 0;
    std::vector<Term> tuple;
};

std::string element_text(AggFun fun, Element const& e) {
    Term w{Z, e.offset};
    std::string s = e.single ? "Z" : w.text() + ",Z";
    (void)fun;
    s += " : " + std::string(pred_names[e.pred]) + "(Z)";
    if (e.neg_pred >= 0) s += ", not " + std::string(pred_names[e.neg_pred]) + "(Z)";
    if (e.cmp_op >= 0) s += ", Z " + std::string(relation_text[e.cmp_op]) + " X";
    return s;
}

std::string lit_text(Lit const& l) {
    switch (l.kind) {
    case LitKind::pos: return l.atom.text();
    case LitKind::neg: return "not " + l.atom.text();
    case LitKind::negneg: return "not not " + l.atom.text();
    case LitKind::cmp: return l.lhs.text() + " " + relation_text[l.op] + " " + l.rhs.text();
    case LitKind::cond: return l.atom.text() + " : " + pred_names[l.cond_pred] + "(Z)";
    default: break;
    }
    std::string s = l.kind == LitKind::negagg ? "not " : "";
    auto const& a = l.agg;
    if (a.left) s += a.left->second.text() + " " + relation_text[a.left->first] + " ";
    s += std::string(fun_text[static_cast<int>(a.fun)]) + " { ";
    for (size_t i = 0; i < a.elements.size(); ++i) s += (i > 0 ? "; " : "") + element_text(a.fun, a.elements[i]);
    s += " }";
    if (a.right) s += " " + std::string(relation_text[a.right->first]) + " " + a.right->second.text();
    return s;
}

std::string rule_text(Rule const& r) {
    std::string head;
    auto bounds = [&](std::string const& inner) {
        return (r.lower ? std::to_string(*r.lower) + " " : "") + "{ " + inner + " }" +
               (r.upper ? " " + std::to_string(*r.upper) : "");
    };
    switch (r.kind) {
    case RuleKind::normal: head = r.heads[0].text(); break;
    case RuleKind::choice_pool: head = bounds(std::string(pred_names[r.pool_pred]) + "(Z) : dom(Z)"); break;
    case RuleKind::choice_single: head = bounds(r.heads[0].text()); break;
    case RuleKind::choice_atoms: {
        std::string inner;
        for (size_t i = 0; i < r.heads.size(); ++i) inner += (i > 0 ? "; " : "") + r.heads[i].text();
        head = bounds(inner);
        break;
    }
    default: break;
    }
    std::vector<std::string> body;
    std::vector<bool> conditional; // a condition runs up to the next ';'
    for (int v = 0; v < 2; ++v) {
        if (r.uses[v]) body.push_back("dom(" + std::string(var_names[v]) + ")");
        if (r.uses[v]) conditional.push_back(false);
    }
    for (auto const& l : r.body) {
        body.push_back(lit_text(l));
        conditional.push_back(l.kind == LitKind::cond);
    }
    std::string b;
    for (size_t i = 0; i < body.size(); ++i) b += (i == 0 ? "" : conditional[i - 1] ? "; " : ", ") + body[i];
    if (r.kind == RuleKind::weak) {
        std::string t = "[" + r.weight.text() + "@" + std::to_string(r.priority);
        for (auto const& term : r.tuple) t += "," + term.text();
        return ":~ " + (b.empty() ? std::string("#true") : b) + ". " + t + "]";
    }
    if (r.kind == RuleKind::constraint) return ":- " + (b.empty() ? std::string("#true") : b) + ".";
    if (body.empty()) return head + ".";
    return head + " :- " + b + ".";
}

// ---- generation --------------------------------------------------------------

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    std::vector<Rule> program() {
        std::vector<Rule> rules;
        int n = pick(2, 6);
        for (int i = 0; i < n; ++i) rules.push_back(rule());
        if (chance(0.3)) {
            std::set<int> priorities;
            int weak = pick(1, 3);
            for (int i = 0; i < weak; ++i) {
                rules.push_back(weak_constraint());
                priorities.insert(rules.back().priority);
            }
            // Every level gets a term whose body always holds, so the cost
            // vectors have one entry per priority written here.
            for (int p : priorities) {
                Rule pad;
                pad.kind = RuleKind::weak;
                pad.weight = Term{-1, 1};
                pad.priority = p;
                pad.tuple = {Term{-1, 100 + p}};
                rules.push_back(pad);
            }
        }
        return rules;
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }

    // A term over the variables of the rule (marking them used) or a constant.
    Term term(Rule& r, bool allow_offset) {
        if (chance(0.3)) return Term{-1, pick(1, domain)};
        int v = pick(0, 1);
        r.uses[v] = true;
        return Term{v, allow_offset && chance(0.2) ? pick(-1, 1) : 0};
    }

    Aggregate aggregate(Rule& r, bool any_pred) {
        Aggregate a;
        a.fun = static_cast<AggFun>(pick(0, 4));
        int n = pick(1, 2);
        for (int i = 0; i < n; ++i) {
            Element e{chance(0.4), pick(-3, 1), pick(0, any_pred ? 2 : 1), chance(0.3) ? pick(0, 2) : -1,
                      chance(0.2) ? pick(0, 5) : -1};
            if (e.cmp_op >= 0) r.uses[X] = true;
            a.elements.push_back(e);
        }
        auto bound = [&]() -> std::pair<int, Term> {
            Term t = chance(0.2) ? (r.uses[X] = true, Term{X, 0}) : Term{-1, pick(-3, 7)};
            return {pick(0, 5), t};
        };
        int sides = pick(0, 2); // left, right, both
        if (sides != 1) a.left = bound();
        if (sides != 0) a.right = bound();
        return a;
    }

    // Body literals; positive atoms only over allowed preds.
    void body(Rule& r, bool positive_r, bool aggregates, bool aggregate_any_pred) {
        int n = pick(r.kind == RuleKind::constraint ? 1 : 0, 3);
        for (int i = 0; i < n; ++i) {
            Lit l;
            int kind = pick(0, aggregates ? 10 : 7);
            if (kind <= 2) {
                l.kind = LitKind::pos;
                l.atom = AtomRef{pick(0, positive_r ? 2 : 1), term(r, true)};
            } else if (kind <= 4) {
                l.kind = LitKind::neg;
                l.atom = AtomRef{pick(0, 2), term(r, true)};
            } else if (kind == 5) {
                l.kind = LitKind::negneg;
                l.atom = AtomRef{pick(0, 2), term(r, false)};
            } else if (kind <= 7) {
                l.kind = LitKind::cmp;
                int v = pick(0, 1);
                r.uses[v] = true;
                l.lhs = Term{v, pick(-1, 1)};
                l.rhs = term(r, false);
                l.op = pick(0, 5);
            } else if (kind == 10) {
                l.kind = LitKind::cond;
                l.atom = AtomRef{pick(0, aggregate_any_pred ? 2 : 1), Term{Z, 0}};
                l.cond_pred = pick(0, aggregate_any_pred ? 2 : 1);
            } else {
                l.kind = chance(0.2) ? LitKind::negagg : LitKind::pos;
                l.kind = l.kind == LitKind::pos ? LitKind::agg : l.kind;
                l.agg = aggregate(r, aggregate_any_pred);
            }
            r.body.push_back(l);
        }
    }

    Rule rule() {
        Rule r;
        r.kind = static_cast<RuleKind>(pick(0, 4));
        auto bounds = [&] {
            if (chance(0.4)) r.lower = pick(0, 3);
            if (chance(0.4)) r.upper = pick(r.lower.value_or(0), 3);
        };
        bool head_r = true;
        switch (r.kind) {
        case RuleKind::normal: {
            r.heads.push_back(AtomRef{pick(0, 2), term(r, false)});
            head_r = r.heads[0].pred == 2;
            break;
        }
        case RuleKind::constraint: break;
        case RuleKind::choice_pool:
            r.pool_pred = pick(0, 2);
            head_r = r.pool_pred == 2;
            bounds();
            break;
        case RuleKind::choice_single:
            r.heads.push_back(AtomRef{pick(0, 2), term(r, false)});
            head_r = r.heads[0].pred == 2;
            break;
        default: {
            int n = pick(1, 3);
            for (int i = 0; i < n; ++i) {
                r.heads.push_back(AtomRef{pick(0, 2), Term{-1, pick(1, domain)}});
                head_r = head_r && r.heads.back().pred == 2;
            }
            bounds();
            break;
        }
        }
        bool constraint = r.kind == RuleKind::constraint;
        body(r, head_r || constraint, head_r || constraint, constraint);
        return r;
    }

    Rule weak_constraint() {
        Rule r;
        r.kind = RuleKind::weak;
        body(r, true, false, false);
        r.weight = chance(0.3) ? (r.uses[X] = true, Term{X, pick(-2, 0)}) : Term{-1, pick(-2, 3)};
        r.priority = pick(0, 2);
        int n = pick(0, 2);
        for (int i = 0; i < n; ++i) r.tuple.push_back(term(r, false));
        return r;
    }

    std::mt19937 rng_;
};

// ---- brute force -------------------------------------------------------------

using Interpretation = uint32_t; // bit i: ground atom i

struct GroundElement {
    std::vector<int64_t> tuple;
    int pos;  // atom, -1: never true
    int neg;  // atom or -1
    bool static_ok;
};

struct GroundAggregate {
    AggFun fun = AggFun::count;
    std::vector<GroundElement> elements;
    std::optional<std::pair<int, int64_t>> left, right;
    bool negated = false;

    bool holds(Interpretation i) const {
        std::set<std::vector<int64_t>> tuples;
        for (auto const& e : elements) {
            bool on = e.static_ok && e.pos >= 0 && ((i >> e.pos) & 1u) && (e.neg < 0 || !((i >> e.neg) & 1u));
            if (on) tuples.insert(e.tuple);
        }
        int64_t value = 0;
        switch (fun) {
        case AggFun::count: value = static_cast<int64_t>(tuples.size()); break;
        case AggFun::sum:
            for (auto const& t : tuples) value += t[0];
            break;
        case AggFun::sum_plus:
            for (auto const& t : tuples) value += std::max<int64_t>(0, t[0]);
            break;
        case AggFun::min:
            value = INT64_MAX;
            for (auto const& t : tuples) value = std::min(value, t[0]);
            break;
        case AggFun::max:
            value = INT64_MIN;
            for (auto const& t : tuples) value = std::max(value, t[0]);
            break;
        }
        bool ok = (!left || compare(left->second, left->first, value)) &&
                  (!right || compare(value, right->first, right->second));
        return ok != negated;
    }
};

struct GroundRule {
    RuleKind kind = RuleKind::normal;
    std::vector<int> heads; // distinct atoms
    std::optional<int> lower, upper;
    std::vector<int> pos, neg, negneg;
    std::vector<GroundAggregate> aggregates;
    std::vector<std::pair<int, int>> conditionals; // (atom, condition): condition implies atom
    std::tuple<int64_t, int, std::vector<int64_t>> weak_key;

    // Everything but the positive atoms, in the guessed interpretation.
    bool rest_holds(Interpretation i) const {
        for (int a : neg)
            if ((i >> a) & 1u) return false;
        for (int a : negneg)
            if (!((i >> a) & 1u)) return false;
        for (auto const& g : aggregates)
            if (!g.holds(i)) return false;
        for (auto [a, c] : conditionals)
            if (((i >> c) & 1u) && !((i >> a) & 1u)) return false;
        return true;
    }
    bool pos_holds(Interpretation i) const {
        for (int a : pos)
            if (!((i >> a) & 1u)) return false;
        return true;
    }
};

std::vector<GroundRule> ground(std::vector<Rule> const& rules) {
    std::vector<GroundRule> out;
    for (auto const& r : rules) {
        for (int x = 1; x <= domain; ++x) {
            for (int y = 1; y <= domain; ++y) {
                if ((!r.uses[X] && x > 1) || (!r.uses[Y] && y > 1)) continue;
                std::array<int, 3> b{x, y, 0};
                GroundRule g;
                g.kind = r.kind;
                g.lower = r.lower;
                g.upper = r.upper;
                bool possible = true;
                for (auto const& l : r.body) {
                    switch (l.kind) {
                    case LitKind::pos: {
                        int a = l.atom.ground(b);
                        possible = possible && a >= 0;
                        if (a >= 0) g.pos.push_back(a);
                        break;
                    }
                    case LitKind::neg:
                    case LitKind::negneg: {
                        int a = l.atom.ground(b);
                        if (l.kind == LitKind::negneg) {
                            possible = possible && a >= 0;
                            if (a >= 0) g.negneg.push_back(a);
                        } else if (a >= 0) {
                            g.neg.push_back(a);
                        }
                        break;
                    }
                    case LitKind::cmp: possible = possible && compare(l.lhs.eval(b), l.op, l.rhs.eval(b)); break;
                    case LitKind::cond:
                        for (int z = 1; z <= domain; ++z) {
                            g.conditionals.emplace_back(l.atom.pred * domain + z - 1, l.cond_pred * domain + z - 1);
                        }
                        break;
                    default: {
                        GroundAggregate ga;
                        ga.fun = l.agg.fun;
                        ga.negated = l.kind == LitKind::negagg;
                        if (l.agg.left) ga.left = std::make_pair(l.agg.left->first, l.agg.left->second.eval(b));
                        if (l.agg.right) ga.right = std::make_pair(l.agg.right->first, l.agg.right->second.eval(b));
                        for (auto const& e : l.agg.elements) {
                            for (int z = 1; z <= domain; ++z) {
                                std::array<int, 3> bz{x, y, z};
                                GroundElement ge;
                                if (e.single) {
                                    ge.tuple = {z};
                                } else {
                                    ge.tuple = {z + e.offset, z};
                                }
                                ge.pos = AtomRef{e.pred, Term{Z, 0}}.ground(bz);
                                ge.neg = e.neg_pred >= 0 ? AtomRef{e.neg_pred, Term{Z, 0}}.ground(bz) : -1;
                                ge.static_ok = e.cmp_op < 0 || compare(z, e.cmp_op, x);
                                ga.elements.push_back(ge);
                            }
                        }
                        g.aggregates.push_back(std::move(ga));
                    }
                    }
                }
                if (!possible) continue;
                if (r.kind == RuleKind::choice_pool) {
                    for (int z = 1; z <= domain; ++z) g.heads.push_back(r.pool_pred * domain + z - 1);
                } else {
                    for (auto const& h : r.heads) {
                        int a = h.ground(b);
                        if (std::find(g.heads.begin(), g.heads.end(), a) == g.heads.end()) g.heads.push_back(a);
                    }
                }
                if (r.kind == RuleKind::weak) {
                    std::vector<int64_t> terms;
                    for (auto const& t : r.tuple) terms.push_back(t.eval(b));
                    g.weak_key = {r.weight.eval(b), r.priority, terms};
                }
                out.push_back(std::move(g));
            }
        }
    }
    return out;
}

bool is_stable(std::vector<GroundRule> const& rules, Interpretation i) {
    for (auto const& g : rules) {
        bool body = g.pos_holds(i) && g.rest_holds(i);
        if (g.kind == RuleKind::constraint && body) return false;
        bool choice = g.kind == RuleKind::choice_pool || g.kind == RuleKind::choice_single ||
                      g.kind == RuleKind::choice_atoms;
        if (choice && body) {
            int n = 0;
            for (int a : g.heads) n += (i >> a) & 1u;
            if ((g.lower && n < *g.lower) || (g.upper && n > *g.upper)) return false;
        }
    }
    // Least model of the reduct.
    Interpretation least = 0;
    for (bool changed = true; changed;) {
        changed = false;
        for (auto const& g : rules) {
            if (g.kind == RuleKind::constraint || g.kind == RuleKind::weak) continue;
            if (!g.pos_holds(least) || !g.rest_holds(i)) continue;
            for (int a : g.heads) {
                bool derive = g.kind == RuleKind::normal || ((i >> a) & 1u);
                if (derive && !((least >> a) & 1u)) {
                    least |= 1u << a;
                    changed = true;
                }
            }
        }
    }
    return least == i;
}

std::string model_text(Interpretation i) {
    std::vector<std::string> names;
    for (int a = 0; a < num_atoms; ++a) {
        if ((i >> a) & 1u) names.push_back(std::string(pred_names[a / domain]) + "(" + std::to_string(a % domain + 1) + ")");
    }
    return SolveRunner::join_sorted(names);
}

// Cost per priority, highest priority first.
std::vector<int64_t> cost_of(std::vector<GroundRule> const& rules, Interpretation i) {
    std::map<int, int64_t, std::greater<>> levels;
    std::set<std::tuple<int64_t, int, std::vector<int64_t>>> counted;
    for (auto const& g : rules) {
        if (g.kind != RuleKind::weak) continue;
        levels.emplace(std::get<1>(g.weak_key), 0);
        if (g.pos_holds(i) && g.rest_holds(i) && counted.insert(g.weak_key).second) {
            levels[std::get<1>(g.weak_key)] += std::get<0>(g.weak_key);
        }
    }
    std::vector<int64_t> out;
    for (auto [p, c] : levels) out.push_back(c);
    return out;
}

// ---- the test ----------------------------------------------------------------

struct Expected {
    std::map<std::string, std::vector<int64_t>> models; // with their costs
    bool optimise = false;
    std::vector<int64_t> optimum;
};

Expected brute_force(std::vector<Rule> const& rules) {
    Expected e;
    auto ground_rules = ground(rules);
    for (auto const& r : rules) e.optimise = e.optimise || r.kind == RuleKind::weak;
    for (Interpretation i = 0; i < (1u << num_atoms); ++i) {
        if (!is_stable(ground_rules, i)) continue;
        auto cost = cost_of(ground_rules, i);
        if (e.models.empty() || cost < e.optimum) e.optimum = cost;
        e.models.emplace(model_text(i), cost);
    }
    return e;
}

std::string program_text(std::vector<Rule> const& rules) {
    std::string text = "dom(1..3).\n#show p/1. #show q/1. #show r/1.\n";
    for (auto const& r : rules) text += rule_text(r) + "\n";
    return text;
}

// Empty when gondra agrees with the brute force, else what differs.
std::string compare_run(Expected const& expected, SolveRunner::Outcome const& run) {
    if (!run.ok) return "solving failed: " + run.error + "\n";
    std::string out;
    unsigned done = gondra_solve_result_exhausted |
                    (expected.models.empty() ? gondra_solve_result_unsatisfiable : gondra_solve_result_satisfiable);
    if (run.result != done) out += "result " + std::to_string(run.result) + ", expected " + std::to_string(done) + "\n";
    if (!expected.optimise) {
        std::vector<std::string> want;
        for (auto const& [m, c] : expected.models) want.push_back(m);
        auto got = SolveRunner::sorted(run.models);
        for (auto const& m : want)
            if (!std::binary_search(got.begin(), got.end(), m)) out += "  missing {" + m + "}\n";
        for (size_t k = 0; k < got.size(); ++k) {
            if (!std::binary_search(want.begin(), want.end(), got[k])) out += "  unexpected {" + got[k] + "}\n";
            if (k > 0 && got[k] == got[k - 1]) out += "  reported twice {" + got[k] + "}\n";
        }
        return out;
    }
    // Every reported model is stable with the reported cost; the last one is
    // optimal.
    if (expected.models.empty() != run.models.empty()) out += "models reported for no stable model or none\n";
    for (size_t k = 0; k < run.models.size(); ++k) {
        auto it = expected.models.find(run.models[k]);
        if (it == expected.models.end() || it->second != run.costs[k])
            out += "  reported {" + run.models[k] + "} is no stable model with its cost\n";
    }
    if (!run.costs.empty() && run.costs.back() != expected.optimum) {
        out += "  last model {" + run.models.back() + "} is not optimal; stable models:\n";
        for (auto const& [m, c] : expected.models) {
            out += "  {" + m + "} cost";
            for (auto v : c) out += " " + std::to_string(v);
            out += "\n";
        }
    }
    return out;
}

TEST(RandomPrograms, StableModelsAndOptimaMatchBruteForce) {
    int const programs = 1200;
    int with_models = 0, optimised = 0, failures = 0;
    for (int n = 0; n < programs; ++n) {
        auto rules = Generator(static_cast<unsigned>(n) * 7919u + 13u).program();
        std::string text = program_text(rules);
        Expected expected = brute_force(rules);
        with_models += expected.models.empty() ? 0 : 1;
        optimised += expected.optimise && !expected.models.empty() ? 1 : 0;
        for (char const* threads : {"1", "3"}) {
            std::string diff = compare_run(expected, SolveRunner::solve(text, {"-n", "0", "-t", threads}));
            if (diff.empty()) continue;
            // The first few disagreements in full; the count tells the rest.
            if (++failures <= 4) ADD_FAILURE() << "program " << n << " threads " << threads << ":\n" << text << diff;
        }
    }
    EXPECT_EQ(failures, 0) << "disagreements in " << 2 * programs << " runs";
    // The generator must produce enough interesting programs to mean anything.
    EXPECT_GT(with_models, programs / 3);
    EXPECT_GT(optimised, programs / 10);
}

} // namespace
