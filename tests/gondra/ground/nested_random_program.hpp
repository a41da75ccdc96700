#pragma once
// Random small programs of the input language with nested constructs, made
// as text for the host and, side by side, as formulas for the brute-force
// checker: nested negation in bodies, conditions and aggregate elements,
// conditional literals in bodies and heads (conditions may depend on the
// rule, also over a variable), aggregates of every function and relation with negative weights,
// assignment aggregates, choice rules with bounds and conditions,
// disjunctions and integrity constraints.
#include "brute_force_stable.hpp"

#include <random>
#include <string>
#include <vector>

namespace Gondra::Ground::Testing {

struct RandomProgram {
    std::string text;
    std::vector<Formula> rules;
    std::vector<std::string> atoms; // names by atom number, empty for hidden atoms
};

class NestedGenerator {
public:
    explicit NestedGenerator(uint32_t seed) : rng_(seed) {}

    RandomProgram make() {
        RandomProgram p;
        out_ = &p;
        base_ = pick(3, 5);
        // With variables: p(1), p(2), q(1), q(2) first, and elements,
        // conditional literals and head elements over X.
        variables_ = base_ >= 4 && pick(0, 2) == 0;
        for (uint32_t i = 0; i < base_; ++i) {
            if (variables_ && i < 4) p.atoms.push_back(std::string(i < 2 ? "p(" : "q(") + std::to_string(i % 2 + 1) + ")");
            else p.atoms.push_back(std::string(1, static_cast<char>('a' + i)));
        }
        assignments_ = base_ <= 4 && pick(0, 3) == 0;
        if (assignments_)
            for (int k = 0; k <= 2; ++k) p.atoms.push_back("v(" + std::to_string(k) + ")");
        for (uint32_t r = pick(2, 6); r > 0; --r) rule();
        return p;
    }

private:
    uint32_t pick(uint32_t lo, uint32_t hi) { return std::uniform_int_distribution<uint32_t>(lo, hi)(rng_); }
    int64_t between(int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng_); }

    struct Piece {
        std::string text;
        Formula formula;
    };

    uint32_t atom() { return pick(0, base_ - 1); }
    std::string const& name(uint32_t a) const { return out_->atoms[a]; }

    // a, not a, not not a
    Piece literal() {
        uint32_t a = atom();
        uint32_t s = pick(0, 99);
        if (s < 60) return {name(a), Formula::make_atom(a)};
        if (s < 85) return {"not " + name(a), Formula::negation(Formula::make_atom(a))};
        return {"not not " + name(a), Formula::negation(Formula::negation(Formula::make_atom(a)))};
    }

    // Literals separated by ", " as a condition.
    std::pair<std::string, std::vector<Formula>> condition(uint32_t count) {
        std::string text;
        std::vector<Formula> fs;
        for (uint32_t i = 0; i < count; ++i) {
            Piece l = literal();
            text += (i > 0 ? ", " : "") + l.text;
            fs.push_back(std::move(l.formula));
        }
        return {text, fs};
    }

    static char const* relation_text(Relation r) {
        switch (r) {
        case Relation::less: return "<";
        case Relation::less_equal: return "<=";
        case Relation::equal: return "=";
        case Relation::not_equal: return "!=";
        case Relation::greater: return ">";
        case Relation::greater_equal: return ">=";
        }
        return "?";
    }
    // k rel agg  is  agg rel' k
    static Relation flipped(Relation r) {
        switch (r) {
        case Relation::less: return Relation::greater;
        case Relation::less_equal: return Relation::greater_equal;
        case Relation::greater: return Relation::less;
        case Relation::greater_equal: return Relation::less_equal;
        default: return r;
        }
    }

