#pragma once
// Prints a ground program as readable rules: named atoms by their symbols,
// auxiliary atoms as #aux(N), theory atoms in their own syntax.

#include "ground/ground_program.hpp"

#include <string>

namespace Gondra::Ground {

std::string print_text(GroundProgram const& program);

} // namespace Gondra::Ground
