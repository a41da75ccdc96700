// Configuration of the theory: command-line options, settings by name and the
// adjustment of the host's settings before solving.

#include "api/api_guard.hpp"
#include "host/host_error.hpp"
#include "tarvex.h"

#include <stdexcept>

using namespace Tarvex;

extern "C" {

bool tarvex_register_options(tarvex_theory_t* theory, gondra_options_t* options) {
    return Host::guard([&] {
        require_theory(theory);
        static_cast<void>(options);
        // No option is offered yet: every setting keeps its default.
    });
}

bool tarvex_validate_options(tarvex_theory_t* theory) {
    return Host::guard([&] {
        auto& handle = require_theory(theory);
        auto& config = handle.propagator.config();
        auto& pending = handle.pending_thread_options;
        // Settings for all threads take effect before thread-specific ones,
        // whatever their order on the command line.
        try {
            for (auto const& [key, value] : pending) {
                if (!key.second) {
                    apply_thread_option(config, key.first, key.second, value);
                }
            }
            for (auto const& [key, value] : pending) {
                if (key.second) {
                    apply_thread_option(config, key.first, key.second, value);
                }
            }
        } catch (...) {
            pending.clear();
            throw;
        }
        pending.clear();
        if (config.min_int > config.max_int) {
            throw std::runtime_error("min-int must be smaller than or equal to max-int");
        }
    });
}

bool tarvex_configure(tarvex_theory_t* theory, char const* key, char const* value) {
    return Host::guard([&] {
        require_theory(theory);
        if (key == nullptr || value == nullptr) {
            throw std::invalid_argument("invalid argument");
        }
        // No key is known yet; unknown keys are ignored.
    });
}

bool tarvex_prepare(tarvex_theory_t* theory, gondra_control_t* control) {
    return Host::guard([&] {
        require_theory(theory);
        static_cast<void>(control);
        // Nothing to adjust until objectives are read.
    });
}

} // extern "C"
