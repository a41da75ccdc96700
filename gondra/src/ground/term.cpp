#include "ground/term.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <span>
#include <utility>

namespace Gondra::Ground {

using Input::BinaryOperator;
using Input::UnaryOperator;
using Symbols::SymbolType;

namespace {

bool fits(int64_t v) {
    return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

bool power(int64_t base, int64_t exponent, int32_t& out) {
    if (exponent < 0) {
        if (base == 0) return false;
        if (base == 1) out = 1;
        else if (base == -1) out = (exponent % 2 == 0) ? 1 : -1;
        else out = 0;
        return true;
    }
    if (base == 0 || base == 1) {
        out = exponent == 0 ? 1 : static_cast<int32_t>(base);
        return true;
    }
    if (base == -1) {
        out = exponent % 2 == 0 ? 1 : -1;
        return true;
    }
    // |base| >= 2 overflows within 32 steps.
    int64_t result = 1;
    for (int64_t i = 0; i < exponent; ++i) {
        result *= base;
        if (!fits(result)) return false;
    }
    out = static_cast<int32_t>(result);
    return true;
}

char const* binary_text(int op) {
    static char const* const names[] = {"^", "?", "&", "+", "-", "*", "/", "\\", "**"};
    return names[op];
}

} // namespace

bool apply_binary(int op, int32_t a, int32_t b, int32_t& out) {
    int64_t x = a, y = b, r = 0;
    switch (static_cast<BinaryOperator>(op)) {
    case BinaryOperator::Xor: r = x ^ y; break;
    case BinaryOperator::Or: r = x | y; break;
    case BinaryOperator::And: r = x & y; break;
    case BinaryOperator::Plus: r = x + y; break;
    case BinaryOperator::Minus: r = x - y; break;
    case BinaryOperator::Multiplication: r = x * y; break;
    case BinaryOperator::Division:
        if (y == 0) return false;
        r = x / y;
        break;
    case BinaryOperator::Modulo:
        if (y == 0) return false;
        r = x % y;
        break;
    case BinaryOperator::Power: return power(x, y, out);
    }
    if (!fits(r)) return false;
    out = static_cast<int32_t>(r);
    return true;
}

bool apply_unary(int op, Symbol arg, Symbol& out) {
    switch (static_cast<UnaryOperator>(op)) {
    case UnaryOperator::Minus:
        if (arg.type() == SymbolType::Number) {
            int64_t v = -int64_t{arg.number()};
            if (!fits(v)) return false;
            out = Symbol::create_number(static_cast<int32_t>(v));
            return true;
        }
        // Classical negation of a function symbol.
        if (arg.type() == SymbolType::Function && *arg.name() != '\0') {
            out = arg.flip_sign();
            return true;
        }
        return false;
    case UnaryOperator::Negation:
        if (arg.type() != SymbolType::Number) return false;
        out = Symbol::create_number(~arg.number());
        return true;
    case UnaryOperator::Absolute: {
        if (arg.type() != SymbolType::Number) return false;
        int64_t v = std::llabs(int64_t{arg.number()});
        if (!fits(v)) return false;
        out = Symbol::create_number(static_cast<int32_t>(v));
        return true;
    }
    }
    return false;
}

namespace {

// All members but the arguments.
void copy_node(Term& to, Term const& from) {
    to.kind = from.kind;
    to.op = from.op;
    to.positive = from.positive;
    to.var = from.var;
    to.value = from.value;
    to.name = from.name;
    to.location = from.location;
}

} // namespace

Term::Term(Term const& other) {
    copy_node(*this, other);
    std::vector<std::pair<Term*, Term const*>> todo{{this, &other}};
    while (!todo.empty()) {
        auto [to, from] = todo.back();
        todo.pop_back();
        // Sized once, so the pointers pushed below stay valid.
        to->args.resize(from->args.size());
        for (size_t i = 0; i < from->args.size(); ++i) {
            copy_node(to->args[i], from->args[i]);
            if (!from->args[i].args.empty()) todo.emplace_back(&to->args[i], &from->args[i]);
        }
    }
}

Term& Term::operator=(Term const& other) {
    if (this != &other) *this = Term{other};
    return *this;
}

Term::~Term() {
    if (args.empty()) return;
    // Subterms are taken apart one by one; each is destroyed with no arguments left.
    std::vector<Term> pending = std::move(args);
    while (!pending.empty()) {
        Term t = std::move(pending.back());
        pending.pop_back();
        for (auto& a : t.args) pending.push_back(std::move(a));
        t.args.clear();
    }
}

bool Term::is_plain() const {
    bool plain = true;
    visit_subterms(*this, [&](Term const& t) {
        if (t.kind != TermKind::constant && t.kind != TermKind::variable && t.kind != TermKind::function) plain = false;
        return plain;
    });
    return plain;
}

bool Term::is_ground() const {
    bool ground = true;
    visit_subterms(*this, [&](Term const& t) {
        if (t.kind == TermKind::variable) ground = false;
        return ground;
    });
    return ground;
}

void Term::collect_variables(std::vector<uint32_t>& out) const {
    visit_subterms(*this, [&](Term const& t) {
        if (t.kind == TermKind::variable) out.push_back(t.var);
        return true;
    });
}

void Term::collect_arithmetic_variables(std::vector<uint32_t>& out, bool under) const {
    std::vector<std::pair<Term const*, bool>> todo{{this, under}};
    while (!todo.empty()) {
        auto [t, below] = todo.back();
        todo.pop_back();
        if (t->kind == TermKind::variable) {
            if (below) out.push_back(t->var);
            continue;
        }
        bool arithmetic =
            below || t->kind == TermKind::unary || t->kind == TermKind::binary || t->kind == TermKind::interval;
        for (size_t i = t->args.size(); i-- > 0;) todo.emplace_back(&t->args[i], arithmetic);
    }
}

std::string Term::to_string() const {
    // Pieces still to print, last first: a subterm or a fixed text.
    struct Piece {
        Term const* term;
        char const* text;
    };
    std::string out;
    std::vector<Piece> todo{{this, nullptr}};
    auto text = [&](char const* s) { todo.push_back({nullptr, s}); };
    auto sub = [&](Term const& t) { todo.push_back({&t, nullptr}); };
    while (!todo.empty()) {
        Piece p = todo.back();
        todo.pop_back();
        if (!p.term) {
            out += p.text;
            continue;
        }
        Term const& t = *p.term;
        switch (t.kind) {
        case TermKind::constant: t.value.print(out); break;
        case TermKind::variable: out += t.name; break;
        case TermKind::function: {
            if (!t.positive) out += '-';
            out += t.name;
            bool parens = !t.args.empty() || *t.name == '\0';
            if (parens) text(")");
            if (*t.name == '\0' && t.args.size() == 1) text(",");
            for (size_t i = t.args.size(); i-- > 0;) {
                sub(t.args[i]);
                if (i > 0) text(",");
            }
            if (parens) out += '(';
            break;
        }
        case TermKind::unary:
            switch (static_cast<UnaryOperator>(t.op)) {
            case UnaryOperator::Minus: out += '-'; break;
            case UnaryOperator::Negation: out += '~'; break;
            case UnaryOperator::Absolute:
                out += '|';
                text("|");
                break;
            }
            sub(t.args[0]);
            break;
        case TermKind::binary:
        case TermKind::interval:
            out += '(';
            text(")");
            sub(t.args[1]);
            text(t.kind == TermKind::binary ? binary_text(t.op) : "..");
            sub(t.args[0]);
            break;
        }
    }
    return out;
}

namespace {

bool evaluate_deep(Term const& term, Binding const& binding, Symbol& out, Term const*& failed);

// Beyond this depth evaluation continues with an explicit stack.
constexpr int recursion_limit = 64;

bool evaluate_at(Term const& term, Binding const& binding, Symbol& out, Term const*& failed, int depth);

// The value of an operation or function whose arguments have their values.
bool combine(Term const& term, std::span<Symbol const> args, Symbol& out, Term const*& failed) {
    switch (term.kind) {
    case TermKind::function:
        out = *term.name == '\0' ? Symbol::create_tuple(args) : Symbol::create_function(term.name, args, term.positive);
        return true;
    case TermKind::unary:
        if (!apply_unary(term.op, args[0], out)) {
            failed = &term;
            return false;
        }
        return true;
    case TermKind::binary: {
        int32_t r;
        if (args[0].type() != SymbolType::Number || args[1].type() != SymbolType::Number ||
            !apply_binary(term.op, args[0].number(), args[1].number(), r)) {
            failed = &term;
            return false;
        }
        out = Symbol::create_number(r);
        return true;
    }
    default:
        failed = &term;
        return false;
    }
}

bool evaluate_at(Term const& term, Binding const& binding, Symbol& out, Term const*& failed, int depth) {
    switch (term.kind) {
    case TermKind::constant: out = term.value; return true;
    case TermKind::variable: out = binding.value(term.var); return true;
    case TermKind::interval:
        // Intervals are rewritten into range literals before grounding.
        failed = &term;
        return false;
    default: break;
    }
    if (depth >= recursion_limit) return evaluate_deep(term, binding, out, failed);
    Symbol small[8];
    std::vector<Symbol> large;
    Symbol* args = small;
    if (term.args.size() > 8) {
        large.resize(term.args.size());
        args = large.data();
    }
    for (size_t i = 0; i < term.args.size(); ++i)
        if (!evaluate_at(term.args[i], binding, args[i], failed, depth + 1)) return false;
    return combine(term, {args, term.args.size()}, out, failed);
}

// Post-order over the term with explicit stacks of pending operations and
// of the values computed so far.
bool evaluate_deep(Term const& term, Binding const& binding, Symbol& out, Term const*& failed) {
    struct Frame {
        Term const* term;
        size_t next = 0; // next argument to evaluate
    };
    std::vector<Frame> stack{{&term}};
    std::vector<Symbol> values;
    while (!stack.empty()) {
        Frame& f = stack.back();
        Term const& t = *f.term;
        if (t.kind == TermKind::constant || t.kind == TermKind::variable || t.kind == TermKind::interval) {
            Symbol v;
            if (!evaluate_at(t, binding, v, failed, 0)) return false;
            values.push_back(v);
            stack.pop_back();
            continue;
        }
        if (f.next < t.args.size()) {
            Term const* arg = &t.args[f.next++];
            stack.push_back({arg}); // f dangles from here
            continue;
        }
        size_t first = values.size() - t.args.size();
        Symbol v;
        if (!combine(t, {values.data() + first, t.args.size()}, v, failed)) return false;
        values.resize(first);
        values.push_back(v);
        stack.pop_back();
    }
    out = values.back();
    return true;
}

} // namespace

bool evaluate(Term const& term, Binding const& binding, Symbol& out, Term const*& failed) {
    return evaluate_at(term, binding, out, failed, 0);
}

bool match(Term const& term, Symbol value, Binding& binding) {
    switch (term.kind) {
    case TermKind::constant: return term.value == value;
    case TermKind::variable:
        if (binding.is_bound(term.var)) return binding.value(term.var) == value;
        binding.bind(term.var, value);
        return true;
    case TermKind::function: {
        if (value.type() != SymbolType::Function) return false;
        auto args = value.arguments();
        if (args.size() != term.args.size()) return false;
        if (*term.name == '\0') {
            if (!value.is_tuple()) return false;
        } else {
            if (value.is_tuple() || value.is_positive() != term.positive) return false;
            if (term.name != value.name() && std::string_view{term.name} != value.name()) return false;
        }
        for (size_t i = 0; i < args.size(); ++i)
            if (!match(term.args[i], args[i], binding)) return false;
        return true;
    }
    default: {
        Symbol v;
        Term const* failed = nullptr;
        return evaluate(term, binding, v, failed) && v == value;
    }
    }
}

} // namespace Gondra::Ground