    // Elements of an aggregate: tuples (weights may be negative, tuples may
    // repeat so that equal tuples count once) under conditions.
    std::string elements(Function fn, uint32_t count, std::vector<AggregateElement>& out) {
        std::string text;
        if (use_variables()) {
            // [-]X : s(X), one element per X.
            uint32_t s = pick(0, 1);
            bool minus = fn != Function::count && pick(0, 1) == 0;
            for (int64_t x = 1; x <= 2; ++x) {
                AggregateElement e;
                e.tuple = {minus ? -x : x};
                e.condition.push_back(Formula::make_atom(family_atom(s, x)));
                out.push_back(std::move(e));
            }
            text = std::string(minus ? "-X" : "X") + " : " + family_name(s) + "(X)";
            if (count == 1) return text;
            text += "; ";
            --count;
        }
        for (uint32_t i = 0; i < count; ++i) {
            AggregateElement e;
            std::string tuple;
            if (fn == Function::count) {
                int64_t t = between(1, 3);
                e.tuple = {t};
                tuple = t == 3 ? "z" : std::to_string(t);
            } else {
                int64_t w = fn == Function::min || fn == Function::max ? between(-1, 3) : between(-2, 3);
                e.tuple = {w};
                tuple = std::to_string(w);
                if (pick(0, 1) == 0) {
                    int64_t id = between(1, 2);
                    e.tuple.push_back(id);
                    tuple += "," + std::to_string(id);
                }
            }
            uint32_t n = pick(0, 9) == 0 ? 0 : pick(1, 2);
            auto [cond, fs] = condition(n);
            e.condition = std::move(fs);
            text += (i > 0 ? "; " : "") + tuple + (n > 0 ? " : " + cond : "");
            out.push_back(std::move(e));
        }
        return text;
    }

    static char const* function_text(Function fn) {
        switch (fn) {
        case Function::count: return "#count";
        case Function::sum: return "#sum";
        case Function::sum_plus: return "#sum+";
        case Function::min: return "#min";
        case Function::max: return "#max";
        }
        return "?";
    }

    Piece aggregate() {
        Formula f;
        f.kind = Formula::Kind::aggregate;
        f.function = static_cast<Function>(pick(0, 4));
        std::string els = elements(f.function, pick(1, 3), f.elements);
        std::string text;
        bool left = pick(0, 1) == 0, right = !left || pick(0, 2) == 0;
        if (left) {
            auto r = static_cast<Relation>(pick(0, 5));
            int64_t k = between(-1, 3);
            text += std::to_string(k) + " " + relation_text(r) + " ";
            f.guards.emplace_back(flipped(r), k);
        }
        text += std::string(function_text(f.function)) + "{ " + els + " }";
        if (right) {
            auto r = static_cast<Relation>(pick(0, 5));
            int64_t k = between(-1, 3);
            text += std::string(" ") + relation_text(r) + " " + std::to_string(k);
            f.guards.emplace_back(r, k);
        }
        uint32_t s = pick(0, 99);
        if (s < 65) return {text, std::move(f)};
        if (s < 85) return {"not " + text, Formula::negation(std::move(f))};
        return {"not not " + text, Formula::negation(Formula::negation(std::move(f)))};
    }

    // l : c1, c2 in a body: the condition implies the literal.
    Piece conditional() {
        Piece l = literal();
        auto [cond, fs] = condition(pick(1, 2));
        return {l.text + " : " + cond, Formula::implication(Formula::conjunction(std::move(fs)), std::move(l.formula))};
    }

