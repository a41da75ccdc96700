// The events of a solve call in their order (start only once propagators are
// initialised), an objective the application declares as its own, a model's
// symbols asked for before and after extending it, and models enumerated
// under assumptions that propagation already implies.
#include "solve_runner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

struct Control {
    gondra_control_t* ctl = nullptr;
    explicit Control(std::vector<char const*> args) {
        EXPECT_TRUE(gondra_control_new(args.data(), args.size(), nullptr, nullptr, 0, &ctl))
            << gondra_error_message();
    }
    ~Control() { gondra_control_free(ctl); }
    void load(char const* program) {
        gondra_part_t part{"base", nullptr, 0};
        ASSERT_TRUE(gondra_control_add(ctl, "base", nullptr, 0, program)) << gondra_error_message();
        ASSERT_TRUE(gondra_control_ground(ctl, &part, 1)) << gondra_error_message();
    }
    // The value at a dotted path of the accumulated statistics.
    double statistic(std::string const& path) const {
        gondra_statistics_t const* stats = nullptr;
        uint64_t key = 0;
        double value = -1;
        EXPECT_TRUE(gondra_control_statistics(ctl, &stats));
        EXPECT_TRUE(gondra_statistics_root(stats, &key));
        for (size_t begin = 0; begin <= path.size();) {
            size_t dot = std::min(path.find('.', begin), path.size());
            EXPECT_TRUE(gondra_statistics_map_at(stats, key, path.substr(begin, dot - begin).c_str(), &key))
                << path;
            begin = dot + 1;
        }
        EXPECT_TRUE(gondra_statistics_value_get(stats, key, &value)) << path;
        return value;
    }
};

struct Log {
    std::string events; // one letter per event: s(tart) m(odel) t (statistics) f(inish)
    bool search = true; // the answer to the start event
};

bool log_event(gondra_solve_event_type_t type, void*, void* data, bool* goon) {
    auto& log = *static_cast<Log*>(data);
    switch (type) {
    case gondra_solve_event_type_start:
        log.events += 's';
        *goon = log.search;
        break;
    case gondra_solve_event_type_model:
        log.events += 'm';
        break;
    case gondra_solve_event_type_statistics:
        log.events += 't';
        break;
    case gondra_solve_event_type_finish:
        log.events += 'f';
        break;
    default:
        log.events += '?';
    }
    return true;
}

struct Init {
    bool fail = false;
    std::string* events = nullptr;
};

bool init_propagator(gondra_propagate_init_t*, void* data) {
    auto& init = *static_cast<Init*>(data);
    *init.events += 'i';
    if (init.fail) {
        gondra_set_error(gondra_error_runtime, "bad theory atom");
        return false;
    }
    return true;
}

TEST(SolveEvents, StartFollowsPropagatorInitAndPrecedesTheModels) {
    for (char const* threads : {"1", "2"}) {
        Control c({"-n", "0", "-t", threads});
        Log log;
        Init init{false, &log.events};
        gondra_propagator_t record{init_propagator, nullptr, nullptr, nullptr, nullptr};
        ASSERT_TRUE(gondra_control_register_propagator(c.ctl, &record, &init, false));
        c.load("{ a; b }.");
        gondra_solve_result_bitset_t result = 0;
        ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, log_event, &log, &result))
            << gondra_error_message();
        EXPECT_EQ(log.events, "ismmmmtf") << threads;

        // A failing init ends the call before the search: no start event.
        log.events.clear();
        init.fail = true;
        EXPECT_FALSE(gondra_control_solve(c.ctl, nullptr, 0, log_event, &log, &result));
        EXPECT_STREQ(gondra_error_message(), "bad theory atom");
        EXPECT_EQ(log.events, "i");

        // Declining the search at the start: no model, nothing proven.
        log.events.clear();
        init.fail = false;
        log.search = false;
        ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, log_event, &log, &result))
            << gondra_error_message();
        EXPECT_EQ(log.events, "istf");
        EXPECT_EQ(result & (gondra_solve_result_satisfiable | gondra_solve_result_unsatisfiable |
                            gondra_solve_result_exhausted),
                  0u);
        EXPECT_EQ(c.statistic("summary.models.enumerated"), 4.0); // those of the first call
    }
}

