#include "symbols/string_pool.hpp"

#include "symbols/intern_table.hpp"

#include <cstring>
#include <new>

namespace Gondra::Symbols {

namespace {

struct StringKey {
    std::string_view text;
    uint64_t key_hash;

    uint64_t hash() const noexcept { return key_hash; }
    bool matches(StringNode const& node) const noexcept { return node.view() == text; }
    StringNode* make() const {
        void* memory = ::operator new(sizeof(StringNode) + text.size() + 1);
        auto* node = new (memory) StringNode{key_hash, text.size()};
        char* chars = reinterpret_cast<char*>(node + 1);
        if (!text.empty()) {
            std::memcpy(chars, text.data(), text.size());
        }
        chars[text.size()] = '\0';
        return node;
    }
};

// Deliberately leaked: interned strings must outlive every static destructor
// that might still print or compare symbols.
InternTable<StringNode>& string_table() {
    static auto* table = new InternTable<StringNode>();
    return *table;
}

} // namespace

uint64_t hash_bytes(std::string_view text) noexcept {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return mix_hash(hash ^ text.size());
}

StringNode const* intern_string_node(std::string_view text) {
    return string_table().intern(StringKey{text, hash_bytes(text)});
}

} // namespace Gondra::Symbols
