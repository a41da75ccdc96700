#!/bin/sh
# gondra --text prints the ground theory atoms of a program that defines the
# integer theory's grammar: conditions that are facts dropped, names kept.
# usage: theory_text.sh GONDRA PROGRAM
set -u
out=$("$1" --text "$2") || { echo "gondra --text failed"; exit 1; }
for line in \
    '&dom{0..10} = start(1).' \
    '&dom{0..10} = start(3).' \
    '&__sum_h{2*start(1); 3*start(2)} <= 6 :- p.' \
    '&__sum_h{start(1); start(2); start(3)} >= 4.' \
    '&show{start/1}.'
do
    printf '%s\n' "$out" | grep -qxF "$line" || { echo "missing: $line"; printf '%s\n' "$out"; exit 1; }
done
echo "theory atoms printed"
