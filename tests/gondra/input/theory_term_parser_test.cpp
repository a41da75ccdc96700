#include "input/ast_printer.hpp"
#include "input/parser.hpp"
#include "input/theory_term_parser.hpp"

#include <gtest/gtest.h>

using namespace Gondra::Input;

namespace {

char const* const theory = "#theory t { g { - : 4, unary; ** : 3, binary, right; * : 2, binary, left; "
                           "+ : 1, binary, left; - : 1, binary, left; ~ : 0, unary }; v { }; "
                           "&a/0 : g, {<=, =}, v, any; &h/0 : g, head; &d/0 : g, directive }.";

struct Fixture {
    TheoryTable table;
    std::vector<NodePtr> statements;
    explicit Fixture(std::string const& program) {
        Messages messages;
        statements = parse_statements(std::string{theory} + program, messages);
        EXPECT_TRUE(messages.empty()) << messages.text();
        table.add(*statements.at(0));
    }
    NodePtr atom(size_t i = 1) const {
        NodePtr const& s = statements.at(i);
        NodePtr head = s->node(Attribute::Head);
        if (head->type() == AstType::TheoryAtom) return head;
        return s->nodes(Attribute::Body).at(0)->node(Attribute::Atom);
    }
};

std::string parsed(std::string const& element) {
    Fixture f{"&a { " + element + " }."};
    NodePtr atom = f.table.parse_atom(f.atom(), TheoryAtomType::Head);
    return ast_to_string(*atom->nodes(Attribute::Elements)[0]->nodes(Attribute::Terms)[0]);
}

} // namespace

TEST(TheoryTerms, PriorityAndAssociativity) {
    EXPECT_EQ(parsed("1 + 2 * x"), "(1 + (2 * x))");
    EXPECT_EQ(parsed("1 - 2 - 3"), "((1 - 2) - 3)");
    EXPECT_EQ(parsed("2 ** 3 ** 4"), "(2 ** (3 ** 4))");
    EXPECT_EQ(parsed("- x ** 2"), "(- x ** 2)");
    // A unary operator of low priority takes in everything that binds tighter.
    EXPECT_EQ(parsed("~ x + y"), "~ (x + y)");
    EXPECT_EQ(parsed("(1 + 2) * f(x - 1, [y], {z}, (u,))"), "((1 + 2) * f((x - 1),[y],{z},(u,)))");
    EXPECT_EQ(parsed("X"), "X");
}

TEST(TheoryTerms, OperatorsOutsideTheTableAreLocatedErrors) {
    try {
        parsed("x / y");
        FAIL() << "expected an error";
    } catch (LocatedError const& e) {
        EXPECT_EQ(e.text(), "binary operator '/' undefined");
        EXPECT_EQ(e.location().begin_line, 1u);
    }
    EXPECT_THROW(parsed("* x"), LocatedError);
}

TEST(TheoryTerms, AtomDeclarationsAreEnforced) {
    Fixture ok{"&a { x } = y. &h { x }. &d { x }. :- &a { x }."};
    EXPECT_NO_THROW(ok.table.parse_atom(ok.atom(1), TheoryAtomType::Head));
    // The guard is optional even when relations are declared.
    EXPECT_NO_THROW(ok.table.parse_atom(ok.atom(4), TheoryAtomType::Body));
    EXPECT_THROW(ok.table.parse_atom(ok.atom(2), TheoryAtomType::Body), LocatedError);
    EXPECT_THROW(ok.table.parse_atom(ok.atom(3), TheoryAtomType::Head), LocatedError);

    Fixture bad{"&a { x } < y. &h { x } = 1. &nope { x }."};
    EXPECT_THROW(bad.table.parse_atom(bad.atom(1), TheoryAtomType::Head), LocatedError);
    EXPECT_THROW(bad.table.parse_atom(bad.atom(2), TheoryAtomType::Head), LocatedError);
    EXPECT_THROW(bad.table.parse_atom(bad.atom(3), TheoryAtomType::Head), LocatedError);

    // The guard term uses the guard's group: v has no operators.
    Fixture guard{"&a { x } = y + 1."};
    EXPECT_THROW(guard.table.parse_atom(guard.atom(), TheoryAtomType::Head), LocatedError);
    EXPECT_THROW(guard.table.add(*guard.statements[0]), LocatedError);
}
