// The control driven through the C interface as applications drive it:
// parse, ground, solve with events, propagators, errors and multi-shot.
#include "gondra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Control {
    gondra_control_t* ctl = nullptr;
    explicit Control(std::vector<char const*> args = {}) {
        EXPECT_TRUE(gondra_control_new(args.data(), args.size(), nullptr, nullptr, 0, &ctl))
            << gondra_error_message();
    }
    ~Control() { gondra_control_free(ctl); }
    bool add(char const* text, char const* part = "base") {
        return gondra_control_add(ctl, part, nullptr, 0, text);
    }
    bool ground(char const* part = "base") {
        gondra_part_t p{part, nullptr, 0};
        return gondra_control_ground(ctl, &p, 1);
    }
};

std::string to_string(gondra_symbol_t s) {
    size_t size = 0;
    EXPECT_TRUE(gondra_symbol_to_string_size(s, &size));
    std::string out(size, '\0');
    EXPECT_TRUE(gondra_symbol_to_string(s, out.data(), size));
    out.resize(size - 1);
    return out;
}

struct Events {
    std::set<std::string> models; // sorted, space separated shown symbols
    size_t model_events = 0;
    std::vector<std::vector<int64_t>> costs;
    bool statistics_seen = false;
    double enumerated = -1;
    gondra_solve_result_bitset_t finish = 0;
    bool fail_on_model = false;
    std::vector<gondra_symbol_t> extend;
};

bool on_event(gondra_solve_event_type_t type, void* event, void* data, bool* goon) {
    auto& ev = *static_cast<Events*>(data);
    *goon = true;
    if (type == gondra_solve_event_type_model) {
        auto* model = static_cast<gondra_model_t*>(event);
        if (ev.fail_on_model) {
            gondra_set_error(gondra_error_runtime, "handler refused the model");
            return false;
        }
        if (!ev.extend.empty() && !gondra_model_extend(model, ev.extend.data(), ev.extend.size())) {
            return false;
        }
        size_t size = 0;
        if (!gondra_model_symbols_size(model, gondra_show_type_shown, &size)) return false;
        std::vector<gondra_symbol_t> symbols(size);
        if (!gondra_model_symbols(model, gondra_show_type_shown, symbols.data(), size)) return false;
        std::vector<std::string> names;
        for (auto s : symbols)
            names.push_back(to_string(s));
        std::sort(names.begin(), names.end());
        std::string key;
        for (auto const& n : names)
            key += (key.empty() ? "" : " ") + n;
        ev.models.insert(key);
        ++ev.model_events;
        size_t cost_size = 0;
        if (!gondra_model_cost_size(model, &cost_size)) return false;
        std::vector<int64_t> cost(cost_size);
        if (cost_size > 0 && !gondra_model_cost(model, cost.data(), cost_size)) return false;
        ev.costs.push_back(cost);
    } else if (type == gondra_solve_event_type_statistics) {
        auto** trees = static_cast<gondra_statistics_t**>(event);
        uint64_t root = 0, summary = 0, models = 0, enumerated = 0;
        ev.statistics_seen = gondra_statistics_root(trees[0], &root) &&
                             gondra_statistics_map_at(trees[0], root, "summary", &summary) &&
                             gondra_statistics_map_at(trees[0], summary, "models", &models) &&
                             gondra_statistics_map_at(trees[0], models, "enumerated", &enumerated) &&
                             gondra_statistics_value_get(trees[0], enumerated, &ev.enumerated);
    } else if (type == gondra_solve_event_type_finish) {
        ev.finish = *static_cast<gondra_solve_result_bitset_t*>(event);
    }
    return true;
}

