#!/usr/bin/env python3
"""Writes a job-shop instance (OR-Library text format) as an SMT-LIB problem
with an objective: the disjunctive model of jobshop.lp (start times, job order,
one of two orders per machine pair, makespan minimised)."""
import sys

from to_facts import read_instance


def smtlib(path, timeout_ms=None):
    jobs, machines, ops = read_instance(path)
    machine = [[row[2 * i] for i in range(machines)] for row in ops]
    duration = [[row[2 * i + 1] for i in range(machines)] for row in ops]
    horizon = sum(map(sum, duration))
    out = ["(set-logic QF_LIA)"]
    if timeout_ms is not None:
        out.append(f"(set-option :timeout {int(timeout_ms)})")

    def s(j, i):
        return f"s_{j}_{i}"

    for j in range(jobs):
        for i in range(machines):
            out.append(f"(declare-const {s(j, i)} Int)")
            out.append(f"(assert (and (<= 0 {s(j, i)}) (<= {s(j, i)} {horizon})))")
    out.append("(declare-const makespan Int)")
    out.append(f"(assert (and (<= 0 makespan) (<= makespan {horizon})))")
    for j in range(jobs):
        for i in range(machines - 1):
            out.append(f"(assert (<= (+ {s(j, i)} {duration[j][i]}) {s(j, i + 1)}))")
        last = machines - 1
        out.append(f"(assert (<= (+ {s(j, last)} {duration[j][last]}) makespan))")
    tasks = [(j, i) for j in range(jobs) for i in range(machines)]
    for a, (j, i) in enumerate(tasks):
        for k, l in tasks[a + 1:]:
            if machine[j][i] == machine[k][l]:
                out.append(f"(assert (or (<= (+ {s(j, i)} {duration[j][i]}) {s(k, l)}) "
                           f"(<= (+ {s(k, l)} {duration[k][l]}) {s(j, i)})))")
    out.append("(minimize makespan)")
    out.append("(check-sat)")
    out.append("(get-objectives)")
    return "\n".join(out) + "\n"


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: to_smtlib.py INSTANCE")
    sys.stdout.write(smtlib(sys.argv[1]))
