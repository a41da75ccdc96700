#pragma once

// Reads the ground theory atoms of the theory and hands their constraints,
// domains, show directives and objective terms to the builder.

#include "constraints/abstract_constraint_builder.hpp"
#include "host/theory_atoms.hpp"

namespace Tarvex {

// False as soon as a builder operation reports a conflict (later atoms are
// not read). Malformed atoms throw std::runtime_error with a fixed message;
// arithmetic errors throw the overflow and range errors. Atoms of other
// theories are skipped.
bool parse_theory_atoms(AbstractConstraintBuilder& builder, Host::TheoryAtoms atoms);

} // namespace Tarvex
