#include "host/host_error.hpp"

#include <new>
#include <stdexcept>
#include <string>

namespace Tarvex::Host {

void raise_error() {
    char const* message = gondra_error_message();
    std::string text = message != nullptr ? message : "no message";
    switch (gondra_error_code()) {
    case gondra_error_logic:
        throw std::logic_error(text);
    case gondra_error_bad_alloc:
        throw std::bad_alloc();
    default:
        // Unknown codes are failures too: going on would read the call's
        // unset out-parameters.
        throw std::runtime_error(text);
    }
}

void report_current_exception() noexcept {
    try {
        throw;
    } catch (std::bad_alloc const& e) {
        gondra_set_error(gondra_error_bad_alloc, e.what());
    } catch (std::runtime_error const& e) {
        gondra_set_error(gondra_error_runtime, e.what());
    } catch (std::logic_error const& e) {
        gondra_set_error(gondra_error_logic, e.what());
    } catch (...) {
        gondra_set_error(gondra_error_unknown, "unknown error");
    }
}

} // namespace Tarvex::Host
