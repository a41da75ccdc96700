// The parser is made in C++ as the command-line program makes it; options are
// added through the C interface, as the theory library adds them.
#include "../../../gondra/src/control/options.hpp"
#include "gondra.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Gondra::Control::OptionError;
using Gondra::Control::Options;

bool parse_limit(char const* value, void* data) {
    std::string text = value;
    if (text == "fail-with-message") {
        gondra_set_error(gondra_error_runtime, "number expected");
        return false;
    }
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    static_cast<std::vector<std::string>*>(data)->push_back(text);
    return true;
}

std::string error_of(Options& options, std::vector<char const*> const& args) {
    try {
        options.parse(args);
    } catch (OptionError const& e) {
        return e.what();
    }
    return "";
}

TEST(OptionsApiTest, CallbacksFlagsAndMessages) {
    Options options;
    std::vector<std::string> limits;
    bool check = false;
    ASSERT_TRUE(gondra_options_add(options.to_c(), "CSP Options", "limit,@2", "A limit", parse_limit, &limits, true,
                                   "<n>"));
    ASSERT_TRUE(gondra_options_add_flag(options.to_c(), "CSP Options", "check,k", "A check", &check));
    auto rest = options.parse(std::vector<char const*>{"--limit=3", "-k", "--limit", "4", "f.lp"});
    EXPECT_EQ(limits, (std::vector<std::string>{"3", "4"}));
    EXPECT_TRUE(check);
    EXPECT_EQ(rest, std::vector<std::string>{"f.lp"});
    EXPECT_EQ(error_of(options, {"--limit=x"}), "invalid value 'x' for option '--limit'");
    EXPECT_EQ(error_of(options, {"--limit=fail-with-message"}),
              "invalid value 'fail-with-message' for option '--limit': number expected");
    EXPECT_EQ(options.help(1).find("--limit"), std::string::npos);
    EXPECT_NE(options.help(2).find("--limit=<n>"), std::string::npos);
}

TEST(OptionsApiTest, BadRegistrationsFail) {
    Options options;
    bool flag = false;
    EXPECT_FALSE(gondra_options_add_flag(options.to_c(), "G", "x", "", nullptr));
    EXPECT_FALSE(gondra_options_add(options.to_c(), "G", "y", "", nullptr, nullptr, false, nullptr));
    ASSERT_TRUE(gondra_options_add_flag(options.to_c(), "G", "x", nullptr, &flag));
    EXPECT_FALSE(gondra_options_add_flag(options.to_c(), "G", "x", "", &flag));
    EXPECT_EQ(gondra_error_code(), gondra_error_logic);
    EXPECT_STREQ(gondra_error_message(), "option '--x' already exists");
    EXPECT_FALSE(gondra_options_add_flag(nullptr, "G", "z", "", &flag));
}

} // namespace
