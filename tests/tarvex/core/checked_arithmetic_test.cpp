#include "core/checked_arithmetic.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>

using namespace Tarvex;

namespace {

constexpr value_t vmin = std::numeric_limits<value_t>::min();
constexpr value_t vmax = std::numeric_limits<value_t>::max();
constexpr wide_t wmin = std::numeric_limits<wide_t>::min();
constexpr wide_t wmax = std::numeric_limits<wide_t>::max();

// Runs f and returns "overflow: <msg>", "underflow: <msg>" or "ok".
template <class F> std::string outcome(F f) {
    try {
        f();
        return "ok";
    } catch (std::overflow_error const& e) {
        return std::string("overflow: ") + e.what();
    } catch (std::underflow_error const& e) {
        return std::string("underflow: ") + e.what();
    }
}

std::string const overflow = "overflow: integer overflow";
std::string const underflow = "underflow: integer underflow";

// Reference result of a 32-bit operation computed in 64 bits.
std::string expected(wide_t exact) {
    if (exact > vmax) {
        return overflow;
    }
    if (exact < vmin) {
        return underflow;
    }
    return "ok";
}

} // namespace

TEST(CheckedArithmetic, AddAndSubAtTheLimits) {
    EXPECT_EQ(outcome([] { checked_add<value_t>(vmax, 1); }), overflow);
    EXPECT_EQ(outcome([] { checked_add<value_t>(vmin, -1); }), underflow);
    EXPECT_EQ(checked_add<value_t>(5, 0), 5);
    EXPECT_EQ(checked_add<value_t>(vmax, vmin), -1);
    EXPECT_EQ(outcome([] { checked_sub<value_t>(vmin, 1); }), underflow);
    EXPECT_EQ(outcome([] { checked_sub<value_t>(0, vmin); }), overflow);
    EXPECT_EQ(checked_sub<value_t>(-1, vmin), vmax);
    EXPECT_EQ(outcome([] { checked_add<wide_t>(wmax, 1); }), overflow);
    EXPECT_EQ(outcome([] { checked_add<wide_t>(wmin, -1); }), underflow);
    EXPECT_EQ(checked_add<wide_t>(wmax, wmin), -1);
}

TEST(CheckedArithmetic, MulBySignCombination) {
    EXPECT_EQ(outcome([] { checked_mul<value_t>(1 << 16, 1 << 15); }), overflow);
    EXPECT_EQ(checked_mul<value_t>(-(1 << 16), 1 << 15), vmin);
    EXPECT_EQ(checked_mul<value_t>(1 << 15, -(1 << 16)), vmin);
    EXPECT_EQ(outcome([] { checked_mul<value_t>(-1, vmin); }), overflow);
    EXPECT_EQ(outcome([] { checked_mul<value_t>(vmin, -1); }), overflow);
    EXPECT_EQ(checked_mul<value_t>(0, vmin), 0);
    EXPECT_EQ(checked_mul<value_t>(vmin, 0), 0);
    EXPECT_EQ(checked_mul<value_t>(1, vmin), vmin);
    EXPECT_EQ(outcome([] { checked_mul<value_t>(2, vmin); }), underflow);
    EXPECT_EQ(outcome([] { checked_mul<wide_t>(wmin, -1); }), overflow);
    EXPECT_EQ(outcome([] { checked_mul<wide_t>(wide_t{1} << 32, wide_t{1} << 31); }), overflow);
    EXPECT_EQ(checked_mul<wide_t>(-(wide_t{1} << 32), wide_t{1} << 31), wmin);
}

// Every guard agrees with the exact result computed in a wider type.
TEST(CheckedArithmetic, AgreesWithExactArithmetic) {
    std::mt19937 gen(7);
    value_t const special[] = {vmin, vmin + 1, -65536, -46341, -46340, -2,       -1,  0,
                               1,    2,        46340,  46341,  65536,  vmax - 1, vmax};
    std::uniform_int_distribution<value_t> any(vmin, vmax);
    auto pick = [&](int i) { return i % 3 == 0 ? any(gen) : special[gen() % std::size(special)]; };
    for (int i = 0; i < 20000; ++i) {
        value_t a = pick(i);
        value_t b = pick(i + 1);
        wide_t wa = a;
        wide_t wb = b;
        ASSERT_EQ(outcome([&] { checked_add(a, b); }), expected(wa + wb)) << a << " + " << b;
        ASSERT_EQ(outcome([&] { checked_sub(a, b); }), expected(wa - wb)) << a << " - " << b;
        ASSERT_EQ(outcome([&] { checked_mul(a, b); }), expected(wa * wb)) << a << " * " << b;
        if (expected(wa * wb) == "ok") {
            ASSERT_EQ(checked_mul(a, b), wa * wb);
        }
        __int128 xa = wide_t{a} << 31;
        __int128 xb = wide_t{b} << 31;
        __int128 exact = xa * xb;
        std::string want = exact > wmax ? overflow : exact < wmin ? underflow : "ok";
        ASSERT_EQ(outcome([&] { checked_mul(static_cast<wide_t>(xa), static_cast<wide_t>(xb)); }), want)
            << a << " * " << b;
    }
}

