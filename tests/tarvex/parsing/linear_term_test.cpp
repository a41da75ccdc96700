#include "parsing/linear_term.hpp"
#include "parsing/term_algebra.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

using namespace Tarvex;

namespace {

constexpr value_t big = 1073741823;

TEST(SimplifyLinear, MergesVariablesInFirstOccurrenceOrderAndMovesConstantsOut) {
    // x + 2x - 3x + 5: the variable cancels, the constant moves right.
    LinearTerm term{{1, 0}, {2, 0}, {-3, 0}, {5, no_var}};
    EXPECT_EQ(simplify_linear(term), -5);
    EXPECT_TRUE(term.empty());

    // y + x + 1 - y
    term = {{1, 1}, {1, 0}, {1, no_var}, {-1, 1}};
    EXPECT_EQ(simplify_linear(term), -1);
    EXPECT_EQ(term, (LinearTerm{{1, 0}}));

    term = {{0, 4}, {3, 7}, {2, 2}, {-4, no_var}, {5, 7}, {0, no_var}, {1, 4}};
    EXPECT_EQ(simplify_linear(term), 4);
    EXPECT_EQ(term, (LinearTerm{{8, 7}, {2, 2}, {1, 4}}));
}

TEST(SimplifyLinear, RejectsValuesOutsideTheRange) {
    LinearTerm term{{big, 0}, {1, 0}};
    EXPECT_THROW(
        {
            try {
                simplify_linear(term);
            } catch (std::exception const& e) {
                EXPECT_STREQ(e.what(), "value too large");
                throw;
            }
        },
        std::underflow_error);

    term = {{-big, 0}, {-1, 0}};
    try {
        simplify_linear(term);
        FAIL();
    } catch (std::exception const& e) {
        EXPECT_STREQ(e.what(), "value too small");
    }

    term = {{big, no_var}, {1, no_var}};
    try {
        simplify_linear(term);
        FAIL();
    } catch (std::exception const& e) {
        EXPECT_STREQ(e.what(), "value too small");
    }

    // Merging beyond 32 bits is an overflow of its own.
    term = {{2147483647, 0}, {1, 0}};
    EXPECT_THROW(simplify_linear(term), std::overflow_error);
}

TEST(SimplifyLinear, ExtremeSumsMustFitSixtyFourBits) {
    LinearTerm term;
    for (var_id v = 0; v < 8; ++v) {
        term.emplace_back(big, v);
    }
    LinearTerm eight = term;
    EXPECT_EQ(simplify_linear(eight), 0);
    term.emplace_back(big, 8);
    try {
        simplify_linear(term);
        FAIL();
    } catch (std::underflow_error const& e) {
        EXPECT_STREQ(e.what(), "integer underflow");
    }
    // The lower end is accumulated first, whatever the signs.
    LinearTerm negative;
    for (var_id v = 0; v < 9; ++v) {
        negative.emplace_back(-big, v);
    }
    EXPECT_THROW(check_linear_bounds(negative, 0), std::underflow_error);
    EXPECT_THROW(check_linear_bounds({{big + 1, 0}}, 0), std::underflow_error);
}

TEST(SimplifyLinear, ScratchStateIsPerThread) {
    auto work = [](var_id offset, bool& ok) {
        ok = true;
        for (int round = 0; round < 2000; ++round) {
            LinearTerm term{{1, offset}, {2, offset + 1}, {3, offset}, {-2, offset + 1}, {7, no_var}};
            ok = ok && simplify_linear(term) == -7 && term == LinearTerm{{4, offset}};
        }
    };
    bool a = false;
    bool b = false;
    std::thread first{work, 0, std::ref(a)};
    std::thread second{work, 100, std::ref(b)};
    first.join();
    second.join();
    EXPECT_TRUE(a);
    EXPECT_TRUE(b);
}

TEST(TermAlgebra, LinearProductsKeepOneVariablePerElement) {
    // 2 * (x + 3)
    LinearTerm out;
    multiply_linear({{2, no_var}}, {{1, 0}, {3, no_var}}, out);
    EXPECT_EQ(out, (LinearTerm{{2, 0}, {6, no_var}}));
    // (x + 1) * 4, left elements outermost
    out.clear();
    multiply_linear({{1, 0}, {1, no_var}}, {{4, no_var}}, out);
    EXPECT_EQ(out, (LinearTerm{{4, 0}, {4, no_var}}));
    try {
        multiply_linear({{1, 0}}, {{1, 1}}, out);
        FAIL();
    } catch (std::runtime_error const& e) {
        EXPECT_STREQ(e.what(), "Invalid Syntax: only linear sum constraints are supported");
    }
    EXPECT_THROW(multiply_linear({{65536, no_var}}, {{65536, 0}}, out), std::overflow_error);

    LinearTerm negate{{1, 0}, {-2, 1}, {3, no_var}};
    negate_from(negate, 1);
    EXPECT_EQ(negate, (LinearTerm{{1, 0}, {2, 1}, {-3, no_var}}));
    negate = {{-2147483647 - 1, 0}};
    EXPECT_THROW(negate_from(negate, 0), std::overflow_error);
}

TEST(TermAlgebra, NonlinearProductsAndCombination) {
    // (x + 2) * (3 * y)
    std::vector<ProductTerm> out;
    multiply_products({{1, {0}}, {2, {}}}, {{3, {1}}}, out);
    EXPECT_EQ(out, (std::vector<ProductTerm>{{3, {0, 1}}, {6, {1}}}));

    // x*y + y*x + x*x - 4 + 2z - 2z + 0*w
    std::vector<ProductTerm> term{{1, {0, 1}}, {1, {1, 0}}, {1, {0, 0}}, {-4, {}}, {2, {2}}, {-2, {2}}, {0, {3}}};
    EXPECT_EQ(combine_products(term), 4);
    EXPECT_EQ(term, (std::vector<ProductTerm>{{2, {0, 1}}, {1, {0, 0}}}));

    std::vector<ProductTerm> large{{big, {0, 1}}, {1, {1, 0}}};
    EXPECT_THROW(combine_products(large), std::underflow_error);
    std::vector<ProductTerm> constant{{-big, {}}, {-1, {}}};
    try {
        combine_products(constant);
        FAIL();
    } catch (std::exception const& e) {
        EXPECT_STREQ(e.what(), "value too large");
    }
}

} // namespace