TEST(ControlApi, SolvesChoiceProgramsEndToEnd) {
    for (char const* threads : {"1", "3"}) {
        Control c({"-n", "0", "-t", threads});
        ASSERT_TRUE(c.add("{ a; b; c }. :- a, b. d :- c.")) << gondra_error_message();
        ASSERT_TRUE(c.ground()) << gondra_error_message();
        Events ev;
        gondra_solve_result_bitset_t result = 0;
        ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, on_event, &ev, &result))
            << gondra_error_message();
        std::set<std::string> expected{"", "a", "b", "c d", "a c d", "b c d"};
        EXPECT_EQ(ev.models, expected) << "threads " << threads;
        EXPECT_EQ(ev.model_events, 6u);
        EXPECT_EQ(result, gondra_solve_result_satisfiable | gondra_solve_result_exhausted);
        EXPECT_EQ(ev.finish, result);
        EXPECT_TRUE(ev.statistics_seen);
        EXPECT_EQ(ev.enumerated, 6.0);
    }
}

TEST(ControlApi, PositiveLoopsOptimisationAndUnsatisfiability) {
    {
        Control c({"-n", "0"});
        ASSERT_TRUE(c.add("{ c }. a :- b. b :- a. a :- c.")) << gondra_error_message();
        ASSERT_TRUE(c.ground()) << gondra_error_message();
        Events ev;
        ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, on_event, &ev, nullptr))
            << gondra_error_message();
        EXPECT_EQ(ev.models, (std::set<std::string>{"", "a b c"}));
    }
    {
        Control c;
        ASSERT_TRUE(c.add("1 { p(1..3) } 2. #minimize { X : p(X) }.")) << gondra_error_message();
        ASSERT_TRUE(c.ground()) << gondra_error_message();
        Events ev;
        ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, on_event, &ev, nullptr))
            << gondra_error_message();
        ASSERT_FALSE(ev.costs.empty());
        EXPECT_EQ(ev.costs.back(), std::vector<int64_t>{1});
        EXPECT_EQ(ev.finish & gondra_solve_result_exhausted, unsigned{gondra_solve_result_exhausted});
    }
    {
        Control c;
        ASSERT_TRUE(c.add("a. :- a.")) << gondra_error_message();
        ASSERT_TRUE(c.ground()) << gondra_error_message();
        Events ev;
        gondra_solve_result_bitset_t result = 0;
        ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, on_event, &ev, &result))
            << gondra_error_message();
        EXPECT_EQ(result, gondra_solve_result_unsatisfiable | gondra_solve_result_exhausted);
        EXPECT_EQ(ev.model_events, 0u);
    }
}

TEST(ControlApi, ModelExtensionConstantsAndHandlerErrors) {
    Control c({"-c", "n=5"});
    ASSERT_TRUE(c.add("#const n = 1. #const m = f(2). p(n).")) << gondra_error_message();
    bool exists = false;
    ASSERT_TRUE(gondra_control_has_const(c.ctl, "n", &exists));
    EXPECT_TRUE(exists);
    ASSERT_TRUE(gondra_control_has_const(c.ctl, "k", &exists));
    EXPECT_FALSE(exists);
    gondra_symbol_t value = 0;
    ASSERT_TRUE(gondra_control_get_const(c.ctl, "n", &value));
    EXPECT_EQ(to_string(value), "5");
    ASSERT_TRUE(gondra_control_get_const(c.ctl, "m", &value));
    EXPECT_EQ(to_string(value), "f(2)");
    EXPECT_FALSE(gondra_control_get_const(c.ctl, "k", &value));

    ASSERT_TRUE(c.ground()) << gondra_error_message();
    Events ev;
    gondra_symbol_t extra = 0;
    ASSERT_TRUE(gondra_symbol_create_id("extra", true, &extra));
    ev.extend.push_back(extra);
    ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, on_event, &ev, nullptr)) << gondra_error_message();
    EXPECT_EQ(ev.models, (std::set<std::string>{"extra p(5)"}));

    Events failing;
    failing.fail_on_model = true;
    EXPECT_FALSE(gondra_control_solve(c.ctl, nullptr, 0, on_event, &failing, nullptr));
    EXPECT_EQ(gondra_error_code(), gondra_error_runtime);
    EXPECT_STREQ(gondra_error_message(), "handler refused the model");
}

