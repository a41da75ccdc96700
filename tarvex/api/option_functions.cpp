// Configuration of the theory: command-line options, settings by name and the
// adjustment of the host's settings before solving.

#include "api/api_guard.hpp"
#include "host/host_error.hpp"
#include "host/theory_atoms.hpp"
#include "parsing/term_ref.hpp"
#include "tarvex.h"

#include <cstring>
#include <stdexcept>
#include <string>

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
        if (control == nullptr) {
            throw std::invalid_argument("invalid control");
        }
        gondra_configuration_t* configuration = nullptr;
        Host::check(gondra_control_configuration(control, &configuration));
        gondra_id_t root = 0;
        Host::check(gondra_configuration_root(configuration, &root));
        gondra_id_t solve = 0;
        Host::check(gondra_configuration_map_at(configuration, root, "solve", &solve));
        gondra_id_t models = 0;
        Host::check(gondra_configuration_map_at(configuration, solve, "models", &models));
        size_t size = 0;
        Host::check(gondra_configuration_value_get_size(configuration, models, &size));
        std::string value(size, '\0');
        Host::check(gondra_configuration_value_get(configuration, models, value.data(), size));
        if (std::strcmp(value.c_str(), "-1") != 0) {
            return;
        }
        // A non-empty objective asks for models until the optimum is proven,
        // unless the user chose the number of models.
        gondra_theory_atoms_t const* atoms_c = nullptr;
        Host::check(gondra_control_theory_atoms(control, &atoms_c));
        Host::TheoryAtoms atoms{atoms_c};
        std::size_t count = atoms.size();
        for (std::size_t i = 0; i < count; ++i) {
            auto atom = static_cast<gondra_id_t>(i);
            TermRef name{atoms, atoms.atom_term(atom)};
            if ((term_matches(name, "minimize", 0) || term_matches(name, "maximize", 0)) &&
                !atoms.atom_elements(atom).empty()) {
                Host::check(gondra_configuration_value_set(configuration, models, "0"));
                return;
            }
        }
    });
}

} // extern "C"
