// Propagation throughput of one thread solver on a large random linear
// system: decisions on order literals, each propagated to a fixpoint together
// with everything its clauses imply (unit propagation in process), then
// undone.

#include "tarvex/solver/random_search.hpp"

#include <benchmark/benchmark.h>

namespace {

void propagate_random_system(benchmark::State& state) {
    auto variables = static_cast<std::size_t>(state.range(0));
    Tarvex::TestSupport::RandomSearch search{11, variables, variables * 3 / 2, 8, variables};
    search.round();
    std::size_t decisions = 0;
    std::size_t clauses = search.cc.clauses_added;
    std::size_t literals = search.implications();
    for (auto _ : state) {
        decisions += search.round();
    }
    state.counters["decisions/s"] = benchmark::Counter(static_cast<double>(decisions), benchmark::Counter::kIsRate);
    // Literals handed to the solver: decisions and what they implied.
    state.counters["propagations/s"] =
        benchmark::Counter(static_cast<double>(search.implications() - literals), benchmark::Counter::kIsRate);
    state.counters["clauses/s"] =
        benchmark::Counter(static_cast<double>(search.cc.clauses_added - clauses), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(propagate_random_system)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
