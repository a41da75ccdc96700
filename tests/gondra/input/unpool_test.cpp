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
