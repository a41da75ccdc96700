#pragma once

// One entry of a thread's literal map: which (variable, value) a host atom
// stands for as an order literal. There is one per host variable, so it is
// kept to 8 bytes: the neighbouring order literals are found in the
// variable's own literal store when needed.

#include "core/integer_types.hpp"

#include <cstdint>

namespace Tarvex {

struct LiteralEntry {
    static constexpr std::uint32_t sign_bit = 0x80000000U;
    // Marks an entry without an order literal; no variable reaches it.
    static constexpr std::uint32_t empty = 0xFFFFFFFFU;
    static constexpr std::uint32_t var_limit = 0x7FFFFFFFU;

    // Variable in the low 31 bits; the top bit is set when the positive
    // literal of the atom is the order literal.
    std::uint32_t var_sign = empty;
    // v of x <= v.
    value_t value = 0;

    var_id var() const { return var_sign & ~sign_bit; }
    bool sign() const { return (var_sign & sign_bit) != 0; }
    bool valid() const { return var_sign != empty; }
    void clear() { var_sign = empty; }
    // Whether lit (an atom of this entry) is the stored order literal.
    bool is_order_literal(literal_t lit) const { return valid() && sign() == (lit > 0); }
};

// A literal that became true or false on level 0 and awaits its bound change.
struct Fact {
    // 1: x <= value became true; -1: it became false.
    literal_t truth;
    var_id var;
    value_t value;
};

} // namespace Tarvex
