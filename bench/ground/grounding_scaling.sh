#!/bin/sh
# Builds the grounding benchmark (Release) and grounds growing instances of
# transitive closure and n-queens; the time per ground rule should stay
# roughly flat, i.e. grounding time grows linearly with the output.
# Usage: grounding_scaling.sh [build-dir] [time limit per instance in seconds]
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
limit=${2:-300}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVEX_BENCH=ON >/dev/null
cmake --build "$build" --target ground_bench -j2 >/dev/null
bench=$build/bench/ground/ground_bench
printf '%-10s %5s %12s %10s %10s\n' instance n rules seconds ns/rule
run() {
    timeout "$limit" "$bench" "$1" "$2" || printf '%-10s %5d %12s %10s %10s\n' "$1" "$2" - ">$limit" -
}
for n in 250 500 1000 2000; do run chain $n; done
for n in 25 50 100 200; do run complete $n; done
for n in 25 50 100 200; do run queens $n; done
