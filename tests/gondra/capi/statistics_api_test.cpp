// The trees are made in C++ as the control makes them; everything else goes
// through the C interface, as the theory library uses it.
#include "../../../gondra/src/control/statistics.hpp"
#include "gondra.h"

#include <gtest/gtest.h>

namespace {

using Gondra::Control::Statistics;

TEST(StatisticsApiTest, PublishesASubtreeAndOverwritesOnRepeat) {
    Statistics tree;
    gondra_statistics_t* stats = tree.to_c();
    for (int round = 0; round < 2; ++round) {
        uint64_t root = 0, theory = 0, total = 0, threads = 0;
        ASSERT_TRUE(gondra_statistics_root(stats, &root));
        ASSERT_TRUE(gondra_statistics_map_add_subkey(stats, root, "Theory", gondra_statistics_type_map, &theory));
        ASSERT_TRUE(gondra_statistics_map_add_subkey(stats, theory, "Total", gondra_statistics_type_value, &total));
        ASSERT_TRUE(gondra_statistics_value_set(stats, total, 10.0 + round));
        ASSERT_TRUE(
            gondra_statistics_map_add_subkey(stats, theory, "Thread", gondra_statistics_type_array, &threads));
        size_t size = 0;
        ASSERT_TRUE(gondra_statistics_array_size(stats, threads, &size));
        for (; size < 2; ++size) {
            uint64_t element = 0;
            ASSERT_TRUE(gondra_statistics_array_push(stats, threads, gondra_statistics_type_map, &element));
        }
        uint64_t second = 0, value = 0;
        ASSERT_TRUE(gondra_statistics_array_at(stats, threads, 1, &second));
        ASSERT_TRUE(gondra_statistics_map_add_subkey(stats, second, "Undo", gondra_statistics_type_value, &value));
        ASSERT_TRUE(gondra_statistics_value_set(stats, value, 0.25 * round));
    }
    EXPECT_EQ(tree.get("Theory.Total"), 11.0);
    uint64_t root = 0, theory = 0, threads = 0;
    ASSERT_TRUE(gondra_statistics_root(stats, &root));
    ASSERT_TRUE(gondra_statistics_map_at(stats, root, "Theory", &theory));
    size_t size = 0;
    ASSERT_TRUE(gondra_statistics_map_size(stats, theory, &size));
    EXPECT_EQ(size, 2U);
    char const* name = nullptr;
    ASSERT_TRUE(gondra_statistics_map_subkey_name(stats, theory, 1, &name));
    EXPECT_STREQ(name, "Thread");
    bool has = true;
    ASSERT_TRUE(gondra_statistics_map_has_subkey(stats, theory, "Cost", &has));
    EXPECT_FALSE(has);
    ASSERT_TRUE(gondra_statistics_map_at(stats, theory, "Thread", &threads));
    ASSERT_TRUE(gondra_statistics_array_size(stats, threads, &size));
    EXPECT_EQ(size, 2U);
    gondra_statistics_type_t type = -1;
    ASSERT_TRUE(gondra_statistics_type(stats, threads, &type));
    EXPECT_EQ(type, gondra_statistics_type_array);
    uint64_t element = 0, undo = 0;
    ASSERT_TRUE(gondra_statistics_array_at(stats, threads, 1, &element));
    ASSERT_TRUE(gondra_statistics_map_at(stats, element, "Undo", &undo));
    double value = 0;
    ASSERT_TRUE(gondra_statistics_value_get(stats, undo, &value));
    EXPECT_EQ(value, 0.25);
}

TEST(StatisticsApiTest, FailuresReportRuntimeErrors) {
    Statistics tree;
    gondra_statistics_t* stats = tree.to_c();
    uint64_t root = 0, sub = 0;
    ASSERT_TRUE(gondra_statistics_root(stats, &root));
    EXPECT_FALSE(gondra_statistics_value_set(stats, root, 1.0));
    EXPECT_EQ(gondra_error_code(), gondra_error_runtime);
    EXPECT_STREQ(gondra_error_message(), "statistics entry is a map, not a value");
    EXPECT_FALSE(gondra_statistics_map_add_subkey(stats, root, "x", gondra_statistics_type_empty, &sub));
    EXPECT_FALSE(gondra_statistics_map_add_subkey(stats, root, "x", 17, &sub));
    ASSERT_TRUE(gondra_statistics_map_add_subkey(stats, root, "x", gondra_statistics_type_value, &sub));
    EXPECT_FALSE(gondra_statistics_map_add_subkey(stats, root, "x", gondra_statistics_type_array, &sub));
    EXPECT_FALSE(gondra_statistics_array_push(stats, root, gondra_statistics_type_value, &sub));
    EXPECT_FALSE(gondra_statistics_map_at(stats, root, "missing", &sub));
    EXPECT_FALSE(gondra_statistics_value_get(stats, root + 1000, nullptr));
    EXPECT_FALSE(gondra_statistics_root(nullptr, &root));
}

} // namespace
