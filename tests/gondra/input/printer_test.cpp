#include "input/ast_printer.hpp"
#include "input/parser.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using namespace Gondra::Input;
using Gondra::Symbols::Symbol;

namespace {

std::vector<NodePtr> parse_ok(std::string const& text) {
    Messages messages;
    auto statements = parse_statements(text, messages);
    EXPECT_TRUE(messages.empty()) << text << "\n" << messages.text();
    return statements;
}

std::string print_all(std::vector<NodePtr> const& statements) {
    std::string out;
    for (auto const& s : statements) out += ast_to_string(*s) + "\n";
    return out;
}

Location const here{"t.lp", "t.lp", 1, 1, 1, 2};

NodePtr number(int value) { return make_symbolic_term(here, Symbol::create_number(value)); }
NodePtr unary(UnaryOperator op, NodePtr arg) {
    return make_node(AstType::UnaryOperation, {here, static_cast<int>(op), std::move(arg)});
}
NodePtr binary(BinaryOperator op, NodePtr l, NodePtr r) {
    return make_node(AstType::BinaryOperation, {here, static_cast<int>(op), std::move(l), std::move(r)});
}
NodePtr fact(NodePtr term) {
    NodePtr atom = make_function(here, "p", {std::move(term)});
    NodePtr head = make_literal(here, Sign::None, make_node(AstType::SymbolicAtom, {atom}));
    return make_node(AstType::Rule, {here, head, NodeArray{}});
}

// Random terms over every term constructor the parser produces, built as trees
// (not text), so that the printer has to find the parentheses itself.
class TermGenerator {
public:
    explicit TermGenerator(unsigned seed) : rng_{seed} {}

    NodePtr term(int depth) {
        int leaf_kinds = 4;
        int kind = pick(depth <= 0 ? leaf_kinds : 12);
        switch (kind) {
        case 0: return number(pick(1000));
        case 1: return make_variable(here, pick(2) ? "X" : "_");
        case 2: return make_symbolic_term(here, Symbol::create_string(pick(2) ? "s\"q\\x\ny" : ""));
        case 3: return make_function(here, pick(2) ? "c" : "d'", {});
        case 4: return unary(static_cast<UnaryOperator>(pick(3)), term(depth - 1));
        case 5:
        case 6:
            return binary(static_cast<BinaryOperator>(pick(9)), term(depth - 1), term(depth - 1));
        case 7: return make_node(AstType::Interval, {here, term(depth - 1), term(depth - 1)});
        case 8: {
            NodeArray args;
            for (int i = pick(3); i >= 0; --i) args.push_back(term(depth - 1));
            return make_function(here, "f", std::move(args));
        }
        case 9: {
            // Tuples of every length, the one-tuple included.
            NodeArray args;
            for (int i = pick(4); i > 0; --i) args.push_back(term(depth - 1));
            return make_function(here, "", std::move(args));
        }
        case 10: {
            NodeArray alternatives;
            for (int i = pick(2) + 2; i > 0; --i) alternatives.push_back(term(depth - 1));
            return make_node(AstType::Pool, {here, std::move(alternatives)});
        }
        default: return make_symbolic_term(here, pick(2) ? Symbol::create_infimum() : Symbol::create_supremum());
        }
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>{0, n - 1}(rng_); }
    std::mt19937 rng_;
};

} // namespace

TEST(Printer, RandomTermsPrintToTextThatParsesToTheSameTree) {
    TermGenerator generator{20240607};
    for (int i = 0; i < 3000; ++i) {
        NodePtr rule = fact(generator.term(5));
        std::string text = ast_to_string(*rule);
        Messages messages;
        auto reparsed = parse_statements(text, messages);
        ASSERT_TRUE(messages.empty()) << text << "\n" << messages.text();
        ASSERT_EQ(reparsed.size(), 1u) << text;
        ASSERT_TRUE(ast_equal(*reparsed[0], *rule)) << text << "\nreads back as\n" << ast_to_string(*reparsed[0]);
    }
}

TEST(Printer, OperatorsKeepTheirGrouping) {
    using B = BinaryOperator;
    NodePtr a = make_function(here, "a", {}), b = make_function(here, "b", {}), c = make_function(here, "c", {});
    struct Case {
        NodePtr term;
        char const* text;
    };
    Case const cases[] = {
        {binary(B::Minus, a, binary(B::Minus, b, c)), "p(a-(b-c))."},
        {binary(B::Minus, binary(B::Minus, a, b), c), "p(a-b-c)."},
        {binary(B::Power, binary(B::Power, a, b), c), "p((a**b)**c)."},
        {binary(B::Power, a, binary(B::Power, b, c)), "p(a**b**c)."},
        {binary(B::Multiplication, binary(B::Plus, a, b), c), "p((a+b)*c)."},
        {binary(B::And, binary(B::Or, a, b), binary(B::Xor, b, c)), "p((a?b)&(b^c))."},
        {unary(UnaryOperator::Minus, binary(B::Power, a, b)), "p(-(a**b))."},
        {binary(B::Power, unary(UnaryOperator::Minus, a), b), "p(-a**b)."},
        {unary(UnaryOperator::Minus, unary(UnaryOperator::Minus, a)), "p(--a)."},
        {binary(B::Minus, a, unary(UnaryOperator::Minus, b)), "p(a--b)."},
        {make_node(AstType::Interval, {here, make_node(AstType::Interval, {here, a, b}), c}), "p((a..b)..c)."},
        {binary(B::Plus, make_node(AstType::Interval, {here, a, b}), c), "p((a..b)+c)."},
    };
    for (auto const& c : cases) {
        NodePtr rule = fact(c.term);
        EXPECT_EQ(ast_to_string(*rule), c.text);
        auto back = parse_ok(c.text);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_TRUE(ast_equal(*back[0], *rule)) << c.text;
    }
}

