// The configuration is made in C++ as the control makes it; everything else
// goes through the C interface.
#include "../../../gondra/src/control/configuration.hpp"
#include "gondra.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Gondra::Control::Configuration;

std::string read(gondra_configuration_t* config, gondra_id_t key) {
    size_t size = 0;
    EXPECT_TRUE(gondra_configuration_value_get_size(config, key, &size));
    std::string buffer(size, '\0');
    EXPECT_TRUE(gondra_configuration_value_get(config, key, buffer.data(), size));
    buffer.pop_back();
    return buffer;
}

TEST(ConfigurationApiTest, ReadAndWriteByMapLookups) {
    Configuration object;
    gondra_configuration_t* config = object.to_c();
    gondra_id_t root = 0, solve = 0, models = 0, threads = 0;
    ASSERT_TRUE(gondra_configuration_root(config, &root));
    ASSERT_TRUE(gondra_configuration_map_at(config, root, "solve", &solve));
    ASSERT_TRUE(gondra_configuration_map_at(config, solve, "models", &models));
    ASSERT_TRUE(gondra_configuration_map_at(config, root, "solve.threads", &threads));
    EXPECT_EQ(read(config, models), "-1");
    ASSERT_TRUE(gondra_configuration_value_set(config, models, "0"));
    EXPECT_EQ(read(config, models), "0");
    EXPECT_EQ(object.get("solve.models"), "0");

    gondra_configuration_type_bitset_t type = 0;
    ASSERT_TRUE(gondra_configuration_type(config, solve, &type));
    EXPECT_EQ(type, static_cast<unsigned>(gondra_configuration_type_map));
    ASSERT_TRUE(gondra_configuration_type(config, models, &type));
    EXPECT_EQ(type, static_cast<unsigned>(gondra_configuration_type_value));
    size_t size = 0;
    ASSERT_TRUE(gondra_configuration_map_size(config, solve, &size));
    EXPECT_EQ(size, 3U);
    char const* name = nullptr;
    ASSERT_TRUE(gondra_configuration_map_subkey_name(config, solve, 2, &name));
    EXPECT_STREQ(name, "time_limit");
    bool flag = false;
    ASSERT_TRUE(gondra_configuration_map_has_subkey(config, root, "solver.seed", &flag));
    EXPECT_TRUE(flag);
    ASSERT_TRUE(gondra_configuration_value_is_assigned(config, threads, &flag));
    EXPECT_TRUE(flag);
    char const* description = nullptr;
    ASSERT_TRUE(gondra_configuration_description(config, threads, &description));
    EXPECT_STREQ(description, "number of solver threads");
}

TEST(ConfigurationApiTest, InvalidWritesAndLookupsFail) {
    Configuration object;
    gondra_configuration_t* config = object.to_c();
    gondra_id_t threads = 0, other = 0;
    ASSERT_TRUE(gondra_configuration_map_at(config, 0, "solve.threads", &threads));
    EXPECT_FALSE(gondra_configuration_value_set(config, threads, "many"));
    EXPECT_EQ(gondra_error_code(), gondra_error_runtime);
    EXPECT_STREQ(gondra_error_message(),
                 "invalid value 'many' for configuration key 'solve.threads': an integer is expected");
    EXPECT_EQ(read(config, threads), "1");
    EXPECT_FALSE(gondra_configuration_map_at(config, 0, "solve.nothing", &other));
    EXPECT_STREQ(gondra_error_message(), "unknown configuration key 'solve.nothing'");
    EXPECT_FALSE(gondra_configuration_value_set(config, 0, "1"));
    size_t size = 0;
    EXPECT_FALSE(gondra_configuration_array_size(config, 0, &size));
    char tiny[1];
    EXPECT_FALSE(gondra_configuration_value_get(config, threads, tiny, sizeof(tiny)));
    EXPECT_FALSE(gondra_configuration_value_set(config, threads, nullptr));
}

} // namespace
