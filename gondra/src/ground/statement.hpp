#pragma once
// The grounder's own form of a non-ground statement: terms with numbered
// variables, intervals turned into range literals, constants substituted,
// theory atoms checked against their declarations and their terms parsed.

#include "ground/term.hpp"
#include "input/ast.hpp"
#include "symbols/signature.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace Gondra::Ground {

enum class LiteralKind : uint8_t { predicate, comparison, boolean, range, aggregate, conditional, theory };
enum class AggregateKind : uint8_t { count, sum, sum_plus, min, max };

// A relation between the aggregate (or term) and a bound: agg rel term.
struct Guard {
    bool present = false;
    int relation = 0; // Input::ComparisonOperator, oriented as "aggregate rel term"
    Term term;
};

struct BodyLiteral;

// How a join step finds its instances; fixed by the plan, since the plan
// determines which variables are bound when the step runs.
enum class StepMode : uint8_t {
    other,        // booleans, ranges, assigning aggregates
    scan,         // positive predicate without bound arguments: every domain atom
    index,        // positive predicate with some bound arguments: one index bucket
    lookup,       // predicate with all variables bound: one atom
    test,         // comparison with both sides bound
    assign_left,  // comparison binding the variables of its left side
    assign_right, // comparison binding the variables of its right side
};

struct PlanStep {
    uint32_t literal = 0;
    StepMode mode = StepMode::other;
    uint32_t index = UINT32_MAX; // index of the literal's domain (mode index)
};

// An element of an aggregate, choice, disjunction, conditional literal or
// theory atom: a tuple (or head literal) under a condition.
struct Element {
    std::vector<Term> tuple;
    std::vector<BodyLiteral> head; // zero or one literal
    std::vector<BodyLiteral> condition;
    std::vector<Input::NodePtr> theory_terms; // theory elements
    std::vector<PlanStep> plan;               // order of the condition
};

struct TheoryAtomInfo {
    Input::NodePtr atom; // parsed: elements and guard terms are trees
    Term name;
    bool directive = false;
    bool has_guard = false;
    char const* relation = "";
    Input::NodePtr guard;
};

struct BodyLiteral {
    LiteralKind kind = LiteralKind::boolean;
    int sign = 0; // Input::Sign
    Input::Location location;
    // predicate: the atom and its domain
    Term atom;
    uint32_t domain = 0;
    // comparison: left relation right; range: var in left..right
    int relation = 0;
    Term left, right;
    uint32_t var = 0;
    bool value = true; // boolean
    // aggregates, conditional literals, theory atoms
    AggregateKind function = AggregateKind::count;
    Guard lower, upper;
    std::vector<Element> elements;
    TheoryAtomInfo theory;
    bool assignment = false; // aggregate that binds the variables of its guard
    bool recursive = false;  // refers to a predicate of its own component

    bool is_deferred() const {
        return kind == LiteralKind::conditional || kind == LiteralKind::theory ||
               (kind == LiteralKind::aggregate && !assignment);
    }
    void collect_variables(std::vector<uint32_t>& out) const;
};

enum class HeadKind : uint8_t { constraint, atom, disjunction, choice, theory, show_term, minimize, external, trivial };

struct Head {
    HeadKind kind = HeadKind::constraint;
    Term atom; // atom, external; the term of a show term
    uint32_t domain = 0;
    std::vector<Element> elements; // disjunction, choice
    Guard lower, upper;            // choice bounds
    Term weight, priority;         // minimize
    std::vector<Term> terms;       // minimize tuple
    TheoryAtomInfo theory;
};

struct Statement {
    Input::Location location;
    Head head;
    std::vector<BodyLiteral> body;
    uint32_t num_vars = 0;
    std::vector<char const*> var_names;
    std::vector<Input::Location> var_locations; // first occurrence
    std::vector<std::pair<std::string, uint32_t>> theory_vars; // named variables of theory terms

    // Filled by the analysis.
    uint32_t component = 0;
    std::vector<PlanStep> body_plan;                 // all join literals in order
    std::vector<std::vector<PlanStep>> delta_plans;  // semi-naive: one per recursive literal
    std::vector<uint32_t> recursive_literals;        // indices of positive literals of the component
    bool defer = false;                              // deferred literals refer to the component
    // Different instances with all their predicate literals kept are
    // different rules, unequal to those of any other statement: they skip
    // the duplicate check.
    bool distinct_instances = false;
    uint32_t num_predicates = 0; // predicate literals of the body

    uint32_t theory_var(std::string const& name) const {
        for (auto const& [n, v] : theory_vars)
            if (n == name) return v;
        return UINT32_MAX;
    }
};

} // namespace Gondra::Ground
