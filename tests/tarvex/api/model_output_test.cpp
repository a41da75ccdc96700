// What models carry: __csp atoms of the shown variables, the cost of the
// objective, and the assignment as the index-based functions read it.

#include "../propagator/host_session.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace Tarvex;
using namespace Tarvex::Testing;

namespace {

// Pins x and y to one of the values 1..3 by choice atoms, so that the host
// enumerates every value pair.
std::string const pinned = R"(
&dom{1 .. 3} = x. &dom{1 .. 3} = y. &dom{1 .. 3} = p(1). &dom{1 .. 3} = p(1,2).
1 { vx(1..3) } 1. 1 { vy(1..3) } 1.
:- vx(V), &sum{x} != V.
:- vy(V), &sum{y} != V.
:- &sum{p(1)} != 2.
:- &sum{p(1,2)} != 3.
)";

std::vector<std::string> csp_atoms(Model const& model) {
    std::vector<std::string> result;
    for (auto const& symbol : model) {
        if (symbol.starts_with("__csp")) {
            result.push_back(symbol);
        }
    }
    return result;
}

TEST(ModelOutput, ShowDirectivesRestrictTheCspAtoms) {
    {
        HostSession session;
        ASSERT_TRUE(session.ground(pinned + "&sum{x} = 1. &sum{y} = 2.")) << session.error();
        auto outcome = session.solve();
        ASSERT_TRUE(outcome.ok) << outcome.error;
        ASSERT_EQ(outcome.models.size(), 1U);
        EXPECT_EQ(csp_atoms(outcome.models[0]),
                  (std::vector<std::string>{"__csp(p(1),2)", "__csp(p(1,2),3)", "__csp(x,1)", "__csp(y,2)"}));
    }
    {
        HostSession session;
        ASSERT_TRUE(session.ground(pinned + "&sum{x} = 1. &sum{y} = 2. &show{x}.")) << session.error();
        auto outcome = session.solve();
        ASSERT_TRUE(outcome.ok) << outcome.error;
        ASSERT_EQ(outcome.models.size(), 1U);
        EXPECT_EQ(csp_atoms(outcome.models[0]), (std::vector<std::string>{"__csp(x,1)"}));
    }
    {
        HostSession session;
        ASSERT_TRUE(session.ground(pinned + "&sum{x} = 1. &show{p/1; y}.")) << session.error();
        auto outcome = session.solve();
        ASSERT_TRUE(outcome.ok) << outcome.error;
        ASSERT_EQ(outcome.models.size(), 3U);
        for (auto const& model : outcome.models) {
            auto atoms = csp_atoms(model);
            ASSERT_EQ(atoms.size(), 2U);
            EXPECT_EQ(atoms[0], "__csp(p(1),2)");
            EXPECT_TRUE(atoms[1].starts_with("__csp(y,"));
        }
    }
}

TEST(ModelOutput, SignaturesIgnoreTheSignAndNeedFunctions) {
    Propagator propagator;
    auto function = [](char const* name, std::vector<Host::symbol_t> arguments, bool positive) {
        return Host::create_function(name, arguments, positive);
    };
    auto three = Host::create_number(3);
    propagator.add_variable_symbol(0, function("p", {three}, true));
    propagator.add_variable_symbol(1, function("p", {three}, false));
    propagator.add_variable_symbol(2, function("p", {three, three}, true));
    propagator.add_variable_symbol(3, three);
    propagator.add_variable_symbol(4, Host::create_string("p"));
    propagator.add_variable_symbol(5, function("p", {}, true));
    for (var_id var = 0; var < 6; ++var) {
        EXPECT_TRUE(propagator.is_shown(var)) << var;
    }
    EXPECT_FALSE(propagator.is_shown(6));
    propagator.enable_show();
    propagator.show_signature(Host::create_signature("p", 1, true));
    std::vector<bool> shown;
    for (var_id var = 0; var < 6; ++var) {
        shown.push_back(propagator.is_shown(var));
    }
    EXPECT_EQ(shown, (std::vector<bool>{true, true, false, false, false, false}));
    propagator.show_variable(3);
    EXPECT_TRUE(propagator.is_shown(3));
}

TEST(ModelOutput, CostsDecreaseToTheOptimumAndTightenTheBound) {
    HostSession session;
    ASSERT_TRUE(session.ground(pinned + "&sum{x; y} >= 4. &minimize{2 * x; y; 3}.")) << session.error();
    auto outcome = session.solve();
    ASSERT_TRUE(outcome.ok) << outcome.error;
    ASSERT_FALSE(outcome.models.empty());
    std::vector<int> costs;
    for (auto const& model : outcome.models) {
        int cost = 0;
        int count = 0;
        for (auto const& symbol : model) {
            count += std::sscanf(symbol.c_str(), "__csp_cost(\"%d\")", &cost);
        }
        ASSERT_EQ(count, 1);
        costs.push_back(cost);
    }
    for (std::size_t i = 1; i < costs.size(); ++i) {
        EXPECT_LT(costs[i], costs[i - 1]);
    }
    // 2x + y + 3 with x + y >= 4 and x, y in 1..3: x = 1, y = 3.
    EXPECT_EQ(costs.back(), 8);
    auto& propagator = session.propagator();
    // Publishing the statistics after the solve call moved the cost into
    // the run totals.
    EXPECT_TRUE(propagator.accu_stats().has_cost);
    EXPECT_EQ(propagator.accu_stats().cost, 8);
    EXPECT_EQ(propagator.objective_bound(), 7);
}

