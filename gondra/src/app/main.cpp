// The gondra command-line program: solves DIMACS CNF files and prints the
// syntax trees of programs.
#include "app/dimacs_command.hpp"
#include "app/driver.hpp"
#include "app/print_ast_command.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void usage(std::FILE* out) {
    std::fprintf(out, "usage: gondra [options] [files]\n"
                      "       gondra --dimacs FILE [-t N] [--time-limit SECONDS] [-n MODELS] [-q]\n"
                      "       gondra --print-ast FILE\n");
}

bool parse_number(char const* text, long long min, long long max, long long& out) {
    char* end = nullptr;
    out = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && out >= min && out <= max;
}

} // namespace

int main(int argc, char** argv) {
    bool special = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        special = special || arg == "--dimacs" || arg == "--print-ast";
    }
    if (!special) {
        // Logic programs: the general driver.
        return Gondra::App::run_driver(argc, argv, "gondra", {});
    }
    Gondra::App::DimacsOptions options;
    bool dimacs = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](char const* what) -> char const* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "error: option %s needs %s\n", arg.c_str(), what);
                std::exit(1);
            }
            return argv[++i];
        };
        long long n = 0;
        if (arg == "--print-ast") {
            return print_ast_command(value("a file"));
        }
        if (arg == "--dimacs") {
            options.file = value("a file");
            dimacs = true;
        } else if (arg == "-t" || arg == "--threads") {
            if (!parse_number(value("a number"), 1, 256, n)) {
                std::fprintf(stderr, "error: invalid number of threads '%s' (1 to 256)\n", argv[i]);
                return 1;
            }
            options.threads = static_cast<uint32_t>(n);
        } else if (arg == "--time-limit") {
            if (!parse_number(value("a number"), 0, 1000000000, n)) {
                std::fprintf(stderr, "error: invalid time limit '%s'\n", argv[i]);
                return 1;
            }
            options.time_limit = static_cast<double>(n);
        } else if (arg == "-n" || arg == "--models") {
            if (!parse_number(value("a number"), 0, 1LL << 62, n)) {
                std::fprintf(stderr, "error: invalid number of models '%s'\n", argv[i]);
                return 1;
            }
            options.models = n;
        } else if (arg == "-q") {
            options.print_model = false;
        } else if (arg == "-h" || arg == "--help") {
            usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "error: unknown argument '%s'\n", arg.c_str());
            usage(stderr);
            return 1;
        }
    }
    if (!dimacs) {
        usage(stderr);
        return 1;
    }
    return Gondra::App::run_dimacs(options);
}
