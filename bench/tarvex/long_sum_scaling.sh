#!/bin/sh
# Solves one sum over n variables of two values each (half of them must be 1)
# for growing n and prints seconds: the whole run with every value shown (the
# host's model output included), the whole run with nothing shown, and of the
# latter the host's solve time (theory initialisation and search, without
# grounding). The solve time should grow about linearly with n.
# Usage: long_sum_scaling.sh [tarvex binary] [time limit per run in seconds]
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
program=${1:-$root/build/bin/tarvex}
limit=${2:-120}
if [ ! -x "$program" ]; then
    echo "no tarvex binary at $program (build the tarvex_app target in Release first)" >&2
    exit 1
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# Prints the wall time of one run, or the exit status when it did not end
# satisfiable in time; the statistics go to $dir/stats.
run() {
    start=$(date +%s.%N)
    status=0
    timeout "$limit" "$program" -n 1 --stats "$1" >"$dir/stats" || status=$?
    end=$(date +%s.%N)
    if [ "$status" -eq 10 ]; then
        printf '%.2f' "$(echo "$end - $start" | bc)"
    else
        printf 'exit:%s' "$status"
    fi
}

printf '%8s %10s %10s %10s\n' n shown hidden solve
for n in 10000 20000 100000; do
    shown=$dir/shown_$n.lp
    hidden=$dir/hidden_$n.lp
    printf '&dom{0..1} = x(I) :- I=1..%d.\n&sum{x(I) : I=1..%d} >= %d.\n' "$n" "$n" $((n / 2)) >"$shown"
    { cat "$shown"; echo '&show{}.'; } >"$hidden"
    with_output=$(run "$shown")
    without_output=$(run "$hidden")
    solve=$(sed -n 's/^summary.times.solve : //p' "$dir/stats" | head -n 1)
    printf '%8d %10s %10s %10.2f\n' "$n" "$with_output" "$without_output" "${solve:-0}"
done
