#include "ground/theory_printer.hpp"

#include <cctype>

namespace Gondra::Ground {

namespace {

// Operators are names made of symbol characters (no letter, digit or quote).
bool is_operator(char const* name) {
    if (*name == '\0') return false;
    for (char const* c = name; *c; ++c) {
        unsigned char ch = static_cast<unsigned char>(*c);
        if (std::isalnum(ch) || ch == '_' || ch == '"' || ch == '\'') return false;
    }
    return true;
}

bool is_operator_application(TheoryData const& data, uint32_t term) {
    TheoryTerm const& t = data.terms[term];
    auto args = data.arguments(t);
    return t.type == TheoryTermType::function && is_operator(t.name) && (args.size() == 1 || args.size() == 2);
}

void print_argument(std::string& out, TheoryData const& data, uint32_t term) {
    if (is_operator_application(data, term)) {
        out += '(';
        print_theory_term(out, data, term);
        out += ')';
    } else {
        print_theory_term(out, data, term);
    }
}

void print_list(std::string& out, TheoryData const& data, std::span<uint32_t const> ids) {
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i > 0) out += ',';
        print_theory_term(out, data, ids[i]);
    }
}

} // namespace

void print_theory_term(std::string& out, TheoryData const& data, uint32_t term) {
    TheoryTerm const& t = data.terms[term];
    auto args = data.arguments(t);
    switch (t.type) {
    case TheoryTermType::number: out += std::to_string(t.number); return;
    case TheoryTermType::symbol: out += t.name; return;
    case TheoryTermType::tuple:
        out += '(';
        print_list(out, data, args);
        if (args.size() == 1) out += ',';
        out += ')';
        return;
    case TheoryTermType::list:
        out += '[';
        print_list(out, data, args);
        out += ']';
        return;
    case TheoryTermType::set:
        out += '{';
        print_list(out, data, args);
        out += '}';
        return;
    case TheoryTermType::function:
        if (is_operator(t.name) && args.size() == 1) {
            out += t.name;
            print_argument(out, data, args[0]);
            return;
        }
        if (is_operator(t.name) && args.size() == 2) {
            print_argument(out, data, args[0]);
            out += t.name;
            print_argument(out, data, args[1]);
            return;
        }
        out += t.name;
        out += '(';
        print_list(out, data, args);
        out += ')';
        return;
    }
}

void print_theory_element(std::string& out, TheoryData const& data, uint32_t element, LiteralNamer const& namer) {
    TheoryElement const& e = data.elements[element];
    print_list(out, data, data.tuple(e));
    auto cond = data.condition(e);
    if (cond.empty()) return;
    out += ": ";
    for (size_t i = 0; i < cond.size(); ++i) {
        if (i > 0) out += ',';
        out += namer ? namer(cond[i]) : std::to_string(cond[i]);
    }
}

void print_theory_atom(std::string& out, TheoryData const& data, uint32_t atom, LiteralNamer const& namer) {
    TheoryAtom const& a = data.atoms[atom];
    out += '&';
    print_theory_term(out, data, a.term);
    out += '{';
    auto elements = data.elements_of(a);
    for (size_t i = 0; i < elements.size(); ++i) {
        if (i > 0) out += "; ";
        print_theory_element(out, data, elements[i], namer);
    }
    out += '}';
    if (a.has_guard) {
        out += ' ';
        out += a.guard_connective;
        out += ' ';
        print_theory_term(out, data, a.guard_term);
    }
}

} // namespace Gondra::Ground
