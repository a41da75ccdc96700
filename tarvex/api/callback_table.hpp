#pragma once

#include "api/theory_handle.hpp"

#include "gondra.h"

namespace Tarvex {

// The propagator record handed to the host, with the theory handle as its
// user data: a process-wide record whose decide entry is present exactly when
// the handle configures a decision heuristic for some thread.
gondra_propagator_t const& callback_table(tarvex_theory const& theory);

} // namespace Tarvex
