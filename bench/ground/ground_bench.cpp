// Grounds a generated transitive-closure or n-queens instance and prints
// the number of ground rules and the time per rule.

#include "ground/grounder.hpp"
#include "input/parser.hpp"
#include "input/program.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    using namespace Gondra;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s closure|queens N\n", argv[0]);
        return 1;
    }
    std::string kind = argv[1];
    int n = std::atoi(argv[2]);
    std::string text;
    if (kind == "closure") {
        text = "e(X,X+1) :- X = 1..n. p(X,Y) :- e(X,Y). p(X,Z) :- p(X,Y), e(Y,Z).";
    } else {
        text = "{ q(I,J) : J = 1..n } = 1 :- I = 1..n.\n"
               ":- q(I,J), q(I2,J), I < I2.\n"
               ":- q(I,J), q(I2,J2), I < I2, I2 - I = |J2 - J|.\n";
    }
    Input::Messages messages;
    Input::Program program;
    for (auto const& st : Input::parse_statements(text, messages)) program.add(st);
    Ground::Logger logger;
    Ground::Grounder grounder{logger};
    Ground::GroundProgram out;
    Ground::Part base{"base", {}};
    Ground::GroundOptions options;
    options.constants.emplace_back("n", Symbols::Symbol::create_number(n));
    auto start = std::chrono::steady_clock::now();
    grounder.ground(program, std::span<Ground::Part const>{&base, 1}, options, out);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s n=%d rules=%zu time=%.3fs ns/rule=%.1f\n", kind.c_str(), n, out.rules.size(), seconds,
                1e9 * seconds / static_cast<double>(out.rules.size()));
    return 0;
}
