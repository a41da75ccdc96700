#pragma once
// SIGINT and SIGTERM stop the search instead of the program, so that it still
// prints the models it found and its summary. A second signal of the same
// kind ends the program at once (the default action is back by then).

#include "gondra.h"

#include <functional>

namespace Gondra::App {

// The handlers and their target are process-wide: one instance at a time (a
// nested one takes over until it ends).
class InterruptSignals {
public:
    // Installs the handlers; the destructor restores the previous ones.
    InterruptSignals();
    ~InterruptSignals();
    InterruptSignals(InterruptSignals const&) = delete;
    InterruptSignals& operator=(InterruptSignals const&) = delete;

    // The search that the next signal stops (null: none). A signal that came
    // before stops it at once. stop must be safe to call from a signal handler.
    void watch(void (*stop)(void*), void* target);
    void watch(gondra_control_t* control);
    // Whether a signal came since the handlers were installed.
    bool received() const;
};

} // namespace Gondra::App
