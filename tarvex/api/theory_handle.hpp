#pragma once

// The theory handle behind tarvex_theory_t.

#include "api/thread_option.hpp"
#include "propagator/propagator.hpp"

#include <cstdint>
#include <forward_list>
#include <functional>
#include <map>

struct tarvex_theory {
    // Members are destroyed in reverse order: pending settings, the option
    // parsers, then the propagator with everything it owns.
    Tarvex::Propagator propagator;
    // Option parsers handed to the host; they must live as long as the host
    // may call them.
    std::forward_list<std::function<bool(char const*)>> option_parsers;
    // Per-thread settings collected from the command line, applied and
    // emptied by tarvex_validate_options.
    std::map<Tarvex::ThreadOptionKey, std::int32_t> pending_thread_options;
    bool shift_constraints = true;
};
