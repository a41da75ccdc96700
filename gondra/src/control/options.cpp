#include "control/options.hpp"

#include "control/configuration.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace Gondra::Control {

namespace {

constexpr size_t help_width = 80;
constexpr size_t max_option_column = 32;

struct OptionName {
    std::string name;
    char alias = 0;
    unsigned level = 0;
};

OptionName parse_option_name(std::string_view name_text) {
    OptionName result;
    size_t comma = name_text.find(',');
    result.name = std::string(name_text.substr(0, comma));
    bool valid_name = !result.name.empty() && result.name.front() != '-' &&
                      std::all_of(result.name.begin(), result.name.end(), [](char c) {
                          return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
                      });
    if (!valid_name) {
        throw std::logic_error("invalid option name '" + std::string(name_text) + "'");
    }
    while (comma != std::string_view::npos) {
        name_text.remove_prefix(comma + 1);
        comma = name_text.find(',');
        std::string_view part = name_text.substr(0, comma);
        if (part.size() == 1 && std::isalnum(static_cast<unsigned char>(part[0])) && result.alias == 0) {
            result.alias = part[0];
        } else if (part.size() > 1 && part[0] == '@') {
            auto [end, error] = std::from_chars(part.data() + 1, part.data() + part.size(), result.level);
            if (error != std::errc{} || end != part.data() + part.size() || result.level > 9) {
                throw std::logic_error("invalid help level in option '" + result.name + "'");
            }
        } else {
            throw std::logic_error("invalid part '" + std::string(part) + "' in option '" + result.name + "'");
        }
    }
    return result;
}

// Appends text wrapped at help_width, continuation lines indented by indent.
// Lines after a line break in the text are set at indent as they are, so a
// help text can lay out its own list of values.
void append_wrapped(std::string& out, std::string_view text, size_t column, size_t indent) {
    size_t line_break = text.find('\n');
    std::string_view rest = line_break == std::string_view::npos ? std::string_view{} : text.substr(line_break);
    text = text.substr(0, line_break);
    size_t position = column;
    bool first = true;
    while (!text.empty()) {
        size_t space = text.find(' ');
        std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view{} : text.substr(space + 1);
        if (word.empty()) {
            continue;
        }
        if (!first && position + 1 + word.size() > help_width) {
            out += '\n';
            out.append(indent, ' ');
            position = indent;
        } else if (!first) {
            out += ' ';
            ++position;
        }
        out += word;
        position += word.size();
        first = false;
    }
    while (!rest.empty()) {
        rest.remove_prefix(1);
        size_t next = rest.find('\n');
        out += '\n';
        out.append(indent, ' ');
        out += rest.substr(0, next);
        rest = next == std::string_view::npos ? std::string_view{} : rest.substr(next);
    }
}

} // namespace

std::optional<bool> Options::parse_bool(std::string_view text) {
    for (std::string_view yes : {"yes", "true", "on", "1"}) {
        if (text == yes) {
            return true;
        }
    }
    for (std::string_view no : {"no", "false", "off", "0"}) {
        if (text == no) {
            return false;
        }
    }
    return std::nullopt;
}

void Options::add(std::string_view group, std::string_view name_text, std::string_view help, Parser parser, bool multi,
                  std::string_view argument, std::optional<std::string> implicit) {
    if (!parser) {
        throw std::logic_error("option without parser");
    }
    OptionName parsed = parse_option_name(name_text);
    if (find_long(parsed.name) != nullptr) {
        throw std::logic_error("option '--" + parsed.name + "' already exists");
    }
    if (parsed.alias != 0 && find_alias(parsed.alias) != nullptr) {
        throw std::logic_error(std::string("option alias '-") + parsed.alias + "' already exists");
    }
    auto it = std::find(groups_.begin(), groups_.end(), group);
    size_t group_index = static_cast<size_t>(it - groups_.begin());
    if (it == groups_.end()) {
        groups_.emplace_back(group);
    }
    options_.push_back(Option{group_index, std::move(parsed.name), parsed.alias, parsed.level, std::string(help),
                              std::string(argument), std::move(parser), multi, std::move(implicit), 0});
}

