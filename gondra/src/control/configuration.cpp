#include "control/configuration.hpp"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace Gondra::Control {

namespace {

char const* type_name(unsigned type) {
    switch (type) {
    case Configuration::Value:
        return "a value";
    case Configuration::Array:
        return "an array";
    default:
        return "a map";
    }
}

} // namespace

Configuration::Configuration() {
    nodes_.push_back(Node{Map, "", "", "configuration of the solver", {}, {}, {}, false});
    Key solve = add_map(root, "solve", "search settings");
    add_value(solve, "models", "number of models to compute: 0 for all, -1 for one or until the optimum is proven",
              integer(-1, INT32_MAX), "-1");
    add_value(solve, "threads", "number of solver threads", integer(1, max_threads), "1");
    add_value(solve, "time_limit", "time limit of the search in seconds, 0 for none", non_negative_real(), "0");
    Key solver = add_map(root, "solver", "settings of the solver threads");
    add_value(solver, "seed", "seed of the random choices", integer(0, UINT32_MAX), "0");
    add_value(solver, "propagator_phase",
              "phase of variables that propagators create: saved (like all others) or initial (never saved)",
              choice({"saved", "initial"}), "saved");
    add_value(solver, "objective_model",
              "after a model of an objective that a propagator enforces: restart (the saved phases lead back to "
              "it), restart-block (restart with a clause that excludes its decisions) or walk on through the "
              "subspaces next to its decisions",
              choice({"restart", "restart-block", "walk"}), "restart");
    add_value(solver, "propagator_reasons",
              "clauses by which propagators explain inferences among their own variables: kept like other learnt "
              "clauses (keep) or only while they are reasons (drop)",
              choice({"keep", "drop"}), "drop");
}

Configuration::Node const& Configuration::node(Key key) const {
    if (key >= nodes_.size()) {
        throw std::runtime_error("invalid configuration key " + std::to_string(key));
    }
    return nodes_[key];
}

Configuration::Node const& Configuration::node(Key key, Type expected) const {
    Node const& n = node(key);
    if (n.type != expected) {
        std::string name = n.path.empty() ? "the root" : "'" + n.path + "'";
        throw std::runtime_error("configuration key " + name + " is not " + type_name(expected));
    }
    return n;
}

unsigned Configuration::type(Key key) const { return node(key).type; }

char const* Configuration::description(Key key) const { return node(key).description.c_str(); }

std::string const& Configuration::path(Key key) const { return node(key).path; }

size_t Configuration::array_size(Key key) const { return node(key, Array).children.size(); }

Configuration::Key Configuration::array_at(Key key, size_t offset) const {
    Node const& n = node(key, Array);
    if (offset >= n.children.size()) {
        throw std::runtime_error("index " + std::to_string(offset) + " out of range for configuration array '" +
                                 n.path + "'");
    }
    return n.children[offset];
}

size_t Configuration::map_size(Key key) const { return node(key, Map).children.size(); }

char const* Configuration::map_subkey_name(Key key, size_t offset) const {
    Node const& n = node(key, Map);
    if (offset >= n.children.size()) {
        throw std::runtime_error("index " + std::to_string(offset) + " out of range for configuration map");
    }
    return nodes_[n.children[offset]].name.c_str();
}

Configuration::Key Configuration::find_child(Key key, std::string_view name) const {
    // Walks dotted paths one map at a time.
    while (true) {
        Node const& n = node(key);
        if (n.type == Value) {
            return no_key;
        }
        size_t dot = name.find('.');
        std::string_view head = name.substr(0, dot);
        Key next = no_key;
        for (Key child : n.children) { // array elements are named by their index
            if (nodes_[child].name == head) {
                next = child;
                break;
            }
        }
        if (next == no_key || dot == std::string_view::npos) {
            return next;
        }
        key = next;
        name.remove_prefix(dot + 1);
    }
}

bool Configuration::map_has_subkey(Key key, std::string_view name) const {
    node(key, Map);
    return find_child(key, name) != no_key;
}

Configuration::Key Configuration::map_at(Key key, std::string_view name) const {
    Node const& n = node(key, Map);
    Key child = find_child(key, name);
    if (child == no_key) {
        std::string full = n.path.empty() ? std::string(name) : n.path + "." + std::string(name);
        throw std::runtime_error("unknown configuration key '" + full + "'");
    }
    return child;
}

bool Configuration::value_is_assigned(Key key) const { return node(key, Value).assigned; }

