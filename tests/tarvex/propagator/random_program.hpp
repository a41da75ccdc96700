#pragma once

// Random small integer programs together with their models computed by brute
// force over every value and choice combination.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace Tarvex::Testing {

struct RandomProgram {
    std::string text;
    // Every model as the sorted texts of its shown symbols.
    std::set<std::vector<std::string>> models;
    // The program in two solving steps: the first part (domains, choices and
    // the first half of the constraints) with its models, and the rest.
    std::string first_text;
    std::set<std::vector<std::string>> first_models;
    std::string second_text;
};

struct RandomProgramOptions {
    // Each value of each variable gets a choice atom v(i,V), exactly one of
    // which holds, and the variable must equal it: every model is then told
    // apart by program atoms alone.
    bool pin_values = false;
    // Only distinct and disjoint atoms besides the domains.
    bool pairs_only = false;
    // Nine to eleven variables of two values each, and sums over nearly all
    // of them: propagation then derives many bounds from one reason.
    bool long_sums = false;
    // Distinct atoms over two to six terms, disjoint atoms over two to five
    // tasks (both with conditional elements) and products, besides sums.
    bool globals = false;
    // More of the language as users write it: elements whose condition is a
    // choice (heads and bodies, distinct and disjoint too), conditions with
    // variables, pools in rule bodies, domains written -4..-1, integrity
    // constraints over a sum without a guard. The choice atoms are then
    // c(0), c(1), ... instead of c0, c1, ...
    bool conditions = false;
    // Two to seven difference constraints, many of them guarded: cycles
    // among them, with negative weight or not, are common.
    bool differences = false;
};

class RandomProgramGenerator {
public:
    explicit RandomProgramGenerator(std::uint32_t seed) : rng_{seed} {}

