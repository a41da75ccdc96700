// How long the solver keeps the clauses by which a propagator explains its
// inferences: those among the propagator's own variables only while they are
// reasons (unless asked to keep them), those that mention other atoms always.
#include "solve/propagate_control.hpp"
#include "solve/propagate_init.hpp"
#include "solve/solver_set.hpp"

#include <gtest/gtest.h>

namespace Gondra::Solve {
namespace {

// Explains a and b -> c, and p and a and b -> d (p a problem atom), each once
// only: a propagator that forgets its inferences, so that what the solver
// keeps shows in the models of a later solve call. a, b, c, d are the
// propagator's variables; p, a and b are decided first, true, so that both
// explanations are made on the first descent, as reasons.
class ForgetfulExplainer : public Propagator {
public:
    bool init(PropagateInit& init) override {
        if (a == 0) {
            a = init.add_literal(true);
            b = init.add_literal(true);
            c = init.add_literal(true);
            d = init.add_literal(true);
        }
        for (int32_t lit : {p, a, b}) {
            init.add_watch(lit);
        }
        return true;
    }
    bool propagate(PropagateControl& ctl, std::span<int32_t const>) override {
        auto const& s = ctl.assignment();
        if (!s.is_true(a) || !s.is_true(b)) {
            return true;
        }
        // Explained only while the inference is open, so that the clause is
        // a reason (a conflicting one would be learnt from).
        if (!explained_own && !s.is_true(c) && !s.is_false(c)) {
            explained_own = true;
            int32_t clause[] = {-a, -b, c};
            if (!ctl.add_clause(clause, ClauseType::learnt) || !ctl.propagate()) {
                return true;
            }
        }
        if (!explained_mixed && s.is_true(p) && !s.is_true(d) && !s.is_false(d)) {
            explained_mixed = true;
            int32_t clause[] = {-p, -a, -b, d};
            if (!ctl.add_clause(clause, ClauseType::learnt) || !ctl.propagate()) {
                return true;
            }
        }
        return true;
    }

    bool has_decide() const override { return true; }
    bool decide(uint32_t, Solver const& s, int32_t, int32_t& decision) override {
        decision = 0;
        for (int32_t lit : {p, a, b}) {
            if (s.truth_value(lit) == 0) {
                decision = lit;
                break;
            }
        }
        return true;
    }

    int32_t const p = 2;
    int32_t a = 0, b = 0, c = 0, d = 0;
    bool explained_own = false;
    bool explained_mixed = false;
};

TEST(PropagatorReasonsTest, OwnReasonsAreDroppedOnRequestAndMixedOnesKept) {
    for (bool drop : {false, true}) {
        SolverSet set;
        set.problem().reserve_variables(2);
        ForgetfulExplainer explainer;
        set.add_propagator(&explainer);
        SolveOptions options;
        options.drop_propagator_reasons = drop;
        options.models = 1;
        set.solve(options, {});
        options.models = 0;
        int without_c = 0;
        int without_d = 0;
        auto summary = set.solve(options, [&](Model const& m) {
            bool ab = m.is_true(explainer.a) && m.is_true(explainer.b);
            without_c += ab && !m.is_true(explainer.c) ? 1 : 0;
            without_d += ab && m.is_true(explainer.p) && !m.is_true(explainer.d) ? 1 : 0;
            return true;
        });
        ASSERT_TRUE(explainer.explained_own);
        ASSERT_TRUE(explainer.explained_mixed);
        // Once made, a kept clause excludes every such model.
        EXPECT_EQ(without_d, 0) << "drop " << drop;
        if (drop) {
            // Forgotten once no longer a reason: the models the propagator
            // should have excluded come through.
            EXPECT_GT(without_c, 0);
            EXPECT_GT(summary.models, 32u - 4u - 1u);
        } else {
            EXPECT_EQ(without_c, 0);
            // 32 assignments of p, a, b, c, d; a and b exclude not c (4),
            // p and a and b exclude not d among those left (1).
            EXPECT_EQ(summary.models, 32u - 4u - 1u);
        }
    }
}

} // namespace
} // namespace Gondra::Solve
