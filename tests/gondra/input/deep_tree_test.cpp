#include "input/ast_printer.hpp"
#include "input/parser.hpp"
#include "input/unpool.hpp"

#include <gtest/gtest.h>

using namespace Gondra::Input;

namespace {

std::string chain(char const* op, size_t operands) {
    std::string out = "1";
    for (size_t i = 1; i < operands; ++i) out += std::string{op} + std::to_string(i % 7);
    return out;
}

NodePtr only_statement(std::string const& text) {
    Messages messages;
    auto statements = parse_statements(text, messages);
    EXPECT_TRUE(messages.empty()) << messages.text().substr(0, 300);
    return statements.size() == 1 ? statements.front() : NodePtr{};
}

} // namespace

TEST(DeepTrees, LongChainsParsePrintCompareAndUnpool) {
    for (char const* op : {"-", "*", "?"}) {
        std::string text = "p(" + chain(op, 100000) + ") :- q.";
        NodePtr rule = only_statement(text);
        ASSERT_TRUE(rule) << op;
        // The printed text is the input (no parentheses are needed) and reads back equal.
        std::string printed = ast_to_string(*rule);
        EXPECT_EQ(printed, text) << op;
        NodePtr again = only_statement(printed);
        ASSERT_TRUE(again);
        EXPECT_TRUE(ast_equal(*rule, *again));
        EXPECT_EQ(ast_hash(*rule), ast_hash(*again));
        NodePtr copy = deep_copy(*rule);
        EXPECT_TRUE(ast_equal(*copy, *rule));
        EXPECT_FALSE(ast_less(*copy, *rule));
        auto alternatives = unpool(rule);
        ASSERT_EQ(alternatives.size(), 1u);
        EXPECT_EQ(alternatives.front(), rule); // nothing to expand: the statement itself
    }
    // Chains differing only at their far end compare by that difference.
    NodePtr one = only_statement("p(" + chain("+", 100000) + "+1).");
    NodePtr two = only_statement("p(" + chain("+", 100000) + "+2).");
    EXPECT_FALSE(ast_equal(*one, *two));
    EXPECT_TRUE(ast_less(*one, *two));
    EXPECT_FALSE(ast_less(*two, *one));

    // A pool at the bottom of a long chain expands the whole statement.
    NodePtr pooled = only_statement("p((1;2)+" + chain("+", 100000) + ").");
    auto alternatives = unpool(pooled);
    ASSERT_EQ(alternatives.size(), 2u);
    EXPECT_EQ(ast_to_string(*alternatives[1]).substr(0, 6), "p(2+1+");

    // Long chains inside a comparison and a constant definition.
    EXPECT_TRUE(only_statement(":- " + chain("+", 100000) + " < " + chain("*", 100000) + "."));
    EXPECT_TRUE(only_statement("#const n = " + chain("-", 100000) + "."));
}

TEST(DeepTrees, DeepRightNestingIsALocatedError) {
    auto error_of = [](std::string const& text) {
        Messages messages;
        parse_statements(text, messages, "d.lp");
        return messages.text();
    };
    std::string minus(200000, ' ');
    for (size_t i = 0; i < minus.size(); i += 2) minus[i] = '-';
    EXPECT_EQ(error_of("p(" + minus + "1)."), "d.lp:1:797-798: error: nesting too deep");
    std::string power = "2";
    for (int i = 0; i < 100000; ++i) power += "**2";
    EXPECT_EQ(error_of("p(" + power + ")."), "d.lp:1:1194-1195: error: nesting too deep");
    EXPECT_EQ(error_of("p(" + std::string(100000, '(') + "1" + std::string(100000, ')') + ")."),
              "d.lp:1:202-203: error: nesting too deep");
    // Errors end the statement, not the parse.
    EXPECT_EQ(error_of("p(" + minus + "1).\nq :- ."),
              "d.lp:1:797-798: error: nesting too deep\nd.lp:2:6-7: error: syntax error, unexpected '.', expected term");
}
