#include "solver/variable_state.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <utility>
#include <vector>

namespace Tarvex {
namespace {

TEST(VariableState, SwitchesToDenseFormAfterTheEleventhLiteral) {
    VariableState vs{0, 0, 100};
    for (value_t v = 0; v < 11; ++v) {
        vs.set_literal(v * 3, 10 + v);
        EXPECT_FALSE(vs.is_dense()) << "after literal " << v + 1;
    }
    // The next storage lookup sees 11 > 100 / 10 literals.
    vs.literal_slot(50);
    ASSERT_TRUE(vs.is_dense());
    EXPECT_EQ(vs.offset(), 0);
    for (value_t v = 0; v < 11; ++v) {
        EXPECT_EQ(vs.literal_at(v * 3), 10 + v);
    }
    EXPECT_EQ(vs.literal_count(), 11U);
}

TEST(VariableState, KeepsMapWhenAKeyLiesOutsideTheNarrowedRootDomain) {
    VariableState vs{0, 0, 20};
    vs.set_literal(0, 5);
    vs.set_literal(1, 6);
    // Level-0 narrowing overwrites the bounds.
    vs.set_lower_bound(1);
    vs.set_upper_bound(3);
    vs.set_literal(2, 7);
    EXPECT_FALSE(vs.try_make_dense());
    EXPECT_FALSE(vs.is_dense());
}

TEST(VariableState, NeighbourSearchesAgreeInBothForms) {
    for (bool dense : {false, true}) {
        // Three literals exceed a tenth of [0, 10) but not of [0, 100).
        VariableState vs{0, 0, dense ? 10 : 100};
        vs.set_literal(2, 21);
        vs.set_literal(5, 51);
        vs.set_literal(9, 91);
        vs.literal_slot(0) = 0;
        ASSERT_EQ(vs.is_dense(), dense);
        EXPECT_EQ(vs.prev_literal(5), 21);
        EXPECT_EQ(vs.prev_literal(2), 0);
        EXPECT_EQ(vs.next_literal(5), 91);
        EXPECT_EQ(vs.next_literal(9), 0);
        EXPECT_EQ(vs.first_literal_from(5), 51);
        EXPECT_EQ(vs.first_literal_from(6), 91);
        EXPECT_EQ(vs.first_literal_from(-5), 21);
        vs.unset_literal(5);
        EXPECT_EQ(vs.next_literal(2), 91);
        EXPECT_FALSE(vs.has_literal(5));
    }
}

// The sparse form keeps its pairs sorted whatever the order of insertion.
TEST(VariableState, SparseFormAgreesWithAnOrderedMap) {
    std::mt19937 random(3);
    VariableState vs{0, -50000, 50000};
    std::map<value_t, literal_t> model;
    for (int step = 0; step < 20000; ++step) {
        auto v = static_cast<value_t>(static_cast<int>(random() % 4000) - 2000);
        if (random() % 4 == 0) {
            vs.unset_literal(v);
            model.erase(v);
        } else {
            literal_t lit = 1 + static_cast<literal_t>(random() % 1000000);
            vs.set_literal(v, lit);
            model[v] = lit;
        }
        ASSERT_FALSE(vs.is_dense());
        auto above = model.upper_bound(v);
        EXPECT_EQ(vs.next_literal(v), above == model.end() ? 0 : above->second);
        auto below = model.lower_bound(v);
        EXPECT_EQ(vs.prev_literal(v), below == model.begin() ? 0 : std::prev(below)->second);
        auto at = model.find(v);
        EXPECT_EQ(vs.literal_at(v), at == model.end() ? 0 : at->second);
    }
    std::vector<std::pair<value_t, literal_t>> walked;
    vs.for_each_literal([&](value_t v, literal_t lit) { walked.emplace_back(v, lit); });
    std::vector<std::pair<value_t, literal_t>> expected(model.begin(), model.end());
    EXPECT_EQ(walked, expected);
}

// The dense form finds neighbours through a bitset of filled slots; empty
// stretches longer than a summary word and slots handed out but left 0 must
// not hide or invent literals.
TEST(VariableState, DenseFormAgreesWithAnOrderedMap) {
    std::mt19937 random(7);
    constexpr value_t size = 40000;
    VariableState vs{0, 0, size};
    std::map<value_t, literal_t> model;
    value_t last = 0;
    for (value_t v = 0; v * 9 < size; ++v) {
        last = v * 9;
        vs.set_literal(last, v + 1);
        model[last] = v + 1;
    }
    vs.try_make_dense();
    ASSERT_TRUE(vs.is_dense());
    // Keep a few islands so that most gaps span thousands of values.
    for (value_t v = 0; v < size; v += 9) {
        if (v % 9000 != 0 && v != last) {
            vs.unset_literal(v);
            model.erase(v);
        }
    }
    auto check = [&](value_t v) {
        auto above = model.upper_bound(v);
        ASSERT_EQ(vs.next_literal(v), above == model.end() ? 0 : above->second) << v;
        auto below = model.lower_bound(v);
        ASSERT_EQ(vs.prev_literal(v), below == model.begin() ? 0 : std::prev(below)->second) << v;
        ASSERT_EQ(vs.first_literal_from(v), below == model.end() ? 0 : below->second) << v;
    };
    for (value_t v : {-1, 0, 1, 63, 64, 4095, 4096, 4097, 8999, 9000, 9001, last - 1, last, last + 1, size - 1, size}) {
        check(v);
    }
    for (int step = 0; step < 20000; ++step) {
        auto v = static_cast<value_t>(random() % size);
        switch (random() % 5) {
        case 0:
            vs.unset_literal(v);
            model.erase(v);
            break;
        case 1:
            // A slot handed out and left empty.
            if (!vs.has_literal(v)) {
                vs.literal_slot(v) = 0;
            }
            break;
        case 2: {
            literal_t lit = 1 + static_cast<literal_t>(random() % 1000000);
            vs.set_literal(v, lit);
            model[v] = lit;
            break;
        }
        default:
            break;
        }
        check(static_cast<value_t>(random() % (size + 2)) - 1);
    }
    std::vector<std::pair<value_t, literal_t>> walked;
    vs.for_each_literal([&](value_t v, literal_t lit) { walked.emplace_back(v, lit); });
    std::vector<std::pair<value_t, literal_t>> expected(model.begin(), model.end());
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(vs.literal_count(), model.size());
}

} // namespace
} // namespace Tarvex
