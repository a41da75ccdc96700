#include "parsing/symbol_operations.hpp"

#include "core/checked_arithmetic.hpp"
#include "parsing/syntax_error.hpp"

#include <cstring>
#include <stdexcept>
#include <vector>

namespace Tarvex {

std::string unquote_string(std::string_view quoted) {
    std::string result;
    if (quoted.size() < 2) {
        return result;
    }
    std::string_view inner = quoted.substr(1, quoted.size() - 2);
    result.reserve(inner.size());
    for (std::size_t i = 0; i < inner.size(); ++i) {
        char c = inner[i];
        if (c != '\\') {
            result.push_back(c);
            continue;
        }
        if (++i == inner.size()) {
            break;
        }
        switch (inner[i]) {
        case '\\':
            result.push_back('\\');
            break;
        case 'n':
            result.push_back('\n');
            break;
        case '"':
            result.push_back('"');
            break;
        default:
            break;
        }
    }
    return result;
}

Host::symbol_t symbol_from_name(char const* name) {
    std::size_t length = std::strlen(name);
    if (length >= 1 && name[0] == '"' && name[length - 1] == '"') {
        return Host::create_string(unquote_string({name, length}).c_str());
    }
    return Host::create_function(name, {});
}

bool is_number(Host::symbol_t symbol) {
    return Host::symbol_type(symbol) == gondra_symbol_type_number;
}

Host::symbol_t apply_operator(ArithmeticOperator op, Host::symbol_t a, Host::symbol_t b) {
    if (!is_number(a) || !is_number(b)) {
        throw_syntax(invalid_syntax);
    }
    value_t x = Host::symbol_number(a);
    value_t y = Host::symbol_number(b);
    if ((op == ArithmeticOperator::div || op == ArithmeticOperator::mod) && y == 0) {
        // An arithmetic error, but the user wrote a division, not a large
        // number.
        throw std::overflow_error("division by zero");
    }
    value_t result = 0;
    switch (op) {
    case ArithmeticOperator::add:
        result = checked_add(x, y);
        break;
    case ArithmeticOperator::sub:
        result = checked_sub(x, y);
        break;
    case ArithmeticOperator::mul:
        result = checked_mul(x, y);
        break;
    case ArithmeticOperator::div:
        result = checked_div(x, y);
        break;
    case ArithmeticOperator::mod:
        result = checked_mod(x, y);
        break;
    case ArithmeticOperator::pow:
        result = checked_pow(x, y);
        break;
    }
    return Host::create_number(result);
}

Host::symbol_t negate_symbol(Host::symbol_t symbol) {
    if (is_number(symbol)) {
        return Host::create_number(checked_neg(Host::symbol_number(symbol)));
    }
    if (Host::symbol_type(symbol) == gondra_symbol_type_function) {
        char const* name = Host::symbol_name(symbol);
        if (name[0] != '\0') {
            // Copied: creating a symbol may move the host's argument storage.
            auto arguments = Host::symbol_arguments(symbol);
            std::vector<Host::symbol_t> copy(arguments.begin(), arguments.end());
            return Host::create_function(name, copy, !Host::symbol_is_positive(symbol));
        }
    }
    throw_syntax(invalid_syntax);
}

} // namespace Tarvex