TEST(ModelOutput, ConstantObjectiveReportsMinusItsAdjustment) {
    HostSession session;
    ASSERT_TRUE(session.ground("&dom{0 .. 1} = x. &sum{x} = 0. &minimize{-5}.")) << session.error();
    auto outcome = session.solve();
    ASSERT_TRUE(outcome.ok) << outcome.error;
    ASSERT_EQ(outcome.models.size(), 1U);
    EXPECT_EQ(csp_atoms(outcome.models[0]), (std::vector<std::string>{"__csp(x,0)", "__csp_cost(\"-5\")"}));
}

struct WalkContext {
    tarvex_theory_t* theory;
    // Per model: index -> (symbol text, value).
    std::vector<std::map<size_t, std::pair<std::string, int>>> walks;
    std::vector<Model> models;
};

bool walk_assignment(gondra_solve_event_type_t type, void* event, void* data, bool* goon) {
    static_cast<void>(goon);
    if (type != gondra_solve_event_type_model) {
        return true;
    }
    auto& context = *static_cast<WalkContext*>(data);
    auto* model = static_cast<gondra_model_t*>(event);
    if (!tarvex_on_model(context.theory, model)) {
        return false;
    }
    gondra_id_t thread = 0;
    if (!gondra_model_thread_id(model, &thread)) {
        return false;
    }
    std::map<size_t, std::pair<std::string, int>> walk;
    size_t index = 0;
    for (tarvex_assignment_begin(context.theory, thread, &index);
         tarvex_assignment_next(context.theory, thread, &index);) {
        if (tarvex_assignment_has_value(context.theory, thread, index)) {
            tarvex_value_t value{};
            tarvex_assignment_get_value(context.theory, thread, index, &value);
            walk[index] = {Host::symbol_to_string(tarvex_get_symbol(context.theory, index)), value.int_number};
        }
    }
    context.walks.push_back(std::move(walk));
    size_t size = 0;
    gondra_model_symbols_size(model, gondra_show_type_shown, &size);
    std::vector<gondra_symbol_t> symbols(size);
    gondra_model_symbols(model, gondra_show_type_shown, symbols.data(), size);
    Model texts;
    for (auto symbol : symbols) {
        texts.push_back(Host::symbol_to_string(symbol));
    }
    context.models.push_back(std::move(texts));
    return true;
}

TEST(ModelOutput, AssignmentFunctionsReadTheModelBeingReported) {
    for (char const* threads : {"1", "3"}) {
        HostSession session{{"-n", "0", "-t", threads}};
        // y is not shown but still readable.
        ASSERT_TRUE(session.ground(pinned + "&sum{x; -1 * y} >= 1. &show{x}.")) << session.error();
        WalkContext context{session.theory(), {}, {}};
        gondra_solve_result_bitset_t result = 0;
        ASSERT_TRUE(gondra_control_solve(session.control(), nullptr, 0, walk_assignment, &context, &result))
            << HostSession::message();
        ASSERT_EQ(context.models.size(), 3U);
        std::set<std::pair<int, int>> pairs;
        for (std::size_t m = 0; m < context.models.size(); ++m) {
            auto const& walk = context.walks[m];
            ASSERT_EQ(walk.size(), 4U);
            std::map<std::string, int> values;
            for (auto const& [index, entry] : walk) {
                values[entry.first] = entry.second;
                size_t found = 0;
                auto symbol = session.propagator().variable_symbols().at(static_cast<var_id>(index - 1));
                ASSERT_TRUE(tarvex_lookup_symbol(session.theory(), symbol, &found));
                EXPECT_EQ(found, index);
            }
            EXPECT_EQ(values["p(1)"], 2);
            EXPECT_EQ(values["p(1,2)"], 3);
            EXPECT_GE(values["x"] - values["y"], 1);
            EXPECT_EQ(csp_atoms(context.models[m]),
                      (std::vector<std::string>{"__csp(x," + std::to_string(values["x"]) + ")"}));
            pairs.emplace(values["x"], values["y"]);
        }
        EXPECT_EQ(pairs, (std::set<std::pair<int, int>>{{2, 1}, {3, 1}, {3, 2}}));
    }
}

} // namespace
