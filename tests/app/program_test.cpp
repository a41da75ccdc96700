// The programs gondra and tarvex run as a user runs them: models with their
// integer values, the result line, JSON output, and the exit codes for
// satisfiable, unsatisfiable and optimal results and for bad input.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
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

// Costs that leave the value range, from the first model on or only once the
// search has got below -1073741823, still end with the proven optimum.
TEST(Programs, ObjectiveBeyondTheValueRangeIsOptimised) {
    struct Case {
        char const* domain;
        char const* optimum;
    };
    for (auto const& c :
         {Case{"-1073741823..-1073741800", "-2147483646"}, Case{"-536870920..-536870900", "-1073741840"}}) {
        std::string program = std::string("&dom{") + c.domain + "} = x. &dom{" + c.domain +
                              "} = y. &minimize{x + y}.";
        Outcome r = run(TARVEX_PROGRAM, "", program);
        EXPECT_EQ(r.code, 30) << r.out << r.err;
        EXPECT_NE(r.out.find(std::string("Optimization : ") + c.optimum + "\n"), std::string::npos) << r.out;
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

TEST(Programs, FuzzedTheoryProgramEnds) {
    // Its first domain has no value; without it, its body equality over
    // free variables of the default range used to run forever.
    std::string const rest = "&dom{0..4} = y.\n{ p0 }.\n"
                             "&__sum_b{g(h(1)) - (-g(h(1073741824))),0; g(h(1)),1} > (-3).\n"
                             "&__sum_h{1\\(-2),0; 3*y,1; (-2) * g(h(1)),2} > 0 :- p0.\n"
                             "q1 :- &__sum_b{(-2) * g(h(11))} != g(h(1))+y*(-3).\n";
    Outcome empty = run(TARVEX_PROGRAM, "-n 1", "&dom{(2+1-1) .. (-2147483648*1); (7)..(5)} = g(h(1)).\n" + rest);
    EXPECT_EQ(empty.code, 20) << empty.out << empty.err;
    Outcome satisfiable = run(TARVEX_PROGRAM, "-n 1", rest);
    EXPECT_EQ(satisfiable.code, 10) << satisfiable.out << satisfiable.err;
    EXPECT_EQ(count(satisfiable.out, "__csp(g(h(1)),"), 1u) << satisfiable.out;

    Outcome show = run(TARVEX_PROGRAM, "-n 0", "&show{x/(-1)}. &dom{0..1} = x.");
    EXPECT_EQ(show.code, 10) << show.err;
    EXPECT_EQ(count(show.out, "Answer:"), 2u) << show.out;
    EXPECT_EQ(count(show.out, "__csp"), 0u) << show.out;
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

TEST(Programs, TheoryErrorsNameTheAtomAndExitWithOne) {
    struct Case {
        char const* atom;
        char const* message;
    };
    for (auto [atom, message] : {Case{"&sum{x ** 2} <= 4.", ".lp:2:3-20: error: Invalid Syntax\n"},
                                 Case{"&sum{x} <= 5/0.", ".lp:2:3-17: error: division by zero\n"},
                                 Case{"&sum{2147483647*x} <= 3.", ".lp:2:3-26: error: value too large\n"}}) {
        SCOPED_TRACE(atom);
        Outcome r = run(TARVEX_PROGRAM, "", std::string("a.\n  ") + atom + "\n");
        EXPECT_EQ(r.code, 1) << r.out;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("Answer"), std::string::npos) << r.out;
    }
}

TEST(Programs, NegativeNumbersAfterOperatorsParse) {
    // x in -2..-1 from the two sums, each with the six pairs a + b <= 2.
    Outcome r = run(TARVEX_PROGRAM, "-n 0", R"(
        p(-2..-1). &dom{-4..-1} = x. &dom{0..3} = a. &dom{0..3} = b.
        &sum{x+-1} >= -3. &sum{3*-x} <= 9. &sum{a--b} <= 2.
    )");
    EXPECT_EQ(r.code, 10) << r.err;
    EXPECT_EQ(count(r.out, "Answer:"), 12u) << r.out;
    EXPECT_EQ(count(r.out, "p(-2) p(-1)"), 12u) << r.out;
    auto expected = std::vector<std::string>(6, "x=-1");
    expected.resize(12, "x=-2");
    EXPECT_EQ(values_of(r.out, "x"), expected) << r.out;
}

TEST(Programs, ExamplesUseTheUserSyntax) {
    for (char const* name : {"schedule.lp", "shift_planning.lp", "budget.lp"}) {
        std::ifstream in(std::string(EXAMPLES_DIR) + "/" + name);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_FALSE(text.empty()) << name;
        EXPECT_EQ(text.find("&__"), std::string::npos) << name;
    }
}

// The atoms of one answer line, sorted.
std::vector<std::string> atoms_of(std::string const& line) {
    std::vector<std::string> atoms;
    size_t begin = 0;
    while (begin < line.size()) {
        size_t end = line.find(' ', begin);
        end = end == std::string::npos ? line.size() : end;
        if (end > begin) {
            atoms.push_back(line.substr(begin, end - begin));
        }
        begin = end + 1;
    }
    std::sort(atoms.begin(), atoms.end());
    return atoms;
}

// Every answer of the output, as sorted atoms.
std::vector<std::vector<std::string>> answers_of(std::string const& out) {
    std::vector<std::vector<std::string>> answers;
    for (size_t pos = out.find("Answer:"); pos != std::string::npos; pos = out.find("Answer:", pos + 1)) {
        size_t begin = out.find('\n', pos) + 1;
        answers.push_back(atoms_of(out.substr(begin, out.find('\n', begin) - begin)));
    }
    return answers;
}

TEST(Programs, ShiftPlanningExampleReachesTheOptimumOfBruteForce) {
    // The example's data: shift lengths and contract hours.
    std::array<int, 6> const length{8, 8, 6, 6, 4, 4};
    std::array<char const*, 4> const people{"ann", "bob", "cat", "dan"};
    std::array<int, 4> const contract{8, 10, 8, 6};
    int best = 1 << 30;
    std::vector<std::vector<std::string>> optimal;
    for (int code = 0; code < 4096; ++code) {
        std::array<int, 4> hours{};
        std::array<int, 4> shifts{};
        std::vector<std::string> model;
        for (int s = 0, rest = code; s < 6; ++s, rest /= 4) {
            hours[rest % 4] += length[s];
            ++shifts[rest % 4];
            model.push_back("works(" + std::string(people[rest % 4]) + "," + std::to_string(s + 1) + ")");
        }
        int over = 0;
        for (int p = 0; p < 4; ++p) {
            over += std::max(0, hours[p] - contract[p]);
            model.push_back("__csp(hours(" + std::string(people[p]) + ")," + std::to_string(hours[p]) + ")");
            model.push_back("__csp(over(" + std::string(people[p]) + ")," +
                            std::to_string(std::max(0, hours[p] - contract[p])) + ")");
            if (shifts[p] >= 2) {
                model.push_back("busy(" + std::string(people[p]) + ")");
            }
        }
        model.push_back("__csp_cost(\"" + std::to_string(over) + "\")");
        std::sort(model.begin(), model.end());
        if (over < best) {
            best = over;
            optimal.clear();
        }
        if (over == best) {
            optimal.push_back(model);
        }
    }
    for (char const* threads : {"1", "3"}) {
        Outcome r = run(TARVEX_PROGRAM, std::string("-t ") + threads + " " EXAMPLES_DIR "/shift_planning.lp");
        EXPECT_EQ(r.code, 30) << r.out << r.err;
        EXPECT_NE(r.out.find("Optimization : " + std::to_string(best) + "\n"), std::string::npos) << r.out;
        // The answers of the optimal cost are optimal plans, with hours,
        // overtime and busy people exactly as brute force computes them.
        // (With threads, a worse model of another thread may come last.)
        std::string cost = "__csp_cost(\"" + std::to_string(best) + "\")";
        size_t found = 0;
        for (auto const& answer : answers_of(r.out)) {
            if (std::find(answer.begin(), answer.end(), cost) != answer.end()) {
                ++found;
                EXPECT_NE(std::find(optimal.begin(), optimal.end(), answer), optimal.end()) << r.out;
            }
        }
        EXPECT_GE(found, 1u) << r.out;
    }
}

TEST(Programs, BudgetExampleHasTheModelsOfBruteForce) {
    std::set<std::vector<std::string>> expected;
    std::array<std::pair<char const*, int>, 3> const items{{{"book", 12}, {"lamp", 30}, {"tea", 4}}};
    for (int mask = 0; mask < 16; ++mask) {
        bool loan = (mask & 8) != 0;
        int bill = loan ? 5 : 0;
        std::vector<std::string> model;
        for (int i = 0; i < 3; ++i) {
            if ((mask >> i) & 1) {
                bill += items[i].second;
                model.push_back("buy(" + std::string(items[i].first) + ")");
            }
        }
        if ((mask & 2) == 0 || (bill > 35 && !loan)) {
            continue;
        }
        if (loan) {
            model.push_back("loan");
        }
        if (bill > 40) {
            model.push_back("expensive");
        }
        model.push_back("__csp(bill," + std::to_string(bill) + ")");
        std::sort(model.begin(), model.end());
        expected.insert(model);
    }
    Outcome r = run(TARVEX_PROGRAM, "-n 0 " EXAMPLES_DIR "/budget.lp");
    EXPECT_EQ(r.code, 10) << r.err;
    auto answers = answers_of(r.out);
    EXPECT_EQ(answers.size(), expected.size()) << r.out;
    EXPECT_EQ(std::set<std::vector<std::string>>(answers.begin(), answers.end()), expected) << r.out;
}

// The theory's options on the command line: accepted values change the run,
// bad ones end it with the reason and exit code 1.
TEST(Programs, TheoryOptionsOnTheCommandLine) {
    std::string program = "&dom{0 .. 2} = x. &dom{0 .. 2} = y. &sum{x; y} <= 2.";
    Outcome kept = run(TARVEX_PROGRAM, "-n 0 --stats --translate-clauses=0 --translate-pb=-1", program);
    EXPECT_EQ(kept.code, 10) << kept.err;
    EXPECT_EQ(count(kept.out, "Answer:"), 6u) << kept.out;
    EXPECT_NE(kept.out.find("Tarvex.Problem.Constraints : 1\n"), std::string::npos) << kept.out;
    Outcome translated = run(TARVEX_PROGRAM, "-n 0 --stats --translate-pb=-1", program);
    EXPECT_EQ(count(translated.out, "Answer:"), 6u) << translated.out;
    EXPECT_NE(translated.out.find("Tarvex.Problem.Constraints : 0\n"), std::string::npos) << translated.out;
    EXPECT_NE(translated.out.find("Tarvex.Translate.Clauses : 2\n"), std::string::npos) << translated.out;

    Outcome threads = run(TARVEX_PROGRAM,
                          "-n 0 -t 2 --order-heuristic=max-chain,1 --sign-value=-,1 --sign-value=+ "
                          "--refine-reasons=no --refine-reasons=yes,0 --split-all=yes --check-state --min-int=-5",
                          "&sum{x; y} <= 1. &sum{x} >= 0. &sum{y} >= 0.");
    EXPECT_EQ(threads.code, 10) << threads.err;
    EXPECT_EQ(count(threads.out, "Answer:"), 3u) << threads.out;

    for (auto [args, reason] : std::vector<std::pair<char const*, char const*>>{
             {"--min-int=abc", "'--min-int': number expected"},
             {"--max-int=1073741824", "'--max-int': invalid argument"},
             {"--translate-opt=ma", "'--translate-opt': number expected"},
             {"--order-heuristic=max,64", "'--order-heuristic': invalid argument"},
             {"--translate-pb=1.5x", "'--translate-pb': number expected"},
             {"--refine-reasons=no --refine-reasons=no", "invalid value 'no' for option '--refine-reasons'"},
             {"--min-int=5 --max-int=4", "min-int must be smaller than or equal to max-int"},
             {"--literals-only=maybe", "'--literals-only'"},
             {"--translate-clauses=10 --translate-clauses=20", "given more than once"}}) {
        Outcome bad = run(TARVEX_PROGRAM, args, "a.");
        EXPECT_EQ(bad.code, 1) << args << ": " << bad.err;
        EXPECT_NE(bad.err.find(reason), std::string::npos) << args << ": " << bad.err;
    }

    Outcome help = run(TARVEX_PROGRAM, "--help");
    EXPECT_NE(help.out.find("CSP Options:"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--translate-clauses=<n>[,<m>]"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("                                        none     : use voskel's heuristic\n"),
              std::string::npos)
        << help.out;
    EXPECT_EQ(help.out.find("--min-int"), std::string::npos) << help.out;
    for (char const* level : {"--help=2", "--help=3"}) {
        Outcome more = run(TARVEX_PROGRAM, level);
        EXPECT_NE(more.out.find("--min-int=<i>"), std::string::npos) << more.out;
        EXPECT_NE(more.out.find("--check-state "), std::string::npos) << more.out;
        EXPECT_NE(more.out.find("Set maximum integer [1073741823]"), std::string::npos) << more.out;
    }
}

} // namespace
