// What the control tells the application about models and the end of the
// search: proven optimality and model numbers, the show selections, and
// interrupts that arrive before or while a search starts.
#include "solve_runner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

namespace {

using SolveRunner::Outcome;
using SolveRunner::solve;

struct Numbers {
    std::vector<uint64_t> numbers;
    std::vector<bool> proven;
};

bool record_numbers(gondra_solve_event_type_t type, void* event, void* data, bool* goon) {
    *goon = true;
    if (type != gondra_solve_event_type_model) return true;
    auto& n = *static_cast<Numbers*>(data);
    auto* model = static_cast<gondra_model_t*>(event);
    uint64_t number = 0;
    bool proven = false;
    if (!gondra_model_number(model, &number) || !gondra_model_optimality_proven(model, &proven)) return false;
    n.numbers.push_back(number);
    n.proven.push_back(proven);
    return true;
}

TEST(ModelEvents, OptimalModelIsReportedAsProvenAndNumbersContinue) {
    char const* program = "{ p(1..6) }. :- not 3 #count { X : p(X) }. #minimize { X : p(X) }. "
                          ":~ p(1), p(2). [1@2]";
    for (char const* threads : {"1", "3"}) {
        gondra_control_t* ctl = nullptr;
        std::vector<char const*> args{"-t", threads};
        ASSERT_TRUE(gondra_control_new(args.data(), args.size(), nullptr, nullptr, 0, &ctl));
        gondra_part_t part{"base", nullptr, 0};
        ASSERT_TRUE(gondra_control_add(ctl, "base", nullptr, 0, program));
        ASSERT_TRUE(gondra_control_ground(ctl, &part, 1));
        Numbers n;
        gondra_solve_result_bitset_t result = 0;
        ASSERT_TRUE(gondra_control_solve(ctl, nullptr, 0, record_numbers, &n, &result)) << gondra_error_message();
        EXPECT_EQ(result, unsigned{gondra_solve_result_satisfiable | gondra_solve_result_exhausted});
        ASSERT_GE(n.numbers.size(), 1u);
        for (size_t i = 0; i < n.numbers.size(); ++i) EXPECT_EQ(n.numbers[i], i + 1);
        gondra_control_free(ctl);
    }
    // The optimal model's content and cost: {p(1), p(3), p(4)} avoids the
    // priority-2 penalty at cost 8, better than {p(1), p(2), p(3)} = (1, 6).
    Outcome run = solve(program, {});
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.models.back(), "p(1) p(3) p(4)");
    EXPECT_EQ(run.costs.back(), (std::vector<int64_t>{0, 8}));
    // A model limit that stops before the proof leaves every model unproven.
    Outcome limited = solve(program, {"-n", "1"});
    ASSERT_TRUE(limited.ok) << limited.error;
    ASSERT_EQ(limited.proven.size(), 1u);
    EXPECT_FALSE(limited.proven[0]);
    // With an application propagator the models keep decreasing costs.
    {
        gondra_control_t* ctl = nullptr;
        ASSERT_TRUE(gondra_control_new(nullptr, 0, nullptr, nullptr, 0, &ctl));
        gondra_propagator_t idle{nullptr, nullptr, nullptr, nullptr, nullptr};
        ASSERT_TRUE(gondra_control_register_propagator(ctl, &idle, nullptr, false));
        gondra_part_t part{"base", nullptr, 0};
        ASSERT_TRUE(gondra_control_add(ctl, "base", nullptr, 0, program));
        ASSERT_TRUE(gondra_control_ground(ctl, &part, 1));
        Numbers n;
        gondra_solve_result_bitset_t result = 0;
        ASSERT_TRUE(gondra_control_solve(ctl, nullptr, 0, record_numbers, &n, &result)) << gondra_error_message();
        EXPECT_EQ(result, unsigned{gondra_solve_result_satisfiable | gondra_solve_result_exhausted});
        EXPECT_FALSE(n.numbers.empty());
        EXPECT_EQ(std::count(n.proven.begin(), n.proven.end(), true), 0);
        gondra_control_free(ctl);
    }
    // Without an objective nothing is proven optimal.
    Outcome plain = solve("{ a; b }.", {"-n", "0"});
    EXPECT_EQ(std::count(plain.proven.begin(), plain.proven.end(), true), 0);
}

