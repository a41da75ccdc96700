// Grounds one generated instance and prints the number of ground rules, the
// grounding time and the time per ground rule. Times are CPU times of the
// process, so that a busy machine does not distort them.
//   chain N     transitive closure of a path 1 -> 2 -> ... -> N (all facts)
//   complete N  transitive closure of a complete graph whose edges are chosen
//               (no facts: every join result is a ground rule)
//   queens N    N queens: one queen per row, column and diagonal constraints
//   sum N       one #sum over N facts; sumchoice N: over N chosen atoms
//   theory N    one theory atom with N elements

#include "ground/grounder.hpp"
#include "ground/program_translator.hpp"
#include "input/parser.hpp"
#include "input/program.hpp"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

char const* program_text(std::string const& kind) {
    if (kind == "chain")
        return "edge(X,X+1) :- X = 1..n-1.\n"
               "path(X,Y) :- edge(X,Y).\n"
               "path(X,Z) :- path(X,Y), edge(Y,Z).\n";
    if (kind == "complete")
        return "{ edge(X,Y) } :- X = 1..n, Y = 1..n, X != Y.\n"
               "path(X,Y) :- edge(X,Y).\n"
               "path(X,Z) :- path(X,Y), edge(Y,Z).\n";
    // One aggregate or theory atom with N elements: the time per element
    // should stay flat.
    if (kind == "sum")
        return "p(1..n).\n"
               ":- #sum{X : p(X)} > 5.\n";
    if (kind == "sumchoice")
        return "{ p(1..n) }.\n"
               ":- #sum{X : p(X)} > 5.\n";
    if (kind == "theory")
        return "#theory t { term { }; &__sum_h/0 : term, {<=}, term, any }.\n"
               "&__sum_h{X : p(X)} <= 5.\n"
               "p(1..n).\n";
    if (kind == "queens")
        return "1 { q(X,Y) : Y = 1..n } 1 :- X = 1..n.\n"
               ":- q(X1,Y), q(X2,Y), X1 < X2.\n"
               ":- q(X1,Y1), X2 = X1+1..n, Y2 = Y1 + X2 - X1, q(X2,Y2).\n"
               ":- q(X1,Y1), X2 = X1+1..n, Y2 = Y1 - X2 + X1, q(X2,Y2).\n";
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    using namespace Gondra;
    char const* text = argc == 3 ? program_text(argv[1]) : nullptr;
    if (text == nullptr) {
        std::fprintf(stderr, "usage: %s chain|complete|queens|sum|sumchoice|theory N\n", argv[0]);
        return 1;
    }
    int n = std::atoi(argv[2]);
    Input::Messages messages;
    Input::Program program;
    for (auto const& st : Input::parse_statements(text, messages))
        program.add(st);
    if (!messages.empty()) {
        std::fprintf(stderr, "%s\n", messages.text().c_str());
        return 1;
    }
    Ground::Logger logger;
    Ground::Grounder grounder{logger};
    Ground::GroundProgram out;
    Ground::Part base{"base", {}};
    Ground::GroundOptions options;
    options.constants.emplace_back("n", Symbols::Symbol::create_number(n));
    auto cpu_seconds = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
    };
    double start = cpu_seconds();
    try {
        grounder.ground(program, std::span<Ground::Part const>{&base, 1}, options, out);
    } catch (Ground::GroundError const& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    double seconds = cpu_seconds() - start;
    std::string kind = argv[1];
    if (kind == "sum" || kind == "sumchoice" || kind == "theory") {
        // Long aggregates and theory atoms: per element, and the translation
        // into the solver's problem as well.
        start = cpu_seconds();
        Solve::SolverSet set;
        Ground::ProgramTranslator translator;
        translator.translate(out, set);
        double translating = cpu_seconds() - start;
        std::printf("%-10s %8d %12.3f %12.3f %12.1f\n", argv[1], n, seconds, translating,
                    1e9 * (seconds + translating) / n);
        return 0;
    }
    std::printf("%-10s %5d %12zu %10.3f %10.1f\n", argv[1], n, out.rules.size(), seconds,
                1e9 * seconds / static_cast<double>(out.rules.size()));
    return 0;
}