    RandomProgram next(RandomProgramOptions options) {
        RandomProgram program;
        long_sums_ = options.long_sums;
        int n = long_sums_ ? pick(9, 11) : (options.globals ? pick(2, 6) : pick(2, 5));
        std::vector<int> lo(n);
        std::vector<int> hi(n);
        long space = 1;
        if (options.globals) {
            // A fact for the conditions of elements.
            program.text += "t.\n";
        }
        for (int i = 0; i < n; ++i) {
            int size = long_sums_        ? 2
                       : options.globals ? pick(1, n <= 3 ? 6 : (n == 4 ? 5 : 3))
                                         : pick(1, n <= 3 ? 5 : 3);
            lo[i] = pick(-10, 11 - size);
            hi[i] = lo[i] + size - 1;
            space *= size;
            std::string range = std::to_string(lo[i]) + (options.conditions ? ".." : " .. ") + std::to_string(hi[i]);
            program.text += "&dom{" + range + "} = x" + std::to_string(i) + ".\n";
        }
        conditions_ = options.conditions;
        int choices = conditions_ ? pick(1, 3) : pick(0, 2);
        choices_ = choices;
        if (conditions_) {
            program.text += "{ c(0.." + std::to_string(choices - 1) + ") }.\n";
        } else if (choices > 0) {
            program.text += "{";
            for (int j = 0; j < choices; ++j) {
                program.text += (j > 0 ? "; c" : "c") + std::to_string(j);
            }
            program.text += "}.\n";
        }
        if (options.pin_values) {
            for (int i = 0; i < n; ++i) {
                std::string atoms;
                for (int v = lo[i]; v <= hi[i]; ++v) {
                    std::string atom = "v(" + std::to_string(i) + "," + std::to_string(v) + ")";
                    atoms += (atoms.empty() ? "" : "; ") + atom;
                    program.text += ":- " + atom + ", &sum{x" + std::to_string(i) + "} != " + std::to_string(v) + ".\n";
                }
                program.text += "1 { " + atoms + " } 1.\n";
            }
        }

        // Each constraint: a test on the values and the choices, and the
        // atoms it adds to a model.
        struct Rule {
            Test holds;
            // -1: unconditional; otherwise the choice atom guarding it, or
            // either of two when second_guard is set.
            int guard = -1;
            int second_guard = -1;
            // Head atoms must hold when guarded on; body atoms define an atom
            // (shown) or, with a guard, forbid holding together with it.
            enum { head, defines, forbids } kind = head;
            std::string atom;
        };
        std::vector<Rule> rules;
        std::vector<std::string> rule_texts;
        std::string prefix = program.text;
        int count = options.differences ? pick(2, 7) : pick(1, 4);
        std::set<std::string> used_differences;
        for (int r = 0; r < count; ++r) {
            Rule rule;
            std::string atom_text;
            int kind = options.pairs_only ? pick(3, 4) : options.differences ? 1 : pick(0, 5);
            if (conditions_ && kind == 5 && pick(0, 1) == 0) {
                kind = 0;
            }
            if (kind == 5 && choices == 0) {
                kind = 0;
            }
            if (options.globals) {
                static int const kinds[] = {0, 10, 10, 11, 11, 12, 12};
                kind = kinds[pick(0, 6)];
            }
            bool body = (kind <= 1 || kind == 12) && pick(0, 1) == 1;
            if (kind == 10) {
                auto [text, holds] = distinct_atom(n);
                atom_text = text;
                rule.holds = holds;
            } else if (kind == 11) {
                auto [text, holds] = disjoint_atom(n);
                atom_text = text;
                rule.holds = holds;
            } else if (kind == 12) {
                auto [text, holds] = product_atom(n);
                atom_text = text;
                rule.holds = holds;
            } else if (kind == 0) {
                auto [text, holds] = sum_atom(lo, hi, body);
                atom_text = text;
                rule.holds = holds;
            } else if (kind == 1) {
                int a = pick(0, n - 1);
                int b = pick(0, n - 1);
                int k = options.differences ? pick(-3, 3) : pick(-6, 6);
                atom_text = "&diff{x" + std::to_string(a) + " - x" + std::to_string(b) + "} <= " + std::to_string(k);
                rule.holds = [a, b, k](std::vector<int> const& x, int) { return x[a] - x[b] <= k; };
                // An atom may not get rules in two solving steps.
                if (options.differences && !used_differences.insert(atom_text).second) {
                    --r;
                    continue;
                }
            } else if (kind == 2 || kind == 3) {
                auto [first, first_value] = distinct_term(n);
                auto [second, second_value] = distinct_term(n);
                if (first == second) {
                    second += " + 0";
                }
                if (conditions_) {
                    auto [text, holds] = conditional_distinct(n, first, first_value, second, second_value);
                    atom_text = text;
                    rule.holds = holds;
                } else {
                    atom_text = "&distinct{" + first + "; " + second + "}";
                    rule.holds = [f = first_value, s = second_value](std::vector<int> const& x, int) {
                        return f(x) != s(x);
                    };
                }
            } else if (kind == 5) {
                // A domain without values, or with none of the variable's
                // values: its condition must be false.
                int var = pick(0, n - 1);
                std::string const values[] = {"", "5..3", "3..1; 7..5", "0 .. -1; " + std::to_string(hi[var] + 1)};
                atom_text = "&dom{" + values[pick(0, 3)] + "} = x" + std::to_string(var);
                rule.holds = [](std::vector<int> const&, int) { return false; };
            } else if (conditions_) {
                auto [text, holds] = conditional_disjoint(n);
                atom_text = text;
                rule.holds = holds;
            } else {
                int a = pick(0, n - 1);
                int b = pick(0, n - 1);
                int da = pick(0, 3);
                int db = pick(0, 3);
                if (a == b && da == db) {
                    db = da + 1;
                }
                atom_text = "&disjoint{x" + std::to_string(a) + " @ " + std::to_string(da) + "; x" + std::to_string(b) +
                            " @ " + std::to_string(db) + "}";
                rule.holds = [a, b, da, db](std::vector<int> const& x, int) {
                    if (da == 0 || db == 0) {
                        return true;
                    }
                    return x[a] + da <= x[b] || x[b] + db <= x[a];
                };
            }
            if (choices > 0 && (kind == 5 || pick(0, 2) == 0)) {
                rule.guard = pick(0, choices - 1);
            }
            std::string guard = rule.guard >= 0 ? choice(rule.guard) : "";
            std::string text;
            if (conditions_ && rule.guard >= 0 && rule.guard + 1 < choices && pick(0, 2) == 0) {
                // A pool in the body: one rule for each of two choices.
                rule.second_guard = rule.guard + 1;
                guard = "c(" + std::to_string(rule.guard) + ";" + std::to_string(rule.guard + 1) + ")";
            }
            if (conditions_ && body && guard.empty() && pick(0, 1) == 0) {
                rule.kind = Rule::forbids;
                text = ":- " + atom_text + ".\n";
            } else if (!body) {
                rule.kind = Rule::head;
                text = atom_text + (guard.empty() ? "" : " :- " + guard) + ".\n";
            } else if (guard.empty()) {
                rule.kind = Rule::defines;
                rule.atom = "r" + std::to_string(r);
                text = rule.atom + " :- " + atom_text + ".\n";
            } else {
                rule.kind = Rule::forbids;
                text = ":- " + atom_text + ", " + guard + ".\n";
            }
            program.text += text;
            rule_texts.push_back(text);
            rules.push_back(std::move(rule));
        }
        size_t half = rules.size() / 2;
        program.first_text = prefix;
        for (size_t r = 0; r < rule_texts.size(); ++r) {
            (r < half ? program.first_text : program.second_text) += rule_texts[r];
        }
        program.models = brute_force(options, lo, hi, space, choices, rules);
        rules.resize(half);
        program.first_models = brute_force(options, lo, hi, space, choices, rules);
        return program;
    }

private:
    // Every model of the rules: all values and choice subsets.
    template <class Rule>
    static std::set<std::vector<std::string>> brute_force(RandomProgramOptions options, std::vector<int> const& lo,
                                                          std::vector<int> const& hi, long space, int choices,
                                                          std::vector<Rule> const& rules) {
        std::set<std::vector<std::string>> models;
        auto n = static_cast<int>(lo.size());
        std::vector<int> x(lo);
        for (long index = 0; index < space; ++index) {
            long rest = index;
            for (int i = 0; i < n; ++i) {
                long size = hi[i] - lo[i] + 1;
                x[i] = lo[i] + static_cast<int>(rest % size);
                rest /= size;
            }
            for (int mask = 0; mask < (1 << choices); ++mask) {
                std::vector<std::string> model;
                bool ok = true;
                for (auto const& rule : rules) {
                    bool guarded = rule.guard < 0 || ((mask >> rule.guard) & 1) != 0 ||
                                   (rule.second_guard >= 0 && ((mask >> rule.second_guard) & 1) != 0);
                    bool holds = rule.holds(x, mask);
                    if (rule.kind == Rule::head && guarded && !holds) {
                        ok = false;
                    } else if (rule.kind == Rule::forbids && guarded && holds) {
                        ok = false;
                    } else if (rule.kind == Rule::defines && holds) {
                        model.push_back(rule.atom);
                    }
                }
                if (!ok) {
                    continue;
                }
                if (options.globals) {
                    model.push_back("t");
                }
                for (int j = 0; j < choices; ++j) {
                    if (((mask >> j) & 1) != 0) {
                        model.push_back(options.conditions ? "c(" + std::to_string(j) + ")" : "c" + std::to_string(j));
                    }
                }
                for (int i = 0; i < n; ++i) {
                    model.push_back("__csp(x" + std::to_string(i) + "," + std::to_string(x[i]) + ")");
                    if (options.pin_values) {
                        model.push_back("v(" + std::to_string(i) + "," + std::to_string(x[i]) + ")");
                    }
                }
                std::sort(model.begin(), model.end());
                model.erase(std::unique(model.begin(), model.end()), model.end());
                models.insert(std::move(model));
            }
        }
        return models;
    }

