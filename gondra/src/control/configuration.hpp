#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct gondra_configuration;

namespace Gondra::Control {

// The solver's settings as a tree of maps, arrays and text values, addressed
// by numeric keys (the root is 0). Every value has a validator: writing an
// invalid text fails with std::runtime_error and leaves the old value, so the
// tree only ever holds values the solver can use. Values are kept in a
// canonical text form ("+5" and "05" are stored as "5").
//
// Default entries:
//   solve.models      -1   number of models; 0 all, -1 one or until the optimum is proven
//   solve.threads     1    number of solver threads (1..64)
//   solve.time_limit  0    seconds of search, 0 for none
//   solver.seed       0    seed of the random choices
//   solver.propagator_phase  saved  saved or initial: whether the phases of
//                     variables created by propagators are saved. initial
//                     pays when a propagator optimises by bounding an integer
//                     after each model (values fall back to their least ones
//                     instead of improving by one); it costs when all models
//                     are enumerated (the search re-tries blocked values).
//
// Not synchronised: written before solving, read by the solver when it starts.
class Configuration {
public:
    using Key = uint32_t;
    // The bits of a key's type; a key has exactly one of them.
    enum Type : unsigned { Value = 1, Array = 2, Map = 4 };
    // Checks a text and returns its canonical form; throws std::runtime_error
    // with a short reason ("an integer is expected") when the text is invalid.
    using Validator = std::function<std::string(std::string_view)>;

    static constexpr Key root = 0;
    static constexpr size_t max_threads = 64;

    Configuration();

    unsigned type(Key key) const;
    char const* description(Key key) const;
    // Dotted path of a key, e.g. "solve.models".
    std::string const& path(Key key) const;

    size_t array_size(Key key) const;
    Key array_at(Key key, size_t offset) const;

    size_t map_size(Key key) const;
    char const* map_subkey_name(Key key, size_t offset) const;
    // name may be a dotted path through nested maps and arrays ("solve.models", "thread.0.restarts").
    bool map_has_subkey(Key key, std::string_view name) const;
    Key map_at(Key key, std::string_view name) const;

    bool value_is_assigned(Key key) const;
    std::string const& value_get(Key key) const;
    void value_set(Key key, std::string_view text);
    // The canonical form of text for the value; throws std::runtime_error
    // with the bare reason when it is invalid. Changes nothing.
    std::string validate(Key key, std::string_view text) const;

    // Shortcuts by path from the root.
    std::string const& get(std::string_view path) const { return value_get(map_at(root, path)); }
    void set(std::string_view path, std::string_view text) { value_set(map_at(root, path), text); }
    int64_t get_integer(std::string_view path) const;
    double get_double(std::string_view path) const;

    // Extension points for layers that add their own settings. A value
    // without default text is unassigned until set.
    Key add_map(Key parent, std::string_view name, std::string_view description);
    Key add_array(Key parent, std::string_view name, std::string_view description);
    Key add_value(Key parent, std::string_view name, std::string_view description, Validator validator,
                  char const* default_text = nullptr);

    // Validators for the common value kinds.
    static Validator integer(int64_t min, int64_t max);
    static Validator non_negative_real();
    static Validator choice(std::vector<std::string> names);

    // Conversions between this class and the handle of the C interface.
    gondra_configuration* to_c() noexcept { return reinterpret_cast<gondra_configuration*>(this); }
    static Configuration* from_c(gondra_configuration* c) noexcept { return reinterpret_cast<Configuration*>(c); }
    static Configuration const* from_c(gondra_configuration const* c) noexcept {
        return reinterpret_cast<Configuration const*>(c);
    }

private:
    struct Node {
        Type type;
        std::string name;
        std::string path;
        std::string description;
        std::vector<Key> children;
        Validator validator;
        std::string value;
        bool assigned = false;
    };

    Node const& node(Key key) const;
    Node const& node(Key key, Type expected) const;
    Key add_node(Key parent, std::string_view name, std::string_view description, Type type);
    Key find_child(Key key, std::string_view name) const; // returns no_key when absent

    static constexpr Key no_key = UINT32_MAX;

    std::deque<Node> nodes_; // a deque keeps returned name pointers valid as nodes are added
};

} // namespace Gondra::Control
