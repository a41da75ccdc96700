// Optimisation as the programs report it: only improving models, on several
// threads too, for the host's objective and for the theory's; a program with
// both objectives is refused; the optimum is counted in the statistics.
#include "child_process.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using ChildProcess::lines_after;
using ChildProcess::ProgramFile;
using ChildProcess::run;

// The costs of the models shown, and that of the summary, which must be the
// last one shown; checks that each model beats the one before.
void expect_improving(ChildProcess::Result const& r, std::string const& optimum) {
    EXPECT_EQ(r.code, 30) << r.out << r.err;
    auto shown = lines_after(r.out, "Optimization: ");
    ASSERT_FALSE(shown.empty()) << r.out;
    for (size_t i = 1; i < shown.size(); ++i) {
        EXPECT_LT(std::stoll(shown[i]), std::stoll(shown[i - 1])) << r.out;
    }
    EXPECT_EQ(shown.back(), optimum) << r.out;
    EXPECT_EQ(lines_after(r.out, "Optimization : "), std::vector<std::string>{optimum}) << r.out;
}

TEST(Objective, ThreadsShowImprovingModelsOnly) {
    // Many models of every cost: the threads keep finding ones that another
    // thread has already beaten.
    ProgramFile host("{ p(1..12) }. :- not 6 #count { X : p(X) }. "
                     "#minimize { (X * 7) \\ 13 + 1, X : p(X) }.");
    ProgramFile theory("&dom{0..40} = x(1). &dom{0..40} = x(2). &dom{0..40} = x(3). "
                       "&sum{x(1) + x(2) + x(3)} >= 45. &minimize{2 * x(1) + 3 * x(2) + 5 * x(3)}.");
    for (int round = 0; round < 4; ++round) {
        std::string seed = std::to_string(round);
        expect_improving(run(GONDRA_PROGRAM, {"-t", "3", "--seed", seed, host.path()}), "27");
        expect_improving(run(TARVEX_PROGRAM, {"-t", "3", "--seed", seed, theory.path()}), "95");
    }
}

TEST(Objective, BothObjectivesAreRefusedBeforeSolving) {
    // b with x = 6 wins under #minimize, a with x = 3 under &minimize.
    ProgramFile program("&dom{0..10} = x. 1 { a; b } 1. &sum{x} >= 3 :- a. &sum{x} >= 6 :- b. "
                        "#minimize { 1,b : b; 2,a : a }. &minimize{x}.");
    for (char const* format : {"--stats", "--json"}) {
        auto r = run(TARVEX_PROGRAM, {format, program.path()});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("#minimize"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("&minimize"), std::string::npos) << r.err;
    }
    // Weak constraints are the host's objective too; an empty &minimize is none.
    ProgramFile weak("&dom{0..3} = x. { a }. :~ a. [1] &maximize{x}.");
    EXPECT_EQ(run(TARVEX_PROGRAM, {weak.path()}).code, 1);
    ProgramFile empty("{ a }. #minimize { 1 : a }. &minimize{}.");
    EXPECT_EQ(run(TARVEX_PROGRAM, {empty.path()}).code, 30);
}

TEST(Objective, ProvenOptimumIsCountedForEitherObjective) {
    ProgramFile host("{ a; b }. :- not a, not b. #minimize { 2,a : a; 1,b : b }.");
    ProgramFile theory("&dom{0..5} = x. &sum{x} >= 2. &minimize{x}.");
    for (auto const* path : {&host.path(), &theory.path()}) {
        auto text = run(TARVEX_PROGRAM, {"--stats", *path});
        EXPECT_EQ(text.code, 30) << text.err;
        auto optimal = lines_after(text.out, "summary.models.optimal");
        EXPECT_EQ(optimal.size(), 2u) << text.out; // step and accumulated
        for (auto const& line : optimal)
            EXPECT_EQ(line.substr(line.find(':')), ": 1") << text.out;

        auto json = run(TARVEX_PROGRAM, {"--json", "--stats", *path});
        EXPECT_EQ(json.code, 30);
        EXPECT_EQ(ChildProcess::count(json.out, "\"optimal\": 1\n"), 2u) << json.out;
        EXPECT_NE(json.out.find("\"result\": \"optimum\""), std::string::npos);
    }
}

// The host's search options reach the search from the command line: on a
// small job shop (ft06, optimum 55) each way to go on after a model and the
// theory's model phases take a search of their own to the same optimum.
TEST(Objective, SearchOptionsOnTheCommandLineChangeTheSearchNotTheOptimum) {
    ProgramFile program(
        "op(0,0,2,1). op(0,1,0,3). op(0,2,1,6). op(0,3,3,7). op(0,4,5,3). op(0,5,4,6). op(1,0,1,8). "
        "op(1,1,2,5). op(1,2,4,10). op(1,3,5,10). op(1,4,0,10). op(1,5,3,4). op(2,0,2,5). op(2,1,3,4). "
        "op(2,2,5,8). op(2,3,0,9). op(2,4,1,1). op(2,5,4,7). op(3,0,1,5). op(3,1,0,5). op(3,2,2,5). "
        "op(3,3,3,3). op(3,4,4,8). op(3,5,5,9). op(4,0,2,9). op(4,1,1,3). op(4,2,4,5). op(4,3,5,4). "
        "op(4,4,0,3). op(4,5,3,1). op(5,0,1,3). op(5,1,3,3). op(5,2,5,9). op(5,3,0,10). op(5,4,4,4). "
        "op(5,5,2,1). horizon(197). &dom{0 .. H} = s(J,I) :- op(J,I,_,_), horizon(H). &dom{0 .. H} = "
        "makespan :- horizon(H). &diff{s(J,I) - s(J,I+1)} <= -D :- op(J,I,_,D), op(J,I+1,_,_). 1 { "
        "before(J,I,K,L); before(K,L,J,I) } 1 :- op(J,I,M,_), op(K,L,M,_), (J,I) < (K,L). &diff{s(J,I) - "
        "s(K,L)} <= -D :- before(J,I,K,L), op(J,I,_,D). &diff{s(J,I) - makespan} <= -D :- op(J,I,_,D), "
        "not op(J,I+1,_,_). &minimize{makespan}. &show{makespan}. #show.");
    std::vector<std::string> choices;
    for (char const* search : {"restart", "restart-block", "walk"}) {
        for (char const* phases : {"yes", "no"}) {
            auto r = run(TARVEX_PROGRAM, {"-t", "1", "--stats", std::string("--opt-search=") + search,
                                          std::string("--model-phases=") + phases, program.path()});
            SCOPED_TRACE(std::string(search) + " " + phases);
            expect_improving(r, "55");
            auto counted = lines_after(r.out, "solving.solvers.choices : ");
            ASSERT_FALSE(counted.empty()) << r.out;
            choices.push_back(counted.front());
        }
    }
    // Options that were dropped on the way would search alike.
    std::sort(choices.begin(), choices.end());
    EXPECT_EQ(std::unique(choices.begin(), choices.end()) - choices.begin(), 6);
}

} // namespace