    using Evaluator = std::function<int(std::vector<int> const&)>;
    // Whether a rule's atom holds for the values and the choices (bit j of
    // the mask: choice j).
    using Test = std::function<bool(std::vector<int> const&, int)>;

    // A condition over the choices: a positive choice and maybe a negated one.
    struct Condition {
        int positive = -1;
        int negative = -1;

        bool holds(int mask) const {
            return (positive < 0 || ((mask >> positive) & 1) != 0) && (negative < 0 || ((mask >> negative) & 1) == 0);
        }
    };

    std::string choice(int j) const {
        return conditions_ ? "c(" + std::to_string(j) + ")" : "c" + std::to_string(j);
    }

    // No condition, or one over the choices (in conditions mode only, always
    // when forced).
    std::pair<std::string, Condition> maybe_condition(bool forced = false) {
        Condition condition;
        if (!conditions_ || (!forced && pick(0, 1) == 0)) {
            return {"", condition};
        }
        condition.positive = pick(0, choices_ - 1);
        std::string text = " : " + choice(condition.positive);
        if (choices_ > 1 && pick(0, 2) == 0) {
            do {
                condition.negative = pick(0, choices_ - 1);
            } while (condition.negative == condition.positive);
            text += ", not " + choice(condition.negative);
        }
        return {text, condition};
    }

