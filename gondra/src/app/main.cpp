// The gondra command-line program: solves logic programs, and in its other
// modes DIMACS CNF files and printing the syntax trees of programs.
#include "app/dimacs_command.hpp"
#include "app/driver.hpp"
#include "app/print_ast_command.hpp"
#include "control/configuration.hpp"
#include "control/options.hpp"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Modes {
    std::optional<std::string> dimacs;
    std::optional<std::string> print_ast;
    bool quiet = false;
};

void add_modes(Gondra::Control::Options& options, Modes& modes) {
    char const* group = "Basic Options";
    options.add(
        group, "dimacs",
        "Solve the CNF of <file> in DIMACS format (\"-\": standard input) instead of a program",
        [&modes](std::string_view file) {
            modes.dimacs = std::string(file);
            return !file.empty();
        },
        false, "<file>");
    options.add(
        group, "print-ast", "Print the statements of <file> (\"-\": standard input) as parsed, then exit",
        [&modes](std::string_view file) {
            modes.print_ast = std::string(file);
            return !file.empty();
        },
        false, "<file>");
    options.add_flag(group, "quiet,q,@2", "With --dimacs: print no assignment", &modes.quiet);
}

std::optional<int> run_mode(Modes const& modes, Gondra::Control::Configuration const& settings,
                            std::vector<std::string> const& files) {
    if (!modes.dimacs && !modes.print_ast) {
        return std::nullopt;
    }
    if (modes.dimacs && modes.print_ast) {
        std::fprintf(stderr, "gondra: error: --dimacs and --print-ast cannot be combined\n");
        return Gondra::App::exit_bad_input;
    }
    if (!files.empty()) {
        std::fprintf(stderr, "gondra: error: unexpected argument '%s' (the file is the option's value)\n",
                     files.front().c_str());
        return Gondra::App::exit_bad_input;
    }
    if (modes.print_ast) {
        return print_ast_command(modes.print_ast->c_str());
    }
    Gondra::App::DimacsOptions options;
    options.file = *modes.dimacs;
    options.threads = static_cast<uint32_t>(settings.get_integer("solve.threads"));
    options.models = settings.get_integer("solve.models");
    options.time_limit = settings.get_double("solve.time_limit");
    options.seed = static_cast<uint64_t>(settings.get_integer("solver.seed"));
    options.print_model = !modes.quiet;
    return Gondra::App::run_dimacs(options);
}

} // namespace

int main(int argc, char** argv) {
    Modes modes;
    Gondra::App::DriverHooks hooks;
    hooks.register_options = [&modes](gondra_options_t* options) {
        add_modes(*Gondra::Control::Options::from_c(options), modes);
        return true;
    };
    hooks.run_mode = [&modes](Gondra::Control::Configuration const& settings,
                              std::vector<std::string> const& files) {
        return run_mode(modes, settings, files);
    };
    return Gondra::App::run_driver(argc, argv, "gondra", hooks);
}
