#!/usr/bin/env python3
"""Job-shop benchmark: tarvex against an SMT solver and a constraint solver.

Runs every instance of the shared job-shop set (or those named) with a time
limit per instance and solver, one thread each, through `tarvex` (jobshop.lp),
through z3 (Debian package z3) on the same disjunctive model in SMT-LIB with an
objective (to_smtlib.py), and through MiniZinc with Gecode (Debian packages
minizinc and libgecodeflatzinc49) on the same model (jobshop.mzn); the SMT-LIB
and MiniZinc inputs are generated from the same instance files. A peer that is
not installed is left out. Prints, per instance and solver, the best makespan,
whether it was proven optimal and the wall and user CPU times; then each
solver's number of proven optima and total time over them, and the ratios
tarvex/peer of the total times over the instances both proved (below 1: tarvex
is faster). The machine's load average is printed before and after, since
wall times on a shared machine are noisy.

    bench/jobshop/run_benchmark.py --tarvex build/bin/tarvex --limit 60 la01 la02
    bench/jobshop/run_benchmark.py --solvers tarvex,z3 --tarvex-args "--some-option=x"
"""
import argparse
import json
import os
import re
import resource
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from to_facts import facts, read_instance  # noqa: E402
from to_smtlib import smtlib  # noqa: E402

DATA = os.path.join(HERE, "..", "..", "..", "shared", "data", "jobshop")


def timed(command, limit):
    """Runs command; returns (stdout, exit code, wall seconds, user CPU seconds of the child)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime
    start = time.monotonic()
    try:
        proc = subprocess.run(command, capture_output=True, text=True, timeout=limit + 30)
        out, code = proc.stdout, proc.returncode
    except subprocess.TimeoutExpired as e:
        out = e.stdout.decode() if isinstance(e.stdout, bytes) else (e.stdout or "")
        code = None
    wall = time.monotonic() - start
    user = resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime - before
    return out, code, wall, user


def temporary(text, suffix):
    with tempfile.NamedTemporaryFile("w", suffix=suffix, delete=False) as f:
        f.write(text)
        return f.name


def run_tarvex(args, instance):
    name = temporary(facts(instance), ".lp")
    try:
        out, code, wall, user = timed([args.tarvex, os.path.join(HERE, "jobshop.lp"), name,
                                       "--time-limit", str(args.limit), "-t", "1"] +
                                      shlex.split(args.tarvex_args), args.limit)
    finally:
        os.unlink(name)
    costs = re.findall(r"^Optimization : (-?\d+)", out, re.M)
    return (int(costs[-1]) if costs else None), code == 30, wall, user


def run_z3(args, instance):
    # z3 is single-threaded unless told otherwise; its timeout stops the search
    # and still reports the best makespan found as the upper end of an interval.
    name = temporary(smtlib(instance, args.limit * 1000), ".smt2")
    try:
        out, code, wall, user = timed(["z3", name], args.limit)
    finally:
        os.unlink(name)
    proven = out.split("\n", 1)[0].strip() == "sat"
    exact = re.search(r"\(makespan (-?\d+)\)", out)
    upper = re.search(r"\(makespan\s+\(interval .* (-?\d+)\)\)", out)
    cost = int(exact.group(1)) if exact else (int(upper.group(1)) if upper else None)
    return cost, proven and exact is not None, wall, user


def run_gecode(args, instance):
    jobs, machines, ops = read_instance(instance)
    data = {
        "jobs": jobs,
        "machines": machines,
        "machine": [[row[2 * i] for i in range(machines)] for row in ops],
        "duration": [[row[2 * i + 1] for i in range(machines)] for row in ops],
    }
    name = temporary(json.dumps(data), ".json")
    try:
        out, code, wall, user = timed(["minizinc", "--solver", "gecode", "-p", "1",
                                       "--time-limit", str(int(args.limit * 1000)),
                                       "--output-objective", "--output-mode", "dzn",
                                       os.path.join(HERE, "jobshop.mzn"), name], args.limit)
    finally:
        os.unlink(name)
    values = re.findall(r"_objective = (-?\d+);", out)
    return (int(values[-1]) if values else None), "==========" in out, wall, user


RUNNERS = {"tarvex": (run_tarvex, None), "z3": (run_z3, "z3"), "gecode": (run_gecode, "minizinc")}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("instances", nargs="*", help="instance names (default: all)")
    parser.add_argument("--tarvex", default="build/bin/tarvex")
    parser.add_argument("--tarvex-args", default="", help="extra options for tarvex")
    parser.add_argument("--data", default=DATA)
    parser.add_argument("--limit", type=float, default=60.0, help="seconds per instance and solver")
    parser.add_argument("--solvers", default="tarvex,z3,gecode", help="comma-separated subset of tarvex,z3,gecode")
    args = parser.parse_args()

    optima = json.load(open(os.path.join(args.data, "optima.json")))
    names = args.instances or sorted(optima)
    solvers = [s for s in args.solvers.split(",") if s in RUNNERS and
               (RUNNERS[s][1] is None or shutil.which(RUNNERS[s][1]))]
    print("load average before: %.2f %.2f %.2f" % os.getloadavg())
    header = f"{'instance':10} {'optimum':>7}"
    for s in solvers:
        header += f" | {s:>7} {'proven':>6} {'wall':>7} {'user':>7}"
    print(header)
    results = {s: {} for s in solvers}
    for name in names:
        instance = os.path.join(args.data, name + ".txt")
        optimum = optima[name]["optimum"]
        line = f"{name:10} {optimum:>7}"
        for s in solvers:
            cost, proven, wall, user = RUNNERS[s][0](args, instance)
            results[s][name] = (proven, wall, user)
            line += f" | {str(cost):>7} {str(proven):>6} {wall:7.2f} {user:7.2f}"
            if proven and cost != optimum:
                line += " WRONG"
        print(line, flush=True)
    print("load average after: %.2f %.2f %.2f" % os.getloadavg())
    for s in solvers:
        won = [n for n in names if results[s][n][0]]
        print(f"{s}: {len(won)}/{len(names)} optima proven, wall {sum(results[s][n][1] for n in won):.2f} s, "
              f"user {sum(results[s][n][2] for n in won):.2f} s over them")
    if "tarvex" in solvers:
        mine = results["tarvex"]
        for s in solvers:
            if s == "tarvex":
                continue
            both = [n for n in names if mine[n][0] and results[s][n][0]]
            missed = [n for n in names if results[s][n][0] and not mine[n][0]]
            if both:
                wall = sum(mine[n][1] for n in both) / max(sum(results[s][n][1] for n in both), 1e-9)
                user = sum(mine[n][2] for n in both) / max(sum(results[s][n][2] for n in both), 1e-9)
                print(f"ratio tarvex/{s} over the {len(both)} instances both proved: wall {wall:.2f}, user {user:.2f}")
            if missed:
                print(f"proven by {s} but not by tarvex: {' '.join(missed)}")


if __name__ == "__main__":
    main()
