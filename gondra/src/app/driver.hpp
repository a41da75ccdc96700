#pragma once
// The command-line driver shared by the host's program and by applications
// that add a theory: reads programs, grounds, solves and prints models, the
// result and statistics, as text or as one JSON document.

#include "gondra.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Gondra::Control {
class Configuration;
}

namespace Gondra::App {

// What an application adds to the plain host. Every hook may be empty; a hook
// that fails sets the host's error state and returns false.
struct DriverHooks {
    // Registers the application's options before the command line is parsed.
    std::function<bool(gondra_options_t*)> register_options;
    // Checks and applies the parsed options.
    std::function<bool()> validate_options;
    // Runs another mode of the program instead of solving the input as a
    // logic program: returns its exit code, or nothing to go on as usual.
    // Gets the settings of the command line and its positional arguments.
    std::function<std::optional<int>(Control::Configuration const&, std::vector<std::string> const&)>
        run_mode;
    // Called once the control exists (theory grammar, propagators).
    std::function<bool(gondra_control_t*)> register_control;
    // Rewrites one statement, handing the results to add.
    std::function<bool(gondra_ast_t*, std::function<bool(gondra_ast_t*)> const& add)> rewrite;
    // Called after grounding, before solving.
    std::function<bool(gondra_control_t*)> prepare;
    // After prepare: names the objective that the application enforces itself
    // in the ground program (for the messages), or leaves the text empty when
    // there is none. A program with an objective of its own as well is refused:
    // the two would bound the search independently of each other.
    std::function<bool(gondra_control_t*, std::string& objective)> application_objective;
    // Called for every model while it is reported.
    std::function<bool(gondra_model_t*)> on_model;
    // After on_model: the model's cost under the application's objective,
    // highest priority first; left empty when the model has none. That cost is
    // then the model's: any objective the host sees is the application's own,
    // handed over by its propagator.
    std::function<bool(gondra_model_t*, std::vector<int64_t>& costs)> model_costs;
    // Called with the step and the accumulated statistics after solving.
    std::function<bool(gondra_statistics_t*, gondra_statistics_t*)> on_statistics;
    // The application's name and version for --version ("name 1.2.3"), which
    // then names the host's version too.
    std::string version;
};

// Exit codes of the programs.
enum ExitCode : int {
    exit_unknown = 0,
    exit_bad_input = 1,
    exit_internal = 2,
    exit_satisfiable = 10,
    exit_unsatisfiable = 20,
    exit_optimum = 30,
};

// Runs the driver on a command line; returns the exit code.
int run_driver(int argc, char const* const* argv, std::string const& program_name, DriverHooks const& hooks);

} // namespace Gondra::App
