#pragma once
// The opaque theory-atoms handle of the C interface: a view of the ground
// program's theory data that the control hands out.

#include "ground/ground_program.hpp"

struct gondra_theory_atoms {
    Gondra::Ground::TheoryData const* data;
};
