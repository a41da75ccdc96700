#pragma once
// Expands pools (t;u) into alternatives. Pools in conditions expand the
// element that holds them into several elements; every other pool multiplies
// the statement (or the element of an aggregate, disjunction or theory atom
// that holds it).

#include "input/ast.hpp"

#include <vector>

namespace Gondra::Input {

enum UnpoolFlags : unsigned { UnpoolCondition = 1, UnpoolOther = 2, UnpoolAll = 3 };

// Throws std::runtime_error when the expansion exceeds max_alternatives.
std::vector<NodePtr> unpool(NodePtr const& node, unsigned flags = UnpoolAll, size_t max_alternatives = 1u << 20);

} // namespace Gondra::Input
