// The programs gondra and tarvex run as a user runs them: models with their
// integer values, the result line, JSON output, and the exit codes for
// satisfiable, unsatisfiable and optimal results and for bad input.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs program with args on the program text given as a file, or on
// standard input.
Outcome run(char const* program, std::string const& args, std::string const& text = {}, bool stdin_input = false) {
    static int counter = 0;
    std::string base = ::testing::TempDir() + "/program_test_" + std::to_string(::getpid()) + "_" +
                       std::to_string(counter++);
    std::string input = base + ".lp";
    std::string err = base + ".err";
    std::string command = std::string(program) + " " + args;
    if (!text.empty()) {
        std::ofstream(input) << text;
        command += (stdin_input ? " < " : " ") + input;
    }
    command += " 2>" + err;
    Outcome r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return r;
    }
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        r.out.append(buffer.data(), n);
    }
    int status = ::pclose(pipe);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(err);
    r.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::remove(input.c_str());
    std::remove(err.c_str());
    return r;
}

size_t count(std::string const& text, std::string const& part) {
    size_t n = 0;
    for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1)) {
        ++n;
    }
    return n;
}

TEST(Programs, ShippedScheduleExampleHasSixModelsWithIntegerValues) {
    Outcome r = run(TARVEX_PROGRAM, "--json -n 0 " EXAMPLES_DIR "/schedule.lp");
    EXPECT_EQ(r.code, 10) << r.err;
    EXPECT_NE(r.out.find("\"result\": \"satisfiable\""), std::string::npos) << r.out;
    EXPECT_EQ(count(r.out, "\"atoms\""), 6u) << r.out;
    EXPECT_EQ(count(r.out, "__csp(start(a),"), 6u) << r.out;
    EXPECT_NE(r.out.find("\"exhausted\": true"), std::string::npos) << r.out;
}

