// Translation at initialisation seen through the real host: which constraints
// stay propagated, what the translation counters record, and that the models
// do not change.

#include "host_session.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

using namespace Tarvex;
using namespace Tarvex::Testing;

namespace {

using Settings = HostSession::Settings;

struct Translated {
    SolveOutcome outcome;
    std::size_t constraints = 0;
    bool objective = false;
};

Translated solve_with(std::string const& program, Settings const& settings, std::string const& threads = "1") {
    HostSession session{{"-n", "0", "-t", threads}, settings};
    EXPECT_TRUE(session.ground(program)) << session.error();
    Translated result;
    result.outcome = session.solve();
    EXPECT_TRUE(result.outcome.ok) << result.outcome.error;
    result.constraints = session.propagator().constraints().size();
    result.objective = session.propagator().objective() != nullptr;
    return result;
}

double stat(Translated const& t, std::string const& path) {
    auto it = t.outcome.step_stats.find(path);
    EXPECT_NE(it, t.outcome.step_stats.end()) << path;
    return it != t.outcome.step_stats.end() ? it->second : -1;
}

std::set<Model> model_set(SolveOutcome const& outcome) {
    return {outcome.models.begin(), outcome.models.end()};
}

} // namespace

// x + y + z <= 2 over [0, 2] needs exactly seven clauses: a limit of seven
// keeps it, eight translates it.
TEST(Translation, ClauseLimitCountsTheClausesBeforeMakingAny) {
    std::string program = "&dom{0..2} = x. &dom{0..2} = y. &dom{0..2} = z. &sum{x; y; z} <= 2.";
    auto kept = solve_with(program, {{"translate-clauses", "7"}});
    EXPECT_EQ(kept.constraints, 1u);
    EXPECT_EQ(stat(kept, "Translate.Constraints removed"), 0);
    EXPECT_EQ(stat(kept, "Translate.Clauses"), 0);
    EXPECT_EQ(stat(kept, "Translate.Literals"), 0);

    auto translated = solve_with(program, {{"translate-clauses", "8"}});
    EXPECT_EQ(translated.constraints, 0u);
    EXPECT_EQ(stat(translated, "Translate.Constraints removed"), 1);
    EXPECT_EQ(stat(translated, "Translate.Clauses"), 7);
    // x <= 0, x <= 1 and the same for y and z.
    EXPECT_EQ(stat(translated, "Translate.Literals"), 6);
    EXPECT_EQ(stat(translated, "Problem.Constraints"), 0);
    EXPECT_EQ(translated.outcome.models.size(), 10u);
    EXPECT_EQ(model_set(translated.outcome), model_set(kept.outcome));
}

// The total budget is checked before each sum: once one sum has made its
// clauses, the next one stays propagated.
TEST(Translation, TotalClauseLimitStopsLaterSums) {
    std::string program = "&dom{0..2} = x. &dom{0..2} = y. &dom{0..2} = z.\n"
                          "&sum{x; y; z} <= 2. &sum{x; -y} <= 0 :- a. {a}.";
    auto limited = solve_with(program, {{"translate-clauses", "100,7"}});
    EXPECT_EQ(limited.constraints, 1u);
    EXPECT_EQ(stat(limited, "Translate.Clauses"), 7);
    auto free = solve_with(program, {{"translate-clauses", "100,-1"}});
    EXPECT_EQ(free.constraints, 0u);
    EXPECT_EQ(model_set(limited.outcome), model_set(free.outcome));
    // Ten with a false, seven of them with x <= y.
    EXPECT_EQ(limited.outcome.models.size(), 10u + 7u);
}

// x + y <= 1 over [0, 1] needs one literal per variable: a weight
// constraint at the default ratio, one clause when weight constraints are off.
TEST(Translation, RatioChoosesBetweenWeightConstraintAndClauses) {
    std::string program = "&dom{0..1} = x. &dom{0..1} = y. &sum{x; y} <= 1 :- a. {a}.";
    auto weight = solve_with(program, {});
    EXPECT_EQ(weight.constraints, 0u);
    EXPECT_EQ(stat(weight, "Translate.Weight constraints"), 1);
    EXPECT_EQ(stat(weight, "Translate.Clauses"), 0);
    auto clauses = solve_with(program, {{"translate-pb", "-1"}});
    EXPECT_EQ(clauses.constraints, 0u);
    EXPECT_EQ(stat(clauses, "Translate.Weight constraints"), 0);
    EXPECT_EQ(stat(clauses, "Translate.Clauses"), 1);
    auto none = solve_with(program, {{"translate-pb", "-1"}, {"translate-clauses", "0"}});
    EXPECT_EQ(none.constraints, 1u);
    EXPECT_EQ(model_set(weight.outcome), model_set(clauses.outcome));
    EXPECT_EQ(model_set(weight.outcome), model_set(none.outcome));
    EXPECT_EQ(weight.outcome.models.size(), 4u + 3u);
}

