// The phase in which the solver decides variables that propagators create:
// the saved one by default, always the initial one on request.
#include "brute_force.hpp"
#include "solve/propagate_control.hpp"
#include "solve/propagate_init.hpp"
#include "solve/solver_set.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace Gondra::Solve {
namespace {

// Creates one variable in init and one during search (at the first total
// check of the call), and records every decision the solver is about to make
// on them.
class PhaseWatcher : public Propagator {
public:
    bool init(PropagateInit& init) override {
        init_var_ = init.add_literal(true);
        search_var_ = 0;
        init.set_check_mode(CheckMode::total);
        return true;
    }
    bool check(PropagateControl& ctl) override {
        if (search_var_ == 0) {
            search_var_ = ctl.add_literal();
        }
        return true;
    }
    bool has_decide() const override { return true; }
    bool decide(uint32_t, Solver const&, int32_t fallback, int32_t& decision) override {
        int32_t var = fallback < 0 ? -fallback : fallback;
        if (var == init_var_ || var == search_var_) {
            (fallback > 0 ? positive : negative) += 1;
        }
        decision = 0;
        return true;
    }

    int positive = 0;
    int negative = 0;

private:
    int32_t init_var_ = 0;
    int32_t search_var_ = 0;
};

// Enumeration makes both variables true in half of the models, so a saved
// phase turns positive, while the initial phase (negative) never changes.
TEST(PropagatorPhaseTest, InitialPhaseIsKeptAndSavedPhaseFollowsTheAssignment) {
    for (auto mode : {PropagatorPhase::initial, PropagatorPhase::saved}) {
        SolverSet set;
        set.problem().reserve_variables(4);
        PhaseWatcher watcher;
        set.add_propagator(&watcher);
        SolveOptions options;
        options.models = 0;
        options.propagator_phase = mode;
        auto summary = set.solve(options, {});
        // Three problem variables and the two of the propagator, all free.
        EXPECT_EQ(summary.models, 32u);
        EXPECT_GT(watcher.negative, 0);
        if (mode == PropagatorPhase::initial) {
            EXPECT_EQ(watcher.positive, 0);
        } else {
            EXPECT_GT(watcher.positive, 0);
        }
    }
}

} // namespace
} // namespace Gondra::Solve
