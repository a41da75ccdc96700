#include "app/driver.hpp"

#include "control/configuration.hpp"
#include "control/control.hpp"
#include "ground/text_printer.hpp"
#include "control/options.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace Gondra::App {
namespace {

// The control of the running search, for the interrupt handler.
std::atomic<gondra_control_t*> running_control{nullptr};

extern "C" void driver_on_interrupt(int) {
    if (gondra_control_t* control = running_control.load()) gondra_control_interrupt(control);
}

// A failed host call: carries the error state's code and message.
struct HostFailure {
    gondra_error_t code;
    std::string message;
};

HostFailure current_failure() {
    char const* message = gondra_error_message();
    return {gondra_error_code(), message != nullptr ? message : "unknown error"};
}

void check(bool ok) {
    if (!ok) throw current_failure();
}

std::string symbol_text(gondra_symbol_t symbol) {
    size_t size = 0;
    check(gondra_symbol_to_string_size(symbol, &size));
    std::string text(size, '\0');
    check(gondra_symbol_to_string(symbol, text.data(), size));
    text.resize(size > 0 ? size - 1 : 0);
    return text;
}

void json_string(std::ostream& out, std::string_view text) {
    out << '"';
    for (char c : text) {
        switch (c) {
        case '"':
            out << "\\\"";
            break;
        case '\\':
            out << "\\\\";
            break;
        case '\n':
            out << "\\n";
            break;
        case '\t':
            out << "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
                out << buffer;
            } else {
                out << c;
            }
        }
    }
    out << '"';
}

void json_statistics(std::ostream& out, gondra_statistics_t const* stats, uint64_t key) {
    gondra_statistics_type_t type = gondra_statistics_type_empty;
    check(gondra_statistics_type(stats, key, &type));
    switch (type) {
    case gondra_statistics_type_value: {
        double value = 0;
        check(gondra_statistics_value_get(stats, key, &value));
        std::ostringstream number;
        number.precision(17);
        number << value;
        out << number.str();
        break;
    }
    case gondra_statistics_type_array: {
        size_t size = 0;
        check(gondra_statistics_array_size(stats, key, &size));
        out << '[';
        for (size_t i = 0; i < size; ++i) {
            uint64_t sub = 0;
            check(gondra_statistics_array_at(stats, key, i, &sub));
            if (i > 0) out << ',';
            json_statistics(out, stats, sub);
        }
        out << ']';
        break;
    }
    case gondra_statistics_type_map: {
        size_t size = 0;
        check(gondra_statistics_map_size(stats, key, &size));
        out << '{';
        for (size_t i = 0; i < size; ++i) {
            char const* name = nullptr;
            uint64_t sub = 0;
            check(gondra_statistics_map_subkey_name(stats, key, i, &name));
            check(gondra_statistics_map_at(stats, key, name, &sub));
            if (i > 0) out << ',';
            json_string(out, name);
            out << ':';
            json_statistics(out, stats, sub);
        }
        out << '}';
        break;
    }
    default:
        out << "null";
    }
}

// Prints a statistics tree as indented text.
void text_statistics(std::ostream& out, gondra_statistics_t const* stats, uint64_t key, std::string const& prefix) {
    gondra_statistics_type_t type = gondra_statistics_type_empty;
    check(gondra_statistics_type(stats, key, &type));
    if (type == gondra_statistics_type_value) {
        double value = 0;
        check(gondra_statistics_value_get(stats, key, &value));
        out << prefix << " : " << value << '\n';
    } else if (type == gondra_statistics_type_array) {
        size_t size = 0;
        check(gondra_statistics_array_size(stats, key, &size));
        for (size_t i = 0; i < size; ++i) {
            uint64_t sub = 0;
            check(gondra_statistics_array_at(stats, key, i, &sub));
            text_statistics(out, stats, sub, prefix + "." + std::to_string(i));
        }
    } else if (type == gondra_statistics_type_map) {
        size_t size = 0;
        check(gondra_statistics_map_size(stats, key, &size));
        for (size_t i = 0; i < size; ++i) {
            char const* name = nullptr;
            uint64_t sub = 0;
            check(gondra_statistics_map_subkey_name(stats, key, i, &name));
            check(gondra_statistics_map_at(stats, key, name, &sub));
            text_statistics(out, stats, sub, prefix.empty() ? name : prefix + "." + name);
        }
    }
}

struct ModelRecord {
    std::vector<std::string> atoms;
    std::vector<int64_t> costs;
};

struct SolveState {
    DriverHooks const* hooks = nullptr;
    bool json = false;
    bool stats = false;
    std::vector<ModelRecord> models;
    uint64_t model_count = 0;
    bool optimality_proven = false;
    std::vector<int64_t> best_costs;
    gondra_solve_result_bitset_t result = 0;
    std::string statistics_json;
    std::string statistics_text;
};

