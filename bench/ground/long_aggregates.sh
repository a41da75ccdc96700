#!/bin/sh
# Builds the grounding benchmark (Release) and grounds one #sum aggregate and
# one theory atom with n = 10^4, 10^5, 10^6 elements; prints the CPU time of
# grounding and of the translation into the solver's problem, and the time
# per element, which should stay roughly flat (linear grounding).
# Usage: long_aggregates.sh [build-dir] [time limit per instance in seconds]
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
limit=${2:-300}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVEX_BENCH=ON >/dev/null
cmake --build "$build" --target ground_bench -j2 >/dev/null
bench=$build/bench/ground/ground_bench
printf '%-10s %8s %12s %12s %12s\n' instance n ground-s translate-s ns/element
for kind in sum sumchoice theory; do
    for n in 10000 100000 1000000; do
        timeout "$limit" "$bench" $kind $n || printf '%-10s %8d %12s\n' $kind $n ">$limit"
    done
done
