#pragma once

// Random small integer programs together with their models computed by brute
// force over every value and choice combination.

#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <string>
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
        int n = long_sums_ ? pick(9, 11) : pick(2, 5);
        std::vector<int> lo(n);
        std::vector<int> hi(n);
        long space = 1;
        for (int i = 0; i < n; ++i) {
            int size = long_sums_ ? 2 : pick(1, n <= 3 ? 5 : 3);
            lo[i] = pick(-10, 11 - size);
            hi[i] = lo[i] + size - 1;
            space *= size;
            program.text += "&dom{" + std::to_string(lo[i]) + " .. " + std::to_string(hi[i]) + "} = x" +
                            std::to_string(i) + ".\n";
        }
        int choices = pick(0, 2);
        if (choices > 0) {
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
            std::function<bool(std::vector<int> const&)> holds;
            // -1: unconditional; otherwise the choice atom guarding it.
            int guard = -1;
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
            if (kind == 5 && choices == 0) {
                kind = 0;
            }
            bool body = kind <= 1 && pick(0, 1) == 1;
            if (kind == 0) {
                auto [text, holds] = sum_atom(lo, hi, body);
                atom_text = text;
                rule.holds = holds;
            } else if (kind == 1) {
                int a = pick(0, n - 1);
                int b = pick(0, n - 1);
                int k = options.differences ? pick(-3, 3) : pick(-6, 6);
                atom_text = "&diff{x" + std::to_string(a) + " - x" + std::to_string(b) + "} <= " + std::to_string(k);
                rule.holds = [a, b, k](std::vector<int> const& x) { return x[a] - x[b] <= k; };
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
                atom_text = "&distinct{" + first + "; " + second + "}";
                rule.holds = [f = first_value, s = second_value](std::vector<int> const& x) { return f(x) != s(x); };
            } else if (kind == 5) {
                // A domain without values, or with none of the variable's
                // values: its condition must be false.
                int var = pick(0, n - 1);
                std::string const values[] = {"", "5..3", "3..1; 7..5", "0 .. -1; " + std::to_string(hi[var] + 1)};
                atom_text = "&dom{" + values[pick(0, 3)] + "} = x" + std::to_string(var);
                rule.holds = [](std::vector<int> const&) { return false; };
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
                rule.holds = [a, b, da, db](std::vector<int> const& x) {
                    if (da == 0 || db == 0) {
                        return true;
                    }
                    return x[a] + da <= x[b] || x[b] + db <= x[a];
                };
            }
            if (choices > 0 && (kind == 5 || pick(0, 2) == 0)) {
                rule.guard = pick(0, choices - 1);
            }
            std::string guard = rule.guard >= 0 ? "c" + std::to_string(rule.guard) : "";
            std::string text;
            if (!body) {
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
                    bool guarded = rule.guard < 0 || ((mask >> rule.guard) & 1) != 0;
                    bool holds = rule.holds(x);
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
                for (int j = 0; j < choices; ++j) {
                    if (((mask >> j) & 1) != 0) {
                        model.push_back("c" + std::to_string(j));
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

    int pick(int low, int high) { return std::uniform_int_distribution<int>{low, high}(rng_); }

    int coefficient() {
        int c = pick(1, 3);
        return pick(0, 1) == 0 ? c : -c;
    }

    // A sum atom over one to three variables, which may repeat even with the
    // same coefficient, and maybe a constant, with one of the six relations;
    // the right-hand side is a constant or a term over another variable. Body atoms favour = and !=, and some sums
    // have only even coefficients, so that parity alone can decide them.
    std::pair<std::string, std::function<bool(std::vector<int> const&)>> sum_atom(std::vector<int> const& lo,
                                                                                 std::vector<int> const& hi,
                                                                                 bool body) {
        auto n = static_cast<int>(lo.size());
        std::vector<std::pair<int, int>> elements;
        int size = long_sums_ ? pick(n - 2, n) : pick(1, std::min(3, n));
        int scale = pick(0, 3) == 0 ? 2 : 1;
        for (int e = 0; e < size; ++e) {
            // Long sums take their first variables, each once.
            elements.emplace_back(scale * coefficient(), long_sums_ ? e : pick(0, n - 1));
        }
        int constant = pick(0, 2) == 0 ? pick(-4, 4) : 0;
        std::string text = "&sum{";
        for (std::size_t e = 0; e < elements.size(); ++e) {
            text += (e > 0 ? "; " : "") + std::to_string(elements[e].first) + "*x" + std::to_string(elements[e].second);
        }
        if (constant != 0) {
            text += "; " + std::to_string(constant);
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
        auto holds = [elements, constant, relation, rhs, guard_var, guard_coefficient](std::vector<int> const& x) {
            int sum = constant;
            for (auto [c, v] : elements) {
                sum += c * x[v];
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

    std::mt19937 rng_;
    bool long_sums_ = false;
};

} // namespace Tarvex::Testing