TEST(SolveEvents, DeclaredObjectiveIsOptimalOnceTheSearchIsExhausted) {
    struct Case {
        char const* models;
        char const* program;
        bool declared;
        double optimal;
    };
    for (auto const& [models, program, declared, optimal] : {
             Case{"0", "{ a; b }.", true, 1},
             Case{"0", "{ a; b }.", false, 0},
             Case{"1", "{ a; b }.", true, 0}, // stopped before the proof
             Case{"0", "a. :- a.", true, 0},  // no model at all
             Case{"0", "{ a; b }. #minimize { 1 : a }.", false, 1},
         }) {
        Control c({"-n", models});
        c.load(program);
        ASSERT_TRUE(gondra_control_declare_objective(c.ctl, declared));
        ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, nullptr, nullptr, nullptr))
            << gondra_error_message();
        EXPECT_EQ(c.statistic("summary.models.optimal"), optimal) << program << " -n " << models;
    }
}

// Asks for the shown symbols, extends the model, and asks again: the answers,
// as counts, go to data.
bool extend_between_queries(gondra_solve_event_type_t type, void* event, void* data, bool* goon) {
    *goon = true;
    if (type != gondra_solve_event_type_model) return true;
    auto* model = static_cast<gondra_model_t*>(event);
    auto& sizes = *static_cast<std::vector<size_t>*>(data);
    gondra_symbol_t extra = 0;
    size_t shown = 0, atoms = 0, extended = 0;
    if (!gondra_model_symbols_size(model, gondra_show_type_atoms, &atoms) ||
        !gondra_model_symbols_size(model, gondra_show_type_shown, &shown) ||
        !gondra_symbol_create_id("extra", true, &extra) || !gondra_model_extend(model, &extra, 1) ||
        !gondra_model_symbols_size(model, gondra_show_type_shown, &extended)) {
        return false;
    }
    std::vector<gondra_symbol_t> symbols(extended);
    if (!gondra_model_symbols(model, gondra_show_type_shown, symbols.data(), extended)) return false;
    sizes = {shown, atoms, extended, static_cast<size_t>(std::count(symbols.begin(), symbols.end(), extra))};
    return true;
}

TEST(SolveEvents, ExtendedModelShowsTheNewSymbols) {
    Control c({});
    c.load("a. b. #show a/0.");
    std::vector<size_t> sizes;
    ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, extend_between_queries, &sizes, nullptr))
        << gondra_error_message();
    EXPECT_EQ(sizes, (std::vector<size_t>{1, 2, 2, 1}));
}

TEST(SolveEvents, EnumerationUnderImpliedAssumptionsIsComplete) {
    // The externals are assumed true one after the other; each implies the
    // other, so the second one's level stays empty. c and d are free: four
    // models, none twice, on one thread and on three.
    for (char const* threads : {"1", "3"}) {
        SolveRunner::Outcome run =
            SolveRunner::solve("#external a. #external b. b :- a. a :- b. { c; d }.",
                               {"-n", "0", "-t", threads}, [](gondra_control_t* ctl) {
                                   ASSERT_TRUE(gondra_control_assign_external(ctl, 1, 1));
                                   ASSERT_TRUE(gondra_control_assign_external(ctl, 2, 1));
                               });
        ASSERT_TRUE(run.ok) << run.error;
        std::multiset<std::string> models(run.models.begin(), run.models.end());
        EXPECT_EQ(models, (std::multiset<std::string>{"a b", "a b c", "a b c d", "a b d"})) << threads;
        EXPECT_NE(run.result & gondra_solve_result_exhausted, 0u);
    }
}

} // namespace