bool on_event(gondra_solve_event_type_t type, void* event, void* data, bool* goon) {
    auto& state = *static_cast<SolveState*>(data);
    try {
        if (type == gondra_solve_event_type_model) {
            auto* model = static_cast<gondra_model_t*>(event);
            if (state.hooks->on_model && !state.hooks->on_model(model)) return false;
            ModelRecord record;
            size_t size = 0;
            check(gondra_model_symbols_size(model, gondra_show_type_shown, &size));
            std::vector<gondra_symbol_t> symbols(size);
            check(gondra_model_symbols(model, gondra_show_type_shown, symbols.data(), size));
            std::sort(symbols.begin(), symbols.end(),
                      [](gondra_symbol_t a, gondra_symbol_t b) { return gondra_symbol_is_less_than(a, b); });
            for (gondra_symbol_t symbol : symbols) record.atoms.push_back(symbol_text(symbol));
            size_t cost_size = 0;
            check(gondra_model_cost_size(model, &cost_size));
            record.costs.resize(cost_size);
            if (cost_size > 0) check(gondra_model_cost(model, record.costs.data(), cost_size));
            if (state.hooks->model_costs && !state.hooks->model_costs(model, record.costs)) return false;
            ++state.model_count;
            if (!state.json) {
                std::cout << "Answer: " << state.model_count << '\n';
                for (size_t i = 0; i < record.atoms.size(); ++i) std::cout << (i > 0 ? " " : "") << record.atoms[i];
                std::cout << '\n';
                if (!record.costs.empty()) {
                    std::cout << "Optimization:";
                    for (int64_t cost : record.costs) std::cout << ' ' << cost;
                    std::cout << '\n';
                }
                std::cout.flush();
            }
            // An application's objective may report a model that another
            // thread had already beaten: the best one is the result.
            if (!record.costs.empty() && (state.best_costs.empty() || record.costs < state.best_costs)) {
                state.best_costs = record.costs;
            }
            state.models.push_back(std::move(record));
            *goon = true;
        } else if (type == gondra_solve_event_type_statistics) {
            auto** trees = static_cast<gondra_statistics_t**>(event);
            if (state.hooks->on_statistics && !state.hooks->on_statistics(trees[0], trees[1])) return false;
            if (state.stats) {
                uint64_t root = 0;
                check(gondra_statistics_root(trees[1], &root));
                std::ostringstream json;
                json_statistics(json, trees[1], root);
                state.statistics_json = json.str();
                std::ostringstream text;
                text_statistics(text, trees[1], root, "");
                state.statistics_text = text.str();
            }
        } else if (type == gondra_solve_event_type_finish) {
            state.result = *static_cast<gondra_solve_result_bitset_t*>(event);
        }
        return true;
    } catch (HostFailure const& failure) {
        gondra_set_error(failure.code, failure.message.c_str());
        return false;
    }
}

struct RewriteState {
    DriverHooks const* hooks;
    gondra_program_builder_t* builder;
};

bool on_statement(gondra_ast_t* statement, void* data) {
    auto& state = *static_cast<RewriteState*>(data);
    auto add = [&](gondra_ast_t* node) { return gondra_program_builder_add(state.builder, node); };
    return state.hooks->rewrite(statement, add);
}

void logger(gondra_warning_t, char const* message, void*) { std::cerr << message << '\n'; }

} // namespace

