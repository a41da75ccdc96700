#pragma once
// The ground program: what the grounder produces and the solver consumes.
// Atoms are numbered from 1; a program literal is an atom or its negation.
// Storage is flat (one pool per kind of list) because large programs have
// millions of rules.

#include "symbols/symbol.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace Gondra::Ground {

using Atom = uint32_t;
using Literal = int32_t;

struct WeightLiteral {
    Literal literal;
    int32_t weight;
};

// A disjunctive head needs one of its atoms when the body holds (the empty
// head makes an integrity constraint); a choice head may take any subset.
enum class HeadType : uint8_t { disjunctive, choice };
// A normal body is a conjunction; a weight body holds when the weights of its
// true literals sum to at least the bound, an unequal body when they sum to
// anything but the bound. Weights may be negative: an atom with a negative
// weight, or any atom of an unequal body, is read non-monotonically (as the
// aggregate it comes from, under the usual formula reading of aggregates).
enum class BodyType : uint8_t { normal, weight, unequal };

struct Rule {
    HeadType head_type;
    BodyType body_type;
    int64_t bound; // weight and unequal bodies only
    uint32_t head_begin, head_end; // into head_atoms
    uint32_t body_begin, body_end; // into body_literals
};

enum class ExternalValue : uint8_t { free, truth, falsity, release };

struct External {
    Atom atom;
    ExternalValue value;
};

struct MinimizeLiteral {
    Literal literal;
    int32_t weight;
    int32_t priority;
};

// A shown term: shown when its condition (program literals) holds.
struct ShowTerm {
    Symbols::Symbol term;
    uint32_t condition_begin, condition_end; // into show_conditions
};

// Ground theory terms, elements and atoms, hash-consed by the grounder so that
// equal terms share one id. Ids index the tables below.
enum class TheoryTermType : uint8_t { tuple = 0, list = 1, set = 2, function = 3, number = 4, symbol = 5 };

struct TheoryTerm {
    TheoryTermType type;
    int32_t number;               // number terms
    char const* name;             // function and symbol terms (interned)
    uint32_t args_begin, args_end; // into theory_ids: function arguments or sequence members
};

struct TheoryElement {
    uint32_t tuple_begin, tuple_end;         // term ids, into theory_ids
    uint32_t condition_begin, condition_end; // program literals, into theory_literals
    Literal condition_literal;               // one literal for the whole condition (0 when unset)
};

struct TheoryAtom {
    uint32_t term;                            // the name term
    uint32_t elements_begin, elements_end;    // element ids, into theory_ids
    bool has_guard;
    char const* guard_connective;             // interned
    uint32_t guard_term;
    Literal literal;                          // program literal of the atom (an atom; facts for directives)
};

struct TheoryData {
    std::vector<TheoryTerm> terms;
    std::vector<TheoryElement> elements;
    std::vector<TheoryAtom> atoms;
    std::vector<uint32_t> theory_ids;
    std::vector<Literal> theory_literals;

    std::span<uint32_t const> arguments(TheoryTerm const& t) const {
        return {theory_ids.data() + t.args_begin, t.args_end - t.args_begin};
    }
    std::span<uint32_t const> tuple(TheoryElement const& e) const {
        return {theory_ids.data() + e.tuple_begin, e.tuple_end - e.tuple_begin};
    }
    std::span<Literal const> condition(TheoryElement const& e) const {
        return {theory_literals.data() + e.condition_begin, e.condition_end - e.condition_begin};
    }
    std::span<uint32_t const> elements_of(TheoryAtom const& a) const {
        return {theory_ids.data() + a.elements_begin, a.elements_end - a.elements_begin};
    }
};

class GroundProgram {
public:
    // A fresh atom without a name.
    Atom new_atom() { return ++num_atoms_; }
    uint32_t num_atoms() const { return num_atoms_; }

    // Adds a rule; for a normal body the weights are ignored.
    void add_rule(HeadType head_type, std::span<Atom const> head, std::span<Literal const> body) {
        Rule r{head_type, BodyType::normal, 0, size32(head_atoms), 0, size32(body_literals), 0};
        head_atoms.insert(head_atoms.end(), head.begin(), head.end());
        for (Literal lit : body) body_literals.push_back({lit, 1});
        r.head_end = size32(head_atoms);
        r.body_end = size32(body_literals);
        rules.push_back(r);
    }
    void add_weight_rule(HeadType head_type, std::span<Atom const> head, int64_t bound,
                         std::span<WeightLiteral const> body) {
        Rule r{head_type, BodyType::weight, bound, size32(head_atoms), 0, size32(body_literals), 0};
        head_atoms.insert(head_atoms.end(), head.begin(), head.end());
        body_literals.insert(body_literals.end(), body.begin(), body.end());
        r.head_end = size32(head_atoms);
        r.body_end = size32(body_literals);
        rules.push_back(r);
    }
    void add_unequal_rule(HeadType head_type, std::span<Atom const> head, int64_t bound,
                          std::span<WeightLiteral const> body) {
        add_weight_rule(head_type, head, bound, body);
        rules.back().body_type = BodyType::unequal;
    }
    void add_minimize(Literal literal, int32_t weight, int32_t priority) {
        minimize.push_back({literal, weight, priority});
    }
    void add_external(Atom atom, ExternalValue value) { externals.push_back({atom, value}); }
    // Names an atom; the atom is shown when its signature is shown.
    void add_atom_name(Atom atom, Symbols::Symbol symbol, bool shown) {
        atom_names.push_back({atom, symbol, shown});
    }
    void add_show_term(Symbols::Symbol term, std::span<Literal const> condition) {
        ShowTerm s{term, size32(show_conditions), 0};
        show_conditions.insert(show_conditions.end(), condition.begin(), condition.end());
        s.condition_end = size32(show_conditions);
        show_terms.push_back(s);
    }

    std::span<Atom const> head(Rule const& r) const {
        return {head_atoms.data() + r.head_begin, r.head_end - r.head_begin};
    }
    std::span<WeightLiteral const> body(Rule const& r) const {
        return {body_literals.data() + r.body_begin, r.body_end - r.body_begin};
    }
    std::span<Literal const> condition(ShowTerm const& s) const {
        return {show_conditions.data() + s.condition_begin, s.condition_end - s.condition_begin};
    }

    struct AtomName {
        Atom atom;
        Symbols::Symbol symbol;
        bool shown;
    };

    std::vector<Rule> rules;
    std::vector<Atom> head_atoms;
    std::vector<WeightLiteral> body_literals;
    std::vector<MinimizeLiteral> minimize;
    std::vector<External> externals;
    std::vector<AtomName> atom_names;
    std::vector<ShowTerm> show_terms;
    std::vector<Literal> show_conditions;
    TheoryData theory;

private:
    template <class V> static uint32_t size32(V const& v) { return static_cast<uint32_t>(v.size()); }
    uint32_t num_atoms_ = 0;
};

} // namespace Gondra::Ground
