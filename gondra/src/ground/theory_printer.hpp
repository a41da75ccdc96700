#pragma once
// Text of ground theory terms, elements and atoms: operators print infix
// (`2*x`), other functions as `f(a,b)`, sequences with their brackets.

#include "ground/ground_program.hpp"

#include <functional>
#include <string>

namespace Gondra::Ground {

// Names program literals in conditions; the default prints their numbers.
using LiteralNamer = std::function<std::string(Literal)>;

void print_theory_term(std::string& out, TheoryData const& data, uint32_t term);
void print_theory_element(std::string& out, TheoryData const& data, uint32_t element, LiteralNamer const& namer = {});
// "&name{elements} rel guard"
void print_theory_atom(std::string& out, TheoryData const& data, uint32_t atom, LiteralNamer const& namer = {});

} // namespace Gondra::Ground
