// What the programs print as the search goes: models streamed with constant
// memory, "Solving..." only once the theory is initialised, a failed run when
// the output cannot be written, and both statistics trees.
#include "child_process.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <string>

namespace {

using ChildProcess::count;
using ChildProcess::lines_after;
using ChildProcess::ProgramFile;
using ChildProcess::run;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

TEST(Output, MillionModelsStreamInConstantMemory) {
    // 2^20 models (2^14 under the sanitizers, whose own memory is not
    // measured); q is shown in half of them.
    int atoms = sanitized ? 14 : 20;
    std::string count = std::to_string(1 << atoms);
    ProgramFile program("{ p(1.." + std::to_string(atoms) + ") }. q :- p(1). #show q/0.");
    for (bool json : {false, true}) {
        ChildProcess::Options options;
        options.out_limit = 1 << 16;
        std::vector<std::string> args{"-n", "0", "--stats", program.path()};
        if (json) args.insert(args.begin(), "--json");
        auto r = run(GONDRA_PROGRAM, args, options);
        ASSERT_EQ(r.code, 10) << r.err;
        if (json) {
            EXPECT_NE(r.out.find("\"costs\": []}\n  ],\n  \"result\": \"satisfiable\""), std::string::npos);
            EXPECT_NE(r.out.find("\"enumerated\": " + count + ","), std::string::npos) << r.out;
        } else {
            EXPECT_NE(r.out.find("Models       : " + count + "\n"), std::string::npos) << r.out;
        }
        if (!sanitized) {
            EXPECT_LT(r.peak_rss_kb, 50 * 1024) << (json ? "JSON" : "text");
        }
    }
}

TEST(Output, IntegerModelsStreamInBoundedMemory) {
    // 2^20 assignments of two integer variables (2^12 under the sanitizers).
    int values = sanitized ? 64 : 1024;
    std::string count = std::to_string(values * values);
    ProgramFile program("&dom{1.." + std::to_string(values) + "} = x. &dom{1.." + std::to_string(values) +
                        "} = y.");
    ChildProcess::Options options;
    options.out_limit = 1 << 16;
    auto r = run(TARVEX_PROGRAM, {"-n", "0", program.path()}, options);
    ASSERT_EQ(r.code, 10) << r.err;
    EXPECT_NE(r.out.find("Models       : " + count + "\n"), std::string::npos) << r.out;
    if (!sanitized) {
        EXPECT_LT(r.peak_rss_kb, 50 * 1024);
    }
}

TEST(Output, SolvingIsPrintedOnlyOnceTheTheoryIsInitialised) {
    for (char const* text :
         {"&sum{x} <= 5/0.", "&sum{2147483647*x; 2147483647*y} <= 4.", "&sum{x * y * z} <= 3."}) {
        ProgramFile program(text);
        for (char const* format : {"--stats", "--json"}) {
            auto r = run(TARVEX_PROGRAM, {format, program.path()});
            EXPECT_EQ(r.code, 1) << text << r.out;
            EXPECT_EQ(r.out, "") << text;
            EXPECT_EQ(r.err.rfind("tarvex: ", 0), 0u) << r.err;
        }
    }
    ProgramFile fine("&dom{1..2} = x.");
    auto r = run(TARVEX_PROGRAM, {fine.path()});
    EXPECT_EQ(r.code, 10);
    EXPECT_EQ(r.out.rfind("Solving...\nAnswer: 1\n", 0), 0u) << r.out;
}

TEST(Output, SyntaxErrorsArePrintedOnce) {
    ProgramFile program("a :- b\nc :- .\n");
    for (char const* binary : {GONDRA_PROGRAM, TARVEX_PROGRAM}) {
        auto r = run(binary, {program.path()});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(count(r.err, program.path() + ":2:1"), 1u) << binary << "\n" << r.err;
        EXPECT_EQ(count(r.err, "parsing failed"), 0u) << r.err;
    }
}

TEST(Output, OutputThatCannotBeWrittenFailsTheRun) {
    // 2^40 models: only stopping at the first failed write ends the run.
    ProgramFile program("{ p(1..40) }. &dom{0..1} = x.");
    ProgramFile messages("", ".err");
    for (std::string format : {"", " --json", " --stats"}) {
        std::string command = std::string(TARVEX_PROGRAM) + " -n 0" + format + " " + program.path() +
                              " > /dev/full 2> " + messages.path();
        int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << command;
        EXPECT_EQ(WEXITSTATUS(status), 1) << command;
        std::ifstream file(messages.path());
        std::string err{std::istreambuf_iterator<char>(file), {}};
        EXPECT_EQ(err, "tarvex: cannot write the output: No space left on device\n") << command;
    }
}

// The digits that follow the key in text (after the padding and " : " of a
// text line, or after '": ' in JSON) up to the end of the value; empty when
// anything but digits stands there.
std::string integer_after(std::string const& text, std::string const& key, char const* separator) {
    size_t at = text.find(key);
    if (at == std::string::npos) return {};
    at = text.find(separator, at + key.size());
    if (at == std::string::npos) return {};
    at += std::string(separator).size();
    size_t end = text.find_first_of(",\n", at);
    std::string value = text.substr(at, end - at);
    bool digits = !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
    return digits ? value : std::string{};
}

TEST(Output, StatisticsShowBothTreesWithIntegersAsIntegers) {
    // 2^17 models take over a million propagations.
    ProgramFile program("{ p(1..17) }. #show.");
    auto r = run(GONDRA_PROGRAM, {"-n", "0", "--stats", program.path()});
    ASSERT_EQ(r.code, 10) << r.err;
    size_t step = r.out.find("Step statistics:");
    size_t accumulated = r.out.find("Accumulated statistics:");
    ASSERT_NE(step, std::string::npos) << r.out;
    ASSERT_NE(accumulated, std::string::npos) << r.out;
    for (size_t start : {step, accumulated}) {
        std::string tree = r.out.substr(start, start == step ? accumulated - step : std::string::npos);
        std::string propagations = integer_after(tree, "\nsolving.solvers.propagations", " : ");
        ASSERT_FALSE(propagations.empty()) << tree;
        EXPECT_GT(std::stod(propagations), 1e6);
        EXPECT_EQ(integer_after(tree, "\nsummary.models.enumerated", " : "), "131072") << tree;
    }

    auto json = run(GONDRA_PROGRAM, {"-n", "0", "--json", "--stats", program.path()});
    ASSERT_EQ(json.code, 10) << json.err;
    size_t json_step = json.out.find("\"statistics\": {\n    \"step\": {");
    size_t json_accumulated = json.out.find(",\n    \"accumulated\": {");
    ASSERT_NE(json_step, std::string::npos) << json.out;
    ASSERT_NE(json_accumulated, std::string::npos) << json.out;
    std::string step_tree = json.out.substr(json_step, json_accumulated - json_step);
    std::string accumulated_tree = json.out.substr(json_accumulated);
    for (std::string const& tree : {step_tree, accumulated_tree}) {
        EXPECT_EQ(integer_after(tree, "\"enumerated\"", ": "), "131072") << tree;
        EXPECT_GE(integer_after(tree, "\"propagations\"", ": ").size(), 7u) << tree;
    }
    EXPECT_EQ(json.out.substr(json.out.size() - 8), "}\n  }\n}\n");
}

} // namespace
