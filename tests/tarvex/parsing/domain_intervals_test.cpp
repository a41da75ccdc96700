#include "parsing/domain_intervals.hpp"

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace Tarvex;

namespace {

TEST(AddInterval, MergesOverlappingAndTouchingIntervals) {
    IntervalSet set;
    add_interval(set, 1, 4);
    add_interval(set, 5, 6);
    add_interval(set, 4, 5);
    EXPECT_EQ(set, (IntervalSet{{1, 6}}));

    add_interval(set, 10, 12);
    add_interval(set, -3, -1);
    EXPECT_EQ(set, (IntervalSet{{-3, -1}, {1, 6}, {10, 12}}));
    // Swallows the middle interval and extends the last one.
    add_interval(set, 0, 11);
    EXPECT_EQ(set, (IntervalSet{{-3, -1}, {0, 12}}));
    // Inside an existing interval: nothing changes.
    add_interval(set, 2, 3);
    EXPECT_EQ(set, (IntervalSet{{-3, -1}, {0, 12}}));
    add_interval(set, -1, 0);
    EXPECT_EQ(set, (IntervalSet{{-3, 12}}));
}

TEST(AddInterval, AgreesWithASetOfValues) {
    std::mt19937 random{7};
    std::uniform_int_distribution<int> value{-20, 20};
    std::uniform_int_distribution<int> length{1, 6};
    for (int round = 0; round < 300; ++round) {
        IntervalSet set;
        std::set<int> values;
        for (int i = 0; i < 6; ++i) {
            int lower = value(random);
            int upper = lower + length(random);
            add_interval(set, lower, upper);
            for (int v = lower; v < upper; ++v) {
                values.insert(v);
            }
        }
        std::set<int> covered;
        value_t previous_upper = -1000;
        for (auto [lower, upper] : set) {
            ASSERT_LT(lower, upper);
            ASSERT_LT(previous_upper, lower) << "intervals touch or overlap";
            previous_upper = upper;
            for (int v = lower; v < upper; ++v) {
                covered.insert(v);
            }
        }
        ASSERT_EQ(covered, values);
    }
}

} // namespace
