#include "api/callback_table.hpp"
#include "api/theory_handle.hpp"
#include "tarvex.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace Tarvex;

namespace {

struct Handle {
    Handle() { EXPECT_TRUE(tarvex_create(&theory)); }
    ~Handle() { EXPECT_TRUE(tarvex_destroy(theory)); }
    tarvex_theory_t* theory = nullptr;
};

void clear_error() {
    gondra_set_error(gondra_error_success, nullptr);
}

std::string error_message() {
    char const* message = gondra_error_message();
    return message != nullptr ? message : "<null>";
}

// Records the printed statements the statement callback received; fails
// when told to.
struct Collector {
    std::vector<std::string> statements;
    gondra_error_t fail_code = gondra_error_success;
};

bool collect(gondra_ast_t* ast, void* data) {
    auto& collector = *static_cast<Collector*>(data);
    if (collector.fail_code != gondra_error_success) {
        gondra_set_error(collector.fail_code, "rejected by the application");
        return false;
    }
    size_t size = 0;
    if (!gondra_ast_to_string_size(ast, &size)) {
        return false;
    }
    std::string text(size, '\0');
    if (!gondra_ast_to_string(ast, text.data(), size)) {
        return false;
    }
    text.pop_back();
    collector.statements.push_back(text);
    return true;
}

// The last statement of the program, which the parser hands out after its
// "#program base.".
gondra_ast_t* parse_statement(char const* program) {
    gondra_ast_t* last = nullptr;
    auto keep = [](gondra_ast_t* ast, void* data) {
        auto& kept = *static_cast<gondra_ast_t**>(data);
        gondra_ast_release(kept);
        gondra_ast_acquire(ast);
        kept = ast;
        return true;
    };
    EXPECT_TRUE(gondra_ast_parse_string(program, keep, &last, nullptr, nullptr, 0)) << gondra_error_message();
    return last;
}

} // namespace

TEST(ExportedFunctions, VersionWritesOnlyNonNullPointers) {
    int major = 0;
    int minor = 0;
    int revision = 0;
    tarvex_version(&major, &minor, &revision);
    EXPECT_EQ(major * 100 + minor * 10 + revision, 521);
    tarvex_version(nullptr, nullptr, nullptr);
    minor = -1;
    tarvex_version(nullptr, &minor, nullptr);
    EXPECT_EQ(minor, 2);
}

TEST(ExportedFunctions, CreateSetsEveryDefault) {
    Handle handle;
    ASSERT_NE(handle.theory, nullptr);
    EXPECT_TRUE(handle.theory->shift_constraints);
    EXPECT_TRUE(handle.theory->pending_thread_options.empty());
    auto& propagator = handle.theory->propagator;
    EXPECT_EQ(propagator.objective_bound(), std::numeric_limits<wide_t>::max());

    auto const& config = propagator.config();
    EXPECT_EQ(config.clause_limit, 1000u);
    EXPECT_EQ(config.clause_limit_total, 1000000u);
    EXPECT_EQ(config.distinct_limit, 1000u);
    EXPECT_EQ(config.minimize_limit, 0u);
    EXPECT_EQ(config.weight_constraint_ratio, 1.0);
    EXPECT_EQ(config.min_int, -1073741823);
    EXPECT_EQ(config.max_int, 1073741823);
    EXPECT_TRUE(config.sort_constraints);
    EXPECT_TRUE(config.check_solution);
    EXPECT_FALSE(config.literals_only);
    EXPECT_FALSE(config.add_order_clauses);
    EXPECT_FALSE(config.check_state);
    EXPECT_TRUE(config.solver_configs.empty());
    auto const& thread = config.default_solver_config;
    EXPECT_EQ(thread.heuristic, HeuristicMode::Auto);
    EXPECT_EQ(config.lower_bound_models, LowerBoundModels::Auto);
    EXPECT_EQ(thread.sign_value, 0);
    EXPECT_FALSE(thread.split_all);
    EXPECT_TRUE(thread.propagate_chain);
    EXPECT_TRUE(thread.refine_reasons);
    EXPECT_TRUE(thread.refine_introduce);

    for (auto* stats : {&propagator.step_stats(), &propagator.accu_stats()}) {
        EXPECT_EQ(stats->num_constraints, 0u);
        EXPECT_EQ(stats->time_init, 0.0);
        EXPECT_FALSE(stats->has_cost);
        EXPECT_TRUE(stats->solver_stats.empty());
    }
}

