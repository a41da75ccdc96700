// SIGTERM and SIGINT stop a running optimisation: the program still prints
// the best model found and its summary, and exits as satisfiable.
#include "child_process.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using ChildProcess::lines_after;
using ChildProcess::ProgramFile;
using ChildProcess::run;

// Each model raises x by one: the optimum is a billion models away (on one
// thread, which tries small values first).
char const* const endless = "&dom{0..1000000000} = x. &maximize{x}.";
// The optimum (one hole with two pigeons) comes soon; its proof takes hours.
char const* const pigeons = "pigeon(1..12). hole(1..11). 1 { in(P,H) : hole(H) } 1 :- pigeon(P). "
                            "clash(H) :- in(P,H), in(Q,H), P < Q. #minimize { 1,H : clash(H) }.";

TEST(Interrupt, SignalsStopTheSearchAndKeepTheBestModel) {
    ProgramFile theory(endless);
    ProgramFile host(pigeons);
    struct Case {
        char const* program;
        std::string const& path;
        char const* threads;
    };
    for (int signal : {SIGTERM, SIGINT}) {
        for (auto const& [program, path, threads] :
             {Case{TARVEX_PROGRAM, theory.path(), "1"}, Case{GONDRA_PROGRAM, host.path(), "1"},
              Case{GONDRA_PROGRAM, host.path(), "2"}}) {
            ChildProcess::Options options;
            options.signal = signal;
            options.signal_after = "Optimization: ";
            auto r = run(program, {"-t", threads, path}, options);
            ASSERT_TRUE(r.signal_sent) << r.out << r.err;
            EXPECT_EQ(r.signal, 0) << "ended by signal " << r.signal;
            EXPECT_EQ(r.code, 10) << r.err;
            auto shown = lines_after(r.out, "Optimization: ");
            auto summary = lines_after(r.out, "Optimization : ");
            ASSERT_FALSE(shown.empty()) << r.out;
            ASSERT_EQ(summary.size(), 1u) << r.out;
            EXPECT_EQ(summary[0], shown.back());
            EXPECT_NE(r.out.find("\nSATISFIABLE\n\nModels       : " + std::to_string(shown.size()) + "+\n"),
                      std::string::npos)
                << r.out.substr(r.out.rfind("Answer:"));
            EXPECT_NE(r.out.find("Interrupted  : yes\n"), std::string::npos);
        }
    }
}

TEST(Interrupt, JsonDocumentIsClosedAfterASignal) {
    ProgramFile program(endless);
    ChildProcess::Options options;
    options.signal = SIGTERM;
    options.signal_after = "\"costs\"";
    auto r = run(TARVEX_PROGRAM, {"--json", program.path()}, options);
    ASSERT_TRUE(r.signal_sent) << r.out << r.err;
    EXPECT_EQ(r.code, 10) << r.err;
    EXPECT_NE(r.out.find("\"result\": \"satisfiable\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"interrupted\": true"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "}\n");
}

} // namespace
