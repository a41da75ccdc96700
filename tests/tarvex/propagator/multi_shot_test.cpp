// A second solving step after adding a program part: variables and
// constraints of the first step stay, order literals made during its search
// are forgotten.

#include "host_session.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using namespace Tarvex;
using namespace Tarvex::Testing;

namespace {

// Value pinning: every value of x and y in 0..4 is a choice atom.
std::string const pinned_base = R"(
&dom{0 .. 4} = x. &dom{0 .. 4} = y.
1 { vx(0..4) } 1. 1 { vy(0..4) } 1.
:- vx(V), &sum{x} != V.
:- vy(V), &sum{y} != V.
&sum{x; y} <= 5.
)";

std::set<Model> expected(std::function<bool(int, int)> const& holds) {
    std::set<Model> models;
    for (int x = 0; x <= 4; ++x) {
        for (int y = 0; y <= 4; ++y) {
            if (x + y <= 5 && holds(x, y)) {
                Model model{"__csp(x," + std::to_string(x) + ")", "__csp(y," + std::to_string(y) + ")",
                            "vx(" + std::to_string(x) + ")", "vy(" + std::to_string(y) + ")"};
                std::sort(model.begin(), model.end());
                models.insert(model);
            }
        }
    }
    return models;
}

std::set<Model> as_set(std::vector<Model> const& models) {
    return {models.begin(), models.end()};
}

// Every constraint kept for propagation, and every translation at its limit.
HostSession::Settings const translation_off{
    {"translate-clauses", "0"}, {"translate-pb", "-1"}, {"translate-distinct", "0"}};
HostSession::Settings const translation_max{
    {"translate-clauses", "max,-1"}, {"translate-pb", "max"}, {"translate-distinct", "max"}, {"translate-opt", "max"}};

void solve_twice(std::string const& threads, HostSession::Settings const& settings = {}) {
    HostSession session{{"-n", "0", "-t", threads}, settings};
    ASSERT_TRUE(session.ground(pinned_base)) << session.error();
    auto first = session.solve();
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(first.models.size(), 19U);
    EXPECT_EQ(as_set(first.models), expected([](int, int) { return true; }));

    auto& propagator = session.propagator();
    auto variables = propagator.symbol_variables();
    ASSERT_EQ(variables.size(), 2U);

    ASSERT_TRUE(session.ground("&diff{y - x} <= -1.", "more")) << session.error();
    auto second = session.solve();
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_EQ(as_set(second.models), expected([](int x, int y) { return y - x <= -1; }));
    // The same symbols keep their variables.
    EXPECT_EQ(propagator.symbol_variables(), variables);
    EXPECT_EQ(propagator.solvers().size(), static_cast<std::size_t>(std::atoi(threads.c_str())));
}

TEST(MultiShot, SecondStepKeepsConstraintsOfTheFirstOneThread) {
    solve_twice("1");
}

TEST(MultiShot, SecondStepKeepsConstraintsOfTheFirstThreeThreads) {
    solve_twice("3");
}

TEST(MultiShot, SecondStepKeepsConstraintsWithTranslationOffAndAtItsLimits) {
    for (auto const* settings : {&translation_off, &translation_max}) {
        solve_twice("1", *settings);
        solve_twice("3", *settings);
    }
}

// (variable, value, literal) of every order literal of thread 0.
std::set<std::tuple<var_id, value_t, literal_t>> order_literals(Propagator const& propagator) {
    std::set<std::tuple<var_id, value_t, literal_t>> result;
    auto const& master = propagator.solvers().front();
    for (var_id var = 0; var < master.num_variables(); ++var) {
        master.var_state(var).for_each_literal([&](value_t value, literal_t lit) {
            result.emplace(var, value, lit);
        });
    }
    return result;
}

