#pragma once

// Errors met while reading a theory atom, told at the atom's place in the
// input, in the form the host uses for its own located errors.

#include "gondra.h"

#include <string>

namespace Tarvex {

// "file:line:column-column", with the end line (and file) when they differ;
// empty when the location names no file.
std::string format_location(gondra_location_t const& location);

// To be called inside a catch handler: throws the exception being handled
// again, of the same standard type, with "<location>: error: " before its
// message. Exceptions of other types, and all of them when the location is
// empty, leave unchanged.
[[noreturn]] void rethrow_located(gondra_location_t const& location);

} // namespace Tarvex
