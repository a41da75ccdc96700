#pragma once

// Shared checks of the exported functions.

#include "api/theory_handle.hpp"

#include <stdexcept>

namespace Tarvex {

// Exported functions that report errors refuse a null handle instead of
// crashing.
inline tarvex_theory& require_theory(tarvex_theory* theory) {
    if (theory == nullptr) {
        throw std::invalid_argument("invalid theory handle");
    }
    return *theory;
}

} // namespace Tarvex
