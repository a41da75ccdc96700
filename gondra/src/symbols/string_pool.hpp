#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Gondra::Symbols {

// Header in front of the characters of every interned string. Interned
// strings live until the process ends, so pointers to them can be kept and
// compared for identity anywhere.
struct StringNode {
    uint64_t hash;
    size_t size;

    char const* data() const noexcept { return reinterpret_cast<char const*>(this + 1); }
    std::string_view view() const noexcept { return {data(), size}; }
};

// Returns the unique node holding exactly the given characters (a NUL follows
// them). Safe to call from any thread.
StringNode const* intern_string_node(std::string_view text);

// The interned, NUL-terminated copy of text.
inline char const* intern_string(std::string_view text) { return intern_string_node(text)->data(); }

// The node of a pointer returned by intern_string (and only of such pointers).
inline StringNode const* string_node_of(char const* interned) noexcept {
    return reinterpret_cast<StringNode const*>(interned) - 1;
}

uint64_t hash_bytes(std::string_view text) noexcept;

} // namespace Gondra::Symbols
