// The C interface of the control object.
#include "capi/api_guard.hpp"
#include "control/control.hpp"

#include <cstring>
#include <stdexcept>

using Gondra::CApi::guard;
using Gondra::Symbols::Symbol;

namespace {

Gondra::Control::Control& control_of(gondra_control_t* control) {
    if (control == nullptr || !control->control) {
        throw std::invalid_argument("control must not be null");
    }
    return *control->control;
}

Gondra::Control::Control const& control_of(gondra_control_t const* control) {
    if (control == nullptr || !control->control) {
        throw std::invalid_argument("control must not be null");
    }
    return *control->control;
}

template <class T> T* out(T* p) {
    if (p == nullptr) {
        throw std::invalid_argument("output argument must not be null");
    }
    return p;
}

char const* text(char const* s, char const* what) {
    if (s == nullptr) {
        throw std::invalid_argument(std::string(what) + " must not be null");
    }
    return s;
}

} // namespace

extern "C" {

bool gondra_control_new(char const* const* arguments, size_t arguments_size, gondra_logger_t logger,
                        void* logger_data, unsigned message_limit, gondra_control_t** control) {
    return guard([&] {
        out(control);
        if (arguments == nullptr && arguments_size > 0) {
            throw std::invalid_argument("arguments must not be null");
        }
        for (size_t i = 0; i < arguments_size; ++i) {
            text(arguments[i], "argument");
        }
        auto handle = std::make_unique<gondra_control>();
        handle->control = std::make_unique<Gondra::Control::Control>(
            std::span<char const* const>(arguments, arguments_size), logger, logger_data, message_limit);
        *control = handle.release();
    });
}

void gondra_control_free(gondra_control_t* control) {
    delete control;
}

bool gondra_control_load(gondra_control_t* control, char const* file) {
    return guard([&] { control_of(control).load(text(file, "file")); });
}

bool gondra_control_add(gondra_control_t* control, char const* name, char const* const* parameters,
                        size_t parameters_size, char const* program) {
    return guard([&] {
        if (parameters == nullptr && parameters_size > 0) {
            throw std::invalid_argument("parameters must not be null");
        }
        std::vector<std::string> params;
        for (size_t i = 0; i < parameters_size; ++i) {
            params.emplace_back(text(parameters[i], "parameter"));
        }
        control_of(control).add(text(name, "part name"), params, text(program, "program"));
    });
}

bool gondra_control_ground(gondra_control_t* control, gondra_part_t const* parts, size_t parts_size) {
    return guard([&] {
        if (parts == nullptr && parts_size > 0) {
            throw std::invalid_argument("parts must not be null");
        }
        std::vector<Gondra::Ground::Part> list;
        for (size_t i = 0; i < parts_size; ++i) {
            Gondra::Ground::Part part{text(parts[i].name, "part name"), {}};
            if (parts[i].params == nullptr && parts[i].size > 0) {
                throw std::invalid_argument("part parameters must not be null");
            }
            for (size_t j = 0; j < parts[i].size; ++j) {
                part.parameters.push_back(Symbol::from_rep(parts[i].params[j]));
            }
            list.push_back(std::move(part));
        }
        control_of(control).ground(list);
    });
}

bool gondra_control_solve(gondra_control_t* control, gondra_literal_t const* assumptions,
                          size_t assumptions_size, gondra_solve_event_callback_t handler, void* data,
                          gondra_solve_result_bitset_t* result) {
    return guard([&] {
        if (assumptions == nullptr && assumptions_size > 0) {
            throw std::invalid_argument("assumptions must not be null");
        }
        Gondra::Control::EventHandler events;
        if (handler != nullptr) {
            events = [handler, data](unsigned type, void* event, bool& goon) {
                return handler(type, event, data, &goon);
            };
        }
        unsigned bits = control_of(control).solve({assumptions, assumptions_size}, events);
        if (result != nullptr) {
            *result = bits;
        }
    });
}

bool gondra_control_declare_objective(gondra_control_t* control, bool declared) {
    return guard([&] { control_of(control).declare_objective(declared); });
}

void gondra_control_interrupt(gondra_control_t* control) {
    if (control != nullptr && control->control) {
        control->control->interrupt();
    }
}

bool gondra_control_register_propagator(gondra_control_t* control, gondra_propagator_t const* propagator,
                                        void* data, bool sequential) {
    return guard([&] { control_of(control).register_propagator(*out(propagator), data, sequential); });
}

bool gondra_control_theory_atoms(gondra_control_t const* control, gondra_theory_atoms_t const** atoms) {
    return guard([&] { *out(atoms) = control_of(control).theory_atoms(); });
}

bool gondra_control_configuration(gondra_control_t* control, gondra_configuration_t** configuration) {
    return guard([&] { *out(configuration) = control_of(control).configuration().to_c(); });
}

bool gondra_control_statistics(gondra_control_t const* control, gondra_statistics_t const** statistics) {
    return guard([&] { *out(statistics) = control_of(control).statistics().to_c(); });
}

bool gondra_control_program_builder(gondra_control_t* control, gondra_program_builder_t** builder) {
    return guard([&] { *out(builder) = control_of(control).program_builder(); });
}

bool gondra_control_has_const(gondra_control_t const* control, char const* name, bool* exists) {
    return guard([&] { *out(exists) = control_of(control).has_const(text(name, "name")); });
}

bool gondra_control_get_const(gondra_control_t const* control, char const* name, gondra_symbol_t* symbol) {
    return guard([&] { *out(symbol) = control_of(control).get_const(text(name, "name")).rep(); });
}

bool gondra_control_assign_external(gondra_control_t* control, gondra_literal_t literal,
                                    gondra_truth_value_t value) {
    return guard([&] { control_of(control).assign_external(literal, value); });
}

bool gondra_control_release_external(gondra_control_t* control, gondra_literal_t literal) {
    return guard([&] { control_of(control).release_external(literal); });
}

} // extern "C"
