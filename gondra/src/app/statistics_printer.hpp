#pragma once
// Renders a statistics tree of the C interface, as "path : value" lines (one
// per value, paths joined by dots, array entries by index) or as JSON.

#include "gondra.h"

#include <string>

namespace Gondra::App {

// Both fail as the C interface does: false with the error state set.
bool append_statistics_text(std::string& out, gondra_statistics_t const* statistics);
// depth: the nesting of the tree in the document, for the indentation.
bool append_statistics_json(std::string& out, gondra_statistics_t const* statistics, unsigned depth = 0);

} // namespace Gondra::App
