#include "gondra.h"

#include <string>

namespace {

// Each thread has its own error so that concurrent solver threads and
// application threads never see each other's failures.
struct ErrorState {
    gondra_error_t code = gondra_error_success;
    std::string message;
    bool has_message = false;
};

thread_local ErrorState error_state;

} // namespace

extern "C" {

gondra_error_t gondra_error_code(void) { return error_state.code; }

char const* gondra_error_message(void) { return error_state.has_message ? error_state.message.c_str() : nullptr; }

void gondra_set_error(gondra_error_t code, char const* message) {
    error_state.code = code;
    error_state.has_message = message != nullptr;
    if (message != nullptr) {
        try {
            error_state.message = message;
        } catch (...) {
            // Out of memory while storing the message: keep the code.
            error_state.has_message = false;
        }
    } else {
        error_state.message.clear();
    }
}

char const* gondra_error_string(gondra_error_t code) {
    switch (code) {
    case gondra_error_success:
        return "success";
    case gondra_error_runtime:
        return "runtime error";
    case gondra_error_logic:
        return "logic error";
    case gondra_error_bad_alloc:
        return "bad allocation";
    default:
        return "unknown error";
    }
}

void gondra_version(int* major, int* minor, int* revision) {
    if (major != nullptr) *major = GONDRA_VERSION_MAJOR;
    if (minor != nullptr) *minor = GONDRA_VERSION_MINOR;
    if (revision != nullptr) *revision = GONDRA_VERSION_REVISION;
}
}
