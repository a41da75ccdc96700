#pragma once

#include "api/theory_handle.hpp"

#include "gondra.h"

namespace Tarvex {

// The process-wide propagator record handed to the host, with the theory
// handle as its user data. The first call fixes the decide entry for the rest
// of the process: present exactly when that call's handle configures a
// decision heuristic for some thread.
gondra_propagator_t const& callback_table(tarvex_theory const& theory);

} // namespace Tarvex
