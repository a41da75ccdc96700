#include "propagator/propagator.hpp"

namespace Tarvex {

// The callbacks answer nothing yet: no constraints are read, so every
// assignment the host finds is accepted as it is.

void Propagator::init(Gondra::PropagateInit& init) {
    static_cast<void>(init);
}

void Propagator::propagate(Gondra::PropagateControl& control, std::span<literal_t const> changes) {
    static_cast<void>(control);
    static_cast<void>(changes);
}

void Propagator::undo(Gondra::PropagateControl const& control, std::span<literal_t const> changes) noexcept {
    static_cast<void>(control);
    static_cast<void>(changes);
}

void Propagator::check(Gondra::PropagateControl& control) {
    static_cast<void>(control);
}

literal_t Propagator::decide(gondra_id_t thread_id, Gondra::Assignment const& assignment,
                             literal_t fallback) {
    static_cast<void>(thread_id);
    static_cast<void>(assignment);
    return fallback;
}

value_t Propagator::value(std::uint32_t thread_id, var_id var) const {
    static_cast<void>(thread_id);
    static_cast<void>(var);
    return 0;
}

} // namespace Tarvex