std::string const& Configuration::value_get(Key key) const { return node(key, Value).value; }

std::string Configuration::validate(Key key, std::string_view text) const { return node(key, Value).validator(text); }

void Configuration::value_set(Key key, std::string_view text) {
    Node const& n = node(key, Value);
    std::string canonical;
    try {
        canonical = n.validator(text);
    } catch (std::runtime_error const& e) {
        throw std::runtime_error("invalid value '" + std::string(text) + "' for configuration key '" + n.path +
                                 "': " + e.what());
    }
    Node& target = nodes_[key];
    target.value = std::move(canonical);
    target.assigned = true;
}

int64_t Configuration::get_integer(std::string_view path) const {
    std::string const& text = get(path);
    int64_t result = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
    if (error != std::errc{} || end != text.data() + text.size()) {
        throw std::runtime_error("configuration key '" + std::string(path) + "' does not hold an integer");
    }
    return result;
}

double Configuration::get_double(std::string_view path) const {
    std::string const& text = get(path);
    double result = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
    if (error != std::errc{} || end != text.data() + text.size()) {
        throw std::runtime_error("configuration key '" + std::string(path) + "' does not hold a number");
    }
    return result;
}

Configuration::Key Configuration::add_node(Key parent, std::string_view name, std::string_view description,
                                          Type type) {
    Node const& p = node(parent);
    if (p.type == Value) {
        throw std::logic_error("configuration value '" + p.path + "' cannot have entries");
    }
    if (p.type == Map && (name.empty() || name.find('.') != std::string_view::npos || find_child(parent, name) != no_key)) {
        throw std::logic_error("invalid or duplicate configuration key '" + std::string(name) + "'");
    }
    std::string entry = p.type == Array ? std::to_string(p.children.size()) : std::string(name);
    std::string path = p.path.empty() ? entry : p.path + "." + entry;
    Key key = static_cast<Key>(nodes_.size());
    nodes_.push_back(Node{type, entry, std::move(path), std::string(description), {}, {}, {}, false});
    nodes_[parent].children.push_back(key);
    return key;
}

Configuration::Key Configuration::add_map(Key parent, std::string_view name, std::string_view description) {
    return add_node(parent, name, description, Map);
}

Configuration::Key Configuration::add_array(Key parent, std::string_view name, std::string_view description) {
    return add_node(parent, name, description, Array);
}

Configuration::Key Configuration::add_value(Key parent, std::string_view name, std::string_view description,
                                           Validator validator, char const* default_text) {
    if (!validator) {
        throw std::logic_error("configuration value without validator");
    }
    Key key = add_node(parent, name, description, Value);
    nodes_[key].validator = std::move(validator);
    if (default_text != nullptr) {
        value_set(key, default_text);
    }
    return key;
}

Configuration::Validator Configuration::integer(int64_t min, int64_t max) {
    return [min, max](std::string_view text) {
        std::string_view digits = text;
        if (!digits.empty() && digits.front() == '+') {
            digits.remove_prefix(1);
        }
        int64_t number = 0;
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (digits.empty() || (digits.front() == '-' && text.front() == '+') || end != digits.data() + digits.size() ||
            error == std::errc::invalid_argument) {
            throw std::runtime_error("an integer is expected");
        }
        if (error == std::errc::result_out_of_range || number < min || number > max) {
            throw std::runtime_error("the integer must be between " + std::to_string(min) + " and " +
                                     std::to_string(max));
        }
        return std::to_string(number);
    };
}

Configuration::Validator Configuration::choice(std::vector<std::string> names) {
    return [names = std::move(names)](std::string_view text) {
        for (auto const& name : names) {
            if (text == name) {
                return name;
            }
        }
        std::string expected;
        for (auto const& name : names) {
            expected += (expected.empty() ? "" : ", ") + name;
        }
        throw std::runtime_error("one of " + expected + " is expected");
    };
}

Configuration::Validator Configuration::non_negative_real() {
    return [](std::string_view text) {
        double number = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (text.empty() || error != std::errc{} || end != text.data() + text.size() || !std::isfinite(number)) {
            throw std::runtime_error("a number is expected");
        }
        if (number < 0) {
            throw std::runtime_error("the number must not be negative");
        }
        char buffer[64];
        auto result = std::to_chars(buffer, buffer + sizeof(buffer), number);
        return std::string(buffer, result.ptr);
    };
}

} // namespace Gondra::Control
