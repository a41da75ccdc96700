#pragma once
// Non-ground terms as the grounder sees them: constants, variables (numbered
// per statement), functions, arithmetic and intervals. Terms are evaluated
// against a binding; undefined operations (division by zero, overflow,
// arithmetic on non-numbers) yield no value.

#include "input/ast.hpp"
#include "symbols/symbol.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace Gondra::Ground {

using Symbols::Symbol;

enum class TermKind : uint8_t { constant, variable, function, unary, binary, interval };

// Chains such as X+1+...+1 nest as deep as they are long, so nothing here
// recurses on the depth of a term: copies, destruction and the walks below
// use explicit stacks.
struct Term {
    TermKind kind = TermKind::constant;
    int op = 0;              // Input::UnaryOperator / Input::BinaryOperator
    bool positive = true;    // functions: classical sign
    uint32_t var = 0;        // variables
    Symbol value;            // constants
    char const* name = "";   // functions (interned), "" for tuples; variable names
    std::vector<Term> args;  // functions, operations, intervals
    Input::Location location;

    Term() = default;
    Term(Term const& other);
    Term(Term&& other) noexcept = default;
    Term& operator=(Term const& other);
    Term& operator=(Term&& other) noexcept = default;
    ~Term();

    // True when matching can bind variables inside: no arithmetic or interval.
    bool is_plain() const;
    bool is_ground() const;
    void collect_variables(std::vector<uint32_t>& out) const;
    // Variables that occur below arithmetic (matching cannot bind them).
    void collect_arithmetic_variables(std::vector<uint32_t>& out, bool under_arithmetic = false) const;
    std::string to_string() const;
};

// Calls f(t) for the term and every subterm, parents first and children left
// to right; f returns whether to visit t's arguments.
template <class T, class F>
void visit_subterms(T& term, F&& f) {
    std::vector<T*> todo{&term};
    while (!todo.empty()) {
        T* t = todo.back();
        todo.pop_back();
        if (!f(*t)) continue;
        for (size_t i = t->args.size(); i-- > 0;) todo.push_back(&t->args[i]);
    }
}

// Values of the variables of one statement; bindings are undone through a trail.
class Binding {
public:
    void resize(size_t n) {
        values_.assign(n, Symbol{});
        bound_.assign(n, 0);
        trail_.clear();
    }
    size_t size() const noexcept { return values_.size(); }
    bool is_bound(uint32_t v) const noexcept { return bound_[v] != 0; }
    Symbol value(uint32_t v) const noexcept { return values_[v]; }
    void bind(uint32_t v, Symbol s) {
        values_[v] = s;
        bound_[v] = 1;
        trail_.push_back(v);
    }
    size_t mark() const noexcept { return trail_.size(); }
    void undo(size_t mark) {
        while (trail_.size() > mark) {
            bound_[trail_.back()] = 0;
            trail_.pop_back();
        }
    }

private:
    std::vector<Symbol> values_;
    std::vector<uint8_t> bound_;
    std::vector<uint32_t> trail_;
};

// Evaluates a term whose variables are bound. On an undefined operation returns
// false and points `failed` at the offending subterm.
bool evaluate(Term const& term, Binding const& binding, Symbol& out, Term const*& failed);

// Matches a term against a ground value, binding its free variables (the
// bindings stay on the trail, also on failure: the caller undoes them).
// Subterms with arithmetic must have their variables bound already.
bool match(Term const& term, Symbol value, Binding& binding);

// Integer arithmetic on 32-bit numbers; false when undefined.
bool apply_unary(int op, Symbol arg, Symbol& out);
bool apply_binary(int op, int32_t a, int32_t b, int32_t& out);

} // namespace Gondra::Ground
