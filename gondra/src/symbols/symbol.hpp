#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace Gondra::Symbols {

// Kinds of symbols, listed in the order in which symbols of different kinds
// compare.
enum class SymbolType : uint8_t { Infimum, Number, Function, String, Supremum };

// A ground term, represented by a 64-bit handle. Numbers are packed into the
// handle; strings and functions point to interned, immutable nodes, so two
// symbols are equal exactly when their handles are. Symbols are created from
// any thread and never freed.
//
// Order: #inf < numbers < functions < strings < #sup. Numbers compare by
// value, strings byte-wise; functions by arity, then name (byte-wise), then
// sign (positive first), then arguments from left to right. Tuples are
// functions with the empty name, so they precede named functions of the same
// arity.
class Symbol {
public:
    constexpr Symbol() noexcept = default; // the number 0

    static Symbol create_number(int32_t number) noexcept;
    static Symbol create_infimum() noexcept;
    static Symbol create_supremum() noexcept;
    static Symbol create_string(std::string_view text);
    static Symbol create_id(std::string_view name, bool positive = true);
    static Symbol create_function(std::string_view name, std::span<Symbol const> arguments, bool positive = true);
    static Symbol create_tuple(std::span<Symbol const> arguments);

    // Accepts only handles produced by this class (e.g. passed through C).
    static constexpr Symbol from_rep(uint64_t rep) noexcept { return Symbol{rep}; }
    constexpr uint64_t rep() const noexcept { return rep_; }

    SymbolType type() const noexcept;

    // Accessors throw std::runtime_error when the symbol is of another kind.
    int32_t number() const;
    char const* string() const;                // interned, NUL-terminated
    std::string_view string_view() const;      // may contain NUL characters
    char const* name() const;                  // function name, "" for tuples
    bool is_positive() const;                  // functions only
    bool is_negative() const;                  // functions only
    bool is_tuple() const noexcept;
    std::span<Symbol const> arguments() const; // functions only

    // The same function with the opposite sign (classical negation).
    Symbol flip_sign() const;

    // Structural hash: the same for equal symbols in every run of the program.
    uint64_t hash() const noexcept;

    // Text in the input syntax; parsing it gives back the same symbol.
    void print(std::string& out) const;
    std::string to_string() const;

    friend constexpr bool operator==(Symbol a, Symbol b) noexcept { return a.rep_ == b.rep_; }
    friend std::strong_ordering operator<=>(Symbol a, Symbol b) noexcept;

private:
    constexpr explicit Symbol(uint64_t rep) noexcept : rep_{rep} {}

    uint64_t rep_ = 0; // the number 0
};

// Three-way comparison as -1, 0, 1.
int compare(Symbol a, Symbol b) noexcept;

std::ostream& operator<<(std::ostream& out, Symbol symbol);

// Appends text with quotes and the escapes \\, \" and \n, as string symbols print.
void print_quoted(std::string& out, std::string_view text);

} // namespace Gondra::Symbols

template <> struct std::hash<Gondra::Symbols::Symbol> {
    size_t operator()(Gondra::Symbols::Symbol symbol) const noexcept { return symbol.hash(); }
};
