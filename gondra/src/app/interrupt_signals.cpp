#include "app/interrupt_signals.hpp"

#include <atomic>
#include <csignal>

namespace Gondra::App {
namespace {

// What the handler may touch: lock-free atomics only.
std::atomic<void (*)(void*)> target_stop{nullptr};
std::atomic<void*> target_data{nullptr};
std::atomic<bool> signalled{false};
struct sigaction previous_int {};
struct sigaction previous_term {};

void stop_target() {
    // The pair is written with data first and read with stop first, so a
    // stop function always comes with its data (both are cleared together
    // only once no search runs).
    if (auto stop = target_stop.load()) {
        stop(target_data.load());
    }
}

extern "C" void on_signal(int) {
    signalled.store(true);
    stop_target();
}

void stop_control(void* control) {
    gondra_control_interrupt(static_cast<gondra_control_t*>(control));
}

} // namespace

InterruptSignals::InterruptSignals() {
    static_assert(std::atomic<void*>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);
    signalled.store(false);
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    // The first signal asks the search to stop; the next one ends the program.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, &previous_int);
    sigaction(SIGTERM, &action, &previous_term);
}

InterruptSignals::~InterruptSignals() {
    sigaction(SIGINT, &previous_int, nullptr);
    sigaction(SIGTERM, &previous_term, nullptr);
    target_stop.store(nullptr);
    target_data.store(nullptr);
}

void InterruptSignals::watch(void (*stop)(void*), void* target) {
    target_stop.store(nullptr);
    target_data.store(target);
    target_stop.store(target != nullptr ? stop : nullptr);
    if (signalled.load()) {
        stop_target();
    }
}

void InterruptSignals::watch(gondra_control_t* control) {
    watch(stop_control, control);
}

bool InterruptSignals::received() const {
    return signalled.load();
}

} // namespace Gondra::App