    // Distinct over two or three terms, each maybe conditional: the terms
    // whose condition holds differ pairwise.
    std::pair<std::string, Test> conditional_distinct(int n, std::string const& first, Evaluator const& first_value,
                                                      std::string const& second, Evaluator const& second_value) {
        std::vector<std::string> texts{first, second};
        std::vector<Evaluator> values{first_value, second_value};
        if (pick(0, 1) == 0) {
            auto [third, third_value] = distinct_term(n);
            texts.push_back(third + " + 0 * 0");
            values.push_back(third_value);
        }
        // At least one conditional element when there are three.
        std::vector<Condition> conditions;
        std::string text = "&distinct{";
        bool all_plain = true;
        for (std::size_t e = 0; e < texts.size(); ++e) {
            auto [condition_text, condition] = maybe_condition(e == 2 && all_plain);
            all_plain = all_plain && condition.positive < 0;
            text += (e > 0 ? "; " : "") + texts[e] + condition_text;
            conditions.push_back(condition);
        }
        Test holds = [values, conditions](std::vector<int> const& x, int mask) {
            for (std::size_t i = 0; i < values.size(); ++i) {
                for (std::size_t j = i + 1; j < values.size(); ++j) {
                    if (conditions[i].holds(mask) && conditions[j].holds(mask) && values[i](x) == values[j](x)) {
                        return false;
                    }
                }
            }
            return true;
        };
        return {text + "}", holds};
    }

    // Disjoint over two or three tasks, each maybe conditional.
    std::pair<std::string, Test> conditional_disjoint(int n) {
        struct Task {
            int var;
            int duration;
            Condition condition;
        };
        std::vector<Task> tasks;
        std::string text = "&disjoint{";
        int size = pick(2, 3);
        bool all_plain = true;
        for (int e = 0; e < size; ++e) {
            // At least one conditional task when there are three, as for distinct.
            Task task{pick(0, n - 1), e + pick(0, 1) * 3, {}};
            auto [condition_text, condition] = maybe_condition(e == 2 && all_plain);
            all_plain = all_plain && condition.positive < 0;
            task.condition = condition;
            text += (e > 0 ? "; x" : "x") + std::to_string(task.var) + " @ " + std::to_string(task.duration) +
                    condition_text;
            tasks.push_back(task);
        }
        Test holds = [tasks](std::vector<int> const& x, int mask) {
            for (std::size_t i = 0; i < tasks.size(); ++i) {
                for (std::size_t j = i + 1; j < tasks.size(); ++j) {
                    auto const& a = tasks[i];
                    auto const& b = tasks[j];
                    if (a.duration <= 0 || b.duration <= 0 || !a.condition.holds(mask) || !b.condition.holds(mask)) {
                        continue;
                    }
                    if (x[a.var] + a.duration > x[b.var] && x[b.var] + b.duration > x[a.var]) {
                        return false;
                    }
                }
            }
            return true;
        };
        return {text + "}", holds};
    }


    int pick(int low, int high) { return std::uniform_int_distribution<int>{low, high}(rng_); }

    int coefficient() {
        int c = pick(1, 3);
        return pick(0, 1) == 0 ? c : -c;
    }