TEST(CheckedArithmetic, DivisionAndRemainder) {
    EXPECT_EQ(outcome([] { checked_div(vmin, -1); }), overflow);
    EXPECT_EQ(outcome([] { checked_mod(vmin, -1); }), overflow);
    EXPECT_EQ(outcome([] { checked_div(-3, 0); }), underflow);
    EXPECT_EQ(outcome([] { checked_div(3, 0); }), overflow);
    EXPECT_EQ(outcome([] { checked_div(0, 0); }), overflow);
    EXPECT_EQ(outcome([] { checked_mod(-3, 0); }), underflow);
    EXPECT_EQ(outcome([] { checked_mod(0, 0); }), overflow);
    EXPECT_EQ(checked_div(-7, 2), -3);
    EXPECT_EQ(checked_mod(-7, 2), -1);
    EXPECT_EQ(checked_div(7, -2), -3);
    EXPECT_EQ(checked_mod(7, -2), 1);
    EXPECT_EQ(checked_div(vmin, 1), vmin);
    EXPECT_EQ(checked_mod(vmin, 2), 0);
}

TEST(CheckedArithmetic, Power) {
    EXPECT_EQ(outcome([] { checked_pow(2, 31); }), overflow);
    EXPECT_EQ(checked_pow(-2, 31), vmin);
    EXPECT_EQ(outcome([] { checked_pow(-2, 33); }), underflow);
    EXPECT_EQ(outcome([] { checked_pow(-2, 32); }), overflow);
    EXPECT_EQ(outcome([] { checked_pow(0, 2); }), overflow);
    EXPECT_EQ(outcome([] { checked_pow(0, 0); }), overflow);
    EXPECT_EQ(checked_pow(3, 0), 1);
    EXPECT_EQ(checked_pow(2, 30), 1 << 30);
    EXPECT_EQ(checked_pow(3, 19), 1162261467);
    EXPECT_EQ(checked_pow(2, -1), 0);
    EXPECT_EQ(checked_pow(-1, -3), -1);
    EXPECT_EQ(checked_pow(-1, vmax), -1);
    EXPECT_EQ(checked_pow(1, vmin), 1);
    EXPECT_EQ(outcome([] { checked_pow(2, vmax); }), overflow);
    EXPECT_EQ(outcome([] { checked_pow(-3, vmax); }), underflow);
}

TEST(CheckedArithmetic, NegationPredecessorAndRange) {
    EXPECT_EQ(outcome([] { checked_neg(vmin); }), overflow);
    EXPECT_EQ(checked_neg(vmax), vmin + 1);
    EXPECT_EQ(outcome([] { checked_pred(vmin); }), underflow);
    EXPECT_EQ(checked_pred(vmin + 1), vmin);
    EXPECT_EQ(check_value_range(1073741823), 1073741823);
    EXPECT_EQ(check_value_range(-1073741823), -1073741823);
    EXPECT_EQ(outcome([] { check_value_range(1073741824); }), "underflow: value too large");
    EXPECT_EQ(outcome([] { check_value_range(-1073741824); }), "underflow: value too small");
}

TEST(CheckedArithmetic, FloorDivision) {
    EXPECT_EQ(floor_div(-7, 2), -4);
    EXPECT_EQ(floor_div(7, -2), -4);
    EXPECT_EQ(floor_div(-6, 2), -3);
    EXPECT_EQ(floor_div(7, 2), 3);
    EXPECT_EQ(floor_div(-7, -2), 3);
    EXPECT_EQ(floor_div(0, -5), 0);
    EXPECT_EQ(floor_div(wmin, 1), wmin);
    EXPECT_EQ(floor_div(wmin + 1, -1), wmax);
}
