#pragma once

// One entry of a thread's literal map: which (variable, value) a host atom
// stands for as an order literal, and the order literals around it.

#include "core/integer_types.hpp"

#include <cstdint>

namespace Tarvex {

struct LiteralEntry {
    static constexpr std::uint32_t sign_bit = 0x80000000U;

    // Variable in the low 31 bits; the top bit is set when the positive
    // literal of the atom is the order literal.
    std::uint32_t var_sign = 0;
    // v of x <= v.
    value_t value = 0;
    // Order literal at the next smaller stored value, -1 if none; 0 marks an
    // empty entry.
    literal_t prev = 0;
    // Order literal at the next larger stored value, 1 if none.
    literal_t next = 0;

    var_id var() const { return var_sign & ~sign_bit; }
    bool sign() const { return (var_sign & sign_bit) != 0; }
    bool valid() const { return prev != 0; }
    // Whether lit (an atom of this entry) is the stored order literal.
    bool is_order_literal(literal_t lit) const { return prev != 0 && sign() == (lit > 0); }
};

// A literal that became true or false on level 0 and awaits its bound change.
struct Fact {
    // 1: x <= value became true; -1: it became false.
    literal_t truth;
    var_id var;
    value_t value;
    // The next literal for truth 1, the previous one for truth -1.
    literal_t neighbour;
};

} // namespace Tarvex
