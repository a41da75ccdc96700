#pragma once

// The host symbol a ground theory term denotes: arithmetic on numbers is
// carried out, everything else stays symbolic.

#include "host/symbols.hpp"
#include "parsing/term_ref.hpp"

#include <cstddef>

namespace Tarvex {

// Terms nested deeper than this are rejected rather than risking the stack of
// the thread that initialises the theory.
inline constexpr std::size_t max_term_depth = 2000;

// Throws "Invalid Syntax" for terms that denote no symbol (intervals, lists,
// sets, arithmetic on non-numbers) and the overflow errors of the checked
// arithmetic.
Host::symbol_t evaluate_term(TermRef term, std::size_t depth = 0);

} // namespace Tarvex
