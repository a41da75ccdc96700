#pragma once

// Arithmetic and sign changes on host symbols, the value side of evaluating
// theory terms.

#include "core/integer_types.hpp"
#include "host/symbols.hpp"

#include <string>
#include <string_view>

namespace Tarvex {

enum class ArithmeticOperator { add, sub, mul, div, mod, pow };

// The text between the enclosing quotes of a quoted name, with the escapes
// \\, \n and \" resolved; any other escaped character is dropped.
std::string unquote_string(std::string_view quoted);

// The symbol a plain theory symbol name stands for: a string symbol when the
// name is enclosed in double quotes, else a constant.
Host::symbol_t symbol_from_name(char const* name);

bool is_number(Host::symbol_t symbol);

// The number symbol of a op b; throws "Invalid Syntax" unless both operands
// are numbers, and the overflow errors of the checked arithmetic.
Host::symbol_t apply_operator(ArithmeticOperator op, Host::symbol_t a, Host::symbol_t b);

// The number negated, or a named function symbol with the opposite sign;
// throws "Invalid Syntax" for anything else.
Host::symbol_t negate_symbol(Host::symbol_t symbol);

} // namespace Tarvex
