#include "control/foreign_propagator.hpp"

namespace Gondra::Control {

bool ForeignPropagator::init(Solve::PropagateInit& init) {
    if (record_.init == nullptr) {
        return true;
    }
    auto guard = lock();
    gondra_set_error(gondra_error_success, nullptr);
    return record_.init(to_c(init), data_);
}

bool ForeignPropagator::propagate(Solve::PropagateControl& control, std::span<int32_t const> changes) {
    if (record_.propagate == nullptr) {
        return true;
    }
    auto guard = lock();
    return record_.propagate(to_c(control), changes.data(), changes.size(), data_);
}

void ForeignPropagator::undo(Solve::PropagateControl const& control, std::span<int32_t const> changes) {
    if (record_.undo == nullptr) {
        return;
    }
    auto guard = lock();
    record_.undo(to_c(control), changes.data(), changes.size(), data_);
}

bool ForeignPropagator::check(Solve::PropagateControl& control) {
    if (record_.check == nullptr) {
        return true;
    }
    auto guard = lock();
    return record_.check(to_c(control), data_);
}

bool ForeignPropagator::decide(uint32_t thread_id, Solve::Solver const& assignment, int32_t fallback,
                               int32_t& decision) {
    decision = 0;
    auto guard = lock();
    return record_.decide(thread_id, to_c(assignment), fallback, data_, &decision);
}

Solve::Failure ForeignPropagator::failure() const {
    char const* message = gondra_error_message();
    int code = gondra_error_code();
    return {code == gondra_error_success ? gondra_error_unknown : code,
            message != nullptr ? message : "a propagator callback failed without setting an error"};
}

} // namespace Gondra::Control
