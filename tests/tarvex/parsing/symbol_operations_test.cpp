#include "parsing/symbol_operations.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

using namespace Tarvex;

namespace {

using Op = ArithmeticOperator;

Host::symbol_t num(int n) {
    return Host::create_number(n);
}

// "= <value>" or the exception's message.
std::string outcome(std::function<Host::symbol_t()> f) {
    try {
        return "= " + Host::symbol_to_string(f());
    } catch (std::exception const& e) {
        return e.what();
    }
}

std::string apply(Op op, int a, int b) {
    return outcome([=] { return apply_operator(op, num(a), num(b)); });
}

TEST(UnquoteString, ResolvesTheThreeEscapesAndDropsOthers) {
    EXPECT_EQ(unquote_string(R"("a\"b")"), "a\"b");
    EXPECT_EQ(unquote_string(R"("a\tb")"), "ab");
    EXPECT_EQ(unquote_string(R"("a\\b\nc")"), "a\\b\nc");
    EXPECT_EQ(unquote_string(R"("ab\")"), "ab");
    EXPECT_EQ(unquote_string(R"("")"), "");
    EXPECT_EQ(unquote_string(R"(")"), "");
}

TEST(SymbolFromName, QuotedNamesAreStrings) {
    auto text = symbol_from_name(R"("a\"b")");
    ASSERT_EQ(Host::symbol_type(text), gondra_symbol_type_string);
    EXPECT_TRUE(Host::symbol_equal(text, Host::create_string("a\"b")));
    auto constant = symbol_from_name("x");
    EXPECT_TRUE(Host::symbol_equal(constant, Host::create_function("x", {})));
    // A lone quote is both first and last character.
    EXPECT_TRUE(Host::symbol_equal(symbol_from_name("\""), Host::create_string("")));
}

TEST(ApplyOperator, FollowsTheCheckedArithmetic) {
    EXPECT_EQ(apply(Op::add, 2, 3), "= 5");
    EXPECT_EQ(apply(Op::sub, 2, 3), "= -1");
    EXPECT_EQ(apply(Op::mul, -4, 3), "= -12");
    EXPECT_EQ(apply(Op::div, -7, 2), "= -3");
    EXPECT_EQ(apply(Op::mod, -7, 2), "= -1");
    EXPECT_EQ(apply(Op::mod, 7, -2), "= 1");
    EXPECT_EQ(apply(Op::pow, 2, -1), "= 0");
    EXPECT_EQ(apply(Op::pow, -1, -3), "= -1");
    EXPECT_EQ(apply(Op::pow, -2, 31), "= -2147483648");
    EXPECT_EQ(apply(Op::pow, 2, 31), "integer overflow");
    EXPECT_EQ(apply(Op::pow, 0, 2), "integer overflow");
    EXPECT_EQ(apply(Op::div, 5, 0), "division by zero");
    EXPECT_EQ(apply(Op::div, -5, 0), "division by zero");
    EXPECT_EQ(apply(Op::mod, 0, 0), "division by zero");
    EXPECT_EQ(apply(Op::div, -2147483647 - 1, -1), "integer overflow");
    EXPECT_EQ(apply(Op::add, 2147483647, 1), "integer overflow");
    EXPECT_EQ(apply(Op::sub, -2147483647, 2), "integer underflow");
}

TEST(ApplyOperator, RejectsNonNumbers) {
    auto x = Host::create_function("x", {});
    EXPECT_EQ(outcome([&] { return apply_operator(Op::add, x, num(1)); }), "Invalid Syntax");
    EXPECT_EQ(outcome([&] { return apply_operator(Op::mul, num(1), Host::create_string("s")); }), "Invalid Syntax");
}

TEST(NegateSymbol, FlipsNumbersAndNamedFunctions) {
    EXPECT_EQ(outcome([] { return negate_symbol(num(3)); }), "= -3");
    EXPECT_EQ(outcome([] { return negate_symbol(num(-2147483647 - 1)); }), "integer overflow");

    auto x = Host::create_function("x", {});
    auto minus_x = negate_symbol(x);
    EXPECT_EQ(Host::symbol_to_string(minus_x), "-x");
    EXPECT_TRUE(Host::symbol_equal(negate_symbol(minus_x), x));

    Host::symbol_t one[] = {num(1)};
    EXPECT_EQ(outcome([&] { return negate_symbol(Host::create_function("f", one)); }), "= -f(1)");

    Host::symbol_t pair[] = {num(1), num(2)};
    EXPECT_EQ(outcome([&] { return negate_symbol(Host::create_function("", pair)); }), "Invalid Syntax");
    EXPECT_EQ(outcome([] { return negate_symbol(Host::create_string("s")); }), "Invalid Syntax");
}

} // namespace
