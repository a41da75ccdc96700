#pragma once

// A set of integers as disjoint, non-touching half-open intervals [key, value),
// ordered by lower bound.

#include "core/integer_types.hpp"

#include <map>

namespace Tarvex {

using IntervalSet = std::map<value_t, value_t>;

} // namespace Tarvex