// Only literals: they are made, no clause is added and the sum stays.
TEST(Translation, LiteralsOnlyKeepsTheConstraint) {
    std::string program = "&dom{0..2} = x. &dom{0..2} = y. &sum{x; y} <= 2 :- a. {a}.";
    auto only = solve_with(program, {{"literals-only", "yes"}, {"translate-pb", "-1"}});
    EXPECT_EQ(only.constraints, 1u);
    EXPECT_EQ(stat(only, "Translate.Clauses"), 0);
    EXPECT_EQ(stat(only, "Translate.Literals"), 4);
    auto full = solve_with(program, {{"translate-pb", "-1"}});
    EXPECT_EQ(full.constraints, 0u);
    // [-a, x <= 1, y <= 0] and [-a, x <= 0, y <= 1].
    EXPECT_EQ(stat(full, "Translate.Clauses"), 2);
    EXPECT_EQ(model_set(only.outcome), model_set(full.outcome));
}

// A sum that cannot be violated, or whose literal is false, goes without a trace.
TEST(Translation, SatisfiedAndSwitchedOffSumsAreRemoved) {
    auto t = solve_with("&dom{0..2} = x. &dom{0..2} = y. &sum{x; y} <= 4. &sum{x; y} <= 0 :- a.",
                        {{"translate-clauses", "0"}, {"translate-pb", "-1"}});
    EXPECT_EQ(t.constraints, 0u);
    EXPECT_EQ(stat(t, "Translate.Constraints removed"), 1);
    EXPECT_EQ(stat(t, "Translate.Clauses"), 0);
    EXPECT_EQ(t.outcome.models.size(), 9u);
}

// add-order-clauses links consecutive order literals by binary clauses.
TEST(Translation, OrderClausesJoinStoredLiterals) {
    std::string program = "&dom{0..3} = x. &sum{x} <= 2 :- a. &sum{x} <= 1 :- b. {a; b}.";
    auto plain = solve_with(program, {});
    auto ordered = solve_with(program, {{"add-order-clauses", "yes"}});
    EXPECT_EQ(stat(ordered, "Translate.Clauses"), stat(plain, "Translate.Clauses") + 1);
    EXPECT_EQ(model_set(plain.outcome), model_set(ordered.outcome));
}

namespace {

int csp_cost(Model const& model) {
    for (auto const& symbol : model) {
        int cost = 0;
        if (std::sscanf(symbol.c_str(), "__csp_cost(\"%d\")", &cost) == 1) {
            return cost;
        }
    }
    return -1;
}

} // namespace

// The objective goes to the host as minimize terms when it needs few enough
// literals; either way the optimum is the same.
TEST(Translation, ObjectiveTranslatedOrNotHasTheSameOptimum) {
    std::string program = "&dom{0..3} = x. &dom{1..4} = y. &sum{x; y} >= 4. &minimize{2 * x + y - 1}.";
    auto kept = solve_with(program, {});
    EXPECT_TRUE(kept.objective);
    ASSERT_FALSE(kept.outcome.models.empty());
    EXPECT_TRUE(kept.outcome.costs.empty());
    EXPECT_EQ(csp_cost(kept.outcome.models.back()), 3);

    // Two literals short of 3 + 3 steps plus one per element: 6 - 2 = 4.
    auto limited = solve_with(program, {{"translate-opt", "4"}});
    EXPECT_TRUE(limited.objective);
    auto translated = solve_with(program, {{"translate-opt", "5"}});
    EXPECT_FALSE(translated.objective);
    ASSERT_FALSE(translated.outcome.costs.empty());
    EXPECT_EQ(translated.outcome.costs.back(), std::vector<int64_t>{3});
    EXPECT_EQ(stat(translated, "Translate.Constraints removed"),
              stat(limited, "Translate.Constraints removed") + 1);
    for (auto const& threads : {"1", "3"}) {
        auto always = solve_with(program, {{"translate-opt", "max"}}, threads);
        ASSERT_FALSE(always.outcome.costs.empty());
        EXPECT_EQ(*std::min_element(always.outcome.costs.begin(), always.outcome.costs.end()),
                  std::vector<int64_t>{3})
            << threads;
    }
}

