#include "control/configuration.hpp"

#include <gtest/gtest.h>

#include <string>

namespace Gondra::Control {
namespace {

std::string error_of(auto&& action) {
    try {
        action();
    } catch (std::exception const& e) {
        return e.what();
    }
    return "";
}

TEST(ConfigurationTest, DefaultsAndTreeShape) {
    Configuration config;
    EXPECT_EQ(config.get("solve.models"), "-1");
    EXPECT_EQ(config.get("solve.threads"), "1");
    EXPECT_EQ(config.get("solve.time_limit"), "0");
    EXPECT_EQ(config.get("solver.seed"), "0");

    EXPECT_EQ(config.type(Configuration::root), Configuration::Map);
    ASSERT_EQ(config.map_size(Configuration::root), 2U);
    EXPECT_STREQ(config.map_subkey_name(Configuration::root, 0), "solve");
    auto solve = config.map_at(Configuration::root, "solve");
    EXPECT_EQ(config.map_at(solve, "models"), config.map_at(Configuration::root, "solve.models"));
    EXPECT_TRUE(config.map_has_subkey(Configuration::root, "solver.seed"));
    EXPECT_FALSE(config.map_has_subkey(Configuration::root, "solve.models.x"));
    EXPECT_FALSE(config.map_has_subkey(Configuration::root, "solve.nothing"));
    EXPECT_EQ(config.path(config.map_at(solve, "threads")), "solve.threads");
    EXPECT_NE(std::string(config.description(solve)), "");
}

TEST(ConfigurationTest, WritesAreValidatedAndCanonical) {
    Configuration config;
    config.set("solve.models", "0");
    EXPECT_EQ(config.get_integer("solve.models"), 0);
    config.set("solve.models", "+07");
    EXPECT_EQ(config.get("solve.models"), "7");
    config.set("solve.time_limit", "2.50");
    EXPECT_EQ(config.get("solve.time_limit"), "2.5");
    EXPECT_DOUBLE_EQ(config.get_double("solve.time_limit"), 2.5);
    config.set("solver.seed", "4294967295");

    EXPECT_EQ(error_of([&] { config.set("solve.models", "abc"); }),
              "invalid value 'abc' for configuration key 'solve.models': an integer is expected");
    EXPECT_EQ(error_of([&] { config.set("solve.threads", "0"); }),
              "invalid value '0' for configuration key 'solve.threads': the integer must be between 1 and 64");
    for (char const* bad : {"", " 1", "1 ", "+-1", "1.0", "99999999999999999999"}) {
        EXPECT_THROW(config.set("solve.threads", bad), std::runtime_error) << bad;
    }
    EXPECT_THROW(config.set("solve.models", "-2"), std::runtime_error);
    EXPECT_THROW(config.set("solve.time_limit", "-1"), std::runtime_error);
    EXPECT_THROW(config.set("solve.time_limit", "inf"), std::runtime_error);
    EXPECT_THROW(config.set("solver.seed", "4294967296"), std::runtime_error);
    // a rejected write keeps the old value
    EXPECT_EQ(config.get("solve.models"), "7");
    EXPECT_EQ(config.get("solve.threads"), "1");
}

TEST(ConfigurationTest, MisuseOfKeysIsReported) {
    Configuration config;
    EXPECT_EQ(error_of([&] { config.map_at(Configuration::root, "solve.model"); }),
              "unknown configuration key 'solve.model'");
    EXPECT_EQ(error_of([&] { config.value_set(Configuration::root, "1"); }),
              "configuration key the root is not a value");
    auto models = config.map_at(Configuration::root, "solve.models");
    EXPECT_EQ(error_of([&] { config.map_size(models); }), "configuration key 'solve.models' is not a map");
    EXPECT_THROW(config.value_get(12345), std::runtime_error);
    EXPECT_THROW(config.array_size(Configuration::root), std::runtime_error);
    EXPECT_THROW(config.map_subkey_name(Configuration::root, 2), std::runtime_error);
}

TEST(ConfigurationTest, LayersAddEntriesArraysAndUnassignedValues) {
    Configuration config;
    auto solver = config.map_at(Configuration::root, "solver");
    auto heuristic = config.add_value(solver, "heuristic", "decision heuristic",
                                      [](std::string_view text) -> std::string {
                                          if (text != "activity" && text != "random") {
                                              throw std::runtime_error("activity or random expected");
                                          }
                                          return std::string(text);
                                      });
    EXPECT_FALSE(config.value_is_assigned(heuristic));
    config.set("solver.heuristic", "random");
    EXPECT_TRUE(config.value_is_assigned(heuristic));
    EXPECT_THROW(config.set("solver.heuristic", "other"), std::runtime_error);

    auto threads = config.add_array(Configuration::root, "thread", "per-thread settings");
    auto first = config.add_map(threads, "", "thread 0");
    config.add_value(first, "restarts", "restart interval", Configuration::integer(1, 1000), "100");
    EXPECT_EQ(config.array_size(threads), 1U);
    EXPECT_EQ(config.array_at(threads, 0), first);
    EXPECT_EQ(config.get("thread.0.restarts"), "100");
    EXPECT_THROW(config.array_at(threads, 1), std::runtime_error);

    EXPECT_THROW(config.add_map(Configuration::root, "solve", "again"), std::logic_error);
    EXPECT_THROW(config.add_map(Configuration::root, "a.b", "dotted"), std::logic_error);
}

} // namespace
} // namespace Gondra::Control
