// The options family of the C interface.
#include "capi/api_guard.hpp"
#include "control/options.hpp"
#include "gondra.h"

#include <stdexcept>
#include <string>

using Gondra::CApi::guard;
using Gondra::Control::Options;

namespace {

void require(void const* pointer, char const* what) {
    if (pointer == nullptr) {
        throw std::invalid_argument(std::string(what) + " must not be null");
    }
}

} // namespace

extern "C" {

bool gondra_options_add(gondra_options_t* options, char const* group, char const* option, char const* description,
                        gondra_option_parser_t parse, void* data, bool multi, char const* argument) {
    return guard([&] {
        require(options, "options");
        require(group, "group");
        require(option, "option");
        if (parse == nullptr) {
            throw std::invalid_argument("parse must not be null");
        }
        Options::Parser parser = [parse, data](std::string_view value) {
            // The value came from a C string, so it is NUL-terminated.
            std::string text(value);
            gondra_set_error(gondra_error_success, nullptr);
            if (parse(text.c_str(), data)) {
                return true;
            }
            // A message the callback left becomes part of the report.
            char const* message = gondra_error_message();
            if (message != nullptr && *message != '\0') {
                throw std::runtime_error(message);
            }
            return false;
        };
        Options::from_c(options)->add(group, option, description != nullptr ? description : "", std::move(parser),
                                      multi, argument != nullptr ? argument : "");
    });
}

bool gondra_options_add_flag(gondra_options_t* options, char const* group, char const* option,
                             char const* description, bool* target) {
    return guard([&] {
        require(options, "options");
        require(group, "group");
        require(option, "option");
        require(target, "target");
        Options::from_c(options)->add_flag(group, option, description != nullptr ? description : "", target);
    });
}
}
