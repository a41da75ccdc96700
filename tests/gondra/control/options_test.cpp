#include "control/configuration.hpp"
#include "control/options.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Gondra::Control {
namespace {

std::vector<std::string> parse(Options& options, std::vector<char const*> const& args) {
    return options.parse(args);
}

std::string error_of(Options& options, std::vector<char const*> const& args) {
    try {
        options.parse(args);
    } catch (OptionError const& e) {
        return e.what();
    }
    return "";
}

struct Fixture : ::testing::Test {
    Options options;
    bool flag = false;
    bool on = true;
    std::vector<std::string> values;
    std::string level;

    Fixture() {
        options.add_flag("Group A", "flag,f", "A flag", &flag);
        options.add_flag("Group A", "on", "Defaults to true", &on);
        options.add(
            "Group B", "value,x", "A multi option",
            [this](std::string_view v) {
                values.emplace_back(v);
                return v != "bad";
            },
            true, "<v>");
        options.add(
            "Group A", "level,@2", "A hidden option",
            [this](std::string_view v) {
                if (v == "throw") {
                    throw std::invalid_argument("number expected");
                }
                level = v;
                return true;
            },
            false, "<n>");
    }
};

TEST_F(Fixture, FormsOfValuesAliasesAndPositionals) {
    auto files = parse(options, {"a.lp", "-f", "--value=1", "--value", "-2", "-x3", "-x", "4", "-", "--level=5",
                                 "--on=no", "--", "--flag"});
    EXPECT_TRUE(flag);
    EXPECT_FALSE(on);
    EXPECT_EQ(values, (std::vector<std::string>{"1", "-2", "3", "4"}));
    EXPECT_EQ(level, "5");
    EXPECT_EQ(files, (std::vector<std::string>{"a.lp", "-", "--flag"}));
    EXPECT_TRUE(options.given("level"));
    EXPECT_FALSE(Options{}.given("level"));
}

TEST_F(Fixture, MistakesAreReportedWithTheOption) {
    EXPECT_EQ(error_of(options, {"--nope"}), "unknown option '--nope'");
    EXPECT_EQ(error_of(options, {"-q"}), "unknown option '-q'");
    EXPECT_EQ(error_of(options, {"--value"}), "option '--value' requires a value");
    EXPECT_EQ(error_of(options, {"--flag=maybe"}), "invalid value 'maybe' for option '--flag'");
}

TEST_F(Fixture, RejectedValuesAndRepetitions) {
    EXPECT_EQ(error_of(options, {"-x", "bad"}), "invalid value 'bad' for option '-x'");
    EXPECT_EQ(error_of(options, {"--level=throw"}), "invalid value 'throw' for option '--level': number expected");
    Options fresh;
    std::string seen;
    fresh.add("G", "once", "", [&](std::string_view v) { return seen = v, true; }, false, "<n>");
    EXPECT_EQ(error_of(fresh, {"--once=1", "--once=2"}), "option '--once' given more than once");
    EXPECT_EQ(seen, "1");
}

TEST_F(Fixture, HelpIsGroupedAndFilteredByLevel) {
    std::string help = options.help(1);
    EXPECT_EQ(help, "Group A:\n\n"
                    "  --flag,-f      : A flag\n"
                    "  --on           : Defaults to true\n"
                    "\nGroup B:\n\n"
                    "  --value,-x=<v> : A multi option\n"
                    "");
}

TEST(OptionsTest, HelpLevelsShowMoreOptions) {
    Options options;
    bool b = false;
    options.add_flag("G", "basic", "always shown", &b);
    options.add("G", "expert,@2", "shown from level two on", [](std::string_view) { return true; });
    EXPECT_EQ(options.help(1).find("expert"), std::string::npos);
    EXPECT_NE(options.help(2).find("--expert=<arg>"), std::string::npos);
}

TEST(OptionsTest, InvalidRegistrationsAreLogicErrors) {
    Options options;
    bool b = false;
    options.add_flag("G", "alpha,a", "", &b);
    EXPECT_THROW(options.add_flag("G", "alpha", "", &b), std::logic_error);
    EXPECT_THROW(options.add_flag("G", "beta,a", "", &b), std::logic_error);
    EXPECT_THROW(options.add_flag("G", "gamma,ab", "", &b), std::logic_error);
    EXPECT_THROW(options.add_flag("G", "delta,@x", "", &b), std::logic_error);
    EXPECT_THROW(options.add_flag("G", "", "", &b), std::logic_error);
    EXPECT_THROW(options.add_flag("G", "with space", "", &b), std::logic_error);
    EXPECT_THROW(options.add_flag("G", "epsilon", "", nullptr), std::logic_error);
}

TEST(CommandLineTest, HostOptionsWriteTheConfiguration) {
    Configuration config;
    CommandLine line(config);
    bool extra = false;
    line.options().add_flag("CSP Options", "extra", "An application flag", &extra);
    char const* argv[] = {"prog", "-n", "0", "--threads=4", "--time-limit", "1.5", "--seed=9", "-c", "n=5",
                          "--const", "m=f(1)", "--stats", "--extra", "x.lp", "--help=2"};
    line.parse(static_cast<int>(std::size(argv)), argv);
    EXPECT_EQ(config.get("solve.models"), "0");
    EXPECT_EQ(config.get("solve.threads"), "4");
    EXPECT_EQ(config.get("solve.time_limit"), "1.5");
    EXPECT_EQ(config.get("solver.seed"), "9");
    EXPECT_EQ(line.constants, (std::vector<std::string>{"n=5", "m=f(1)"}));
    EXPECT_TRUE(line.stats);
    EXPECT_FALSE(line.json);
    EXPECT_TRUE(extra);
    EXPECT_EQ(line.help_level, 2U);
    EXPECT_EQ(line.files, std::vector<std::string>{"x.lp"});
    std::string help = line.help();
    EXPECT_LT(help.find("Basic Options:"), help.find("Solving Options:"));
    EXPECT_LT(help.find("Solving Options:"), help.find("CSP Options:"));
    EXPECT_NE(help.find("--help,-h[=<n>]"), std::string::npos);
}

TEST(CommandLineTest, InvalidSettingsNameOptionAndReason) {
    Configuration config;
    CommandLine line(config);
    char const* argv[] = {"prog", "-t", "zero"};
    try {
        line.parse(3, argv);
        FAIL() << "accepted an invalid thread count";
    } catch (OptionError const& e) {
        EXPECT_EQ(std::string(e.what()), "invalid value 'zero' for option '-t': an integer is expected");
    }
    EXPECT_EQ(config.get("solve.threads"), "1");
    char const* help[] = {"prog", "--help"};
    CommandLine other(config);
    other.parse(2, help);
    EXPECT_EQ(other.help_level, 1U);
    char const* bad_help[] = {"prog", "--help=0"};
    EXPECT_THROW(CommandLine(config).parse(2, bad_help), OptionError);
}

TEST(CommandLineTest, ControlArgumentsRejectPositionals) {
    Configuration config;
    std::vector<std::string> constants;
    std::vector<char const*> args = {"-n", "3", "-t", "2", "-c", "k=1"};
    parse_control_arguments(args, config, constants);
    EXPECT_EQ(config.get("solve.models"), "3");
    EXPECT_EQ(config.get("solve.threads"), "2");
    EXPECT_EQ(constants, std::vector<std::string>{"k=1"});
    std::vector<char const*> stray = {"file.lp"};
    EXPECT_THROW(parse_control_arguments(stray, config, constants), OptionError);
    std::vector<char const*> bad_const = {"-c", "novalue"};
    EXPECT_THROW(parse_control_arguments(bad_const, config, constants), OptionError);
}

} // namespace
} // namespace Gondra::Control
