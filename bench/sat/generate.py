#!/usr/bin/env python3
"""Writes the fixed SAT benchmark set (fixed seeds) into a folder.

Families: random 3-SAT at clause ratio 4.26 (150 to 250 variables, satisfiable
and unsatisfiable mixed), pigeonhole (n+1 pigeons, n holes), and parity chains
(two XOR chains over the same variables in different orders; unsatisfiable
when forced to differ, satisfiable otherwise).
"""
import os
import random
import sys


def write_cnf(path, num_vars, clauses, comment):
    with open(path, "w") as out:
        out.write(f"c {comment}\n")
        out.write(f"p cnf {num_vars} {len(clauses)}\n")
        for clause in clauses:
            out.write(" ".join(map(str, clause)) + " 0\n")


def random_3sat(n, seed):
    rng = random.Random(seed)
    m = int(round(4.26 * n))
    clauses = []
    for _ in range(m):
        vs = rng.sample(range(1, n + 1), 3)
        clauses.append([v if rng.random() < 0.5 else -v for v in vs])
    return n, clauses


def pigeonhole(holes):
    pigeons = holes + 1

    def var(p, h):
        return p * holes + h + 1

    clauses = [[var(p, h) for h in range(holes)] for p in range(pigeons)]
    for h in range(holes):
        for p in range(pigeons):
            for q in range(p + 1, pigeons):
                clauses.append([-var(p, h), -var(q, h)])
    return pigeons * holes, clauses


def parity(n, seed, differ):
    """Two Tseitin XOR chains over x1..xn in different orders."""
    rng = random.Random(seed)
    clauses = []
    next_var = [n]

    def fresh():
        next_var[0] += 1
        return next_var[0]

    def xor_gate(a, b):
        c = fresh()
        clauses.extend([[-a, -b, -c], [a, b, -c], [a, -b, c], [-a, b, c]])
        return c

    def chain(order):
        acc = order[0]
        for v in order[1:]:
            acc = xor_gate(acc, v)
        return acc

    order = list(range(1, n + 1))
    first = chain(order)
    rng.shuffle(order)
    second = chain(order)
    if differ:
        clauses.extend([[first, second], [-first, -second]])
    else:
        clauses.extend([[first], [second]])
        # Pin a few inputs so the instance is not trivial to satisfy.
        for v in rng.sample(range(1, n + 1), n // 3):
            clauses.append([v if rng.random() < 0.5 else -v])
    return next_var[0], clauses


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "bench-sat"
    os.makedirs(folder, exist_ok=True)
    for n in (150, 175, 200, 225, 250):
        for seed in range(4):
            nv, cl = random_3sat(n, 1000 * n + seed)
            write_cnf(os.path.join(folder, f"random3sat_n{n}_s{seed}.cnf"), nv, cl, f"random 3-SAT n={n} seed={seed}")
    for holes in (7, 8, 9):
        nv, cl = pigeonhole(holes)
        write_cnf(os.path.join(folder, f"pigeonhole_{holes + 1}_{holes}.cnf"), nv, cl, f"pigeonhole {holes + 1} into {holes}")
    for n, seed, differ in ((24, 1, True), (26, 2, True), (28, 3, True), (200, 4, False), (400, 5, False)):
        nv, cl = parity(n, seed, differ)
        kind = "unsat" if differ else "sat"
        write_cnf(os.path.join(folder, f"parity_n{n}_{kind}.cnf"), nv, cl, f"parity chains n={n} seed={seed}")


if __name__ == "__main__":
    main()