void Options::add_flag(std::string_view group, std::string_view name_text, std::string_view help, bool* target) {
    if (target == nullptr) {
        throw std::logic_error("flag without target");
    }
    add(
        group, name_text, help,
        [target](std::string_view value) {
            std::optional<bool> parsed = parse_bool(value);
            if (parsed) {
                *target = *parsed;
            }
            return parsed.has_value();
        },
        false, {}, "yes");
}

Options::Option* Options::find_long(std::string_view name) {
    for (auto& option : options_) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

Options::Option* Options::find_alias(char alias) {
    for (auto& option : options_) {
        if (option.alias == alias) {
            return &option;
        }
    }
    return nullptr;
}

bool Options::given(std::string_view name) const {
    for (auto const& option : options_) {
        if (option.name == name) {
            return option.count > 0;
        }
    }
    return false;
}

void Options::apply(Option& option, std::string_view shown, std::string_view value) {
    if (option.count > 0 && !option.multi) {
        throw OptionError("option '" + std::string(shown) + "' given more than once");
    }
    ++option.count;
    std::string reason;
    bool accepted = false;
    try {
        accepted = option.parser(value);
    } catch (std::exception const& e) {
        reason = e.what();
    }
    if (!accepted) {
        std::string message = "invalid value '" + std::string(value) + "' for option '" + std::string(shown) + "'";
        if (!reason.empty()) {
            message += ": " + reason;
        }
        throw OptionError(message);
    }
}

std::vector<std::string> Options::parse(std::span<char const* const> arguments) {
    std::vector<std::string> positional;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == nullptr) {
            throw OptionError("missing argument");
        }
        std::string_view argument = arguments[i];
        if (argument == "--") {
            for (++i; i < arguments.size(); ++i) {
                if (arguments[i] == nullptr) {
                    throw OptionError("missing argument");
                }
                positional.emplace_back(arguments[i]);
            }
            break;
        }
        if (argument.size() < 2 || argument[0] != '-') {
            positional.emplace_back(argument);
            continue;
        }
        Option* option = nullptr;
        std::optional<std::string_view> value;
        std::string shown;
        if (argument[1] == '-') {
            std::string_view body = argument.substr(2);
            size_t equal = body.find('=');
            std::string_view name = body.substr(0, equal);
            if (equal != std::string_view::npos) {
                value = body.substr(equal + 1);
            }
            option = find_long(name);
            shown = "--" + std::string(name);
        } else {
            option = find_alias(argument[1]);
            if (argument.size() > 2) {
                value = argument.substr(argument[2] == '=' ? 3 : 2);
            }
            shown = std::string(argument.substr(0, 2));
        }
        if (option == nullptr) {
            throw OptionError("unknown option '" + shown + "'");
        }
        if (!value) {
            if (option->implicit) {
                value = *option->implicit;
            } else if (i + 1 < arguments.size() && arguments[i + 1] != nullptr) {
                value = arguments[++i];
            } else {
                throw OptionError("option '" + shown + "' requires a value");
            }
        }
        apply(*option, shown, *value);
    }
    return positional;
}

std::string Options::help(unsigned level) const {
    auto column_of = [](Option const& option) {
        std::string text = "--" + option.name;
        if (option.alias != 0) {
            text += ",-";
            text += option.alias;
        }
        bool flag = option.implicit && option.argument.empty();
        if (!flag) {
            std::string argument = option.argument.empty() ? "<arg>" : option.argument;
            text += option.implicit ? "[=" + argument + "]" : "=" + argument;
        }
        return text;
    };
    // One column for every level, so that a line reads the same at all of them.
    size_t width = 0;
    for (auto const& option : options_) {
        width = std::max(width, column_of(option).size());
    }
    width = std::min(width, max_option_column);
    size_t indent = 2 + width + 3;
    std::string out;
    for (size_t group = 0; group < groups_.size(); ++group) {
        bool header = false;
        for (auto const& option : options_) {
            if (option.group != group || option.level > level) {
                continue;
            }
            if (!header) {
                out += (out.empty() ? "" : "\n") + groups_[group] + ":\n\n";
                header = true;
            }
            std::string column = column_of(option);
            out += "  " + column;
            if (column.size() > width) {
                out += '\n';
                out.append(indent - 2, ' ');
            } else {
                out.append(width - column.size(), ' ');
            }
            out += " : ";
            append_wrapped(out, option.help, indent, indent);
            out += '\n';
        }
    }
    return out;
}

