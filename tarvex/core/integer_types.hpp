#pragma once

#include <cstdint>

namespace Tarvex {

// Values and bounds of integer variables, coefficients, right-hand sides.
using value_t = std::int32_t;
// Sums of coefficient times bound, slacks and costs.
using wide_t = std::int64_t;
// Index of an integer variable.
using var_id = std::uint32_t;
// Host solver literal; its negation is the arithmetic negative.
using literal_t = std::int32_t;
// Decision level.
using level_t = std::uint32_t;

// The host's always-true literal; its negation is always false.
inline constexpr literal_t true_literal = 1;

} // namespace Tarvex
