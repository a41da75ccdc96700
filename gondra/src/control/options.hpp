#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct gondra_options;

namespace Gondra::Control {

class Configuration;

// A command-line mistake of the user (unknown option, invalid value, ...).
class OptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Command-line options in groups. An option is named by a text
// "name[,c][,@n]": c is a one-letter alias (-c) and n the help level from
// which it is listed. Values are given as --name=value, --name value, -c value
// or -cvalue. Flags take no value, or one of yes/no/true/false/on/off/1/0
// after '=' (so a flag that defaults to true can be switched off).
class Options {
public:
    // Receives the value text; false (or an exception, whose text is added to
    // the message) rejects the value.
    using Parser = std::function<bool(std::string_view)>;

    // argument: placeholder of the value in the help ("<n>"); empty for none.
    // implicit: value used when the option is given without one (then the
    // value can only be given after '=').
    void add(std::string_view group, std::string_view name_text, std::string_view help, Parser parser,
             bool multi = false, std::string_view argument = {}, std::optional<std::string> implicit = {});
    void add_flag(std::string_view group, std::string_view name_text, std::string_view help, bool* target);

    // Parses the arguments (program name excluded) and returns the positional
    // ones in order ("-" included; everything after "--"). Throws OptionError.
    std::vector<std::string> parse(std::span<char const* const> arguments);

    // The options visible at the given level, grouped in registration order.
    std::string help(unsigned level = 1) const;

    // Whether the option (by long name) was given during parse.
    bool given(std::string_view name) const;

    gondra_options* to_c() noexcept { return reinterpret_cast<gondra_options*>(this); }
    static Options* from_c(gondra_options* c) noexcept { return reinterpret_cast<Options*>(c); }

    // Reads a yes/no word as flags accept it; nullopt when it is none of them.
    static std::optional<bool> parse_bool(std::string_view text);

private:
    struct Option {
        size_t group;
        std::string name;
        char alias = 0;
        unsigned level = 0;
        std::string help;
        std::string argument;
        Parser parser;
        bool multi = false;
        std::optional<std::string> implicit;
        unsigned count = 0;
    };

    Option* find_long(std::string_view name);
    Option* find_alias(char alias);
    void apply(Option& option, std::string_view shown, std::string_view value);

    std::vector<std::string> groups_;
    std::vector<Option> options_;
};

// The host's own command line: basic options (help, version, statistics and
// JSON output) and solving options that write the configuration. The
// application registers its options on options() before parse.
class CommandLine {
public:
    explicit CommandLine(Configuration& configuration);
    // The registered parsers refer to this object.
    CommandLine(CommandLine const&) = delete;
    CommandLine& operator=(CommandLine const&) = delete;

    Options& options() noexcept { return options_; }

    // argv as main receives it; throws OptionError.
    void parse(int argc, char const* const* argv);
    std::string help() const { return options_.help(help_level); }

    unsigned help_level = 0; // 0 when no help was asked for
    bool version = false;
    bool stats = false;
    bool json = false;
    std::vector<std::string> constants; // "name=term" of --const
    std::vector<std::string> files;

private:
    Options options_;
};

// Registers the options that set up a control: --models/-n, --threads/-t,
// --time-limit, --seed (into the configuration) and --const/-c (collected).
void add_solving_options(Options& options, Configuration& configuration, std::vector<std::string>& constants);

// Applies control arguments such as {"-n", "0", "-t", "4", "-c", "n=5"};
// positional arguments are rejected. Throws OptionError.
void parse_control_arguments(std::span<char const* const> arguments, Configuration& configuration,
                             std::vector<std::string>& constants);

} // namespace Gondra::Control
