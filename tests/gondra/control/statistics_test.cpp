#include "control/statistics.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace Gondra::Control {
namespace {

using Type = Statistics::Type;

TEST(StatisticsTest, BuildsMapsArraysAndValues) {
    Statistics stats;
    auto root = stats.root();
    EXPECT_EQ(stats.type(root), Type::Map);
    auto theory = stats.map_add_subkey(root, "Theory", Type::Map);
    auto cost = stats.map_add_subkey(theory, "Cost", Type::Value);
    stats.value_set(cost, -3.5);
    // adding an entry again returns it with its value
    EXPECT_EQ(stats.map_add_subkey(theory, "Cost", Type::Value), cost);
    EXPECT_EQ(stats.value_get(cost), -3.5);
    EXPECT_THROW(stats.map_add_subkey(theory, "Cost", Type::Map), std::runtime_error);

    auto threads = stats.map_add_subkey(theory, "Thread", Type::Array);
    for (int i = 0; i < 3; ++i) {
        auto entry = stats.array_push(threads, Type::Map);
        stats.value_set(stats.map_add_subkey(entry, "Time", Type::Value), i);
    }
    ASSERT_EQ(stats.array_size(threads), 3U);
    EXPECT_EQ(stats.value_get(stats.map_at(stats.array_at(threads, 2), "Time")), 2.0);
    EXPECT_THROW(stats.array_at(threads, 3), std::runtime_error);

    EXPECT_EQ(stats.map_size(theory), 2U);
    EXPECT_STREQ(stats.map_subkey_name(theory, 1), "Thread");
    EXPECT_TRUE(stats.map_has_subkey(theory, "Cost"));
    EXPECT_FALSE(stats.map_has_subkey(theory, "cost"));
    EXPECT_THROW(stats.map_at(theory, "missing"), std::runtime_error);
    EXPECT_THROW(stats.value_set(theory, 1), std::runtime_error);
    EXPECT_THROW(stats.array_push(theory, Type::Value), std::runtime_error);
    EXPECT_THROW(stats.map_add_subkey(theory, "x", Type::Empty), std::runtime_error);
}

TEST(StatisticsTest, KeysOfOtherTreesOrBeforeClearAreRejected) {
    Statistics step;
    Statistics total;
    auto key = step.map_add_subkey(step.root(), "a", Type::Value);
    EXPECT_THROW(total.value_set(key, 1), std::runtime_error);
    EXPECT_NE(step.root(), total.root());
    step.clear();
    EXPECT_THROW(step.value_get(key), std::runtime_error);
    EXPECT_EQ(step.map_size(step.root()), 0U);
    EXPECT_THROW(step.type(step.root() + 7), std::runtime_error);
}

TEST(StatisticsTest, DottedPathsAndJson) {
    Statistics stats;
    stats.set("summary.times.total", 1.25);
    stats.set("summary.models", 3);
    stats.set("summary.times.total", 2);
    EXPECT_EQ(stats.get("summary.times.total"), 2.0);
    EXPECT_THROW(stats.get("summary.nothing"), std::runtime_error);
    auto list = stats.map_add_subkey(stats.root(), "list\"", Type::Array);
    stats.value_set(stats.array_push(list, Type::Value), 0.5);
    stats.array_push(list, Type::Map);

    std::ostringstream out;
    stats.write_json(out);
    EXPECT_EQ(out.str(), "{\n"
                         "  \"summary\": {\n"
                         "    \"times\": {\n"
                         "      \"total\": 2\n"
                         "    },\n"
                         "    \"models\": 3\n"
                         "  },\n"
                         "  \"list\\\"\": [\n"
                         "    0.5,\n"
                         "    {}\n"
                         "  ]\n"
                         "}");
}

} // namespace
} // namespace Gondra::Control