TEST(ExportedFunctions, NullArgumentsAreReportedNotDereferenced) {
    EXPECT_TRUE(tarvex_destroy(nullptr));

    clear_error();
    EXPECT_FALSE(tarvex_create(nullptr));
    EXPECT_EQ(gondra_error_code(), gondra_error_logic);
    EXPECT_EQ(error_message(), "invalid theory handle");

    // Every function that reports errors refuses a missing handle the same way.
    std::vector<std::pair<char const*, bool (*)()>> calls = {
        {"register_options", [] { return tarvex_register_options(nullptr, nullptr); }},
        {"validate_options", [] { return tarvex_validate_options(nullptr); }},
        {"configure", [] { return tarvex_configure(nullptr, "min-int", "0"); }},
        {"rewrite_ast", [] { return tarvex_rewrite_ast(nullptr, nullptr, collect, nullptr); }},
        {"prepare", [] { return tarvex_prepare(nullptr, nullptr); }},
        {"on_model", [] { return tarvex_on_model(nullptr, nullptr); }},
    };
    for (auto const& [name, call] : calls) {
        clear_error();
        EXPECT_FALSE(call()) << name;
        EXPECT_EQ(gondra_error_code(), gondra_error_logic) << name;
        EXPECT_EQ(error_message(), "invalid theory handle") << name;
    }

    Handle handle;
    clear_error();
    EXPECT_FALSE(tarvex_configure(handle.theory, nullptr, "1"));
    EXPECT_EQ(error_message(), "invalid argument");
    clear_error();
    EXPECT_FALSE(tarvex_rewrite_ast(handle.theory, nullptr, nullptr, nullptr));
    EXPECT_EQ(gondra_error_code(), gondra_error_logic);
}

TEST(ExportedFunctions, ValidationReportsInvertedIntegerRange) {
    Handle handle;
    auto& config = handle.theory->propagator.config();
    config.min_int = 5;
    config.max_int = 5;
    EXPECT_TRUE(tarvex_validate_options(handle.theory));

    config.max_int = 4;
    handle.theory->pending_thread_options[{Target::split_all, std::nullopt}] = 1;
    clear_error();
    EXPECT_FALSE(tarvex_validate_options(handle.theory));
    EXPECT_EQ(gondra_error_code(), gondra_error_runtime);
    EXPECT_EQ(error_message(), "min-int must be smaller than or equal to max-int");
    // A failed validation still applies and empties the pending settings.
    EXPECT_TRUE(handle.theory->pending_thread_options.empty());
    EXPECT_TRUE(config.default_solver_config.split_all);
}