TEST(ModelEvents, ShowSelections) {
    char const* program = "#show p/1. #show f(X) : q(X). p(1). q(2). { r; p(3) }.";
    auto models = [&](unsigned show) {
        Outcome run = solve(program, {"-n", "0"}, {}, show);
        EXPECT_TRUE(run.ok) << run.error;
        return SolveRunner::sorted(run.models);
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(models(gondra_show_type_shown), (V{"f(2) p(1)", "f(2) p(1)", "f(2) p(1) p(3)", "f(2) p(1) p(3)"}));
    // All true atoms, shown or not.
    EXPECT_EQ(models(gondra_show_type_atoms), (V{"p(1) p(3) q(2)", "p(1) p(3) q(2) r", "p(1) q(2)", "p(1) q(2) r"}));
    EXPECT_EQ(models(gondra_show_type_terms), (V{"f(2)", "f(2)", "f(2)", "f(2)"}));
    EXPECT_EQ(models(gondra_show_type_atoms | gondra_show_type_complement), (V{"", "p(3)", "p(3) r", "r"}));
    EXPECT_EQ(models(gondra_show_type_shown | gondra_show_type_complement), (V{"", "", "p(3)", "p(3)"}));
}

bool count_models(gondra_solve_event_type_t type, void*, void* data, bool* goon) {
    *goon = true;
    if (type == gondra_solve_event_type_model) ++*static_cast<std::atomic<uint64_t>*>(data);
    return true;
}

TEST(ModelEvents, InterruptBeforeOrAtTheStartOfASolveCallIsNotLost) {
    // 2^24 models: far more than any test waits for.
    char const* program = "{ p(1..24) }.";
    for (char const* threads : {"1", "3"}) {
        gondra_control_t* ctl = nullptr;
        // The time limit ends a search whose interrupt was lost, without the
        // interrupted flag.
        std::vector<char const*> args{"-n", "0", "-t", threads, "--time-limit=30"};
        ASSERT_TRUE(gondra_control_new(args.data(), args.size(), nullptr, nullptr, 0, &ctl)) << gondra_error_message();
        gondra_part_t part{"base", nullptr, 0};
        ASSERT_TRUE(gondra_control_add(ctl, "base", nullptr, 0, program));
        ASSERT_TRUE(gondra_control_ground(ctl, &part, 1));
        // Before the call: the call stops at once.
        gondra_control_interrupt(ctl);
        std::atomic<uint64_t> models{0};
        gondra_solve_result_bitset_t result = 0;
        ASSERT_TRUE(gondra_control_solve(ctl, nullptr, 0, count_models, &models, &result));
        EXPECT_EQ(result & gondra_solve_result_interrupted, unsigned{gondra_solve_result_interrupted});
        EXPECT_EQ(result & gondra_solve_result_exhausted, 0u);
        // Racing with the start of the call from another thread.
        std::mt19937 rng(7);
        for (int round = 0; round < 20; ++round) {
            int delay = std::uniform_int_distribution<int>(0, 300)(rng);
            std::thread stopper([&] {
                std::this_thread::sleep_for(std::chrono::microseconds(delay));
                gondra_control_interrupt(ctl);
            });
            result = 0;
            bool ok = gondra_control_solve(ctl, nullptr, 0, count_models, &models, &result);
            stopper.join();
            ASSERT_TRUE(ok);
            EXPECT_EQ(result & gondra_solve_result_interrupted, unsigned{gondra_solve_result_interrupted})
                << "round " << round;
        }
        gondra_control_free(ctl);
    }
    // A consumed interrupt does not reach the next call.
    gondra_control_t* ctl = nullptr;
    ASSERT_TRUE(gondra_control_new(nullptr, 0, nullptr, nullptr, 0, &ctl));
    gondra_part_t part{"base", nullptr, 0};
    ASSERT_TRUE(gondra_control_add(ctl, "base", nullptr, 0, "{ a; b }."));
    ASSERT_TRUE(gondra_control_ground(ctl, &part, 1));
    gondra_control_interrupt(ctl);
    std::atomic<uint64_t> models{0};
    gondra_solve_result_bitset_t result = 0;
    ASSERT_TRUE(gondra_control_solve(ctl, nullptr, 0, count_models, &models, &result));
    EXPECT_NE(result & gondra_solve_result_interrupted, 0u);
    ASSERT_TRUE(gondra_control_solve(ctl, nullptr, 0, count_models, &models, &result));
    EXPECT_EQ(result, unsigned{gondra_solve_result_satisfiable});
    gondra_control_free(ctl);
}

} // namespace
