// What the search settings change in a real solve: the range of free
// variables, the decisions of the order heuristic per thread, the sign of
// order literals and the refinement of reasons.

#include "api/callback_table.hpp"
#include "host_session.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace Tarvex;
using namespace Tarvex::Testing;

namespace {

int value_of(Model const& model, char const* format) {
    for (auto const& symbol : model) {
        int value = 0;
        if (std::sscanf(symbol.c_str(), format, &value) == 1) {
            return value;
        }
    }
    ADD_FAILURE() << "no value for " << format;
    return 0;
}

// Four tasks on one machine, each to start by 8: unsatisfiable, but only
// after propagation at higher decision levels.
char const* const crowded_machine = R"(
    &dom{0..20} = s(1). &dom{0..20} = s(2). &dom{0..20} = s(3). &dom{0..20} = s(4).
    &sum{s(1); -s(2)} <= -3 :- o(1,2). &sum{s(2); -s(1)} <= -4 :- not o(1,2).
    &sum{s(1); -s(3)} <= -3 :- o(1,3). &sum{s(3); -s(1)} <= -5 :- not o(1,3).
    &sum{s(2); -s(3)} <= -4 :- o(2,3). &sum{s(3); -s(2)} <= -5 :- not o(2,3).
    &sum{s(1); -s(4)} <= -3 :- o(1,4). &sum{s(4); -s(1)} <= -2 :- not o(1,4).
    &sum{s(2); -s(4)} <= -4 :- o(2,4). &sum{s(4); -s(2)} <= -2 :- not o(2,4).
    &sum{s(3); -s(4)} <= -5 :- o(3,4). &sum{s(4); -s(3)} <= -2 :- not o(3,4).
    { o(1,2); o(1,3); o(2,3); o(1,4); o(2,4); o(3,4) }.
    &sum{s(1)} <= 8. &sum{s(2)} <= 8. &sum{s(3)} <= 8. &sum{s(4)} <= 8.
)";

} // namespace

// Variables without a domain range over [min-int, max-int].
TEST(OptionEffects, IntegerRangeBoundsFreeVariables) {
    HostSession session{{"-n", "0"}, {{"min-int", "-2"}, {"max-int", "3"}}};
    ASSERT_TRUE(session.ground("&sum{x} <= 1. &sum{y; -x} <= 0. &sum{y} >= -10."));
    auto outcome = session.solve();
    ASSERT_TRUE(outcome.ok) << outcome.error;
    // -2 <= y <= x <= 1.
    EXPECT_EQ(outcome.models.size(), 10u);
    for (auto const& model : outcome.models) {
        int x = value_of(model, "__csp(x,%d)");
        int y = value_of(model, "__csp(y,%d)");
        EXPECT_TRUE(-2 <= y && y <= x && x <= 1) << x << " " << y;
    }
}

// The decide entry is there once a thread asks for max-chain, and only that
// thread replaces the host's decision on an order literal by the end of the
// chain of stored literals.
TEST(OptionEffects, MaxChainDecidesOnlyForItsThread) {
    HostSession session{{"-n", "0", "-t", "2"}, {{"order-heuristic", "max-chain,1"}}};
    ASSERT_TRUE(session.ground("&dom{0..10} = x. { a; b; c }.\n"
                               "&sum{x} <= 2 :- a. &sum{x} <= 5 :- b. &sum{x} <= 9 :- c."));
    auto outcome = session.solve();
    ASSERT_TRUE(outcome.ok) << outcome.error;
    // x <= the smallest bound switched on: 11 + 3 + 6 + 10 + 3 + 3 + 6 + 3.
    EXPECT_EQ(outcome.models.size(), 45u);

    auto const& table = callback_table(*session.theory());
    ASSERT_NE(table.decide, nullptr);
    auto& propagator = session.propagator();
    ASSERT_EQ(propagator.solvers().size(), 2u);
    auto decide = [&](gondra_id_t thread, literal_t fallback) {
        literal_t decision = 0;
        EXPECT_TRUE(table.decide(thread, nullptr, fallback, session.theory(), &decision)) << HostSession::message();
        return decision;
    };
    for (gondra_id_t thread : {0u, 1u}) {
        auto const& vs = propagator.solvers()[thread].var_state(0);
        ASSERT_EQ(vs.lower_bound(), 0);
        ASSERT_EQ(vs.upper_bound(), 10);
        literal_t nine = vs.literal_at(9);
        ASSERT_NE(nine, 0);
        if (thread == 0) {
            EXPECT_EQ(decide(thread, nine), nine);
            EXPECT_EQ(decide(thread, -nine), -nine);
        } else {
            // x <= 9 becomes x <= v for the smallest stored v, at most 2;
            // x > 9 is the largest step up already.
            literal_t chain = decide(thread, nine);
            int stored = -1;
            for (int v = 0; v <= 10; ++v) {
                if (vs.literal_at(v) == chain) {
                    stored = v;
                    break;
                }
            }
            EXPECT_TRUE(stored >= 0 && stored <= 2) << stored;
            EXPECT_EQ(chain, vs.first_literal_from(0));
            EXPECT_EQ(decide(thread, -nine), -nine);
            EXPECT_EQ(decide(thread, 1), 1);
        }
    }
}

