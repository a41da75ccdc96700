#pragma once

#include "symbols/intern_table.hpp"
#include "symbols/string_pool.hpp"
#include "symbols/symbol.hpp"

#include <cstdint>
#include <span>

namespace Gondra::Symbols {

// Interned function (or tuple) node; its arguments follow it in memory.
struct FunctionNode {
    uint64_t hash;
    char const* name; // interned
    uint32_t arity;
    bool negative;

    Symbol const* args() const noexcept { return reinterpret_cast<Symbol const*>(this + 1); }
    std::span<Symbol const> arguments() const noexcept { return {args(), arity}; }
};

static_assert(sizeof(FunctionNode) % alignof(Symbol) == 0);
static_assert(sizeof(Symbol) == sizeof(uint64_t) && alignof(Symbol) == alignof(uint64_t));

// Hash of a function head; signatures and functions share it so that a
// symbol's signature can be found from its hash cheaply.
inline uint64_t head_hash(char const* name, uint32_t arity, bool negative) noexcept {
    return combine_hash(combine_hash(string_node_of(name)->hash, arity), negative ? 1 : 0);
}

} // namespace Gondra::Symbols