TEST(ControlApi, ReportsLocatedSyntaxErrorsAndBadArguments) {
    Control c;
    EXPECT_FALSE(c.add("a :- .\nb :- c("));
    ASSERT_NE(gondra_error_message(), nullptr);
    std::string message = gondra_error_message();
    EXPECT_NE(message.find("<string>:1:"), std::string::npos) << message;
    EXPECT_NE(message.find("<string>:2:"), std::string::npos) << message;

    gondra_control_t* bad = nullptr;
    std::vector<char const*> args{"-t", "zero"};
    EXPECT_FALSE(gondra_control_new(args.data(), args.size(), nullptr, nullptr, 0, &bad));
    EXPECT_EQ(bad, nullptr);
    EXPECT_FALSE(gondra_control_add(nullptr, "base", nullptr, 0, "a."));
}

// A propagator that allows at most one of the watched positive literals and
// records its protocol: per level one undo for every level propagate saw.
struct AtMostOne {
    int inits = 0;
    int propagates = 0;
    int undos = 0;
    bool bad_order = false;
    std::vector<uint32_t> levels; // levels with propagate calls, oldest first
    std::vector<gondra_literal_t> watched;
    bool fail_in_propagate = false;
};

bool amo_init(gondra_propagate_init_t* init, void* data) {
    auto& p = *static_cast<AtMostOne*>(data);
    ++p.inits;
    p.watched.clear();
    p.levels.clear();
    auto const* a = gondra_propagate_init_assignment(init);
    for (gondra_literal_t v = 2; v <= static_cast<gondra_literal_t>(gondra_assignment_size(a)); ++v) {
        if (!gondra_propagate_init_add_watch(init, v)) return false;
        p.watched.push_back(v);
    }
    return true;
}

bool amo_propagate(gondra_propagate_control_t* control, gondra_literal_t const* changes, size_t size,
                   void* data) {
    auto& p = *static_cast<AtMostOne*>(data);
    ++p.propagates;
    if (p.fail_in_propagate) {
        gondra_set_error(gondra_error_logic, "propagator gave up");
        return false;
    }
    auto const* a = gondra_propagate_control_assignment(control);
    uint32_t level = gondra_assignment_decision_level(a);
    if (p.levels.empty() || p.levels.back() != level) {
        if (!p.levels.empty() && p.levels.back() > level) p.bad_order = true;
        p.levels.push_back(level);
    }
    for (size_t i = 0; i < size; ++i) {
        for (auto other : p.watched) {
            bool is_true = false;
            if (other == changes[i] || !gondra_assignment_is_true(a, other, &is_true) || !is_true) continue;
            gondra_literal_t clause[] = {-changes[i], -other};
            bool ok = false;
            if (!gondra_propagate_control_add_clause(control, clause, 2, gondra_clause_type_learnt, &ok))
                return false;
            if (!ok) return true;
        }
    }
    bool ok = false;
    return gondra_propagate_control_propagate(control, &ok);
}

void amo_undo(gondra_propagate_control_t const* control, gondra_literal_t const*, size_t, void* data) {
    auto& p = *static_cast<AtMostOne*>(data);
    ++p.undos;
    uint32_t level = gondra_assignment_decision_level(gondra_propagate_control_assignment(control));
    if (p.levels.empty() || p.levels.back() != level) {
        p.bad_order = true;
        return;
    }
    p.levels.pop_back();
}