// The host assigns fresh atoms false first: positive order literals push
// values up, negative ones down.
TEST(OptionEffects, SignValueChoosesTheDirectionOfFreeValues) {
    auto first_value = [](char const* sign) {
        HostSession session{{"-n", "1"}, {{"sign-value", sign}, {"lower-bound-models", "no"}}};
        EXPECT_TRUE(session.ground("&dom{0..10} = x. &dom{0..10} = y. &sum{x; y} <= 15."));
        auto outcome = session.solve();
        EXPECT_TRUE(outcome.ok) << outcome.error;
        return outcome.models.empty() ? -1 : value_of(outcome.models.front(), "__csp(x,%d)");
    };
    EXPECT_GT(first_value("+"), first_value("-"));
}

// The automatic modes follow the search: lower-bound decisions only while an
// objective is optimised, lower bounds as values only then or when one model
// is asked for; a program without an objective solved again keeps neither.
TEST(OptionEffects, AutomaticModesFollowTheSearch) {
    std::string const program = "&dom{0..10} = x. &dom{0..10} = y. &sum{x; y} >= 4.";
    for (bool objective : {true, false}) {
        for (char const* models : {"0", "1"}) {
            HostSession session{{"-n", models}};
            ASSERT_TRUE(session.ground(program + (objective ? " &minimize{x; 2*y}." : ""))) << session.error();
            auto outcome = session.solve();
            ASSERT_TRUE(outcome.ok) << outcome.error;
            auto const& thread = session.propagator().config().default_solver_config;
            EXPECT_EQ(thread.active_heuristic(), objective ? HeuristicMode::LowerBound : HeuristicMode::None)
                << models;
            EXPECT_EQ(thread.lower_bound_models, objective || std::string{models} == "1") << models;
            if (objective && std::string{models} == "0") {
                // The optimum x = 4, y = 0.
                ASSERT_FALSE(outcome.models.empty());
                EXPECT_EQ(value_of(outcome.models.back(), "__csp(x,%d)"), 4);
                EXPECT_EQ(value_of(outcome.models.back(), "__csp(y,%d)"), 0);
            } else if (std::string{models} == "0") {
                EXPECT_EQ(outcome.models.size(), 11u * 11u - 10u);
            }
        }
    }
}

TEST(OptionEffects, RefinementOfReasonsCanBeSwitchedOff) {
    auto counts = [](HostSession::Settings settings) {
        settings.emplace_back("translate-clauses", "0");
        settings.emplace_back("translate-pb", "-1");
        HostSession session{{"-n", "0"}, settings};
        EXPECT_TRUE(session.ground(crowded_machine));
        auto outcome = session.solve();
        EXPECT_TRUE(outcome.ok) << outcome.error;
        EXPECT_EQ(outcome.models.size(), 0u);
        return std::pair{outcome.step_stats["Thread.0.Refined reason"],
                         outcome.step_stats["Thread.0.Introduced reason"]};
    };
    auto [refined, introduced] = counts({});
    EXPECT_GT(refined, 0);
    EXPECT_GT(introduced, 0);
    EXPECT_EQ(counts({{"refine-reasons", "no"}}), std::pair(0.0, 0.0));
    auto without_introduce = counts({{"refine-introduce", "no"}});
    EXPECT_EQ(without_introduce.second, 0);
}
