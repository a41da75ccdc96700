#pragma once

// Overflow-checked operations on the fixed-width integers. Numbers written in
// a logic program go through these, so a wrap-around can never silently turn
// into a different constraint.

#include "core/integer_types.hpp"

#include <cassert>
#include <cmath>
#include <concepts>
#include <limits>
#include <stdexcept>

namespace Tarvex {

// Values that may appear as coefficients, right-hand sides and domain bounds.
inline constexpr value_t min_value = -1073741823;
inline constexpr value_t max_value = 1073741823;

template <class T>
concept CheckedInteger = std::same_as<T, value_t> || std::same_as<T, wide_t>;

[[noreturn]] inline void throw_overflow() {
    throw std::overflow_error("integer overflow");
}
[[noreturn]] inline void throw_underflow() {
    throw std::underflow_error("integer underflow");
}

template <CheckedInteger T> constexpr T checked_add(T a, T b) {
    constexpr T min = std::numeric_limits<T>::min();
    constexpr T max = std::numeric_limits<T>::max();
    if (b > 0 && a > max - b) {
        throw_overflow();
    }
    if (b < 0 && a < min - b) {
        throw_underflow();
    }
    return a + b;
}

template <CheckedInteger T> constexpr T checked_sub(T a, T b) {
    constexpr T min = std::numeric_limits<T>::min();
    constexpr T max = std::numeric_limits<T>::max();
    if (b > 0 && a < min + b) {
        throw_underflow();
    }
    if (b < 0 && a > max + b) {
        throw_overflow();
    }
    return a - b;
}

template <CheckedInteger T> constexpr T checked_mul(T a, T b) {
    constexpr T min = std::numeric_limits<T>::min();
    constexpr T max = std::numeric_limits<T>::max();
    if (a > 0) {
        if (b > 0) {
            if (a > max / b) {
                throw_overflow();
            }
        } else if (b < min / a) {
            throw_underflow();
        }
    } else if (b > 0) {
        if (a < min / b) {
            throw_underflow();
        }
    } else if (a != 0 && b < max / a) {
        throw_overflow();
    }
    return a * b;
}

namespace Detail {
// Shared guard of division and remainder: both fail on the same operands.
constexpr void check_division(value_t a, value_t b) {
    if (a == std::numeric_limits<value_t>::min() && b == -1) {
        throw_overflow();
    }
    if (b == 0) {
        if (a < 0) {
            throw_underflow();
        }
        throw_overflow();
    }
}
} // namespace Detail

// Quotient truncated toward zero.
constexpr value_t checked_div(value_t a, value_t b) {
    Detail::check_division(a, b);
    return a / b;
}

// Remainder with the sign of the dividend.
constexpr value_t checked_mod(value_t a, value_t b) {
    Detail::check_division(a, b);
    return a % b;
}

// Power computed in double precision and truncated toward zero, so a negative
// exponent yields 0 unless the base is 1 or -1. A zero base is rejected.
inline value_t checked_pow(value_t a, value_t b) {
    if (a == 0) {
        throw_overflow();
    }
    double r = std::pow(static_cast<double>(a), static_cast<double>(b));
    if (r > 2147483647.0) {
        throw_overflow();
    }
    if (r < -2147483648.0) {
        throw_underflow();
    }
    return static_cast<value_t>(r);
}

constexpr value_t checked_neg(value_t a) {
    if (a == std::numeric_limits<value_t>::min()) {
        throw_overflow();
    }
    return -a;
}

// a - 1.
constexpr value_t checked_pred(value_t a) {
    if (a == std::numeric_limits<value_t>::min()) {
        throw_underflow();
    }
    return a - 1;
}

constexpr value_t check_value_range(value_t a) {
    if (a < min_value) {
        throw std::underflow_error("value too small");
    }
    if (a > max_value) {
        throw std::underflow_error("value too large");
    }
    return a;
}

// Quotient rounded toward negative infinity; d must not be zero.
constexpr wide_t floor_div(wide_t n, wide_t d) {
    assert(d != 0 && !(n == std::numeric_limits<wide_t>::min() && d == -1));
    wide_t q = n / d;
    wide_t r = n - q * d;
    if (r != 0 && ((n < 0) != (d < 0))) {
        return q - 1;
    }
    return q;
}

} // namespace Tarvex
