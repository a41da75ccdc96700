#include "input/ast_printer.hpp"
#include "input/parser.hpp"
#include "input/unpool.hpp"

#include <gtest/gtest.h>

using namespace Gondra::Input;

namespace {

std::string expand(std::string const& text, unsigned flags = UnpoolAll) {
    Messages messages;
    auto statements = parse_statements(text, messages);
    EXPECT_TRUE(messages.empty()) << messages.text();
    std::string out;
    for (auto const& s : statements)
        for (auto const& alt : unpool(s, flags)) out += ast_to_string(*alt) + "\n";
    return out;
}

} // namespace

TEST(Unpool, StatementsMultiplyInSourceOrder) {
    EXPECT_EQ(expand("p(1;2)."), "p(1).\np(2).\n");
    EXPECT_EQ(expand("p(1;2) :- q(a;b)."), "p(1) :- q(a).\np(1) :- q(b).\np(2) :- q(a).\np(2) :- q(b).\n");
    EXPECT_EQ(expand("p((1,2;3))."), "p((1,2)).\np(3).\n");
    EXPECT_EQ(expand("p(X) :- X = (1;2)."), "p(X) :- X=1.\np(X) :- X=2.\n");
    // Nothing to expand: the very same node comes back.
    Messages messages;
    auto s = parse_statements("p(1..2) :- q.", messages);
    auto alts = unpool(s[0]);
    ASSERT_EQ(alts.size(), 1u);
    EXPECT_EQ(alts[0], s[0]);
}

TEST(Unpool, PoolsInConditionsSplitTheirElement) {
    EXPECT_EQ(expand("a :- b : c(1;2)."), "a :- b: c(1); b: c(2).\n");
    EXPECT_EQ(expand(":- #count { X : p(X;Y) } > 1."), ":- #count { X : p(X); X : p(Y) } > 1.\n");
    EXPECT_EQ(expand("{ a(1;2) : b }."), "{a(1): b; a(2): b}.\n");
    EXPECT_EQ(expand("&sum { x : p(1;2); y }."), "&sum { x : p(1); x : p(2); y }.\n");
}

TEST(Unpool, FlagsSelectWhichPoolsExpand) {
    char const* program = "p(1;2) :- b : c(1;2).";
    EXPECT_EQ(expand(program, UnpoolCondition), "(p(1);p(2)) :- b: c(1); b: c(2).\n");
    EXPECT_EQ(expand(program, UnpoolOther), "p(1) :- b: (c(1);c(2)).\np(2) :- b: (c(1);c(2)).\n");
}

TEST(Unpool, ExplosionIsBounded) {
    std::string text = "p";
    for (int i = 0; i < 30; ++i) text += i == 0 ? "((1;2)" : ",(1;2)";
    text += ").";
    Messages messages;
    auto s = parse_statements(text, messages);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_THROW(unpool(s[0], UnpoolAll, 1000), std::runtime_error);
}

TEST(Unpool, NestedPoolsFlattenInOrder) {
    EXPECT_EQ(expand("p(1;(2;3))."), "p(1).\np(2).\np(3).\n");
    EXPECT_EQ(expand("p(((a;b);c),(x;y))."),
              "p(a,x).\np(a,y).\np(b,x).\np(b,y).\np(c,x).\np(c,y).\n");
    EXPECT_EQ(expand("p(f(1;g(2;3)))."), "p(f(1)).\np(f(g(2))).\np(f(g(3))).\n");
    EXPECT_EQ(expand("-p(1;2)."), "-p(1).\n-p(2).\n");
    // Pools in both the element and its condition of a body aggregate.
    EXPECT_EQ(expand(":- #sum { (1;2) : q(a;b) } > 0."),
              ":- #sum { 1 : q(a); 1 : q(b); 2 : q(a); 2 : q(b) } > 0.\n");
    // A disjunction absorbs the alternatives of its elements, as a choice does.
    EXPECT_EQ(expand("a(1;2) | b."), "a(1); a(2); b.\n");
    // Pools inside the condition of a conditional head element stay with it.
    EXPECT_EQ(expand("a : c(1;2)."), "a: c(1); a: c(2).\n");
}

TEST(Unpool, ExpandedTreesParseBackEqual) {
    char const* programs[] = {
        "p((1;2),(a;b)) :- q(X;Y), r : s(1;2).",
        "{ a(1;2) : b(3;4) } :- #count { X : p(X;Y) } > (1;2).",
        ":~ p(X;Y). [X@(1;2)]",
        "#show (a;b) : c(1;2).",
    };
    for (char const* program : programs) {
        Messages messages;
        auto statements = parse_statements(program, messages);
        ASSERT_EQ(statements.size(), 1u) << program << messages.text();
        for (auto const& alt : unpool(statements[0])) {
            std::string text = ast_to_string(*alt);
            Messages again;
            auto back = parse_statements(text, again);
            ASSERT_EQ(back.size(), 1u) << text << again.text();
            EXPECT_TRUE(ast_equal(*back[0], *alt)) << text;
            // Nothing is left to expand.
            auto more = unpool(back[0]);
            ASSERT_EQ(more.size(), 1u) << text;
            EXPECT_EQ(more[0], back[0]) << text;
        }
    }
}
