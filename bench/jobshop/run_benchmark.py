#!/usr/bin/env python3
"""Job-shop benchmark: tarvex against a constraint-programming peer.

Runs every instance of the shared job-shop set (or those named) with a time
limit through `tarvex` (jobshop.lp) and, when `minizinc` with its Gecode solver
is installed (Debian packages minizinc and libgecodeflatzinc49), through the
same disjunctive model in MiniZinc (jobshop.mzn). Prints, per instance, the
best makespan, whether it was proven optimal, and the wall time; then the
number of optima proven and the ratio of total wall times over the instances
both proved (below 1: tarvex is faster).

    bench/jobshop/run_benchmark.py --tarvex build/bin/tarvex --limit 60 la01 la02
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from to_facts import facts, read_instance  # noqa: E402

DATA = os.path.join(HERE, "..", "..", "..", "shared", "data", "jobshop")


def run_tarvex(binary, instance, limit, threads):
    with tempfile.NamedTemporaryFile("w", suffix=".lp", delete=False) as f:
        f.write(facts(instance))
        name = f.name
    try:
        start = time.monotonic()
        proc = subprocess.run([binary, os.path.join(HERE, "jobshop.lp"), name, "--time-limit", str(limit),
                               "-t", str(threads)], capture_output=True, text=True, timeout=limit + 60)
        wall = time.monotonic() - start
    finally:
        os.unlink(name)
    costs = re.findall(r"^Optimization : (-?\d+)", proc.stdout, re.M)
    return (int(costs[-1]) if costs else None), proc.returncode == 30, wall


def run_minizinc(instance, limit):
    jobs, machines, ops = read_instance(instance)
    data = {
        "jobs": jobs,
        "machines": machines,
        "machine": [[row[2 * i] for i in range(machines)] for row in ops],
        "duration": [[row[2 * i + 1] for i in range(machines)] for row in ops],
    }
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
        json.dump(data, f)
        name = f.name
    try:
        start = time.monotonic()
        proc = subprocess.run(["minizinc", "--solver", "gecode", "--time-limit", str(int(limit * 1000)),
                               "--output-objective", "--output-mode", "dzn", os.path.join(HERE, "jobshop.mzn"),
                               name], capture_output=True, text=True, timeout=limit + 60)
        wall = time.monotonic() - start
    finally:
        os.unlink(name)
    values = re.findall(r"_objective = (-?\d+);", proc.stdout)
    return (int(values[-1]) if values else None), "==========" in proc.stdout, wall


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("instances", nargs="*", help="instance names (default: all)")
    parser.add_argument("--tarvex", default="build/bin/tarvex")
    parser.add_argument("--data", default=DATA)
    parser.add_argument("--limit", type=float, default=60.0, help="seconds per instance and solver")
    parser.add_argument("--threads", type=int, default=1)
    args = parser.parse_args()

    optima = json.load(open(os.path.join(args.data, "optima.json")))
    names = args.instances or sorted(optima)
    peer = shutil.which("minizinc") is not None
    print(f"{'instance':10} {'optimum':>7} | {'tarvex':>7} {'proven':>6} {'time':>8}" +
          (f" | {'gecode':>7} {'proven':>6} {'time':>8}" if peer else ""))
    proven = [0, 0]
    both = [0.0, 0.0]
    for name in names:
        instance = os.path.join(args.data, name + ".txt")
        t_cost, t_opt, t_time = run_tarvex(args.tarvex, instance, args.limit, args.threads)
        line = f"{name:10} {optima[name]['optimum']:>7} | {str(t_cost):>7} {str(t_opt):>6} {t_time:8.2f}"
        if t_opt and t_cost != optima[name]["optimum"]:
            line += "  WRONG OPTIMUM"
        proven[0] += t_opt
        if peer:
            g_cost, g_opt, g_time = run_minizinc(instance, args.limit)
            line += f" | {str(g_cost):>7} {str(g_opt):>6} {g_time:8.2f}"
            proven[1] += g_opt
            if t_opt and g_opt:
                both[0] += t_time
                both[1] += g_time
        print(line, flush=True)
    print(f"optima proven: tarvex {proven[0]}/{len(names)}" + (f", gecode {proven[1]}/{len(names)}" if peer else ""))
    if peer and both[1] > 0:
        print(f"time ratio tarvex/gecode over instances both proved: {both[0] / both[1]:.2f}")


if __name__ == "__main__":
    main()
