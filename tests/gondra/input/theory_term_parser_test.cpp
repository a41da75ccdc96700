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

namespace {

// The grammar the theory library registers.
char const* const cp_grammar = R"(
#theory cp {
    var_term  { };
    sum_term {
    -  : 3, unary;
    ** : 2, binary, right;
    *  : 1, binary, left;
    /  : 1, binary, left;
    \  : 1, binary, left;
    +  : 0, binary, left;
    -  : 0, binary, left
    };
    dom_term {
    -  : 4, unary;
    ** : 3, binary, right;
    *  : 2, binary, left;
    /  : 2, binary, left;
    \  : 2, binary, left;
    +  : 1, binary, left;
    -  : 1, binary, left;
    .. : 0, binary, left
    };
    &__sum_h/0 : sum_term, {<=,=,!=,<,>,>=}, sum_term, any;
    &dom/0 : dom_term, {=}, var_term, head
}.
)";

struct CpAtom {
    NodePtr atom;
    std::string element(size_t i = 0) const {
        return ast_to_string(*atom->nodes(Attribute::Elements).at(i)->nodes(Attribute::Terms).at(0));
    }
    std::string guard() const { return ast_to_string(*atom->optional(Attribute::Guard)); }
};

CpAtom cp(std::string const& atom) {
    Messages messages;
    auto statements = parse_statements(std::string{cp_grammar} + atom, messages);
    EXPECT_TRUE(messages.empty()) << messages.text();
    TheoryTable table;
    table.add(*statements.at(0));
    return {table.parse_atom(statements.at(1)->node(Attribute::Head), TheoryAtomType::Head)};
}

std::string cp_error(std::string const& atom) {
    try {
        cp(atom);
    } catch (LocatedError const& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(TheoryTerms, OperatorRunsSplitIntoABinaryAndUnaryOperators) {
    EXPECT_EQ(cp("&dom { -2..-1 } = x.").element(), "(- 2 .. - 1)");
    EXPECT_EQ(cp("&dom { 1..-x*2 } = x.").element(), "(1 .. (- x * 2))");
    EXPECT_EQ(cp("&__sum_h { x+-1 } <= 0.").element(), "(x + - 1)");
    EXPECT_EQ(cp("&__sum_h { 3*-x } <= 0.").element(), "(3 * - x)");
    EXPECT_EQ(cp("&__sum_h { a--b } <= 0.").element(), "(a - - b)");
    EXPECT_EQ(cp("&__sum_h { a---b } <= 0.").element(), "(a - - - b)");
    EXPECT_EQ(cp("&__sum_h { a - -b } <= 0.").element(), "(a - - b)");
    EXPECT_EQ(cp("&__sum_h { 2**-1 } <= 0.").element(), "(2 ** - 1)");
    // At the start of a term a run is a sequence of unary operators.
    EXPECT_EQ(cp("&__sum_h { -  -x } <= 0.").element(), "- - x");
    EXPECT_EQ(cp("&__sum_h { --x*y } <= 0.").element(), "(- - x * y)"); // (-(-x)) * y
    // The smallest integer after a split run.
    EXPECT_EQ(cp("&__sum_h { x+-2147483648 } <= 0.").element(), "(x + -2147483648)");
    EXPECT_EQ(cp("&__sum_h { x - -2147483648 } <= 0.").element(), "(x - -2147483648)");

    // The guard's relation is split off the same way.
    auto guarded = cp("&__sum_h { x } <=-1.");
    EXPECT_EQ(guarded.guard(), "<= - 1");
    EXPECT_EQ(cp("&__sum_h { x } >=--y.").guard(), ">= - - y");
    EXPECT_EQ(cp("&__sum_h { x } !=-(y+1).").guard(), "!= - (y + 1)");
    EXPECT_EQ(cp("&__sum_h { x } <=-y+1.").guard(), "<= (- y + 1)");
    EXPECT_EQ(cp("&__sum_h { x } = (y+1).").guard(), "= (y + 1)");

    // Runs with no split name the whole run.
    EXPECT_EQ(cp_error("&__sum_h { x ..- y } <= 0."), "<string>:26:12-19: error: binary operator '..-' undefined");
    EXPECT_EQ(cp_error("&__sum_h { x +* y } <= 0."), "<string>:26:12-18: error: binary operator '+*' undefined");
    EXPECT_EQ(cp_error("&__sum_h { *x } <= 0."), "<string>:26:12-14: error: unary operator '*' undefined");
    EXPECT_EQ(cp_error("&__sum_h { x } <=*1."),
              "<string>:26:1-20: error: relation '<=*' is not allowed for theory atom '&__sum_h/0'");
    EXPECT_EQ(cp_error("&dom { 1 } =-x."), "<string>:26:1-15: error: relation '=-' is not allowed for theory atom '&dom/0'");
}

TEST(TheoryTerms, LongAndDeeplyNestedSequencesParseWithoutRecursion) {
    std::string sum = "x";
    for (int i = 0; i < 100000; ++i) sum += i % 2 ? "+x" : "-y";
    NodePtr chain = cp("&__sum_h { " + sum + " } <= 1.").atom->nodes(Attribute::Elements)[0]->nodes(Attribute::Terms)[0];
    // Left-associative: the chain nests down its first arguments.
    size_t length = 0;
    for (Node const* n = chain.get(); n->type() == AstType::TheoryFunction; n = n->nodes(Attribute::Arguments)[0].get())
        ++length;
    EXPECT_EQ(length, 100000u);

    std::string minus(37000 * 2, ' ');
    for (size_t i = 0; i < minus.size(); i += 2) minus[i] = '-';
    NodePtr negated = cp("&__sum_h { " + minus + "x } <= 1.").atom;
    std::string powers = "1";
    for (int i = 0; i < 40000; ++i) powers += "**1";
    NodePtr power = cp("&__sum_h { " + powers + " } <= 1.").atom;
    Node const* n = power->nodes(Attribute::Elements)[0]->nodes(Attribute::Terms)[0].get();
    size_t depth = 0;
    for (; n->type() == AstType::TheoryFunction; n = n->nodes(Attribute::Arguments)[1].get()) ++depth;
    EXPECT_EQ(depth, 40000u); // right-associative
}
