#pragma once

// Rewriting of input statements before grounding: the user-facing atoms
// &sum, &diff and &nsum get the names that say where they stand, sum
// literals leave integrity constraints, and element tuples are made unique
// so that the host does not merge elements that look alike.

#include "host/ast.hpp"

#include <functional>

namespace Tarvex {

using StatementSink = std::function<void(Host::Ast const&)>;

// Expands the pools of the statement and hands every resulting statement,
// rewritten, to add, in order. With shift, an integrity constraint with a
// &sum literal or a negated &diff literal in its body becomes a rule with
// that atom in its head (a sum's relation complemented unless the literal is
// negated). Errors are exceptions; statements handed to add before one stay
// handed.
void rewrite_statement(Host::Ast const& statement, StatementSink const& add, bool shift);

} // namespace Tarvex