TEST(ControlApi, PropagatorSeesInitPropagateAndUndoAcrossSteps) {
    Control c({"-n", "0"});
    AtMostOne p;
    gondra_propagator_t record{amo_init, amo_propagate, amo_undo, nullptr, nullptr};
    ASSERT_TRUE(gondra_control_register_propagator(c.ctl, &record, &p, false)) << gondra_error_message();
    ASSERT_TRUE(c.add("{ a; b; c }.")) << gondra_error_message();
    ASSERT_TRUE(c.ground()) << gondra_error_message();
    Events ev;
    ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, on_event, &ev, nullptr)) << gondra_error_message();
    EXPECT_EQ(ev.models, (std::set<std::string>{"", "a", "b", "c"}));
    EXPECT_EQ(p.inits, 1);
    EXPECT_GT(p.propagates, 0);
    EXPECT_GT(p.undos, 0);
    EXPECT_FALSE(p.bad_order);
    // Every level that saw propagate was undone (level 0 is never left).
    EXPECT_TRUE(p.levels.empty() || (p.levels.size() == 1 && p.levels[0] == 0));

    // A second step adds a part; the propagator is initialised again and sees
    // the new atom.
    ASSERT_TRUE(c.add("{ d }.", "step")) << gondra_error_message();
    ASSERT_TRUE(c.ground("step")) << gondra_error_message();
    Events second;
    ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, on_event, &second, nullptr))
        << gondra_error_message();
    EXPECT_EQ(p.inits, 2);
    EXPECT_EQ(second.models, (std::set<std::string>{"", "a", "b", "c", "d"}));
}

TEST(ControlApi, FailingPropagatorStopsTheSolveCallWithItsError) {
    Control c({"-n", "0", "-t", "2"});
    AtMostOne p;
    p.fail_in_propagate = true;
    gondra_propagator_t record{amo_init, amo_propagate, amo_undo, nullptr, nullptr};
    ASSERT_TRUE(gondra_control_register_propagator(c.ctl, &record, &p, true));
    ASSERT_TRUE(c.add("{ a; b }."));
    ASSERT_TRUE(c.ground());
    Events ev;
    EXPECT_FALSE(gondra_control_solve(c.ctl, nullptr, 0, on_event, &ev, nullptr));
    EXPECT_EQ(gondra_error_code(), gondra_error_logic);
    ASSERT_NE(gondra_error_message(), nullptr);
    EXPECT_STREQ(gondra_error_message(), "propagator gave up");
}

struct Interrupting {
    gondra_control_t* ctl;
    int models = 0;
};

bool interrupt_on_model(gondra_solve_event_type_t type, void*, void* data, bool* goon) {
    auto& state = *static_cast<Interrupting*>(data);
    *goon = true;
    if (type == gondra_solve_event_type_model) {
        ++state.models;
        gondra_control_interrupt(state.ctl);
    }
    return true;
}

TEST(ControlApi, InterruptStopsTheSearchAndIsReported) {
    Control c({"-n", "0"});
    ASSERT_TRUE(c.add("{ a; b; c; d; e }."));
    ASSERT_TRUE(c.ground());
    Interrupting state{c.ctl};
    gondra_solve_result_bitset_t result = 0;
    ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, interrupt_on_model, &state, &result))
        << gondra_error_message();
    EXPECT_EQ(state.models, 1);
    EXPECT_EQ(result, gondra_solve_result_satisfiable | gondra_solve_result_interrupted);
    // The next call is not affected by the old interrupt.
    Events ev;
    ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, on_event, &ev, &result));
    EXPECT_EQ(ev.model_events, 32u);
}

} // namespace

// Multi-shot solving: parts grounded with parameters one after the other keep
// the atoms of earlier steps, externals take new values at every call, an
// objective grows with its steps, and a later step that gives an earlier atom
// more rules is refused with a message.
namespace {

bool add_step(Control& c, char const* text) {
    char const* params[] = {"t"};
    return gondra_control_add(c.ctl, "step", params, 1, text);
}

bool ground_step(Control& c, int t) {
    gondra_symbol_t param;
    gondra_symbol_create_number(t, &param);
    gondra_part_t part{"step", &param, 1};
    return gondra_control_ground(c.ctl, &part, 1);
}

std::set<std::string> solve_models(Control& c, Events& ev) {
    EXPECT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, on_event, &ev, nullptr)) << gondra_error_message();
    return ev.models;
}

} // namespace

