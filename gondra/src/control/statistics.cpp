#include "control/statistics.hpp"

#include <atomic>
#include <charconv>
#include <cmath>
#include <ostream>
#include <stdexcept>


namespace Gondra::Control {

namespace {

// Every tree and every clear draws a fresh generation; it forms the upper
// half of all keys handed out.
uint64_t next_generation() {
    static std::atomic<uint32_t> counter{0};
    return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

char const* type_name(Statistics::Type type) {
    switch (type) {
    case Statistics::Type::Value:
        return "a value";
    case Statistics::Type::Array:
        return "an array";
    case Statistics::Type::Map:
        return "a map";
    default:
        return "empty";
    }
}

void check_entry_type(Statistics::Type type) {
    if (type != Statistics::Type::Value && type != Statistics::Type::Array && type != Statistics::Type::Map) {
        throw std::runtime_error("statistics entries must be values, arrays or maps");
    }
}

void write_json_string(std::ostream& out, std::string_view text) {
    out << '"';
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out << '\\' << c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char const* digits = "0123456789abcdef";
            out << "\\u00" << digits[(c >> 4) & 0xf] << digits[c & 0xf];
        } else {
            out << c;
        }
    }
    out << '"';
}

} // namespace

Statistics::Statistics() : generation_{next_generation()} { nodes_.push_back(Node{Type::Map, 0, {}, {}}); }

uint32_t Statistics::index(Key key) const {
    auto idx = static_cast<uint32_t>(key);
    if ((key >> 32) != generation_ || idx >= nodes_.size()) {
        throw std::runtime_error("invalid statistics key");
    }
    return idx;
}

Statistics::Node const& Statistics::node(Key key, Type expected) const {
    Node const& n = nodes_[index(key)];
    if (n.type != expected) {
        throw std::runtime_error(std::string("statistics entry is ") + type_name(n.type) + ", not " +
                                 type_name(expected));
    }
    return n;
}

uint32_t Statistics::add_node(Type type) {
    if (nodes_.size() >= UINT32_MAX) {
        throw std::runtime_error("too many statistics entries");
    }
    nodes_.push_back(Node{type, 0, {}, {}});
    return static_cast<uint32_t>(nodes_.size() - 1);
}

Statistics::Type Statistics::type(Key key) const { return nodes_[index(key)].type; }

size_t Statistics::array_size(Key key) const { return node(key, Type::Array).children.size(); }

Statistics::Key Statistics::array_at(Key key, size_t offset) const {
    Node const& n = node(key, Type::Array);
    if (offset >= n.children.size()) {
        throw std::runtime_error("index " + std::to_string(offset) + " out of range for statistics array of size " +
                                 std::to_string(n.children.size()));
    }
    return key_of(n.children[offset]);
}

Statistics::Key Statistics::array_push(Key key, Type type) {
    node(key, Type::Array);
    check_entry_type(type);
    uint32_t child = add_node(type);
    nodes_[index(key)].children.push_back(child);
    return key_of(child);
}

size_t Statistics::map_size(Key key) const { return node(key, Type::Map).children.size(); }

char const* Statistics::map_subkey_name(Key key, size_t offset) const {
    Node const& n = node(key, Type::Map);
    if (offset >= n.names.size()) {
        throw std::runtime_error("index " + std::to_string(offset) + " out of range for statistics map of size " +
                                 std::to_string(n.names.size()));
    }
    return n.names[offset].c_str();
}

bool Statistics::map_has_subkey(Key key, std::string_view name) const {
    for (auto const& entry : node(key, Type::Map).names) {
        if (entry == name) {
            return true;
        }
    }
    return false;
}

Statistics::Key Statistics::map_at(Key key, std::string_view name) const {
    Node const& n = node(key, Type::Map);
    for (size_t i = 0; i < n.names.size(); ++i) {
        if (n.names[i] == name) {
            return key_of(n.children[i]);
        }
    }
    throw std::runtime_error("statistics map has no entry '" + std::string(name) + "'");
}

Statistics::Key Statistics::map_add_subkey(Key key, std::string_view name, Type type) {
    check_entry_type(type);
    Node const& n = node(key, Type::Map);
    for (size_t i = 0; i < n.names.size(); ++i) {
        if (n.names[i] == name) {
            Type existing = nodes_[n.children[i]].type;
            if (existing != type) {
                throw std::runtime_error("statistics entry '" + std::string(name) + "' exists as " +
                                         type_name(existing) + ", not " + type_name(type));
            }
            return key_of(n.children[i]);
        }
    }
    std::string entry(name);
    uint32_t child = add_node(type);
    Node& parent = nodes_[index(key)];
    parent.names.push_back(std::move(entry));
    parent.children.push_back(child);
    return key_of(child);
}

double Statistics::value_get(Key key) const { return node(key, Type::Value).value; }

void Statistics::value_set(Key key, double value) {
    node(key, Type::Value);
    nodes_[index(key)].value = value;
}

void Statistics::set(std::string_view path, double value) {
    Key key = root();
    while (true) {
        size_t dot = path.find('.');
        if (dot == std::string_view::npos) {
            value_set(map_add_subkey(key, path, Type::Value), value);
            return;
        }
        key = map_add_subkey(key, path.substr(0, dot), Type::Map);
        path.remove_prefix(dot + 1);
    }
}

double Statistics::get(std::string_view path) const {
    Key key = root();
    while (true) {
        size_t dot = path.find('.');
        key = map_at(key, path.substr(0, dot));
        if (dot == std::string_view::npos) {
            return value_get(key);
        }
        path.remove_prefix(dot + 1);
    }
}

void Statistics::clear() {
    nodes_.clear();
    nodes_.push_back(Node{Type::Map, 0, {}, {}});
    generation_ = next_generation();
}

void Statistics::write_json(std::ostream& out, unsigned indent) const { write_node(out, 0, indent); }

void Statistics::write_node(std::ostream& out, uint32_t idx, unsigned indent) const {
    Node const& n = nodes_[idx];
    std::string pad(2 * (indent + 1), ' ');
    std::string close_pad(2 * indent, ' ');
    switch (n.type) {
    case Type::Value: {
        if (!std::isfinite(n.value)) {
            out << "null"; // JSON has no infinities
            break;
        }
        char buffer[64];
        auto result = std::to_chars(buffer, buffer + sizeof(buffer), n.value);
        out.write(buffer, result.ptr - buffer);
        break;
    }
    case Type::Array:
        if (n.children.empty()) {
            out << "[]";
            break;
        }
        out << "[\n";
        for (size_t i = 0; i < n.children.size(); ++i) {
            out << pad;
            write_node(out, n.children[i], indent + 1);
            out << (i + 1 < n.children.size() ? ",\n" : "\n");
        }
        out << close_pad << ']';
        break;
    case Type::Map:
        if (n.children.empty()) {
            out << "{}";
            break;
        }
        out << "{\n";
        for (size_t i = 0; i < n.children.size(); ++i) {
            out << pad;
            write_json_string(out, n.names[i]);
            out << ": ";
            write_node(out, n.children[i], indent + 1);
            out << (i + 1 < n.children.size() ? ",\n" : "\n");
        }
        out << close_pad << '}';
        break;
    default:
        out << "null";
    }
}

} // namespace Gondra::Control
