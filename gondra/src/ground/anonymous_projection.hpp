#pragma once
// Negative body literals with anonymous variables, as in "not p(X,_)", hold
// when no atom matches for any value of the anonymous positions. Such a
// literal becomes "not #proj<k>(X)" over an auxiliary predicate defined by
// "#proj<k>(V) :- p(V,_).", which projects the anonymous positions away. The
// auxiliary names cannot be written in programs, so they never clash and are
// never shown.
#include "input/ast.hpp"

#include <cstdint>
#include <vector>

namespace Gondra::Ground {

// The statement with such literals replaced, followed by the auxiliary rules;
// just the statement when it has none. counter numbers the auxiliary
// predicates of a grounder.
std::vector<Input::NodePtr> project_anonymous(Input::NodePtr const& statement, uint32_t& counter);

// Whether a predicate name is one of the auxiliary ones.
inline bool is_projection_name(char const* name) {
    return name != nullptr && name[0] == '#';
}

} // namespace Gondra::Ground
