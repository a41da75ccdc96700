#pragma once
// The command-line driver shared by the host's program and by applications
// that add a theory: reads programs, grounds, solves and prints models, the
// result and statistics, as text or as one JSON document.

#include "gondra.h"

#include <functional>
#include <cstdint>
#include <string>
#include <vector>

namespace Gondra::App {

// What an application adds to the plain host. Every hook may be empty; a hook
// that fails sets the host's error state and returns false.
struct DriverHooks {
    // Registers the application's options before the command line is parsed.
    std::function<bool(gondra_options_t*)> register_options;
    // Checks and applies the parsed options.
    std::function<bool()> validate_options;
    // Called once the control exists (theory grammar, propagators).
    std::function<bool(gondra_control_t*)> register_control;
    // Rewrites one statement, handing the results to add.
    std::function<bool(gondra_ast_t*, std::function<bool(gondra_ast_t*)> const& add)> rewrite;
    // Called after grounding, before solving.
    std::function<bool(gondra_control_t*)> prepare;
    // Called for every model while it is reported.
    std::function<bool(gondra_model_t*)> on_model;
    // Appends the costs of an objective that the application enforces itself
    // (ranked below the host's own) to those the host reports for a model.
    std::function<bool(gondra_model_t*, std::vector<int64_t>&)> model_costs;
    // Called with the step and the accumulated statistics after solving.
    std::function<bool(gondra_statistics_t*, gondra_statistics_t*)> on_statistics;
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
