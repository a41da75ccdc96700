#include "ground/theory_printer.hpp"

#include <cctype>
#include <vector>

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

void print_list(std::string& out, TheoryData const& data, std::span<uint32_t const> ids) {
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i > 0) out += ',';
        print_theory_term(out, data, ids[i]);
    }
}

} // namespace

void print_theory_term(std::string& out, TheoryData const& data, uint32_t root) {
    // Pieces still to print, last first: a term or a fixed text. An explicit
    // stack, since theory terms can be long chains.
    struct Piece {
        uint32_t term;
        char const* text; // null for a term
    };
    std::vector<Piece> todo{{root, nullptr}};
    auto text = [&](char const* s) { todo.push_back({0, s}); };
    auto argument = [&](uint32_t term) {
        bool parens = is_operator_application(data, term);
        if (parens) text(")");
        todo.push_back({term, nullptr});
        if (parens) text("(");
    };
    // Pushes the elements of a list separated by commas, last first.
    auto list = [&](std::span<uint32_t const> ids) {
        for (size_t i = ids.size(); i-- > 0;) {
            todo.push_back({ids[i], nullptr});
            if (i > 0) text(",");
        }
    };
    while (!todo.empty()) {
        Piece p = todo.back();
        todo.pop_back();
        if (p.text) {
            out += p.text;
            continue;
        }
        TheoryTerm const& t = data.terms[p.term];
        auto args = data.arguments(t);
        switch (t.type) {
        case TheoryTermType::number: out += std::to_string(t.number); break;
        case TheoryTermType::symbol: out += t.name; break;
        case TheoryTermType::tuple:
            out += '(';
            text(args.size() == 1 ? ",)" : ")");
            list(args);
            break;
        case TheoryTermType::list:
            out += '[';
            text("]");
            list(args);
            break;
        case TheoryTermType::set:
            out += '{';
            text("}");
            list(args);
            break;
        case TheoryTermType::function:
            if (is_operator(t.name) && args.size() == 1) {
                out += t.name;
                argument(args[0]);
            } else if (is_operator(t.name) && args.size() == 2) {
                argument(args[1]);
                text(t.name);
                argument(args[0]);
            } else {
                out += t.name;
                out += '(';
                text(")");
                list(args);
            }
            break;
        }
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
