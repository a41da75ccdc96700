#pragma once
// Prints syntax trees in the input syntax; parsing the text gives back an
// equal tree for every tree the parser produces.

#include "input/ast.hpp"

#include <string>

namespace Gondra::Input {

void print_ast(std::string& out, Node const& node);
std::string ast_to_string(Node const& node);

char const* comparison_text(ComparisonOperator op);

} // namespace Gondra::Input
