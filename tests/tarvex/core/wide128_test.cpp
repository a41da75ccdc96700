#include "core/wide128.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <random>

using namespace Tarvex;

namespace {

using i128 = __int128;
using u128 = unsigned __int128;

i128 to_native(Wide128 const& w) {
    return static_cast<i128>((u128{w.high()} << 64) | w.low());
}
Wide128 from_native(i128 v) {
    auto u = static_cast<u128>(v);
    return {static_cast<std::uint64_t>(u >> 64), static_cast<std::uint64_t>(u)};
}

i128 const native_max = static_cast<i128>(~u128{0} >> 1);
i128 const native_min = -native_max - 1;

// Operands spread over all limb lengths, so every path of the division runs.
i128 random_operand(std::mt19937_64& gen) {
    u128 bits = (u128{gen()} << 64) | gen();
    int width = static_cast<int>(gen() % 129);
    if (width < 128) {
        bits &= (u128{1} << width) - 1;
    }
    // Patterns near limb boundaries stress the quotient estimate.
    if (gen() % 4 == 0) {
        bits |= u128{0xffffffffu} << (32 * (gen() % 4));
    }
    return gen() % 2 ? static_cast<i128>(bits) : -static_cast<i128>(bits);
}

i128 native_floor(i128 n, i128 d) {
    i128 q = n / d;
    return (n % d != 0 && ((n < 0) != (d < 0))) ? q - 1 : q;
}
i128 native_ceil(i128 n, i128 d) {
    i128 q = n / d;
    return (n % d != 0 && ((n < 0) == (d < 0))) ? q + 1 : q;
}

} // namespace

TEST(Wide128, ConstructionExtendsCorrectly) {
    EXPECT_EQ(to_native(Wide128(value_t{-1})), -1);
    EXPECT_EQ(to_native(Wide128(std::numeric_limits<value_t>::min())), std::numeric_limits<value_t>::min());
    EXPECT_EQ(to_native(Wide128(std::uint32_t{0xffffffffu})), 0xffffffffLL);
    EXPECT_EQ(to_native(Wide128(wide_t{-5})), -5);
    EXPECT_EQ(to_native(Wide128::max()), native_max);
    EXPECT_EQ(to_native(Wide128::min()), native_min);
    Wide128 w(value_t{-2});
    EXPECT_EQ(w.limb(0), 0xfffffffeu);
    EXPECT_EQ(w.limb(3), 0xffffffffu);
    EXPECT_TRUE(w.fits_wide());
    EXPECT_EQ(w.to_wide(), -2);
    EXPECT_FALSE(Wide128::max().fits_wide());
    EXPECT_FALSE((Wide128(std::numeric_limits<wide_t>::min()) - Wide128(1)).fits_wide());
}

TEST(Wide128, WrapAroundAndNegation) {
    EXPECT_EQ(Wide128::max() + Wide128(1), Wide128::min());
    EXPECT_EQ(Wide128::min() - Wide128(1), Wide128::max());
    Wide128 m = Wide128::min();
    m.negate();
    EXPECT_EQ(m, Wide128::min());
    EXPECT_EQ(-Wide128(0), Wide128(0));
    EXPECT_EQ(compare(Wide128(-1), Wide128(0)), -1);
    EXPECT_EQ(compare(Wide128(0), Wide128(-1)), 1);
    EXPECT_EQ(compare(Wide128::min(), Wide128::max()), -1);
    EXPECT_EQ(compare(Wide128(7), Wide128(7)), 0);
    EXPECT_TRUE(Wide128(-3) < Wide128(2));
}

TEST(Wide128, RoundingDivisions) {
    EXPECT_EQ(floor_div(Wide128(-7), Wide128(2)), Wide128(-4));
    EXPECT_EQ(ceil_div(Wide128(-7), Wide128(2)), Wide128(-3));
    EXPECT_EQ(ceil_div(Wide128(7), Wide128(-2)), Wide128(-3));
    EXPECT_EQ(ceil_div(Wide128(-7), Wide128(-2)), Wide128(4));
    EXPECT_EQ(ceil_div(Wide128(7), Wide128(2)), Wide128(4));
    for (Wide128 x : {Wide128(0), Wide128(-1), Wide128(12), Wide128::min(), Wide128::max()}) {
        EXPECT_EQ(floor_div(x, Wide128(0)), Wide128::max());
        EXPECT_EQ(ceil_div(x, Wide128(0)), Wide128::max());
        auto [q, r] = div_mod(x, Wide128(0));
        EXPECT_EQ(q, Wide128::max());
        EXPECT_EQ(r, Wide128(0));
    }
    // The one quotient that does not fit wraps instead of failing.
    EXPECT_EQ(Wide128::min() / Wide128(-1), Wide128::min());
    EXPECT_EQ(Wide128::min() % Wide128(-1), Wide128(0));
}

// Every operation agrees with the compiler's native 128-bit integer.
TEST(Wide128, AgreesWithNativeArithmetic) {
    std::mt19937_64 gen(11);
    for (int i = 0; i < 200000; ++i) {
        i128 a = random_operand(gen);
        i128 b = random_operand(gen);
        Wide128 wa = from_native(a);
        Wide128 wb = from_native(b);
        auto wrap = [](u128 v) { return static_cast<i128>(v); };
        ASSERT_EQ(to_native(wa + wb), wrap(u128(a) + u128(b)));
        ASSERT_EQ(to_native(wa - wb), wrap(u128(a) - u128(b)));
        ASSERT_EQ(to_native(wa * wb), wrap(u128(a) * u128(b)));
        ASSERT_EQ(compare(wa, wb), a < b ? -1 : a > b ? 1 : 0);
        if (b == 0 || (a == native_min && b == -1)) {
            continue;
        }
        auto [q, r] = div_mod(wa, wb);
        ASSERT_EQ(to_native(q), a / b) << i;
        ASSERT_EQ(to_native(r), a % b) << i;
        ASSERT_EQ(to_native(floor_div(wa, wb)), native_floor(a, b));
        ASSERT_EQ(to_native(ceil_div(wa, wb)), native_ceil(a, b));
    }
}
