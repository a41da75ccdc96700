#pragma once
// Turns exceptions of the host's internals into the C interface's error state.

#include "gondra.h"

#include <exception>
#include <new>
#include <stdexcept>

namespace Gondra::CApi {

// Thrown when a callback of the application reported failure: the error it set
// is already in the error state and must be kept as it is.
struct ClientError : std::exception {
    char const* what() const noexcept override { return "application callback failed"; }
};

// Throws ClientError unless a callback succeeded.
inline void check_client(bool ok) {
    if (!ok) throw ClientError{};
}

// Runs f and converts any exception into the error state; true on success.
template <class F> bool guard(F&& f) noexcept {
    try {
        f();
        return true;
    } catch (ClientError const&) {
        return false;
    } catch (std::bad_alloc const&) {
        gondra_set_error(gondra_error_bad_alloc, "bad allocation");
    } catch (std::runtime_error const& e) {
        gondra_set_error(gondra_error_runtime, e.what());
    } catch (std::logic_error const& e) {
        gondra_set_error(gondra_error_logic, e.what());
    } catch (std::exception const& e) {
        gondra_set_error(gondra_error_unknown, e.what());
    } catch (...) {
        gondra_set_error(gondra_error_unknown, "unknown error");
    }
    return false;
}

} // namespace Gondra::CApi
