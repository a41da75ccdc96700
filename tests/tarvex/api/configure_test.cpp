// Settings by name: the value syntax of every key, the messages of bad
// values, and that a failed call leaves the setting as it was.

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
    ~Handle() { tarvex_destroy(theory); }
    TheoryConfig& config() const { return theory->propagator.config(); }
    // The message of a configure call that must fail, "" if it succeeded.
    std::string failure(char const* key, char const* value) const {
        gondra_set_error(gondra_error_success, nullptr);
        if (tarvex_configure(theory, key, value)) {
            return "";
        }
        char const* message = gondra_error_message();
        return message != nullptr ? message : "<null>";
    }
    tarvex_theory_t* theory = nullptr;
};

constexpr auto uint_max = std::numeric_limits<std::uint32_t>::max();
constexpr auto int_min = std::numeric_limits<std::int32_t>::min();
constexpr auto int_max = std::numeric_limits<std::int32_t>::max();

} // namespace

TEST(Configure, NumbersTakeKeywordsWholeAndCheckTheirRange) {
    Handle h;
    auto& config = h.config();
    EXPECT_EQ(h.failure("translate-opt", "max"), "");
    EXPECT_EQ(config.minimize_limit, uint_max);
    EXPECT_EQ(h.failure("translate-opt", "ma"), "number expected");
    EXPECT_EQ(h.failure("translate-opt", "12x"), "number expected");
    EXPECT_EQ(h.failure("translate-opt", " 12"), "number expected");
    EXPECT_EQ(config.minimize_limit, uint_max);
    // The unsigned extraction wraps a minus sign as the standard one does.
    EXPECT_EQ(h.failure("translate-distinct", "-1"), "");
    EXPECT_EQ(config.distinct_limit, uint_max);
    EXPECT_EQ(h.failure("translate-distinct", "min"), "");
    EXPECT_EQ(config.distinct_limit, 0u);

    EXPECT_EQ(h.failure("min-int", "abc"), "number expected");
    EXPECT_EQ(h.failure("min-int", "1073741824"), "invalid argument");
    EXPECT_EQ(h.failure("max-int", "-1073741824"), "invalid argument");
    EXPECT_EQ(config.min_int, -1073741823);
    // Checked against each other only on validation of the command line.
    EXPECT_EQ(h.failure("min-int", "5"), "");
    EXPECT_EQ(h.failure("max-int", "4"), "");
    EXPECT_EQ(config.min_int, 5);
    EXPECT_EQ(config.max_int, 4);
    EXPECT_EQ(h.failure("max-int", "max"), "");
    EXPECT_EQ(config.max_int, 1073741823);

    EXPECT_EQ(h.failure("translate-pb", "min"), "");
    EXPECT_EQ(config.weight_constraint_ratio, -std::numeric_limits<double>::max());
    EXPECT_EQ(h.failure("translate-pb", "0.25"), "");
    EXPECT_EQ(config.weight_constraint_ratio, 0.25);
    EXPECT_EQ(h.failure("translate-pb", "1.5x"), "number expected");
    EXPECT_EQ(h.failure("translate-pb", "1e999"), "number expected");
    EXPECT_EQ(h.failure("translate-pb", "nan"), "number expected");
    EXPECT_EQ(config.weight_constraint_ratio, 0.25);
}

TEST(Configure, ClauseLimitsReadTheTotalOnlyAfterAComma) {
    Handle h;
    auto& config = h.config();
    EXPECT_EQ(h.failure("translate-clauses", "10"), "");
    EXPECT_EQ(config.clause_limit, 10u);
    EXPECT_EQ(config.clause_limit_total, 1000000u);
    EXPECT_EQ(h.failure("translate-clauses", "20,-1"), "");
    EXPECT_EQ(config.clause_limit, 20u);
    EXPECT_EQ(config.clause_limit_total, std::numeric_limits<std::uint64_t>::max());
    // The first number matches "min"/"max" by prefix, the second as words.
    EXPECT_EQ(h.failure("translate-clauses", "m,5"), "");
    EXPECT_EQ(config.clause_limit, 0u);
    EXPECT_EQ(config.clause_limit_total, 5u);
    EXPECT_EQ(h.failure("translate-clauses", "max,ma"), "number expected");
    EXPECT_EQ(h.failure("translate-clauses", "7,2147483648"), "number expected");
    EXPECT_EQ(config.clause_limit, 0u);
    EXPECT_EQ(h.failure("translate-clauses", "max,max"), "");
    EXPECT_EQ(config.clause_limit, uint_max);
    EXPECT_EQ(config.clause_limit_total, std::uint64_t{int_max});
}

