#pragma once
// The interface through which theories (and built-in checks) take part in the
// search: one object serves all solver threads; the solver calls it with the
// control of the calling thread, never twice at once for the same thread.
#include <cstdint>
#include <span>
#include <string>

namespace Gondra::Solve {

class Solver;
class PropagateInit;
class PropagateControl;

enum class CheckMode : int { none = 0, total = 1, fixpoint = 2, both = 3 };
enum class ClauseType : int { learnt = 0, static_ = 1, volatile_ = 2, volatile_static = 3 };

// Why a callback failed; read on the failing thread right after the call.
struct Failure {
    int code = 1;
    std::string message;
};

class Propagator {
public:
    virtual ~Propagator() = default;
    // All callbacks return false on failure, which ends the solve call.
    virtual bool init(PropagateInit& init) {
        (void)init;
        return true;
    }
    virtual bool propagate(PropagateControl& control, std::span<int32_t const> changes) {
        (void)control;
        (void)changes;
        return true;
    }
    virtual void undo(PropagateControl const& control, std::span<int32_t const> changes) {
        (void)control;
        (void)changes;
    }
    virtual bool check(PropagateControl& control) {
        (void)control;
        return true;
    }
    // Whether decide should be called at all (saves a call per decision).
    virtual bool has_decide() const { return false; }
    // Sets decision to a free literal to replace fallback, or 0 to keep it.
    virtual bool decide(uint32_t thread_id, Solver const& assignment, int32_t fallback, int32_t& decision) {
        (void)thread_id;
        (void)assignment;
        (void)fallback;
        decision = 0;
        return true;
    }
    virtual Failure failure() const { return {1, "a propagator failed"}; }
};

} // namespace Gondra::Solve