    // A sum atom over one to three variables, which may repeat even with the
    // same coefficient, and maybe a constant, with one of the six relations;
    // the right-hand side is a constant or a term over another variable. Body atoms favour = and !=, and some sums
    // have only even coefficients, so that parity alone can decide them.
    // In conditions mode elements may have conditions, and a constant
    // element with a variable may count the chosen c(I) as I+1 each.
    std::pair<std::string, Test> sum_atom(std::vector<int> const& lo, std::vector<int> const& hi, bool body) {
        auto n = static_cast<int>(lo.size());
        std::vector<std::pair<int, int>> elements;
        std::vector<Condition> conditions;
        int size = long_sums_ ? pick(n - 2, n) : pick(1, std::min(3, n));
        int scale = pick(0, 3) == 0 ? 2 : 1;
        std::string text = "&sum{";
        for (int e = 0; e < size; ++e) {
            // Long sums take their first variables, each once.
            elements.emplace_back(scale * coefficient(), long_sums_ ? e : pick(0, n - 1));
            auto [condition_text, condition] = maybe_condition();
            conditions.push_back(condition);
            text += (e > 0 ? "; " : "") + std::to_string(elements[e].first) + "*x" + std::to_string(elements[e].second) +
                    condition_text;
        }
        int constant = pick(0, 2) == 0 ? pick(-4, 4) : 0;
        Condition constant_condition;
        if (constant != 0) {
            auto [condition_text, condition] = maybe_condition();
            constant_condition = condition;
            text += "; " + std::to_string(constant) + condition_text;
        }
        bool counted = conditions_ && pick(0, 3) == 0;
        if (counted) {
            text += "; I+1 : c(I)";
        }
        static char const* const relations[] = {"<=", "=", "!=", "<", ">", ">="};
        int relation = body && pick(0, 1) == 0 ? pick(1, 2) : pick(0, 5);
        int rhs = pick(-8, 8);
        if (long_sums_) {
            // Near the smallest or the largest value of the sum, where few
            // decisions leave many bounds to derive.
            int low = constant;
            int high = constant;
            for (auto [c, v] : elements) {
                low += c * (c > 0 ? lo[v] : hi[v]);
                high += c * (c > 0 ? hi[v] : lo[v]);
            }
            rhs = pick(0, 1) == 0 ? low + pick(0, 3) : high - pick(0, 3);
        }
        // rhs + guard_coefficient * x[guard_var] when guard_var >= 0.
        int guard_var = !long_sums_ && pick(0, 2) == 0 ? pick(0, n - 1) : -1;
        int guard_coefficient = guard_var >= 0 ? scale * coefficient() : 0;
        text += std::string("} ") + relations[relation] + " ";
        if (guard_var >= 0) {
            text += std::to_string(guard_coefficient) + "*x" + std::to_string(guard_var) + " + ";
        }
        text += std::to_string(rhs);
        auto holds = [elements, conditions, constant, constant_condition, counted, relation, rhs, guard_var,
                      guard_coefficient](std::vector<int> const& x, int mask) {
            int sum = constant_condition.holds(mask) ? constant : 0;
            for (std::size_t e = 0; e < elements.size(); ++e) {
                if (conditions[e].holds(mask)) {
                    sum += elements[e].first * x[elements[e].second];
                }
            }
            for (int j = 0; counted && (mask >> j) != 0; ++j) {
                sum += ((mask >> j) & 1) * (j + 1);
            }
            if (guard_var >= 0) {
                sum -= guard_coefficient * x[guard_var];
            }
            switch (relation) {
            case 0:
                return sum <= rhs;
            case 1:
                return sum == rhs;
            case 2:
                return sum != rhs;
            case 3:
                return sum < rhs;
            case 4:
                return sum > rhs;
            default:
                return sum >= rhs;
            }
        };
        return {text, holds};
    }

    // An element of a distinct atom: a variable with coefficient and
    // constant, or a plain constant.
    std::pair<std::string, Evaluator> distinct_term(int n) {
        if (pick(0, 4) == 0) {
            int k = pick(-5, 5);
            return {std::to_string(k), [k](std::vector<int> const&) { return k; }};
        }
        int c = coefficient();
        int var = pick(0, n - 1);
        int k = pick(-2, 2);
        std::string text = std::to_string(c) + "*x" + std::to_string(var);
        if (k != 0) {
            text += " + " + std::to_string(k);
        }
        return {text, [c, var, k](std::vector<int> const& x) { return c * x[var] + k; }};
    }

    // The condition of an element: none, the fact t (kept) or its negation
    // (the element is dropped by grounding).
    std::pair<std::string, bool> condition() {
        switch (pick(0, 5)) {
        case 0:
            return {" : t", true};
        case 1:
            return {" : not t", false};
        default:
            return {"", true};
        }
    }

    static char const* relation_text(int relation) {
        static char const* const relations[] = {"<=", "=", "!=", "<", ">", ">="};
        return relations[relation];
    }

    static bool compare(long value, int relation, long rhs) {
        switch (relation) {
        case 0:
            return value <= rhs;
        case 1:
            return value == rhs;
        case 2:
            return value != rhs;
        case 3:
            return value < rhs;
        case 4:
            return value > rhs;
        default:
            return value >= rhs;
        }
    }

