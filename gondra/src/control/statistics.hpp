#pragma once

#include <cstdint>
#include <deque>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

struct gondra_statistic;

namespace Gondra::Control {

// A tree of maps, arrays and numeric values. The host writes its summary into
// it and applications add subtrees of their own. Keys carry the identity of
// the tree (and of its contents since the last clear), so a key of another
// tree, or one from before a clear, is rejected instead of silently reaching
// the wrong entry.
//
// Not synchronised: written between searches by one thread.
class Statistics {
public:
    using Key = uint64_t;
    enum class Type : uint8_t { Empty = 0, Value = 1, Array = 2, Map = 3 };

    Statistics();

    Key root() const noexcept { return key_of(0); }
    Type type(Key key) const;

    size_t array_size(Key key) const;
    Key array_at(Key key, size_t offset) const;
    Key array_push(Key key, Type type);

    size_t map_size(Key key) const;
    char const* map_subkey_name(Key key, size_t offset) const;
    bool map_has_subkey(Key key, std::string_view name) const;
    Key map_at(Key key, std::string_view name) const;
    // Adds an entry; an entry of that name and type is returned as it is, one
    // of another type is an error.
    Key map_add_subkey(Key key, std::string_view name, Type type);

    double value_get(Key key) const;
    void value_set(Key key, double value);

    // Sets the value at a dotted path below the root ("summary.times.total"),
    // creating the maps on the way.
    void set(std::string_view path, double value);
    // The value at a dotted path; throws when absent.
    double get(std::string_view path) const;

    // Removes everything below the root; earlier keys become invalid.
    void clear();

    // The tree as JSON (maps as objects, arrays as arrays), indented by two spaces per level.
    void write_json(std::ostream& out, unsigned indent = 0) const;

    gondra_statistic* to_c() noexcept { return reinterpret_cast<gondra_statistic*>(this); }
    gondra_statistic const* to_c() const noexcept { return reinterpret_cast<gondra_statistic const*>(this); }
    static Statistics* from_c(gondra_statistic* c) noexcept { return reinterpret_cast<Statistics*>(c); }
    static Statistics const* from_c(gondra_statistic const* c) noexcept {
        return reinterpret_cast<Statistics const*>(c);
    }

private:
    struct Node {
        Type type;
        double value = 0;
        std::vector<uint32_t> children;
        std::vector<std::string> names; // map entries only, parallel to children
    };

    uint32_t index(Key key) const;
    Node const& node(Key key, Type expected) const;
    uint32_t add_node(Type type);
    Key key_of(uint32_t index) const noexcept { return (generation_ << 32) | index; }
    void write_node(std::ostream& out, uint32_t index, unsigned indent) const;

    uint64_t generation_;
    std::deque<Node> nodes_; // stable addresses: returned name pointers stay valid while nodes are added
};

} // namespace Gondra::Control
