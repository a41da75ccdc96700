#include "app/driver.hpp"

#include "app/interrupt_signals.hpp"
#include "app/program_output.hpp"
#include "control/configuration.hpp"
#include "control/control.hpp"
#include "control/options.hpp"
#include "ground/text_printer.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace Gondra::App {
namespace {

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

int exit_code_of(HostFailure const& failure) {
    return failure.code == gondra_error_runtime ? exit_bad_input : exit_internal;
}

// Messages that the host's logger has printed already, so that an error that
// repeats them (a failed parse lists its syntax errors) does not print them
// twice.
struct Logged {
    std::vector<std::string> messages;
};

void logger(gondra_warning_t, char const* message, void* data) {
    std::fflush(stdout);
    std::cerr << message << '\n';
    static_cast<Logged*>(data)->messages.emplace_back(message);
}

// Prints an error on standard error after the program's name, line by line.
// Lines that the logger printed already are left out, and so is the line that
// only says that they were printed.
void report_error(std::string const& program_name, std::string const& message, Logged const& logged) {
    std::fflush(stdout);
    bool printed = false;
    size_t begin = 0;
    while (begin < message.size()) {
        size_t end = std::min(message.find('\n', begin), message.size());
        std::string line = message.substr(begin, end - begin);
        begin = end + 1;
        bool was_logged =
            std::find(logged.messages.begin(), logged.messages.end(), line) != logged.messages.end();
        if (line.empty() || was_logged || (line == "parsing failed" && !logged.messages.empty())) continue;
        std::cerr << program_name << ": " << line << '\n';
        printed = true;
    }
    if (!printed && logged.messages.empty()) std::cerr << program_name << ": unknown error\n";
}

struct SolveState {
    SolveState(DriverHooks const& hooks, ProgramOutput& output) : hooks(hooks), output(output) {}
    DriverHooks const& hooks;
    ProgramOutput& output;
    bool stats = false;
    bool application_objective = false;
    bool started = false;
    uint64_t models = 0;
    bool has_best = false;
    std::vector<int64_t> best;
    gondra_solve_result_bitset_t result = 0;
    // reused from model to model
    std::vector<gondra_symbol_t> symbols;
    std::vector<std::string> atoms;
    std::vector<int64_t> costs;
    std::vector<int64_t> application_costs;
};

HostFailure output_failure() {
    return {gondra_error_runtime, std::string("cannot write the output: ") + std::strerror(errno)};
}

void symbol_text(gondra_symbol_t symbol, std::string& text) {
    size_t size = 0;
    check(gondra_symbol_to_string_size(symbol, &size));
    text.resize(size);
    check(gondra_symbol_to_string(symbol, text.data(), size));
    text.resize(size > 0 ? size - 1 : 0);
}

void on_model(SolveState& state, gondra_model_t* model) {
    if (state.hooks.on_model) check(state.hooks.on_model(model));
    state.application_costs.clear();
    if (state.application_objective && state.hooks.model_costs) {
        check(state.hooks.model_costs(model, state.application_costs));
    }
    if (!state.application_costs.empty()) {
        state.costs = state.application_costs;
    } else {
        size_t size = 0;
        check(gondra_model_cost_size(model, &size));
        state.costs.resize(size);
        if (size > 0) check(gondra_model_cost(model, state.costs.data(), size));
    }
    // Another thread may report a model that the best one so far beats (the
    // host drops those of its own objective, not those of the application's):
    // only improving models are shown, so the last one is the best.
    if (!state.costs.empty()) {
        if (state.has_best && !(state.costs < state.best)) return;
        state.best = state.costs;
        state.has_best = true;
    }
    size_t size = 0;
    check(gondra_model_symbols_size(model, gondra_show_type_shown, &size));
    state.symbols.resize(size);
    check(gondra_model_symbols(model, gondra_show_type_shown, state.symbols.data(), size));
    std::sort(state.symbols.begin(), state.symbols.end(),
              [](gondra_symbol_t a, gondra_symbol_t b) { return gondra_symbol_is_less_than(a, b); });
    state.atoms.resize(size);
    for (size_t i = 0; i < size; ++i)
        symbol_text(state.symbols[i], state.atoms[i]);
    ++state.models;
    state.output.model(state.models, state.atoms, state.costs);
    // Models that cannot be written are lost: searching on would only
    // report success for output that nobody got.
    if (std::ferror(stdout) != 0) throw output_failure();
}

bool on_event(gondra_solve_event_type_t type, void* event, void* data, bool* goon) {
    auto& state = *static_cast<SolveState*>(data);
    try {
        switch (type) {
        case gondra_solve_event_type_start:
            state.started = true;
            state.output.search_started();
            break;
        case gondra_solve_event_type_model:
            on_model(state, static_cast<gondra_model_t*>(event));
            *goon = true;
            break;
        case gondra_solve_event_type_statistics: {
            auto** trees = static_cast<gondra_statistics_t**>(event);
            if (state.hooks.on_statistics) check(state.hooks.on_statistics(trees[0], trees[1]));
            if (state.stats) check(state.output.statistics(trees[0], trees[1]));
            break;
        }
        case gondra_solve_event_type_finish:
            state.result = *static_cast<gondra_solve_result_bitset_t*>(event);
            break;
        default:
            break;
        }
        return true;
    } catch (HostFailure const& failure) {
        gondra_set_error(failure.code, failure.message.c_str());
        return false;
    } catch (std::bad_alloc const&) {
        gondra_set_error(gondra_error_bad_alloc, "bad allocation");
        return false;
    } catch (std::exception const& error) {
        gondra_set_error(gondra_error_unknown, error.what());
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

std::string version_text(std::string const& program_name, DriverHooks const& hooks) {
    int major = 0, minor = 0, revision = 0;
    gondra_version(&major, &minor, &revision);
    std::string host = std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(revision);
    if (hooks.version.empty()) return program_name + " " + host + "\n";
    return hooks.version + "\nhost solver: gondra " + host + "\n";
}

// The control of a run; stops being a target of signals before it is freed.
struct ControlHandle {
    InterruptSignals& signals;
    gondra_control_t* control = nullptr;
    ~ControlHandle() {
        signals.watch(nullptr);
        if (control != nullptr) gondra_control_free(control);
    }
};

} // namespace

int run_driver(int argc, char const* const* argv, std::string const& program_name, DriverHooks const& hooks) {
    auto start = std::chrono::steady_clock::now();
    InterruptSignals signals;
    Logged logged;
    Control::Configuration settings;
    Control::CommandLine command_line{settings};
    bool text = false;
    command_line.options().add_flag("Basic Options", "text,@2", "Print the ground program as text and exit",
                                    &text);
    ControlHandle handle{signals};
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
            std::cout << version_text(program_name, hooks);
            return exit_unknown;
        }
        if (hooks.validate_options) check(hooks.validate_options());
        if (hooks.run_mode) {
            if (std::optional<int> code = hooks.run_mode(settings, command_line.files)) return *code;
        }

        std::vector<std::string> arguments;
        for (auto [path, option] :
             {std::pair{"solve.models", "models"}, std::pair{"solve.threads", "threads"},
              std::pair{"solve.time_limit", "time-limit"}, std::pair{"solver.seed", "seed"},
              std::pair{"solver.propagator_phase", "prop-phase"}, std::pair{"solver.objective_model", "opt-search"},
              std::pair{"solver.propagator_reasons", "prop-reasons"}}) {
            arguments.push_back(std::string("--") + option + "=" + settings.get(path));
        }
        for (auto const& constant : command_line.constants)
            arguments.push_back("--const=" + constant);
        std::vector<char const*> c_arguments;
        for (auto const& argument : arguments)
            c_arguments.push_back(argument.c_str());
        check(
            gondra_control_new(c_arguments.data(), c_arguments.size(), logger, &logged, 20, &handle.control));
        gondra_control_t* control = handle.control;
        // A signal from now on (or one that came before) stops the search.
        signals.watch(control);
        if (hooks.register_control) check(hooks.register_control(control));

        std::vector<std::string> files = command_line.files;
        if (files.empty()) files.push_back("-");
        if (hooks.rewrite) {
            gondra_program_builder_t* builder = nullptr;
            check(gondra_control_program_builder(control, &builder));
            check(gondra_program_builder_begin(builder));
            std::vector<char const*> c_files;
            for (auto const& file : files)
                c_files.push_back(file.c_str());
            RewriteState rewrite{&hooks, builder};
            bool parsed = gondra_ast_parse_files(c_files.data(), c_files.size(), on_statement, &rewrite,
                                                 logger, &logged, 20);
            if (!parsed) {
                HostFailure failure = current_failure();
                gondra_program_builder_end(builder);
                throw failure;
            }
            check(gondra_program_builder_end(builder));
        } else {
            for (auto const& file : files)
                check(gondra_control_load(control, file.c_str()));
        }

        gondra_part_t base{"base", nullptr, 0};
        check(gondra_control_ground(control, &base, 1));
        if (text) {
            std::cout << Ground::print_text(control->control->ground_program());
            return exit_unknown;
        }
        if (hooks.prepare) check(hooks.prepare(control));
        std::string application_objective;
        if (hooks.application_objective) check(hooks.application_objective(control, application_objective));
        if (!application_objective.empty()) {
            if (control->control->has_program_objective()) {
                std::cerr << program_name
                          << ": error: the program has an objective of its own (#minimize, #maximize or weak "
                             "constraints) and an objective of "
                          << application_objective
                          << ": the two cannot be combined, state the objective in one of the two forms\n";
                return exit_bad_input;
            }
            check(gondra_control_declare_objective(control, true));
        }

        std::unique_ptr<ProgramOutput> output =
            command_line.json ? make_json_output(stdout) : make_text_output(stdout);
        SolveState state(hooks, *output);
        state.stats = command_line.stats;
        state.application_objective = !application_objective.empty();
        gondra_solve_result_bitset_t result = 0;
        bool solved = gondra_control_solve(control, nullptr, 0, on_event, &state, &result);
        HostFailure failure;
        if (!solved) {
            failure = current_failure();
            // Nothing was searched: the program could not be set up.
            if (!state.started) throw failure;
        }

        RunSummary summary;
        using Result = RunSummary::Result;
        bool unsatisfiable = solved && (result & gondra_solve_result_unsatisfiable) != 0;
        summary.exhausted = solved && (result & gondra_solve_result_exhausted) != 0;
        summary.interrupted =
            (solved && (result & gondra_solve_result_interrupted) != 0) || signals.received();
        summary.models = state.models;
        summary.costs = state.best;
        summary.result = state.models > 0 && state.has_best && summary.exhausted ? Result::optimum
                         : state.models > 0                                      ? Result::satisfiable
                         : unsatisfiable                                         ? Result::unsatisfiable
                                                                                 : Result::unknown;
        summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!solved) summary.error = failure.message;
        output->summary(summary);
        if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
            if (solved) failure = output_failure();
            solved = false;
        }
        if (!solved) {
            report_error(program_name, failure.message, logged);
            return exit_code_of(failure);
        }
        switch (summary.result) {
        case Result::optimum:
            return exit_optimum;
        case Result::satisfiable:
            return exit_satisfiable;
        case Result::unsatisfiable:
            return exit_unsatisfiable;
        default:
            return exit_unknown;
        }
    } catch (HostFailure const& failure) {
        report_error(program_name, failure.message, logged);
        return exit_code_of(failure);
    } catch (std::exception const& error) {
        std::fflush(stdout);
        std::cerr << program_name << ": internal error: " << error.what() << "\n";
        return exit_internal;
    }
}

} // namespace Gondra::App
