#!/bin/sh
# Grounds growing instances and prints the time per ground rule; it should
# stay roughly flat (linear growth of grounding time in the output size).
# Usage: grounding_scaling.sh path/to/ground_bench
bench=${1:-./build/bench/ground/ground_bench}
for n in 50 100 200 400; do "$bench" closure $n; done
for n in 25 50 100 200; do "$bench" queens $n; done