TEST(Printer, NegativeNumbersReadBackAsTheSameText) {
    // Trees built by applications hold negative numbers as symbols; the parser
    // reads them as negations, which must print the same way again.
    using B = BinaryOperator;
    NodePtr terms[] = {
        number(-3),
        binary(B::Minus, number(1), number(-2)),
        binary(B::Power, number(-2), number(2)),
        unary(UnaryOperator::Minus, number(-1)),
        binary(B::Plus, number(std::numeric_limits<int32_t>::min()), number(1)),
        make_node(AstType::Interval, {here, number(-5), number(-1)}),
    };
    for (auto const& t : terms) {
        std::string once = ast_to_string(*fact(t));
        std::string twice = print_all(parse_ok(once));
        EXPECT_EQ(twice, once + "\n");
    }

    // In theory terms "-" belongs to the theory; conditions are ordinary literals again.
    NodePtr x = make_symbolic_term(here, Symbol::create_id("x"));
    NodePtr sum = make_node(AstType::TheoryUnparsedTerm,
                            {here, NodeArray{make_node(AstType::TheoryUnparsedTermElement, {StringArray{}, x}),
                                             make_node(AstType::TheoryUnparsedTermElement,
                                                       {StringArray{intern("+")}, number(-2)})}});
    NodePtr less = make_node(AstType::Comparison, {static_cast<int>(ComparisonOperator::LessThan),
                                                   make_variable(here, "X"), number(-4)});
    NodeArray condition{make_literal(here, Sign::None, less)};
    NodeArray elements{make_node(AstType::TheoryAtomElement, {NodeArray{number(-3), sum}, condition}),
                       make_node(AstType::TheoryAtomElement,
                                 {NodeArray{number(std::numeric_limits<int32_t>::min())}, NodeArray{}})};
    NodePtr guard = make_node(AstType::TheoryGuard, {intern("="), number(-1)});
    NodePtr atom = make_node(AstType::TheoryAtom,
                             {here, make_function(here, "a", {number(-6)}), elements, OptionalNode{guard}});
    NodePtr rule = make_node(AstType::Rule, {here, atom, NodeArray{}});
    std::string once = ast_to_string(*rule);
    EXPECT_EQ(once, "&a(-6) { - 3,x + - 2 : X<-4; - 2147483648 } = - 1.");
    EXPECT_EQ(print_all(parse_ok(once)), once + "\n");
}

TEST(Printer, ShippedProgramIsAFixpointAfterOneRound) {
    auto path = std::filesystem::path{__FILE__}.parent_path() / "print_ast_corpus.lp";
    std::ifstream in{path};
    ASSERT_TRUE(in) << path;
    std::stringstream text;
    text << in.rdbuf();
    auto first = parse_ok(text.str());
    ASSERT_GT(first.size(), 50u);
    std::string once = print_all(first);
    auto second = parse_ok(once);
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_TRUE(ast_equal(*first[i], *second[i])) << ast_to_string(*first[i]) << "\n" << ast_to_string(*second[i]);
    EXPECT_EQ(print_all(second), once);
}

TEST(Printer, StatementsThatCouldReadAsSomethingElse) {
    // "#show p/2." is a signature; a shown division must keep its parentheses.
    EXPECT_EQ(print_all(parse_ok("#show (X/2) : p(X).")), "#show (X/2) : p(X).\n");
    // An empty integrity constraint has no ":- ." form.
    EXPECT_EQ(print_all(parse_ok(":- #true.")), ":- #true.\n");
    EXPECT_EQ(print_all(parse_ok("#false.")), "#false.\n");
    // Maximizing negates the weight, with parentheses around compound weights.
    EXPECT_EQ(print_all(parse_ok("#maximize { X+1@2 : p(X) }.")), ":~ p(X). [-(X+1)@2]\n");
    // A classically negated atom with a pool.
    EXPECT_EQ(print_all(parse_ok("-p(1;2).")), "-(p(1);p(2)).\n");
    // Theory operators made of several characters stay one operator.
    EXPECT_EQ(print_all(parse_ok("&a { --x ; - - y }.")), "&a { -- x; - - y }.\n");
}