TEST(ExportedFunctions, ValidationAppliesSettingsForAllThreadsFirst) {
    Handle handle;
    auto& pending = handle.theory->pending_thread_options;
    // As if given on the command line as "sign-value=-,1 sign-value=+".
    pending[{Target::sign_value, 1u}] = std::numeric_limits<value_t>::min();
    pending[{Target::sign_value, std::nullopt}] = std::numeric_limits<value_t>::max();
    // "order-heuristic=m,2" creates default records for threads 0 and 1.
    pending[{Target::heuristic, 2u}] = 1;
    pending[{Target::refine_reasons, std::nullopt}] = 0;
    ASSERT_TRUE(tarvex_validate_options(handle.theory));

    auto& config = handle.theory->propagator.config();
    EXPECT_EQ(config.default_solver_config.sign_value, std::numeric_limits<value_t>::max());
    EXPECT_FALSE(config.default_solver_config.refine_reasons);
    std::vector<ThreadConfig> threads(config.solver_configs.begin(), config.solver_configs.end());
    ASSERT_EQ(threads.size(), 3u);
    EXPECT_EQ(threads[0].sign_value, std::numeric_limits<value_t>::max());
    EXPECT_EQ(threads[1].sign_value, std::numeric_limits<value_t>::min());
    EXPECT_EQ(threads[2].sign_value, std::numeric_limits<value_t>::max());
    EXPECT_EQ(threads[0].heuristic, HeuristicMode::Auto);
    EXPECT_EQ(threads[1].heuristic, HeuristicMode::Auto);
    EXPECT_EQ(threads[2].heuristic, HeuristicMode::MaxChain);
    for (auto const& thread : threads) {
        EXPECT_FALSE(thread.refine_reasons);
    }
    EXPECT_TRUE(config.uses_heuristic());
}

TEST(ExportedFunctions, RewriteHandsStatementsToTheCallback) {
    Handle handle;
    gondra_ast_t* statement = parse_statement(":- &sum{x; y} > 1, q(1;2).");
    ASSERT_NE(statement, nullptr);
    Collector collector;
    ASSERT_TRUE(tarvex_rewrite_ast(handle.theory, statement, collect, &collector)) << error_message();
    EXPECT_EQ(collector.statements, (std::vector<std::string>{"&__sum_h { x,0; y,1 } <= 1 :- q(1).",
                                                              "&__sum_h { x,0; y,1 } <= 1 :- q(2)."}));
    // The handle's setting turns shifting off.
    handle.theory->shift_constraints = false;
    collector.statements.clear();
    ASSERT_TRUE(tarvex_rewrite_ast(handle.theory, statement, collect, &collector)) << error_message();
    EXPECT_EQ(collector.statements, (std::vector<std::string>{":- &__sum_b { x,0; y,1 } > 1, q(1).",
                                                              ":- &__sum_b { x,0; y,1 } > 1, q(2)."}));

    // The callback's own error comes back unchanged.
    for (gondra_error_t code : {gondra_error_runtime, gondra_error_logic}) {
        collector.fail_code = code;
        clear_error();
        EXPECT_FALSE(tarvex_rewrite_ast(handle.theory, statement, collect, &collector));
        EXPECT_EQ(gondra_error_code(), code);
        EXPECT_EQ(error_message(), "rejected by the application");
    }
    gondra_ast_release(statement);

    // Errors of the rewriting are reported as runtime errors.
    statement = parse_statement("&sum{x, 1} >= 1.");
    collector = Collector{};
    clear_error();
    EXPECT_FALSE(tarvex_rewrite_ast(handle.theory, statement, collect, &collector));
    EXPECT_EQ(gondra_error_code(), gondra_error_runtime);
    EXPECT_EQ(error_message(), "Invalid Syntax");
    EXPECT_TRUE(collector.statements.empty());
    gondra_ast_release(statement);

    clear_error();
    EXPECT_FALSE(tarvex_rewrite_ast(handle.theory, nullptr, collect, &collector));
    EXPECT_EQ(gondra_error_code(), gondra_error_logic);
}

