// Feeds arbitrary text to the parser, then prints, re-parses and unpools what
// it accepted, and parses its theory atoms with the operator tables of their
// theory (the input's own definitions, else the grammar the theory library
// registers): none of this may crash, leak or hang.

#include "input/ast_printer.hpp"
#include "input/parser.hpp"
#include "input/theory_term_parser.hpp"
#include "input/unpool.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string_view>

using namespace Gondra::Input;

namespace {

char const* const cp_grammar = R"(#theory cp {
    var_term { };
    sum_term { - : 3, unary; ** : 2, binary, right; * : 1, binary, left; / : 1, binary, left;
               \ : 1, binary, left; + : 0, binary, left; - : 0, binary, left };
    dom_term { - : 4, unary; ** : 3, binary, right; * : 2, binary, left; / : 2, binary, left;
               \ : 2, binary, left; + : 1, binary, left; - : 1, binary, left; .. : 0, binary, left };
    disjoint_term { - : 4, unary; ** : 3, binary, right; * : 2, binary, left; / : 2, binary, left;
                    \ : 2, binary, left; + : 1, binary, left; - : 1, binary, left; @ : 0, binary, left };
    &__diff_h/0 : sum_term, {<=}, sum_term, any;
    &__sum_h/0 : sum_term, {<=,=,!=,<,>,>=}, sum_term, any;
    &minimize/0 : sum_term, directive;
    &distinct/0 : sum_term, head;
    &disjoint/0 : disjoint_term, head;
    &dom/0 : dom_term, {=}, var_term, head
}.)";

TheoryTable const& cp_table() {
    static TheoryTable const table = [] {
        TheoryTable t;
        Messages messages;
        t.add(*parse_statements(cp_grammar, messages).at(0));
        return t;
    }();
    return table;
}

void parse_theory_atom(TheoryTable const& own, NodePtr const& atom, TheoryAtomType position) {
    try {
        TheoryTable const& table = own.find(std::string{atom->node(Attribute::Term)->string(Attribute::Name)}, 0)
                                       ? own
                                       : cp_table();
        NodePtr parsed = table.parse_atom(atom, position);
        ast_to_string(*parsed);
    } catch (LocatedError const&) {
    } catch (std::runtime_error const&) { // a name that is no function ("unknown attribute")
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    std::string_view text{reinterpret_cast<char const*>(data), size};
    Messages messages;
    ParseOptions options;
    options.allow_includes = false;
    std::vector<NodePtr> statements;
    Parser parser{messages,
                  [&](NodePtr const& s) {
                      statements.push_back(s);
                      return true;
                  },
                  options};
    parser.parse_string(text, "<fuzz>");
    TheoryTable theories;
    for (auto const& s : statements) {
        std::string printed = ast_to_string(*s);
        Messages again;
        auto reparsed = parse_statements(printed, again);
        // Printing must produce text the parser accepts as the same statement.
        if (!again.empty() || reparsed.empty() || !ast_equal(*reparsed.front(), *s)) __builtin_trap();
        try {
            unpool(s, UnpoolAll, 4096);
        } catch (std::runtime_error const&) {
        }
        if (s->type() == AstType::TheoryDefinition) {
            try {
                theories.add(*s);
            } catch (LocatedError const&) {
            }
        }
        if (s->type() != AstType::Rule) continue;
        if (s->node(Attribute::Head)->type() == AstType::TheoryAtom)
            parse_theory_atom(theories, s->node(Attribute::Head), TheoryAtomType::Head);
        for (auto const& b : s->nodes(Attribute::Body)) {
            if (b->type() == AstType::Literal && b->node(Attribute::Atom)->type() == AstType::TheoryAtom)
                parse_theory_atom(theories, b->node(Attribute::Atom), TheoryAtomType::Body);
        }
    }
    return 0;
}
