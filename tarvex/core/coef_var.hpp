#pragma once

// One element of a linear term: a coefficient and its variable.

#include "core/integer_types.hpp"

#include <utility>

namespace Tarvex {

using CoefVar = std::pair<value_t, var_id>;

// The variable of an element that is a plain constant.
inline constexpr var_id no_var = 0xFFFFFFFFU;

} // namespace Tarvex
