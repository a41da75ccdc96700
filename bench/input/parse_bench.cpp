// Parses one generated operator chain, expands its pools (as every program
// the theory rewrites is) and prints the time per operator. Times are CPU
// times of the process, so that a busy machine does not distort them.
//   plus N      p(1+1+...+1).            N binary operators
//   mixed N     p(1-2*3+4/5-...).        alternating + - * / between numbers
//   theory N    &__sum_h{x+x+...+x}<=1.  the same chain as a theory term,
//               parsed with the operator table of its group

#include "input/parser.hpp"
#include "input/theory_term_parser.hpp"
#include "input/unpool.hpp"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

char const* const grammar = "#theory cp { sum_term { - : 3, unary; ** : 2, binary, right; * : 1, binary, left;"
                            " / : 1, binary, left; \\ : 1, binary, left; + : 0, binary, left;"
                            " - : 0, binary, left }; &__sum_h/0 : sum_term, {<=,=,!=,<,>,>=}, sum_term, any }.\n";

std::string chain(std::string const& kind, long n) {
    std::string text;
    if (kind == "theory") text = grammar;
    text += kind == "theory" ? "&__sum_h{x" : "p(1";
    static char const ops[] = {'+', '-', '*', '/'};
    for (long i = 0; i < n; ++i) {
        text += kind == "mixed" ? ops[i % 4] : '+';
        text += kind == "theory" ? "x" : std::to_string(i % 9 + 1);
    }
    text += kind == "theory" ? "} <= 1.\n" : ").\n";
    return text;
}

double cpu_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

} // namespace

int main(int argc, char** argv) {
    using namespace Gondra::Input;
    std::string kind = argc == 3 ? argv[1] : "";
    long n = argc == 3 ? std::atol(argv[2]) : 0;
    if ((kind != "plus" && kind != "mixed" && kind != "theory") || n <= 0) {
        std::fprintf(stderr, "usage: %s plus|mixed|theory N\n", argv[0]);
        return 1;
    }
    std::string text = chain(kind, n);
    double start = cpu_seconds();
    Messages messages;
    auto statements = parse_statements(text, messages);
    if (!messages.empty() || statements.empty()) {
        std::fprintf(stderr, "%s\n", messages.text().c_str());
        return 1;
    }
    for (auto const& s : statements) unpool(s);
    if (kind == "theory") {
        // The grounder parses theory atoms against their declarations the same way.
        TheoryTable theories;
        theories.add(*statements.front());
        auto const& rule = statements.back();
        theories.parse_atom(rule->node(Attribute::Head), TheoryAtomType::Head);
    }
    double seconds = cpu_seconds() - start;
    std::printf("%-8s %9ld %10.3f %10.1f\n", kind.c_str(), n, seconds, seconds * 1e9 / static_cast<double>(n));
    return 0;
}