TEST(ControlApi, StepsKeepEarlierAtomsAndExternalsChangeBetweenCalls) {
    for (char const* threads : {"1", "3"}) {
        Control c({"-n", "0", "-t", threads});
        ASSERT_TRUE(c.add("#external e. p(0) :- e.")) << gondra_error_message();
        ASSERT_TRUE(add_step(c, "{ p(t) }. q(t) :- p(t), p(t-1).")) << gondra_error_message();
        ASSERT_TRUE(c.ground()) << gondra_error_message();
        ASSERT_TRUE(ground_step(c, 1)) << gondra_error_message();
        // e is atom 1 and false until assigned.
        Events first;
        EXPECT_EQ(solve_models(c, first), (std::set<std::string>{"", "p(1)"}));
        // Values of atoms that are not external have no effect.
        ASSERT_TRUE(gondra_control_assign_external(c.ctl, 2, 1));
        ASSERT_TRUE(gondra_control_assign_external(c.ctl, 3, 0));
        Events unchanged;
        EXPECT_EQ(solve_models(c, unchanged), (std::set<std::string>{"", "p(1)"}));
        ASSERT_TRUE(gondra_control_assign_external(c.ctl, 1, 1));
        Events second;
        EXPECT_EQ(solve_models(c, second), (std::set<std::string>{"e p(0)", "e p(0) p(1) q(1)"}));
        ASSERT_TRUE(ground_step(c, 2)) << gondra_error_message();
        Events third;
        EXPECT_EQ(solve_models(c, third), (std::set<std::string>{"e p(0)", "e p(0) p(1) q(1)", "e p(0) p(2)",
                                                                 "e p(0) p(1) p(2) q(1) q(2)"}));
        // Released, the external keeps only its rules (none).
        ASSERT_TRUE(gondra_control_release_external(c.ctl, 1));
        Events fourth;
        EXPECT_EQ(solve_models(c, fourth), (std::set<std::string>{"", "p(1)", "p(2)", "p(1) p(2) q(2)"}));
    }
}

TEST(ControlApi, ObjectiveOfLaterStepsAddsToTheEarlierOne) {
    Control c({"-t", "2"});
    ASSERT_TRUE(c.add("{ a; b }. :- not a, not b. #minimize { 2,a : a; 3,b : b }."));
    ASSERT_TRUE(add_step(c, "#minimize { 4,a : a }."));
    ASSERT_TRUE(c.ground());
    Events first;
    EXPECT_EQ(solve_models(c, first).count("a"), 1u);
    ASSERT_FALSE(first.costs.empty());
    EXPECT_EQ(first.costs.back(), std::vector<int64_t>{2});
    ASSERT_TRUE(ground_step(c, 1));
    Events second;
    solve_models(c, second);
    ASSERT_FALSE(second.costs.empty());
    EXPECT_EQ(second.costs.back(), std::vector<int64_t>{3});
    EXPECT_NE(second.finish & gondra_solve_result_exhausted, 0u);
}

TEST(ControlApi, LaterStepCannotDefineAnEarlierAtom) {
    Control c({"-n", "0"});
    ASSERT_TRUE(c.add("{ b }. a :- b."));
    ASSERT_TRUE(add_step(c, "{ c }. a :- c."));
    ASSERT_TRUE(c.ground());
    Events first;
    EXPECT_EQ(solve_models(c, first), (std::set<std::string>{"", "a b"}));
    ASSERT_TRUE(ground_step(c, 1));
    Events second;
    EXPECT_FALSE(gondra_control_solve(c.ctl, nullptr, 0, on_event, &second, nullptr));
    ASSERT_NE(gondra_error_message(), nullptr);
    EXPECT_NE(std::string(gondra_error_message()).find("atom a was defined in an earlier step"), std::string::npos)
        << gondra_error_message();
}