TEST(Programs, IntegerObjectiveEndsWithTheOptimum) {
    // Two tasks on one machine and a makespan to minimise: 3 + 2.
    std::string program = R"(
        &dom{0 .. 10} = s(a). &dom{0 .. 10} = s(b). &dom{0 .. 20} = m.
        1 { first(a); first(b) } 1.
        &diff{s(a) - s(b)} <= -3 :- first(a).
        &diff{s(b) - s(a)} <= -2 :- first(b).
        &diff{s(a) - m} <= -3. &diff{s(b) - m} <= -2.
        &minimize{m}.
    )";
    for (char const* threads : {"1", "2"}) {
        Outcome r = run(TARVEX_PROGRAM, std::string("-t ") + threads, program);
        EXPECT_EQ(r.code, 30) << r.out << r.err;
        EXPECT_NE(r.out.find("OPTIMUM FOUND"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Optimization : 5\n"), std::string::npos) << r.out;
    }
}

TEST(Programs, ResultsAndExitCodes) {
    Outcome sat = run(GONDRA_PROGRAM, "-n 0", "{ a; b }. :- a, b.");
    EXPECT_EQ(sat.code, 10) << sat.err;
    EXPECT_EQ(count(sat.out, "Answer:"), 3u) << sat.out;
    EXPECT_NE(sat.out.find("SATISFIABLE"), std::string::npos);

    Outcome unsat = run(TARVEX_PROGRAM, "", "&dom{0 .. 3} = x. &sum{x} >= 4.");
    EXPECT_EQ(unsat.code, 20) << unsat.out << unsat.err;
    EXPECT_NE(unsat.out.find("UNSATISFIABLE"), std::string::npos);

    Outcome optimum = run(GONDRA_PROGRAM, "", "{ a; b }. :- not a, not b. #minimize { 2,a : a; 1,b : b }.");
    EXPECT_EQ(optimum.code, 30) << optimum.err;
    EXPECT_NE(optimum.out.find("Optimization : 1\n"), std::string::npos) << optimum.out;
}

// The integer values of the answers, as "x=v" texts in answer order.
std::vector<std::string> values_of(std::string const& out, std::string const& name) {
    std::vector<std::string> values;
    std::string prefix = "__csp(" + name + ",";
    for (size_t pos = out.find(prefix); pos != std::string::npos; pos = out.find(prefix, pos + 1)) {
        size_t begin = pos + prefix.size();
        values.push_back(name + "=" + out.substr(begin, out.find(')', begin) - begin));
    }
    std::sort(values.begin(), values.end());
    return values;
}

TEST(Programs, UserSyntaxCountsEveryElement) {
    using Values = std::vector<std::string>;
    for (bool stdin_input : {false, true}) {
        SCOPED_TRACE(stdin_input ? "standard input" : "file");
        // Equal elements both count: 2 * x >= 4.
        Outcome twice = run(TARVEX_PROGRAM, "-n 0", "&dom{0..3}=x. &sum{x;x} >= 4.", stdin_input);
        EXPECT_EQ(twice.code, 10) << twice.out << twice.err;
        EXPECT_EQ(values_of(twice.out, "x"), (Values{"x=2", "x=3"})) << twice.out;

        // Every grounding of a condition counts.
        Outcome counted = run(TARVEX_PROGRAM, "-n 0", "p(1..3). &dom{0..5}=x. &sum{1 : p(I)} = x.", stdin_input);
        EXPECT_EQ(counted.code, 10) << counted.out << counted.err;
        EXPECT_EQ(values_of(counted.out, "x"), (Values{"x=3"})) << counted.out;

        Outcome single = run(TARVEX_PROGRAM, "-n 0", "&dom{0..3}=x. &sum{x} >= 2.", stdin_input);
        EXPECT_EQ(single.code, 10) << single.out << single.err;
        EXPECT_EQ(values_of(single.out, "x"), (Values{"x=2", "x=3"})) << single.out;
    }

    // Sums and differences in bodies, in constraints and under negation.
    Outcome bodies = run(TARVEX_PROGRAM, "-n 0", R"(
        &dom{0..3}=x. &dom{0..3}=y.
        :- &sum{x; y} < 5.
        :- &diff{x - y} <= 0.
        :- not &diff{y - x} <= 2.
        big :- &sum{x} = 3.
        #show big/0.
    )");
    EXPECT_EQ(bodies.code, 10) << bodies.out << bodies.err;
    EXPECT_EQ(count(bodies.out, "Answer:"), 1u) << bodies.out;
    EXPECT_EQ(values_of(bodies.out, "x"), (Values{"x=3"})) << bodies.out;
    EXPECT_EQ(values_of(bodies.out, "y"), (Values{"y=2"})) << bodies.out;
    EXPECT_EQ(count(bodies.out, "big"), 1u) << bodies.out;
}

TEST(Programs, BadInputIsReportedWithItsLocation) {
    Outcome syntax = run(GONDRA_PROGRAM, "", "a :- b\n");
    EXPECT_EQ(syntax.code, 1);
    EXPECT_NE(syntax.err.find(".lp:2:1"), std::string::npos) << syntax.err;

    Outcome theory = run(TARVEX_PROGRAM, "", "&sum{x * y * z} <= 3.");
    EXPECT_EQ(theory.code, 1) << theory.out;
    EXPECT_FALSE(theory.err.empty());

    Outcome element = run(TARVEX_PROGRAM, "", "&dom{0..3}=x. &sum{x, 1} >= 1.");
    EXPECT_EQ(element.code, 1) << element.out;
    EXPECT_NE(element.err.find("Invalid Syntax"), std::string::npos) << element.err;

    Outcome option = run(TARVEX_PROGRAM, "--no-such-option", "a.");
    EXPECT_EQ(option.code, 1);
    EXPECT_NE(option.err.find("no-such-option"), std::string::npos) << option.err;

    Outcome missing = run(TARVEX_PROGRAM, "/nonexistent/file.lp");
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("/nonexistent/file.lp"), std::string::npos) << missing.err;
}

} // namespace