    // Body elements separated by "; " (a conditional literal's condition
    // takes the commas).
    Piece body(uint32_t count) {
        std::string text;
        std::vector<Formula> fs;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t k = pick(0, 99);
            Piece p = k < 50 ? literal() : k < 68 ? (use_variables() ? family_conditional() : conditional()) : aggregate();
            text += (i > 0 ? "; " : "") + p.text;
            fs.push_back(std::move(p.formula));
        }
        return {text, Formula::conjunction(std::move(fs))};
    }

    void add(std::string text, Formula f) {
        out_->text += text + ".\n";
        out_->rules.push_back(std::move(f));
    }
    static std::string if_body(Piece const& b) { return b.text.empty() ? "" : " :- " + b.text; }

    void rule() {
        uint32_t kind = pick(0, 99);
        if (kind < 35) { // h :- B.
            uint32_t h = atom();
            Piece b = body(pick(0, 3));
            add(name(h) + if_body(b), Formula::implication(std::move(b.formula), Formula::make_atom(h)));
        } else if (kind < 52) { // l { x; y : c } u :- B.
            choice();
        } else if (kind < 67) { // x ; y : c :- B.
            disjunction();
        } else if (kind < 77) { // :- B.
            Piece b = body(pick(1, 3));
            add(":- " + b.text, Formula::implication(std::move(b.formula), Formula::constant(false)));
        } else if (kind < 87 && assignments_) {
            assignment();
        } else { // recursion through one aggregate or conditional literal, the families of interest
            uint32_t h = atom();
            Piece p = pick(0, 1) == 0 ? aggregate() : conditional();
            Piece rest = body(pick(0, 1));
            std::string text = name(h) + " :- " + p.text + (rest.text.empty() ? "" : "; " + rest.text);
            add(text, Formula::implication(Formula::conjunction({std::move(p.formula), std::move(rest.formula)}),
                                           Formula::make_atom(h)));
        }
    }

    void choice() {
        std::vector<Formula> parts;
        std::string text;
        Formula count;
        count.kind = Formula::Kind::aggregate;
        count.function = Function::count;
        if (use_variables()) {
            // t(X) : s(X)
            uint32_t s = pick(0, 1), t = pick(0, 1);
            for (int64_t x = 1; x <= 2; ++x) {
                uint32_t a = family_atom(t, x), c = family_atom(s, x);
                AggregateElement e;
                e.tuple = {static_cast<int64_t>(a)};
                e.condition = {Formula::make_atom(a), Formula::make_atom(c)};
                parts.push_back(Formula::implication(
                    Formula::make_atom(c),
                    Formula::disjunction({Formula::make_atom(a), Formula::negation(Formula::make_atom(a))})));
                count.elements.push_back(std::move(e));
            }
            text = std::string(family_name(t)) + "(X) : " + family_name(s) + "(X)";
        }
        for (uint32_t i = pick(text.empty() ? 1 : 0, 2); i > 0; --i) {
            uint32_t a = atom();
            AggregateElement e;
            e.tuple = {static_cast<int64_t>(a)};
            e.condition.push_back(Formula::make_atom(a));
            std::string el = name(a);
            Formula chosen = Formula::disjunction({Formula::make_atom(a), Formula::negation(Formula::make_atom(a))});
            if (pick(0, 2) == 0) {
                auto [cond, fs] = condition(1);
                el += " : " + cond;
                e.condition.push_back(fs[0]);
                chosen = Formula::implication(fs[0], std::move(chosen));
            }
            text += (text.empty() ? "" : "; ") + el;
            parts.push_back(std::move(chosen));
            count.elements.push_back(std::move(e));
        }
        std::string lower, upper;
        if (pick(0, 2) == 0) {
            int64_t k = between(0, 2);
            lower = std::to_string(k) + " ";
            count.guards.emplace_back(Relation::greater_equal, k);
        }
        if (pick(0, 2) == 0) {
            int64_t k = between(0, 2);
            upper = " " + std::to_string(k);
            count.guards.emplace_back(Relation::less_equal, k);
        }
        // The bounds are a constraint: not not (bounds).
        if (!count.guards.empty()) parts.push_back(Formula::negation(Formula::negation(std::move(count))));
        Piece b = body(pick(0, 2));
        add(lower + "{ " + text + " }" + upper + if_body(b),
            Formula::implication(std::move(b.formula), Formula::conjunction(std::move(parts))));
    }

    // a : C in a disjunction: a hidden atom x chooses "a where C holds"; C
    // must hold for x and derives a with it, and x holds whenever C and a do.
    Formula guarded(uint32_t a, Formula const& c) {
        auto x = static_cast<uint32_t>(out_->atoms.size());
        out_->atoms.emplace_back(); // not shown
        auto atom = [](uint32_t i) { return Formula::make_atom(i); };
        out_->rules.push_back(Formula::implication(Formula::conjunction({c, atom(x)}), atom(a)));
        out_->rules.push_back(Formula::implication(atom(x), Formula::negation(Formula::negation(c))));
        out_->rules.push_back(Formula::implication(Formula::conjunction({c, atom(a)}), atom(x)));
        return atom(x);
    }
    bool room() const { return out_->atoms.size() < 10; }

    void disjunction() {
        std::vector<Formula> parts;
        std::string text;
        if (use_variables() && out_->atoms.size() < 9) {
            uint32_t s = pick(0, 1), t = pick(0, 1);
            for (int64_t x = 1; x <= 2; ++x)
                parts.push_back(guarded(family_atom(t, x), Formula::make_atom(family_atom(s, x))));
            text = std::string(family_name(t)) + "(X) : " + family_name(s) + "(X)";
        }
        for (uint32_t i = pick(text.empty() ? 2 : 1, 3); i > 0; --i) {
            uint32_t a = atom();
            std::string el = name(a);
            Formula f = Formula::make_atom(a);
            if (room() && pick(0, 2) == 0) {
                auto [cond, fs] = condition(1);
                el += " : " + cond;
                f = guarded(a, fs[0]);
            }
            text += (text.empty() ? "" : "; ") + el;
            parts.push_back(std::move(f));
        }
        Piece b = body(pick(0, 2));
        add(text + if_body(b), Formula::implication(std::move(b.formula), Formula::disjunction(std::move(parts))));
    }

    // v(N) :- N = #count{...}; B; N rel k.  One rule per value of N.
    void assignment() {
        Formula agg;
        agg.kind = Formula::Kind::aggregate;
        agg.function = pick(0, 1) == 0 ? Function::count : Function::sum_plus;
        std::vector<AggregateElement> els;
        std::string text;
        for (uint32_t i = pick(1, 2); i > 0; --i) {
            AggregateElement e;
            e.tuple = {1, static_cast<int64_t>(i)};
            auto [cond, fs] = condition(1);
            e.condition = std::move(fs);
            text += (text.empty() ? "" : "; ") + std::string("1,") + std::to_string(i) + " : " + cond;
            els.push_back(std::move(e));
        }
        agg.elements = els;
        auto r = static_cast<Relation>(pick(0, 5));
        int64_t k = between(0, 2);
        Piece b = body(pick(0, 1));
        std::string line = "v(N) :- N = " + std::string(function_text(agg.function)) + "{ " + text + " }" +
                           (b.text.empty() ? "" : "; " + b.text) + "; N " + relation_text(r) + " " +
                           std::to_string(k);
        out_->text += line + ".\n";
        for (int64_t value = 0; value <= 2; ++value) {
            if (!relation_holds(r, value, k)) continue;
            Formula a = agg;
            a.guards = {{Relation::equal, value}};
            uint32_t head = base_ + static_cast<uint32_t>(value);
            out_->rules.push_back(
                Formula::implication(Formula::conjunction({std::move(a), b.formula}), Formula::make_atom(head)));
        }
    }

    std::mt19937 rng_;
    RandomProgram* out_ = nullptr;
    uint32_t base_ = 0;
    bool assignments_ = false;
    bool variables_ = false;

    // The atom of predicate (0 p, 1 q) at X = x (1 or 2).
    static uint32_t family_atom(uint32_t predicate, int64_t x) { return 2 * predicate + static_cast<uint32_t>(x - 1); }
    static char const* family_name(uint32_t predicate) { return predicate == 0 ? "p" : "q"; }
    bool use_variables() { return variables_ && pick(0, 2) == 0; }

    // [not] t(X) : s(X) in a body: one implication per X.
    Piece family_conditional() {
        uint32_t s = pick(0, 1), t = pick(0, 1);
        bool negated = pick(0, 2) == 0;
        std::vector<Formula> parts;
        for (int64_t x = 1; x <= 2; ++x) {
            Formula h = Formula::make_atom(family_atom(t, x));
            if (negated) h = Formula::negation(std::move(h));
            parts.push_back(Formula::implication(Formula::make_atom(family_atom(s, x)), std::move(h)));
        }
        std::string text = std::string(negated ? "not " : "") + family_name(t) + "(X) : " + family_name(s) + "(X)";
        return {text, Formula::conjunction(std::move(parts))};
    }
};

} // namespace Gondra::Ground::Testing
