#pragma once
// `gondra --dimacs FILE`: solves a CNF ("-": standard input) and prints the
// result in the usual competition format. SIGINT and SIGTERM stop the search.
// Returns the exit code (10 sat, 20 unsat, 0 unknown, 1 bad input, 2 internal).
#include <cstdint>
#include <string>

namespace Gondra::App {

struct DimacsOptions {
    std::string file;
    uint32_t threads = 1;
    double time_limit = 0;
    int64_t models = -1;
    uint64_t seed = 0;
    bool print_model = true;
};

int run_dimacs(DimacsOptions const& options);

} // namespace Gondra::App
