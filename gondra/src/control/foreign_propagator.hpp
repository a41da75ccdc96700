#pragma once
// A propagator given as a record of C callbacks. The solver's own init,
// control and assignment objects are handed to the callbacks as the opaque
// handles of the C interface.
#include "gondra.h"
#include "solve/propagate_control.hpp"
#include "solve/propagate_init.hpp"
#include "solve/propagator.hpp"
#include "solve/solver.hpp"

#include <mutex>

namespace Gondra::Control {

inline gondra_propagate_init_t* to_c(Solve::PropagateInit& init) {
    return reinterpret_cast<gondra_propagate_init_t*>(&init);
}
inline Solve::PropagateInit& from_c(gondra_propagate_init_t* init) {
    return *reinterpret_cast<Solve::PropagateInit*>(init);
}
inline Solve::PropagateInit const& from_c(gondra_propagate_init_t const* init) {
    return *reinterpret_cast<Solve::PropagateInit const*>(init);
}
inline gondra_propagate_control_t* to_c(Solve::PropagateControl& control) {
    return reinterpret_cast<gondra_propagate_control_t*>(&control);
}
inline gondra_propagate_control_t const* to_c(Solve::PropagateControl const& control) {
    return reinterpret_cast<gondra_propagate_control_t const*>(&control);
}
inline Solve::PropagateControl& from_c(gondra_propagate_control_t* control) {
    return *reinterpret_cast<Solve::PropagateControl*>(control);
}
inline Solve::PropagateControl const& from_c(gondra_propagate_control_t const* control) {
    return *reinterpret_cast<Solve::PropagateControl const*>(control);
}
inline gondra_assignment_t const* to_c(Solve::Solver const& solver) {
    return reinterpret_cast<gondra_assignment_t const*>(&solver);
}
inline Solve::Solver const& from_c(gondra_assignment_t const* assignment) {
    return *reinterpret_cast<Solve::Solver const*>(assignment);
}

class ForeignPropagator : public Solve::Propagator {
public:
    ForeignPropagator(gondra_propagator_t const& record, void* data, bool sequential)
        : record_(record), data_(data), sequential_(sequential) {}

    bool init(Solve::PropagateInit& init) override;
    bool propagate(Solve::PropagateControl& control, std::span<int32_t const> changes) override;
    void undo(Solve::PropagateControl const& control, std::span<int32_t const> changes) override;
    bool check(Solve::PropagateControl& control) override;
    bool has_decide() const override { return record_.decide != nullptr; }
    bool decide(uint32_t thread_id, Solve::Solver const& assignment, int32_t fallback,
                int32_t& decision) override;
    // The error the failing callback set on this thread.
    Solve::Failure failure() const override;

private:
    // Serialises the callbacks of all threads when the propagator asked for it.
    std::unique_lock<std::mutex> lock() {
        return sequential_ ? std::unique_lock<std::mutex>(mutex_) : std::unique_lock<std::mutex>();
    }

    gondra_propagator_t record_;
    void* data_;
    bool sequential_;
    std::mutex mutex_;
};

} // namespace Gondra::Control