// Three variables over [1, 3] cover two values below their tops: a limit of
// two keeps the constraint, three translates it into one weight constraint
// per value. Values 1 and 2 need a new literal per variable (three clauses
// each), value 3 is the negation of x <= 2.
TEST(Translation, DistinctBecomesOneWeightConstraintPerSharedValue) {
    std::string program = "&dom{1..3} = x. &dom{1..3} = y. &dom{1..3} = z. &distinct{x; y; z} :- a. {a}.";
    auto kept = solve_with(program, {{"translate-distinct", "2"}});
    EXPECT_EQ(kept.constraints, 1u);
    EXPECT_EQ(stat(kept, "Translate.Weight constraints"), 0);
    EXPECT_EQ(stat(kept, "Translate.Constraints removed"), 0);

    auto translated = solve_with(program, {{"translate-distinct", "3"}});
    EXPECT_EQ(translated.constraints, 0u);
    EXPECT_EQ(stat(translated, "Translate.Constraints removed"), 1);
    EXPECT_EQ(stat(translated, "Translate.Constraints added"), 0);
    EXPECT_EQ(stat(translated, "Translate.Weight constraints"), 3);
    EXPECT_EQ(stat(translated, "Translate.Literals"), 3 * (2 + 2));
    EXPECT_EQ(stat(translated, "Translate.Clauses"), 3 * 2 * 3);
    EXPECT_EQ(stat(translated, "Problem.Constraints"), 0);
    EXPECT_EQ(translated.outcome.models.size(), 27u + 6u);
    EXPECT_EQ(model_set(translated.outcome), model_set(kept.outcome));
    auto threads = solve_with(program, {{"translate-distinct", "3"}}, "3");
    EXPECT_EQ(model_set(threads.outcome), model_set(kept.outcome));
}

// A constant shares its value with a variable's domain: one weight
// constraint ties them; the other constant lies outside every domain.
TEST(Translation, DistinctWithConstantsExcludesTheirValues) {
    auto t = solve_with("&dom{1..5} = x. &distinct{x; 3; 7}.", {});
    EXPECT_EQ(t.constraints, 0u);
    EXPECT_EQ(stat(t, "Translate.Weight constraints"), 1);
    // x <= 3, x <= 2 and the literal for x = 3.
    EXPECT_EQ(stat(t, "Translate.Literals"), 3);
    std::set<Model> expected;
    for (int v : {1, 2, 4, 5}) {
        expected.insert({"__csp(x," + std::to_string(v) + ")"});
    }
    EXPECT_EQ(model_set(t.outcome), expected);
}

// A term of two elements that shares values gets an auxiliary variable tied
// to it by two sums, which the same walk translates in turn.
TEST(Translation, DistinctTermOfSeveralElementsGetsAnAuxiliaryVariable) {
    std::string program = "&dom{0..1} = x. &dom{0..1} = y. &dom{0..3} = z. &distinct{x + y; 2; z}.";
    auto off = solve_with(program, {{"translate-distinct", "0"}});
    EXPECT_EQ(off.constraints, 1u);
    auto t = solve_with(program, {});
    EXPECT_EQ(stat(t, "Translate.Constraints added"), 2);
    EXPECT_EQ(stat(t, "Translate.Constraints removed"), 3);
    EXPECT_EQ(t.constraints, 0u);
    EXPECT_EQ(stat(t, "Problem.Constraints"), 0);
    // Two pairs (x, y) with sum 1 and one with sum 0, two values of z each.
    EXPECT_EQ(t.outcome.models.size(), 6u);
    EXPECT_EQ(model_set(t.outcome), model_set(off.outcome));
    auto threads = solve_with(program, {}, "3");
    EXPECT_EQ(model_set(threads.outcome), model_set(off.outcome));
}

// The weight constraints prune values that propagation left (x = 6 here);
// the host fixes them on level 0 without reporting the change, so the
// theory must read them before search: otherwise it takes x for open,
// "splits" it with a literal that is already true, and y is never split.
TEST(Translation, FactsDerivedFromTranslatedConstraintsReachTheBounds) {
    std::string program = "&dom{5..7} = x. &dom{-10..-9} = y. &distinct{5; 4; x - 2}.";
    auto t = solve_with(program, {});
    EXPECT_EQ(t.constraints, 0u);
    EXPECT_EQ(model_set(t.outcome), (std::set<Model>{{"__csp(x,5)", "__csp(y,-10)"}, {"__csp(x,5)", "__csp(y,-9)"}}));
}
