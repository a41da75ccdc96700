#pragma once

#include "symbols/symbol.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace Gondra::Symbols {

// Name, arity and sign of a predicate or function as an interned 64-bit
// handle: equal signatures have equal handles.
//
// Order: by name (byte-wise), then arity, then sign (positive first).
class Signature {
public:
    static Signature create(std::string_view name, uint32_t arity, bool positive = true);
    // The signature of a function symbol; throws std::runtime_error otherwise.
    static Signature of(Symbol function);

    static Signature from_rep(uint64_t rep) noexcept { return Signature{rep}; }
    uint64_t rep() const noexcept { return rep_; }

    char const* name() const noexcept;
    uint32_t arity() const noexcept;
    bool is_positive() const noexcept { return !is_negative(); }
    bool is_negative() const noexcept;
    uint64_t hash() const noexcept;

    // "name/arity", with a leading '-' when negative.
    std::string to_string() const;

    friend bool operator==(Signature a, Signature b) noexcept { return a.rep_ == b.rep_; }
    friend std::strong_ordering operator<=>(Signature a, Signature b) noexcept;

private:
    explicit Signature(uint64_t rep) noexcept : rep_{rep} {}

    uint64_t rep_;
};

} // namespace Gondra::Symbols

template <> struct std::hash<Gondra::Symbols::Signature> {
    size_t operator()(Gondra::Symbols::Signature signature) const noexcept { return signature.hash(); }
};
