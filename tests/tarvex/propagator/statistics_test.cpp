// The "Tarvex" statistics as the host's trees show them after each solving
// step: step values reset, run totals summed, thread entries kept.

#include "host_session.hpp"
#include "propagator/theory_stats.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace Tarvex;
using namespace Tarvex::Testing;

TEST(Statistics, FoldingSumsCountersCopiesTheCostAndGrowsThreads) {
    TheoryStats accu;
    TheoryStats step;
    step.time_init = 0.5;
    step.num_clauses = 3;
    step.translate_literals = 2;
    step.cost = 7;
    step.has_cost = true;
    step.thread_stats(1).literals = 4;
    fold_statistics(accu, step);
    ThreadStats* first_thread = &step.thread_stats(0);
    reset_statistics(step);
    // Solvers point at their thread records: they stay where they are.
    EXPECT_EQ(&step.thread_stats(0), first_thread);
    EXPECT_EQ(step.thread_stats(1).literals, 0u);
    EXPECT_EQ(step.num_clauses, 0u);
    EXPECT_FALSE(step.has_cost);

    step.num_clauses = 1;
    step.thread_stats(1).literals = 1;
    step.thread_stats(2).refined_reason = 5;
    fold_statistics(accu, step);
    EXPECT_EQ(accu.time_init, 0.5);
    EXPECT_EQ(accu.num_clauses, 4u);
    EXPECT_EQ(accu.translate_literals, 2u);
    // The run shows the cost of its last step: none here.
    EXPECT_FALSE(accu.has_cost);
    ASSERT_EQ(std::distance(accu.solver_stats.begin(), accu.solver_stats.end()), 3);
    EXPECT_EQ(accu.thread_stats(1).literals, 5u);
    EXPECT_EQ(accu.thread_stats(2).refined_reason, 5u);
}

// Two solving steps through the C interface: the step tree shows only what
// the step did, the accumulated tree the sums, and the thread array keeps
// the entries of the step with more threads.
TEST(Statistics, StepValuesResetAndRunTotalsAddUp) {
    HostSession session{{"-n", "0", "-t", "3"}, {{"translate-pb", "-1"}}};
    ASSERT_TRUE(session.ground("&dom{0..2} = x. &dom{0..2} = y. &sum{x; y} <= 2. &minimize{x - y}."));
    auto first = session.solve();
    ASSERT_TRUE(first.ok) << first.error;
    auto const& step1 = first.step_stats;
    EXPECT_EQ(step1.at("Problem.Variables"), 2);
    EXPECT_EQ(step1.at("Translate.Constraints removed"), 1);
    EXPECT_EQ(step1.at("Translate.Clauses"), 2);
    EXPECT_EQ(step1.at("Cost"), -2);
    EXPECT_EQ(step1, first.accu_stats);
    for (int i = 0; i < 3; ++i) {
        std::string thread = "Thread." + std::to_string(i) + ".Time in seconds.";
        EXPECT_DOUBLE_EQ(step1.at(thread + "Total"),
                         step1.at(thread + "Propagation") + step1.at(thread + "Check") + step1.at(thread + "Undo"));
    }
    EXPECT_GT(step1.at("Init time in seconds.Total"), 0);
    EXPECT_GE(step1.at("Init time in seconds.Total"),
              step1.at("Init time in seconds.Simplify") + step1.at("Init time in seconds.Translate"));

    ASSERT_TRUE(session.ground("&dom{0..2} = z. &sum{x; y; z} <= 3 :- a. {a}.", "more"));
    auto second = session.solve();
    ASSERT_TRUE(second.ok) << second.error;
    auto const& step2 = second.step_stats;
    auto const& accu = second.accu_stats;
    EXPECT_EQ(step2.at("Problem.Variables"), 1);
    EXPECT_EQ(accu.at("Problem.Variables"), 3);
    for (char const* key : {"Problem.Clauses", "Problem.Literals", "Translate.Clauses", "Translate.Literals",
                            "Init time in seconds.Total", "Thread.1.Time in seconds.Propagation"}) {
        EXPECT_DOUBLE_EQ(accu.at(key), step1.at(key) + step2.at(key)) << key;
    }
    EXPECT_GT(step2.at("Translate.Clauses"), 0);
    EXPECT_EQ(accu.at("Cost"), step2.at("Cost"));
    EXPECT_EQ(step2.count("Thread.2.Literals introduced"), 1u);
    EXPECT_EQ(step2.count("Thread.3.Literals introduced"), 0u);
}
