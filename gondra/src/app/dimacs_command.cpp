#include "app/dimacs_command.hpp"

#include "app/interrupt_signals.hpp"
#include "solve/dimacs_reader.hpp"
#include "solve/solver_set.hpp"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

namespace Gondra::App {

namespace {

void stop_search(void* set) { static_cast<Solve::SolverSet*>(set)->interrupt(); }

} // namespace

int run_dimacs(DimacsOptions const& options) {
    InterruptSignals signals;
    Solve::SolverSet set;
    Solve::DimacsInfo info;
    std::string error;
    bool ok = false;
    try {
        if (options.file == "-") {
            std::string text{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
            ok = Solve::DimacsReader::parse(text, "<stdin>", set.problem(), info, error);
        } else {
            ok = Solve::DimacsReader::read_file(options.file, set.problem(), info, error);
        }
    } catch (std::exception const& e) {
        error = options.file + ": error: " + e.what();
    }
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("c gondra: %u variables, %zu clauses\n", info.variables, info.clauses);
    Solve::SolveOptions solve_options;
    solve_options.threads = options.threads;
    solve_options.time_limit = options.time_limit;
    solve_options.models = options.models;
    solve_options.seed = options.seed;
    auto handler = [&](Solve::Model const& model) {
        if (!options.print_model) {
            return true;
        }
        std::string out = model.number() == 1 ? "s SATISFIABLE\nv" : "v";
        for (uint32_t v = 1; v <= info.variables; ++v) {
            auto lit = static_cast<int32_t>(v + 1);
            out += model.is_true(lit) ? " " : " -";
            out += std::to_string(v);
        }
        out += " 0\n";
        std::fputs(out.c_str(), stdout);
        return true;
    };
    signals.watch(stop_search, &set);
    auto summary = set.solve(solve_options, handler);
    signals.watch(nullptr);
    auto const& st = summary.statistics;
    std::printf("c models %llu choices %llu conflicts %llu restarts %llu propagations %llu learnt %llu "
                "deleted %llu\n",
                static_cast<unsigned long long>(summary.models), static_cast<unsigned long long>(st.choices),
                static_cast<unsigned long long>(st.conflicts), static_cast<unsigned long long>(st.restarts),
                static_cast<unsigned long long>(st.propagations),
                static_cast<unsigned long long>(st.learnt_clauses),
                static_cast<unsigned long long>(st.deleted_clauses));
    std::printf("c average learnt length %.1f\n",
                st.learnt_clauses ? double(st.learnt_literals) / double(st.learnt_clauses) : 0.0);
    switch (summary.status) {
    case Solve::SolveStatus::satisfiable:
    case Solve::SolveStatus::optimum:
        if (!options.print_model) {
            std::printf("s SATISFIABLE\n");
        }
        return 10;
    case Solve::SolveStatus::unsatisfiable:
        std::printf("s UNSATISFIABLE\n");
        return 20;
    case Solve::SolveStatus::error:
        std::fprintf(stderr, "error: %s\n", summary.failure.message.c_str());
        return 2;
    case Solve::SolveStatus::unknown:
        break;
    }
    std::printf("s UNKNOWN\n");
    return 0;
}

} // namespace Gondra::App
