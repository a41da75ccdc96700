#!/bin/sh
# Usage: print_ast_fixpoint.sh GONDRA_BINARY PROGRAM
# Printing a program and printing the printed text again must give the same
# text, and both runs must succeed.
set -eu
bin=$1
program=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$bin" --print-ast "$program" > "$dir/first.lp"
"$bin" --print-ast "$dir/first.lp" > "$dir/second.lp"
if [ ! -s "$dir/first.lp" ]; then
    echo "nothing was printed for $program" >&2
    exit 1
fi
if ! cmp -s "$dir/first.lp" "$dir/second.lp"; then
    echo "printing is not a fixpoint:" >&2
    diff "$dir/first.lp" "$dir/second.lp" >&2 || true
    exit 1
fi
# A broken program fails with a located message and exit code 1.
printf 'a.\nb :- .\n' > "$dir/broken.lp"
status=0
"$bin" --print-ast "$dir/broken.lp" > /dev/null 2> "$dir/errors.txt" || status=$?
if [ "$status" -ne 1 ] || ! grep -q "broken.lp:2:6-7: error: syntax error" "$dir/errors.txt"; then
    echo "a syntax error was not reported as expected (exit $status):" >&2
    cat "$dir/errors.txt" >&2
    exit 1
fi
echo "print-ast fixpoint: ok"
