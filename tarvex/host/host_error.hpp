#pragma once

// Error translation at the boundary with the host solver, in both directions:
// a failed host call becomes an exception chosen by the host's error code, and
// an exception leaving the theory becomes the host's error state.

#include "gondra.h"

namespace Tarvex::Host {

// Throws for the error state left by a failed host call: code 1 (and 0, 4 or
// any other code) a std::runtime_error with the message, 2 a std::logic_error,
// 3 a std::bad_alloc. A missing message reads "no message".
[[noreturn]] void raise_error();

// Throws unless the host call succeeded.
inline void check(bool ok) {
    if (!ok) {
        raise_error();
    }
}

// To be called inside a catch handler: sets the host's error state from the
// exception being handled (bad_alloc 3, runtime_error 1, logic_error 2, each
// with its own text; anything else 4 with "unknown error").
void report_current_exception() noexcept;

// Runs f and reports any exception to the host; false when one was reported.
template <class F> bool guard(F&& f) noexcept {
    try {
        f();
        return true;
    } catch (...) {
        report_current_exception();
        return false;
    }
}

} // namespace Tarvex::Host