void add_solving_options(Options& options, Configuration& configuration, std::vector<std::string>& constants) {
    char const* group = "Solving Options";
    auto setting = [&configuration](char const* path) {
        return [&configuration, path](std::string_view value) {
            Configuration::Key key = configuration.map_at(Configuration::root, path);
            configuration.validate(key, value); // reports the bare reason with the option
            configuration.value_set(key, value);
            return true;
        };
    };
    options.add(group, "models,n", "Compute at most <n> models (0 for all)", setting("solve.models"), false, "<n>");
    options.add(group, "threads,t", "Run <n> solver threads", setting("solve.threads"), false, "<n>");
    options.add(group, "time-limit", "Stop the search after <s> seconds (0 for no limit)",
                setting("solve.time_limit"), false, "<s>");
    options.add(group, "seed,@2", "Seed the random choices with <n>", setting("solver.seed"), false, "<n>");
    options.add(group, "prop-phase,@2",
                "Decide variables that propagators create in their initial phase (initial) or in the saved one "
                "(saved)",
                setting("solver.propagator_phase"), false, "<mode>");
    options.add(group, "opt-search,@2",
                "After a model of an objective that a propagator enforces, restart from the assumptions (restart), "
                "restart and exclude its decisions by a clause (restart-block) "
                "or walk on through the branches next to its decisions (walk)",
                setting("solver.objective_model"), false, "<mode>");
    options.add(group, "prop-reasons,@2",
                "Keep the clauses by which propagators explain inferences among their own variables (keep) or "
                "drop them once they no longer serve as reasons (drop)",
                setting("solver.propagator_reasons"), false, "<mode>");
    options.add(
        group, "const,c", "Replace term occurrences of <id> with <t>",
        [&constants](std::string_view value) {
            size_t equal = value.find('=');
            if (equal == 0 || equal == std::string_view::npos) {
                throw std::runtime_error("expected <id>=<t>");
            }
            constants.emplace_back(value);
            return true;
        },
        true, "<id>=<t>");
}

void parse_control_arguments(std::span<char const* const> arguments, Configuration& configuration,
                             std::vector<std::string>& constants) {
    Options options;
    add_solving_options(options, configuration, constants);
    std::vector<std::string> positional = options.parse(arguments);
    if (!positional.empty()) {
        throw OptionError("unexpected argument '" + positional.front() + "'");
    }
}

CommandLine::CommandLine(Configuration& configuration) {
    char const* group = "Basic Options";
    options_.add(
        group, "help,h", "Print help information and exit (<n> selects more options)",
        [this](std::string_view value) {
            unsigned level = 0;
            auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), level);
            if (value.empty() || error != std::errc{} || end != value.data() + value.size() || level < 1 ||
                level > 9) {
                throw std::runtime_error("expected a help level between 1 and 9");
            }
            help_level = level;
            return true;
        },
        false, "<n>", "1");
    options_.add_flag(group, "version,v", "Print version information and exit", &version);
    options_.add_flag(group, "stats,s", "Print the statistics of the search", &stats);
    options_.add_flag(group, "json", "Print models, result and statistics as one JSON document", &json);
    add_solving_options(options_, configuration, constants);
}

void CommandLine::parse(int argc, char const* const* argv) {
    if (argc <= 1 || argv == nullptr) {
        return;
    }
    files = options_.parse(std::span<char const* const>(argv + 1, static_cast<size_t>(argc - 1)));
}

} // namespace Gondra::Control
