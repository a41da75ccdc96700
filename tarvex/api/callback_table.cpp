// The trampolines through which the host reaches the propagator: each turns
// an exception into the host's error state and a false result.

#include "api/callback_table.hpp"

#include "host/host_error.hpp"

namespace Tarvex {

namespace {

Propagator& propagator_of(void* data) {
    return static_cast<tarvex_theory*>(data)->propagator;
}

bool init_trampoline(gondra_propagate_init_t* init, void* data) {
    return Host::guard([&] {
        Gondra::PropagateInit wrapper{init};
        propagator_of(data).init(wrapper);
    });
}

bool propagate_trampoline(gondra_propagate_control_t* control, gondra_literal_t const* changes, size_t size,
                          void* data) {
    return Host::guard([&] {
        Gondra::PropagateControl wrapper{control};
        propagator_of(data).propagate(wrapper, {changes, size});
    });
}

void undo_trampoline(gondra_propagate_control_t const* control, gondra_literal_t const* changes, size_t size,
                     void* data) {
    // The wrapper only offers non-const access; undo reads nothing through it.
    Gondra::PropagateControl const wrapper{const_cast<gondra_propagate_control_t*>(control)};
    propagator_of(data).undo(wrapper, {changes, size});
}

bool check_trampoline(gondra_propagate_control_t* control, void* data) {
    return Host::guard([&] {
        Gondra::PropagateControl wrapper{control};
        propagator_of(data).check(wrapper);
    });
}

bool decide_trampoline(gondra_id_t thread_id, gondra_assignment_t const* assignment,
                       gondra_literal_t fallback, void* data, gondra_literal_t* decision) {
    return Host::guard([&] {
        Gondra::Assignment wrapper{assignment};
        *decision = propagator_of(data).decide(thread_id, wrapper, fallback);
    });
}

} // namespace

// Two tables for the whole process, neither of which ever changes, so the
// host never sees a record change under it. A handle that configures a
// decision heuristic for some thread gets the one with the decide entry;
// fixing the choice at the first registration would silently drop the
// heuristic of every later handle that asks for it.
gondra_propagator_t const& callback_table(tarvex_theory const& theory) {
    static gondra_propagator_t const with_decide{init_trampoline, propagate_trampoline, undo_trampoline,
                                                 check_trampoline, decide_trampoline};
    static gondra_propagator_t const without_decide{init_trampoline, propagate_trampoline, undo_trampoline,
                                                    check_trampoline, nullptr};
    return theory.propagator.config().uses_heuristic() ? with_decide : without_decide;
}

} // namespace Tarvex
