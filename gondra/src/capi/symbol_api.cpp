// The symbol and signature families of the C interface.
#include "capi/api_guard.hpp"
#include "gondra.h"
#include "symbols/signature.hpp"
#include "symbols/string_pool.hpp"
#include "symbols/symbol.hpp"

#include <cstring>
#include <span>
#include <stdexcept>

using Gondra::CApi::guard;
using Gondra::Symbols::compare;
using Gondra::Symbols::Signature;
using Gondra::Symbols::Symbol;

namespace {

using Gondra::Symbols::SymbolType;
static_assert(static_cast<int>(SymbolType::Infimum) == gondra_symbol_type_infimum);
static_assert(static_cast<int>(SymbolType::Number) == gondra_symbol_type_number);
static_assert(static_cast<int>(SymbolType::Function) == gondra_symbol_type_function);
static_assert(static_cast<int>(SymbolType::String) == gondra_symbol_type_string);
static_assert(static_cast<int>(SymbolType::Supremum) == gondra_symbol_type_supremum);

void require(void const* pointer, char const* what) {
    if (pointer == nullptr) {
        throw std::invalid_argument(std::string(what) + " must not be null");
    }
}

Symbol sym(gondra_symbol_t symbol) { return Symbol::from_rep(symbol); }

std::span<Symbol const> symbol_span(gondra_symbol_t const* arguments, size_t size) {
    if (size == 0) {
        return {};
    }
    require(arguments, "arguments");
    static_assert(sizeof(Symbol) == sizeof(gondra_symbol_t));
    return {reinterpret_cast<Symbol const*>(arguments), size};
}

} // namespace

extern "C" {

bool gondra_signature_create(char const* name, uint32_t arity, bool positive, gondra_signature_t* signature) {
    return guard([&] {
        require(name, "name");
        require(signature, "signature");
        *signature = Signature::create(name, arity, positive).rep();
    });
}

char const* gondra_signature_name(gondra_signature_t signature) { return Signature::from_rep(signature).name(); }

uint32_t gondra_signature_arity(gondra_signature_t signature) { return Signature::from_rep(signature).arity(); }

bool gondra_signature_is_positive(gondra_signature_t signature) {
    return Signature::from_rep(signature).is_positive();
}

bool gondra_signature_is_negative(gondra_signature_t signature) {
    return Signature::from_rep(signature).is_negative();
}

bool gondra_signature_is_equal_to(gondra_signature_t a, gondra_signature_t b) { return a == b; }

bool gondra_signature_is_less_than(gondra_signature_t a, gondra_signature_t b) {
    return Signature::from_rep(a) < Signature::from_rep(b);
}

size_t gondra_signature_hash(gondra_signature_t signature) { return Signature::from_rep(signature).hash(); }

void gondra_symbol_create_number(int number, gondra_symbol_t* symbol) {
    if (symbol != nullptr) {
        *symbol = Symbol::create_number(number).rep();
    }
}

void gondra_symbol_create_supremum(gondra_symbol_t* symbol) {
    if (symbol != nullptr) {
        *symbol = Symbol::create_supremum().rep();
    }
}

void gondra_symbol_create_infimum(gondra_symbol_t* symbol) {
    if (symbol != nullptr) {
        *symbol = Symbol::create_infimum().rep();
    }
}

bool gondra_symbol_create_string(char const* string, gondra_symbol_t* symbol) {
    return guard([&] {
        require(string, "string");
        require(symbol, "symbol");
        *symbol = Symbol::create_string(string).rep();
    });
}

bool gondra_symbol_create_id(char const* name, bool positive, gondra_symbol_t* symbol) {
    return guard([&] {
        require(name, "name");
        require(symbol, "symbol");
        *symbol = Symbol::create_id(name, positive).rep();
    });
}

bool gondra_symbol_create_function(char const* name, gondra_symbol_t const* arguments, size_t arguments_size,
                                   bool positive, gondra_symbol_t* symbol) {
    return guard([&] {
        require(name, "name");
        require(symbol, "symbol");
        *symbol = Symbol::create_function(name, symbol_span(arguments, arguments_size), positive).rep();
    });
}

bool gondra_symbol_number(gondra_symbol_t symbol, int* number) {
    return guard([&] {
        require(number, "number");
        *number = sym(symbol).number();
    });
}

bool gondra_symbol_name(gondra_symbol_t symbol, char const** name) {
    return guard([&] {
        require(name, "name");
        *name = sym(symbol).name();
    });
}

bool gondra_symbol_string(gondra_symbol_t symbol, char const** string) {
    return guard([&] {
        require(string, "string");
        *string = sym(symbol).string();
    });
}

bool gondra_symbol_is_positive(gondra_symbol_t symbol, bool* positive) {
    return guard([&] {
        require(positive, "positive");
        *positive = sym(symbol).is_positive();
    });
}

bool gondra_symbol_is_negative(gondra_symbol_t symbol, bool* negative) {
    return guard([&] {
        require(negative, "negative");
        *negative = sym(symbol).is_negative();
    });
}

bool gondra_symbol_arguments(gondra_symbol_t symbol, gondra_symbol_t const** arguments, size_t* arguments_size) {
    return guard([&] {
        require(arguments, "arguments");
        require(arguments_size, "arguments_size");
        std::span<Symbol const> args = sym(symbol).arguments();
        *arguments = reinterpret_cast<gondra_symbol_t const*>(args.data());
        *arguments_size = args.size();
    });
}

gondra_symbol_type_t gondra_symbol_type(gondra_symbol_t symbol) {
    return static_cast<gondra_symbol_type_t>(sym(symbol).type());
}

bool gondra_symbol_to_string_size(gondra_symbol_t symbol, size_t* size) {
    return guard([&] {
        require(size, "size");
        *size = sym(symbol).to_string().size() + 1;
    });
}

bool gondra_symbol_to_string(gondra_symbol_t symbol, char* string, size_t size) {
    return guard([&] {
        require(string, "string");
        std::string text = sym(symbol).to_string();
        if (size < text.size() + 1) {
            throw std::length_error("buffer too small for the symbol's text");
        }
        std::memcpy(string, text.c_str(), text.size() + 1);
    });
}

bool gondra_symbol_is_equal_to(gondra_symbol_t a, gondra_symbol_t b) { return a == b; }

bool gondra_symbol_is_less_than(gondra_symbol_t a, gondra_symbol_t b) { return compare(sym(a), sym(b)) < 0; }

size_t gondra_symbol_hash(gondra_symbol_t symbol) { return sym(symbol).hash(); }

bool gondra_add_string(char const* string, char const** result) {
    return guard([&] {
        require(string, "string");
        require(result, "result");
        *result = Gondra::Symbols::intern_string(string);
    });
}
}
