#pragma once
// Reads CNF in DIMACS format into a problem. DIMACS variable x becomes solver
// variable x + 1 (variable 1 is the constant). Errors carry file:line:column.
#include "solve/problem.hpp"

#include <string>
#include <string_view>

namespace Gondra::Solve {

struct DimacsInfo {
    uint32_t variables = 0; // as declared in the header
    size_t clauses = 0;     // as read
};

class DimacsReader {
public:
    // False with a located message in error on bad input.
    static bool read_file(std::string const& path, Problem& problem, DimacsInfo& info, std::string& error);
    static bool parse(std::string_view text, std::string const& name, Problem& problem, DimacsInfo& info,
                      std::string& error);
};

} // namespace Gondra::Solve