int run_driver(int argc, char const* const* argv, std::string const& program_name, DriverHooks const& hooks) {
    auto start = std::chrono::steady_clock::now();
    Control::Configuration settings;
    Control::CommandLine command_line{settings};
    bool text = false;
    command_line.options().add_flag("Basic Options", "text", "Print the ground program as text and exit", &text);
    gondra_control_t* control = nullptr;
    try {
        if (hooks.register_options) check(hooks.register_options(command_line.options().to_c()));
        try {
            command_line.parse(argc, argv);
        } catch (Control::OptionError const& error) {
            std::cerr << program_name << ": error: " << error.what() << "\n";
            return exit_bad_input;
        }
        if (command_line.help_level > 0) {
            std::cout << "usage: " << program_name << " [options] [files]\n\n" << command_line.help();
            return exit_unknown;
        }
        if (command_line.version) {
            int major = 0, minor = 0, revision = 0;
            gondra_version(&major, &minor, &revision);
            std::cout << program_name << " " << major << "." << minor << "." << revision << "\n";
            return exit_unknown;
        }
        if (hooks.validate_options) check(hooks.validate_options());

        std::vector<std::string> arguments;
        for (char const* path : {"solve.models", "solve.threads", "solve.time_limit", "solver.seed"}) {
            std::string name = path;
            arguments.push_back("--" + std::string(name == "solve.models"       ? "models"
                                                   : name == "solve.threads"    ? "threads"
                                                   : name == "solve.time_limit" ? "time-limit"
                                                                                : "seed") +
                                "=" + settings.get(path));
        }
        for (auto const& constant : command_line.constants) arguments.push_back("--const=" + constant);
        std::vector<char const*> c_arguments;
        for (auto const& argument : arguments) c_arguments.push_back(argument.c_str());
        check(gondra_control_new(c_arguments.data(), c_arguments.size(), logger, nullptr, 20, &control));
        if (hooks.register_control) check(hooks.register_control(control));

        std::vector<std::string> files = command_line.files;
        if (files.empty()) files.push_back("-");
        if (hooks.rewrite) {
            gondra_program_builder_t* builder = nullptr;
            check(gondra_control_program_builder(control, &builder));
            check(gondra_program_builder_begin(builder));
            std::vector<char const*> c_files;
            for (auto const& file : files) c_files.push_back(file.c_str());
            RewriteState rewrite{&hooks, builder};
            bool parsed = gondra_ast_parse_files(c_files.data(), c_files.size(), on_statement, &rewrite, logger,
                                                 nullptr, 20);
            if (!parsed) {
                HostFailure failure = current_failure();
                gondra_program_builder_end(builder);
                throw failure;
            }
            check(gondra_program_builder_end(builder));
        } else {
            for (auto const& file : files) check(gondra_control_load(control, file.c_str()));
        }

        gondra_part_t base{"base", nullptr, 0};
        check(gondra_control_ground(control, &base, 1));
        if (text) {
            std::cout << Ground::print_text(control->control->ground_program());
            gondra_control_free(control);
            return exit_unknown;
        }
        if (hooks.prepare) check(hooks.prepare(control));

        SolveState state;
        state.hooks = &hooks;
        state.json = command_line.json;
        state.stats = command_line.stats;
        if (!state.json) std::cout << "Solving...\n";
        running_control.store(control);
        auto previous = std::signal(SIGINT, driver_on_interrupt);
        gondra_solve_result_bitset_t result = 0;
        bool solved = gondra_control_solve(control, nullptr, 0, on_event, &state, &result);
        std::signal(SIGINT, previous);
        running_control.store(nullptr);
        if (!solved) throw current_failure();

        bool satisfiable = (result & gondra_solve_result_satisfiable) != 0;
        bool unsatisfiable = (result & gondra_solve_result_unsatisfiable) != 0;
        bool exhausted = (result & gondra_solve_result_exhausted) != 0;
        bool has_costs = !state.best_costs.empty();
        bool optimum = satisfiable && has_costs && exhausted;
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        char const* result_json = optimum         ? "optimum"
                                  : satisfiable   ? "satisfiable"
                                  : unsatisfiable ? "unsatisfiable"
                                                  : "unknown";
        if (state.json) {
            std::ostringstream out;
            out << "{\"result\": \"" << result_json << "\", \"models\": [";
            for (size_t i = 0; i < state.models.size(); ++i) {
                auto const& model = state.models[i];
                out << (i > 0 ? ", " : "") << "{\"atoms\": [";
                for (size_t j = 0; j < model.atoms.size(); ++j) {
                    if (j > 0) out << ", ";
                    json_string(out, model.atoms[j]);
                }
                out << "], \"costs\": [";
                for (size_t j = 0; j < model.costs.size(); ++j) out << (j > 0 ? ", " : "") << model.costs[j];
                out << "]}";
            }
            out << "], \"exhausted\": " << (exhausted ? "true" : "false") << ", \"time\": " << seconds;
            if (state.stats && !state.statistics_json.empty()) out << ", \"statistics\": " << state.statistics_json;
            out << "}\n";
            std::cout << out.str();
        } else {
            std::cout << (optimum         ? "OPTIMUM FOUND"
                          : satisfiable   ? "SATISFIABLE"
                          : unsatisfiable ? "UNSATISFIABLE"
                                          : "UNKNOWN")
                      << "\n\n";
            std::cout << "Models       : " << state.model_count << (exhausted || unsatisfiable ? "" : "+") << "\n";
            if (has_costs) {
                std::cout << "Optimization :";
                for (int64_t cost : state.best_costs) std::cout << ' ' << cost;
                std::cout << "\n";
            }
            std::printf("Time         : %.3fs\n", seconds);
            std::fflush(stdout);
            if (state.stats) std::cout << "\n" << state.statistics_text;
        }
        gondra_control_free(control);
        if (optimum) return exit_optimum;
        if (satisfiable) return exit_satisfiable;
        if (unsatisfiable) return exit_unsatisfiable;
        return exit_unknown;
    } catch (HostFailure const& failure) {
        std::cout.flush();
        std::cerr << program_name << ": " << (failure.message.empty() ? "error" : failure.message) << "\n";
        if (control != nullptr) gondra_control_free(control);
        return failure.code == gondra_error_runtime ? exit_bad_input : exit_internal;
    } catch (std::exception const& error) {
        std::cout.flush();
        std::cerr << program_name << ": internal error: " << error.what() << "\n";
        if (control != nullptr) gondra_control_free(control);
        return exit_internal;
    }
}

} // namespace Gondra::App