    // A distinct atom over two to six terms: constants, c*x + k, or sums of
    // two variables; equal terms may repeat.
    std::pair<std::string, Test> distinct_atom(int n) {
        int size = pick(2, 6);
        std::vector<Evaluator> terms;
        std::string text = "&distinct{";
        for (int e = 0; e < size; ++e) {
            std::string term;
            Evaluator value;
            int shape = pick(0, 5);
            if (shape == 0) {
                int k = pick(-6, 6);
                term = std::to_string(k);
                value = [k](std::vector<int> const&) { return k; };
            } else if (shape == 1) {
                int a = pick(0, n - 1);
                int b = pick(0, n - 1);
                int c = coefficient();
                int k = pick(-3, 3);
                term = "x" + std::to_string(a) + " + " + std::to_string(c) + "*x" + std::to_string(b) + " + " +
                       std::to_string(k);
                value = [a, b, c, k](std::vector<int> const& x) { return x[a] + c * x[b] + k; };
            } else {
                std::tie(term, value) = distinct_term(n);
            }
            auto [cond, kept] = condition();
            text += (e > 0 ? "; " : "") + term + cond;
            if (kept) {
                terms.push_back(std::move(value));
            }
        }
        text += "}";
        return {text, [terms](std::vector<int> const& x, int) {
                    std::set<int> seen;
                    for (auto const& term : terms) {
                        if (!seen.insert(term(x)).second) {
                            return false;
                        }
                    }
                    return true;
                }};
    }

    // A disjoint atom over two to five tasks; durations of 0 or less occupy
    // nothing.
    std::pair<std::string, Test> disjoint_atom(int n) {
        int size = pick(2, 5);
        std::vector<std::pair<int, int>> tasks;
        std::string text = "&disjoint{";
        std::vector<bool> used(n, false);
        for (int e = 0; e < size; ++e) {
            // Tasks sharing a start variable overlap: rarely.
            int var = pick(0, n - 1);
            for (int retry = 0; retry < 4 && used[var]; ++retry) {
                var = pick(0, n - 1);
            }
            used[var] = true;
            int duration = pick(-1, 3);
            auto [cond, kept] = condition();
            text += (e > 0 ? "; x" : "x") + std::to_string(var) + " @ " + std::to_string(duration) + cond;
            if (kept && duration > 0) {
                tasks.emplace_back(var, duration);
            }
        }
        text += "}";
        return {text, [tasks](std::vector<int> const& x, int) {
                    for (std::size_t i = 0; i < tasks.size(); ++i) {
                        for (std::size_t j = i + 1; j < tasks.size(); ++j) {
                            auto [a, da] = tasks[i];
                            auto [b, db] = tasks[j];
                            if (x[a] + da > x[b] && x[b] + db > x[a]) {
                                return false;
                            }
                        }
                    }
                    return true;
                }};
    }

    // A product a*x*y (maybe a square) with maybe one linear element and a
    // constant, under one of the six relations.
    std::pair<std::string, Test> product_atom(int n) {
        int a = pick(0, 3) == 0 ? coefficient() : 1;
        int x = pick(0, n - 1);
        int y = pick(0, n - 1);
        int c = pick(0, 1) == 0 ? coefficient() : 0;
        int z = pick(0, n - 1);
        int k = pick(0, 2) == 0 ? pick(-5, 5) : 0;
        int relation = pick(0, 5);
        int rhs = pick(-12, 12);
        std::string text = "&nsum{" + std::to_string(a) + "*x" + std::to_string(x) + "*x" + std::to_string(y);
        if (c != 0) {
            text += "; " + std::to_string(c) + "*x" + std::to_string(z);
        }
        if (k != 0) {
            text += "; " + std::to_string(k);
        }
        text += std::string("} ") + relation_text(relation) + " " + std::to_string(rhs);
        return {text, [=](std::vector<int> const& v, int) {
                    long value = static_cast<long>(a) * v[x] * v[y] + static_cast<long>(c) * v[z] + k;
                    return compare(value, relation, rhs);
                }};
    }

    std::mt19937 rng_;
    bool long_sums_ = false;
    bool conditions_ = false;
    int choices_ = 0;
};

} // namespace Tarvex::Testing
