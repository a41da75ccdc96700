#!/usr/bin/env python3
"""Writes a job-shop instance (OR-Library text format) as facts for jobshop.lp."""
import sys


def read_instance(path):
    rows = []
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#"):
                rows.append([int(x) for x in line.split()])
    jobs, machines = rows[0][:2]
    ops = rows[1:1 + jobs]
    if len(ops) != jobs or any(len(r) != 2 * machines for r in ops):
        sys.exit(f"{path}: expected {jobs} jobs of {machines} operations")
    return jobs, machines, ops


def facts(path):
    jobs, machines, ops = read_instance(path)
    out = []
    total = 0
    for j, row in enumerate(ops):
        for i in range(machines):
            m, d = row[2 * i], row[2 * i + 1]
            total += d
            out.append(f"op({j},{i},{m},{d}).")
    out.append(f"horizon({total}).")
    return "\n".join(out) + "\n"


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: to_facts.py INSTANCE")
    sys.stdout.write(facts(sys.argv[1]))