TEST(MultiShot, OrderLiteralsOfTheFirstSearchAreForgotten) {
    HostSession session{{"-n", "1"}, {{"lower-bound-models", "no"}}};
    // No constraint bounds x and y at initialisation, so their values are
    // found by splitting domains during search (lower bounds taken as values
    // would need no split).
    ASSERT_TRUE(session.ground("&dom{0 .. 20} = x. &dom{0 .. 20} = y. &sum{x; y} <= 30.")) << session.error();
    auto first = session.solve();
    ASSERT_TRUE(first.ok) << first.error;
    ASSERT_EQ(first.models.size(), 1U);

    auto& propagator = session.propagator();
    auto first_init = static_cast<literal_t>(propagator.solvers().front().init_literal_count());
    std::set<std::tuple<var_id, value_t, literal_t>> searched;
    for (auto const& entry : order_literals(propagator)) {
        // The host's variables are 1 to the count: later ones came from search.
        if (std::abs(std::get<2>(entry)) > first_init) {
            searched.insert(entry);
        }
    }
    ASSERT_FALSE(searched.empty()) << "the first search created no order literal";

    // The new part touches a new variable only, so nothing of the second
    // initialisation recreates literals of x or y.
    ASSERT_TRUE(session.ground("{a}. &dom{0 .. 3} = z. &sum{z} >= 2 :- a. a.", "more")) << session.error();
    auto second = session.solve();
    ASSERT_TRUE(second.ok) << second.error;
    ASSERT_EQ(second.models.size(), 1U);
    auto const& model = second.models.front();
    int x = -1;
    int y = -1;
    int z = -1;
    for (auto const& symbol : model) {
        std::sscanf(symbol.c_str(), "__csp(x,%d)", &x);
        std::sscanf(symbol.c_str(), "__csp(y,%d)", &y);
        std::sscanf(symbol.c_str(), "__csp(z,%d)", &z);
    }
    EXPECT_TRUE(x >= 0 && y >= 0 && x + y <= 30) << x << " " << y;
    EXPECT_TRUE(z >= 2 && z <= 3) << z;
    EXPECT_EQ(propagator.symbol_variables().size(), 3U);

    auto second_init = static_cast<literal_t>(propagator.solvers().front().init_literal_count());
    EXPECT_GE(second_init, first_init);
    // Literals below the second initialisation's count belong to the
    // host's second step; none may still carry a first-search meaning.
    for (auto const& entry : order_literals(propagator)) {
        if (std::abs(std::get<2>(entry)) < second_init) {
            EXPECT_FALSE(searched.contains(entry))
                << "kept: var " << std::get<0>(entry) << " value " << std::get<1>(entry) << " literal "
                << std::get<2>(entry);
        }
    }
}

} // namespace

namespace {

int cost_of(Model const& model) {
    for (auto const& symbol : model) {
        int cost = 0;
        if (std::sscanf(symbol.c_str(), "__csp_cost(\"%d\")", &cost) == 1) {
            return cost;
        }
    }
    return -1;
}

} // namespace

// The objective's bound of one step does not carry over: a later step that
// rules out the earlier optimum finds the new one, and objective terms of the
// steps add up.
TEST(MultiShot, ObjectiveIsMinimisedAgainInEveryStep) {
    // The best cost of a step, from the host's costs when it optimises the
    // objective itself.
    auto best_of = [](SolveOutcome const& outcome) {
        int best = -1;
        for (std::size_t i = 0; i < outcome.models.size(); ++i) {
            int cost = outcome.costs.empty() ? cost_of(outcome.models[i]) : static_cast<int>(outcome.costs[i].at(0));
            best = best < 0 ? cost : std::min(best, cost);
        }
        return best;
    };
    for (auto const* settings : {&translation_off, &translation_max}) {
        for (char const* threads : {"1", "2"}) {
            HostSession session{{"-t", threads}, *settings};
            ASSERT_TRUE(session.ground("&dom{0 .. 9} = x. &dom{0 .. 9} = y. &sum{x; y} >= 4. &minimize{x}."))
                << session.error();
            auto first = session.solve();
            ASSERT_TRUE(first.ok) << first.error;
            ASSERT_FALSE(first.models.empty());
            EXPECT_EQ(best_of(first), 0);

            ASSERT_TRUE(session.ground("&sum{x} >= 2. &minimize{y}.", "more")) << session.error();
            auto second = session.solve();
            ASSERT_TRUE(second.ok) << second.error;
            ASSERT_FALSE(second.models.empty());
            // x + y >= 4, x >= 2: the sum x + y is at least 4.
            EXPECT_EQ(best_of(second), 4) << threads;
        }
    }
}

// A later step that only bounds a variable creates a level-0 fact and no
// constraint: the fact must reach the bounds before search, or it holds on
// the first decision level only and is lost at the first backtrack.
TEST(MultiShot, BoundOfALaterStepHoldsThroughoutItsSearch) {
    HostSession session;
    ASSERT_TRUE(session.ground("&dom{1 .. 6} = x. {c}.")) << session.error();
    auto first = session.solve();
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(first.models.size(), 12U);
    ASSERT_TRUE(session.ground("&sum{x} >= 2.", "more")) << session.error();
    auto second = session.solve();
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_EQ(second.models.size(), 10U);
    for (auto const& model : second.models) {
        EXPECT_EQ(std::count(model.begin(), model.end(), "__csp(x,1)"), 0);
    }
}
