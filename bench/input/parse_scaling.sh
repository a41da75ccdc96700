#!/bin/sh
# Builds the parse benchmark (Release) and parses operator chains of 10^4,
# 10^5 and 10^6 operators; the time per operator should stay flat, i.e.
# parsing time grows linearly with the chain.
# Usage: parse_scaling.sh [build-dir]
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVEX_BENCH=ON >/dev/null
cmake --build "$build" --target parse_bench -j2 >/dev/null
bench=$build/bench/input/parse_bench
printf '%-8s %9s %10s %10s\n' chain operators seconds ns/op
for kind in plus mixed theory; do
    for n in 10000 100000 1000000; do "$bench" "$kind" "$n"; done
done
