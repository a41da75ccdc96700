// The command lines of both programs: help by level, versions, the gondra
// program's DIMACS and syntax-tree modes with their exit codes.
#include "child_process.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using ChildProcess::ProgramFile;
using ChildProcess::run;

TEST(CommandLine, HelpListsTheModesAndMoreOptionsByLevel) {
    auto basic = run(GONDRA_PROGRAM, {"--help"});
    EXPECT_EQ(basic.code, 0);
    EXPECT_NE(basic.out.find("--dimacs=<file>"), std::string::npos) << basic.out;
    EXPECT_NE(basic.out.find("--print-ast=<file>"), std::string::npos) << basic.out;
    EXPECT_EQ(basic.out.find("--seed"), std::string::npos) << basic.out;
    auto more = run(GONDRA_PROGRAM, {"--help=2"});
    EXPECT_NE(more.out.find("--seed=<n>"), std::string::npos) << more.out;
    EXPECT_NE(more.out.find("--text"), std::string::npos) << more.out;
    // Every level shows what the lower ones show.
    auto all = run(GONDRA_PROGRAM, {"--help=3"});
    for (auto const* help : {&basic.out, &more.out}) {
        for (auto const& line : ChildProcess::lines_after(*help, "  --")) {
            EXPECT_NE(all.out.find("  --" + line), std::string::npos) << line;
        }
    }
    EXPECT_GT(more.out.size(), basic.out.size());
}

TEST(CommandLine, VersionNamesTheProgramAndTheHost) {
    auto host = run(GONDRA_PROGRAM, {"--version"});
    ASSERT_EQ(host.code, 0);
    ASSERT_EQ(host.out.rfind("gondra ", 0), 0u) << host.out;
    std::string host_version = host.out.substr(7, host.out.find('\n') - 7);
    auto theory = run(TARVEX_PROGRAM, {"--version"});
    ASSERT_EQ(theory.code, 0);
    ASSERT_EQ(theory.out.rfind("tarvex ", 0), 0u) << theory.out;
    std::string theory_version = theory.out.substr(7, theory.out.find('\n') - 7);
    EXPECT_NE(theory_version, host_version);
    EXPECT_NE(theory.out.find("gondra " + host_version + "\n"), std::string::npos) << theory.out;
}

TEST(CommandLine, DimacsModeExitsWithTheResult) {
    ProgramFile satisfiable("p cnf 3 2\n1 -2 0\n2 3 0\n", ".cnf");
    ProgramFile unsatisfiable("p cnf 1 2\n1 0\n-1 0\n", ".cnf");
    auto sat = run(GONDRA_PROGRAM, {"--dimacs", satisfiable.path()});
    EXPECT_EQ(sat.code, 10) << sat.err;
    EXPECT_NE(sat.out.find("s SATISFIABLE\nv "), std::string::npos) << sat.out;
    EXPECT_EQ(run(GONDRA_PROGRAM, {"--dimacs=" + unsatisfiable.path()}).code, 20);
    auto piped = run(GONDRA_PROGRAM, {"--dimacs", "-", "-n", "0", "-q"}, {}, satisfiable.path());
    EXPECT_EQ(piped.code, 10) << piped.err;
    EXPECT_NE(piped.out.find("c models 4 "), std::string::npos) << piped.out;
    EXPECT_EQ(piped.out.find("\nv "), std::string::npos) << piped.out;

    ProgramFile broken("p cnf 1 1\n1 x 0\n", ".cnf");
    auto bad = run(GONDRA_PROGRAM, {"--dimacs", broken.path()});
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.err.find(broken.path() + ":2:"), std::string::npos) << bad.err;
    EXPECT_EQ(run(GONDRA_PROGRAM, {"--dimacs", satisfiable.path(), "other.lp"}).code, 1);
}

TEST(CommandLine, PrintAstModePrintsTheStatements) {
    ProgramFile program("a :- b, not c.\n");
    auto r = run(GONDRA_PROGRAM, {"--print-ast", program.path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "a :- b, not c.\n");
}

} // namespace