TEST(Configure, FlagsAcceptPrefixesOfTheirWords) {
    Handle h;
    auto& config = h.config();
    for (char const* key :
         {"shift-constraints", "sort-constraints", "literals-only", "add-order-clauses", "check-solution",
          "check-state"}) {
        for (auto [value, expected] : std::vector<std::pair<char const*, bool>>{
                 {"no", false}, {"", true}, {"f", false}, {"ye", true}, {"0", false}, {"tru", true}}) {
            EXPECT_EQ(h.failure(key, value), "") << key << " " << value;
            bool field = std::string{key} == "shift-constraints" ? h.theory->shift_constraints
                         : std::string{key} == "sort-constraints" ? config.sort_constraints
                         : std::string{key} == "literals-only"    ? config.literals_only
                         : std::string{key} == "add-order-clauses" ? config.add_order_clauses
                         : std::string{key} == "check-solution"   ? config.check_solution
                                                                  : config.check_state;
            EXPECT_EQ(field, expected) << key << " " << value;
        }
        EXPECT_EQ(h.failure(key, "yes,1"), "invalid argument") << key;
        EXPECT_EQ(h.failure(key, "on"), "invalid argument") << key;
    }
}

TEST(Configure, PerThreadKeysTakeEffectAtOnceForTheirScope) {
    Handle h;
    auto& config = h.config();
    EXPECT_EQ(h.failure("sign-value", "-,1"), "");
    EXPECT_EQ(h.failure("sign-value", "+"), "");
    // Without index the call overrides every record, thread 1's too.
    std::vector<ThreadConfig> threads(config.solver_configs.begin(), config.solver_configs.end());
    ASSERT_EQ(threads.size(), 2u);
    EXPECT_EQ(threads[0].sign_value, int_max);
    EXPECT_EQ(threads[1].sign_value, int_max);
    EXPECT_EQ(h.failure("sign-value", "-7,0"), "");
    EXPECT_EQ(config.solver_configs.front().sign_value, -7);
    EXPECT_EQ(h.failure("sign-value", "mi"), "");
    EXPECT_EQ(config.default_solver_config.sign_value, int_min);

    EXPECT_EQ(h.failure("order-heuristic", "m,3"), "");
    threads.assign(config.solver_configs.begin(), config.solver_configs.end());
    ASSERT_EQ(threads.size(), 4u);
    EXPECT_EQ(threads[3].heuristic, HeuristicMode::MaxChain);
    EXPECT_EQ(threads[2].heuristic, HeuristicMode::Auto);
    EXPECT_EQ(config.default_solver_config.heuristic, HeuristicMode::Auto);
    EXPECT_EQ(h.failure("order-heuristic", "max-chains"), "invalid argument");
    EXPECT_EQ(h.failure("order-heuristic", "none,64"), "invalid argument");
    EXPECT_EQ(h.failure("order-heuristic", "none,max"), "");
    EXPECT_EQ(std::distance(config.solver_configs.begin(), config.solver_configs.end()), 64);

    for (char const* key : {"refine-reasons", "refine-introduce", "propagate-chain", "split-all"}) {
        EXPECT_EQ(h.failure(key, "no,2"), "") << key;
        EXPECT_EQ(h.failure(key, "maybe"), "invalid argument") << key;
        EXPECT_EQ(h.failure(key, "yes,x"), "number expected") << key;
    }
    auto const& third = *std::next(config.solver_configs.begin(), 2);
    EXPECT_FALSE(third.refine_reasons || third.refine_introduce || third.propagate_chain);
    EXPECT_FALSE(third.split_all);
    EXPECT_TRUE(config.default_solver_config.refine_reasons);

    EXPECT_EQ(h.failure("distinct-propagation", "v"), "");
    EXPECT_EQ(h.failure("distinct-propagation", "bounds,1"), "");
    EXPECT_EQ(h.failure("disjoint-propagation", "edge-finding,2"), "");
    EXPECT_EQ(h.failure("distinct-propagation", "hall"), "invalid argument");
    EXPECT_EQ(h.failure("disjoint-propagation", "windows,64"), "invalid argument");
    auto const& first = *std::next(config.solver_configs.begin(), 1);
    EXPECT_EQ(config.default_solver_config.distinct_propagation, DistinctPropagation::Values);
    EXPECT_EQ(first.distinct_propagation, DistinctPropagation::Bounds);
    EXPECT_EQ(third.distinct_propagation, DistinctPropagation::Values);
    EXPECT_EQ(third.disjoint_propagation, DisjointPropagation::EdgeFinding);
    EXPECT_EQ(first.disjoint_propagation, DisjointPropagation::Windows);
}

// A key that names no option used to pass for a setting that took effect.
TEST(Configure, UnknownKeysAreReportedAsErrors) {
    Handle h;
    for (char const* key : {"min-int,@2", "Min-Int", "translate", ""}) {
        gondra_set_error(gondra_error_success, nullptr);
        EXPECT_FALSE(tarvex_configure(h.theory, key, "1")) << key;
        EXPECT_EQ(gondra_error_code(), gondra_error_runtime) << key;
        EXPECT_EQ(std::string{gondra_error_message()}, std::string{"unknown option: "} + key);
    }
    EXPECT_EQ(h.config().min_int, -1073741823);
}
