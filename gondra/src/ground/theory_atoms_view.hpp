#pragma once
// The opaque theory-atoms handle of the C interface: a view of the ground
// program's theory data that the control hands out. A propagator's init sees
// the atoms grounded since the previous solve call: atom ids of the view count
// from first_atom (term and element ids are those of the whole data).

#include "ground/ground_program.hpp"

#include <cstdint>

struct gondra_theory_atoms {
    Gondra::Ground::TheoryData const* data;
    uint32_t first_atom = 0;
};
