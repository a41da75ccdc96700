#include "ground/term.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>

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

bool Term::is_plain() const {
    switch (kind) {
    case TermKind::constant:
    case TermKind::variable: return true;
    case TermKind::function:
        return std::all_of(args.begin(), args.end(), [](Term const& t) { return t.is_plain(); });
    default: return false;
    }
}

bool Term::is_ground() const {
    if (kind == TermKind::variable) return false;
    return std::all_of(args.begin(), args.end(), [](Term const& t) { return t.is_ground(); });
}

void Term::collect_variables(std::vector<uint32_t>& out) const {
    if (kind == TermKind::variable) out.push_back(var);
    for (auto const& a : args) a.collect_variables(out);
}

void Term::collect_arithmetic_variables(std::vector<uint32_t>& out, bool under) const {
    if (kind == TermKind::variable) {
        if (under) out.push_back(var);
        return;
    }
    bool arithmetic = under || kind == TermKind::unary || kind == TermKind::binary || kind == TermKind::interval;
    for (auto const& a : args) a.collect_arithmetic_variables(out, arithmetic);
}

std::string Term::to_string() const {
    std::string out;
    switch (kind) {
    case TermKind::constant: value.print(out); break;
    case TermKind::variable: out = name; break;
    case TermKind::function: {
        if (!positive) out += '-';
        out += name;
        bool parens = !args.empty() || *name == '\0';
        if (parens) out += '(';
        for (size_t i = 0; i < args.size(); ++i) {
            if (i > 0) out += ',';
            out += args[i].to_string();
        }
        if (*name == '\0' && args.size() == 1) out += ',';
        if (parens) out += ')';
        break;
    }
    case TermKind::unary:
        switch (static_cast<UnaryOperator>(op)) {
        case UnaryOperator::Minus: out = "-" + args[0].to_string(); break;
        case UnaryOperator::Negation: out = "~" + args[0].to_string(); break;
        case UnaryOperator::Absolute: out = "|" + args[0].to_string() + "|"; break;
        }
        break;
    case TermKind::binary:
        out = "(" + args[0].to_string() + binary_text(op) + args[1].to_string() + ")";
        break;
    case TermKind::interval: out = "(" + args[0].to_string() + ".." + args[1].to_string() + ")"; break;
    }
    return out;
}

bool evaluate(Term const& term, Binding const& binding, Symbol& out, Term const*& failed) {
    switch (term.kind) {
    case TermKind::constant: out = term.value; return true;
    case TermKind::variable: out = binding.value(term.var); return true;
    case TermKind::function: {
        Symbol small[8];
        std::vector<Symbol> large;
        Symbol* args = small;
        if (term.args.size() > 8) {
            large.resize(term.args.size());
            args = large.data();
        }
        for (size_t i = 0; i < term.args.size(); ++i)
            if (!evaluate(term.args[i], binding, args[i], failed)) return false;
        std::span<Symbol const> span{args, term.args.size()};
        out = *term.name == '\0' ? Symbol::create_tuple(span) : Symbol::create_function(term.name, span, term.positive);
        return true;
    }
    case TermKind::unary: {
        Symbol arg;
        if (!evaluate(term.args[0], binding, arg, failed)) return false;
        if (!apply_unary(term.op, arg, out)) {
            failed = &term;
            return false;
        }
        return true;
    }
    case TermKind::binary: {
        Symbol a, b;
        if (!evaluate(term.args[0], binding, a, failed) || !evaluate(term.args[1], binding, b, failed)) return false;
        int32_t r;
        if (a.type() != SymbolType::Number || b.type() != SymbolType::Number ||
            !apply_binary(term.op, a.number(), b.number(), r)) {
            failed = &term;
            return false;
        }
        out = Symbol::create_number(r);
        return true;
    }
    case TermKind::interval:
        // Intervals are rewritten into range literals before grounding.
        failed = &term;
        return false;
    }
    return false;
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
