#pragma once

// Thin functions over the host's symbols and signatures.

#include "host/host_error.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace Tarvex::Host {

using symbol_t = gondra_symbol_t;
using signature_t = gondra_signature_t;

inline symbol_t create_number(int number) {
    symbol_t result = 0;
    gondra_symbol_create_number(number, &result);
    return result;
}
inline symbol_t create_string(char const* text) {
    symbol_t result = 0;
    check(gondra_symbol_create_string(text, &result));
    return result;
}
// The empty name makes a tuple.
inline symbol_t create_function(char const* name, std::span<symbol_t const> arguments, bool positive = true) {
    symbol_t result = 0;
    check(gondra_symbol_create_function(name, arguments.data(), arguments.size(), positive, &result));
    return result;
}
inline gondra_symbol_type_t symbol_type(symbol_t symbol) {
    return gondra_symbol_type(symbol);
}
inline int symbol_number(symbol_t symbol) {
    int result = 0;
    check(gondra_symbol_number(symbol, &result));
    return result;
}
inline char const* symbol_name(symbol_t symbol) {
    char const* result = nullptr;
    check(gondra_symbol_name(symbol, &result));
    return result;
}
inline std::span<symbol_t const> symbol_arguments(symbol_t symbol) {
    symbol_t const* data = nullptr;
    std::size_t size = 0;
    check(gondra_symbol_arguments(symbol, &data, &size));
    return {data, size};
}
inline bool symbol_is_positive(symbol_t symbol) {
    bool result = false;
    check(gondra_symbol_is_positive(symbol, &result));
    return result;
}
// The symbol in the input syntax.
inline std::string symbol_to_string(symbol_t symbol) {
    std::size_t size = 0;
    check(gondra_symbol_to_string_size(symbol, &size));
    std::string result(size, '\0');
    check(gondra_symbol_to_string(symbol, result.data(), size));
    // The size counts the terminating zero.
    if (!result.empty() && result.back() == '\0') {
        result.pop_back();
    }
    return result;
}
inline std::size_t symbol_hash(symbol_t symbol) {
    return gondra_symbol_hash(symbol);
}
inline bool symbol_equal(symbol_t a, symbol_t b) {
    return gondra_symbol_is_equal_to(a, b);
}

inline signature_t create_signature(char const* name, std::uint32_t arity, bool positive = true) {
    signature_t result = 0;
    check(gondra_signature_create(name, arity, positive, &result));
    return result;
}
inline std::size_t signature_hash(signature_t signature) {
    return gondra_signature_hash(signature);
}
inline bool signature_equal(signature_t a, signature_t b) {
    return gondra_signature_is_equal_to(a, b);
}

// An interned copy that lives as long as the process.
inline char const* add_string(char const* text) {
    char const* result = nullptr;
    check(gondra_add_string(text, &result));
    return result;
}

} // namespace Tarvex::Host
