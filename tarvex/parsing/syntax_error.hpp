#pragma once

// The fixed messages of input that does not fit the theory.

#include <stdexcept>

namespace Tarvex {

inline constexpr char const* invalid_syntax = "Invalid Syntax";
inline constexpr char const* invalid_sum = "Invalid Syntax: invalid sum constraint";
inline constexpr char const* only_linear = "Invalid Syntax: only linear sum constraints are supported";
inline constexpr char const* invalid_difference = "Invalid Syntax: invalid difference constraint";
inline constexpr char const* invalid_distinct = "Invalid Syntax: invalid distinct statement";
inline constexpr char const* invalid_disjoint = "Invalid Syntax: invalid disjoint statement";
inline constexpr char const* invalid_show = "Invalid Syntax: invalid show statement";
inline constexpr char const* invalid_dom = "Invalid Syntax: invalid dom statement";
inline constexpr char const* too_deep = "Invalid Syntax: term nested too deeply";
inline constexpr char const* too_many_variables = "nonlinear terms with more than 2 variables are not supported";
inline constexpr char const* second_linear = "nonlinear sums can have at most one linear term";
inline constexpr char const* second_product = "nonlinear sums can have at most one nonlinear term";

[[noreturn]] inline void throw_syntax(char const* message) {
    throw std::runtime_error(message);
}

} // namespace Tarvex
