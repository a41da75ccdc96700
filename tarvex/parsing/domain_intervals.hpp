#pragma once

// Building the interval set of a domain atom.

#include "core/integer_types.hpp"
#include "core/interval_set.hpp"

namespace Tarvex {

// Adds the half-open interval [lower, upper) to the set, merging it with every
// interval it overlaps or touches. Requires lower < upper.
void add_interval(IntervalSet& set, value_t lower, value_t upper);

} // namespace Tarvex