TEST(ExportedFunctions, AssignmentWalkVisitsVariablesWithSymbols) {
    Handle handle;
    size_t index = 99;
    tarvex_assignment_begin(handle.theory, 0, &index);
    EXPECT_EQ(index, 0u);
    EXPECT_FALSE(tarvex_assignment_next(handle.theory, 0, &index));
    EXPECT_EQ(index, 0u);

    auto& propagator = handle.theory->propagator;
    propagator.add_variable_symbol(0, 1000);
    propagator.add_variable_symbol(2, 1002);
    propagator.add_variable_symbol(5, 1005);

    std::vector<size_t> with_value;
    std::vector<gondra_symbol_t> symbols;
    size_t steps = 0;
    for (tarvex_assignment_begin(handle.theory, 0, &index);
         tarvex_assignment_next(handle.theory, 0, &index);) {
        ++steps;
        if (tarvex_assignment_has_value(handle.theory, 0, index)) {
            with_value.push_back(index);
            symbols.push_back(tarvex_get_symbol(handle.theory, index));
            tarvex_value_t value;
            value.type = tarvex_value_type_symbol;
            tarvex_assignment_get_value(handle.theory, 0, index, &value);
            EXPECT_EQ(value.type, tarvex_value_type_int);
        }
    }
    EXPECT_EQ(steps, 6u);
    EXPECT_EQ(index, 6u);
    EXPECT_EQ(with_value, (std::vector<size_t>{1, 3, 6}));
    EXPECT_EQ(symbols, (std::vector<gondra_symbol_t>{1000, 1002, 1005}));

    EXPECT_FALSE(tarvex_assignment_has_value(handle.theory, 0, 0));
    EXPECT_FALSE(tarvex_assignment_has_value(handle.theory, 0, size_t{1} << 40));
    EXPECT_EQ(tarvex_get_symbol(handle.theory, 0), 0u);
    EXPECT_EQ(tarvex_get_symbol(handle.theory, 2), 0u);

    size_t found = 0;
    EXPECT_TRUE(tarvex_lookup_symbol(handle.theory, 1005, &found));
    EXPECT_EQ(found, 6u);
    found = 77;
    EXPECT_FALSE(tarvex_lookup_symbol(handle.theory, 1001, &found));
    EXPECT_EQ(found, 77u);
}

// Each handle gets the table its own configuration asks for; the tables
// themselves never change.
TEST(ExportedFunctions, DecideEntryFollowsTheHandlesHeuristic) {
    Handle first;
    first.theory->propagator.config().solver_config(1).heuristic = HeuristicMode::MaxChain;
    auto const& table = callback_table(*first.theory);
    ASSERT_NE(table.decide, nullptr);

    Handle second;
    second.theory->propagator.config().default_solver_config.heuristic = HeuristicMode::None;
    second.theory->propagator.config().default_solver_config.model_phases = ModelPhases::No;
    auto const& plain = callback_table(*second.theory);
    EXPECT_EQ(plain.decide, nullptr);
    EXPECT_EQ(plain.init, table.init);
    EXPECT_EQ(&callback_table(*first.theory), &table);
    // Following the last model's phases needs the entry as well.
    Handle phases;
    phases.theory->propagator.config().default_solver_config.heuristic = HeuristicMode::None;
    EXPECT_EQ(&callback_table(*phases.theory), &table);
    // The default decides start values while optimising, which only the
    // objective found at initialisation tells.
    Handle third;
    EXPECT_EQ(&callback_table(*third.theory), &table);

    // Before the first initialisation no thread has a solver: a call for one
    // is reported, not followed into memory that does not exist.
    gondra_literal_t decision = 0;
    clear_error();
    EXPECT_FALSE(table.decide(0, nullptr, -7, second.theory, &decision));
    EXPECT_EQ(gondra_error_code(), gondra_error_logic);
    EXPECT_EQ(error_message(), "no solver for thread 0");
}

// Missing statistics roots are the host's failure: its error is kept as it is.
TEST(ExportedFunctions, StatisticsWithoutRootKeepTheHostError) {
    Handle handle;
    clear_error();
    EXPECT_FALSE(tarvex_on_statistics(handle.theory, nullptr, nullptr));
    EXPECT_EQ(gondra_error_code(), gondra_error_logic);
    EXPECT_EQ(error_message(), "statistics must not be null");

    clear_error();
    EXPECT_FALSE(tarvex_on_statistics(nullptr, nullptr, nullptr));
    EXPECT_EQ(error_message(), "invalid theory handle");
}
