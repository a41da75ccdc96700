#!/usr/bin/env python3
"""Times `gondra --dimacs` against minisat and cadical on the fixed set.

Usage: run_benchmark.py [--gondra PATH] [--timeout SECONDS] [--keep DIR] [--wall]

Needs the peers on the PATH:  sudo apt-get install minisat cadical
The instances are generated with fixed seeds by generate.py into a temporary
folder; the solvers run alternately on each instance; answers must agree and
every model gondra prints is checked against the formula.
"""
import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def cpu_children():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run(cmd, timeout, wall):
    """Runs one solver; its time is CPU time (user + system) unless wall is set:
    CPU time stays comparable on a machine shared with other work."""
    start, cpu = time.perf_counter(), cpu_children()
    try:
        proc = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout, text=True)
        code, out = proc.returncode, proc.stdout
    except subprocess.TimeoutExpired:
        code, out = None, ""
    seconds = time.perf_counter() - start if wall else cpu_children() - cpu
    return seconds, code, out


def check_model(path, out):
    values = set()
    for line in out.splitlines():
        if line.startswith("v "):
            values.update(int(tok) for tok in line[2:].split() if tok != "0")
    with open(path) as cnf:
        for line in cnf:
            line = line.strip()
            if not line or line[0] in "cp%":
                continue
            lits = [int(tok) for tok in line.split() if tok != "0"]
            if lits and not any(l in values for l in lits):
                return False
    return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--gondra", default=os.path.join(HERE, "..", "..", "build", "bin", "gondra"))
    parser.add_argument("--timeout", type=float, default=300)
    parser.add_argument("--keep", help="write the instances here instead of a temporary folder")
    parser.add_argument("--wall", action="store_true", help="measure wall-clock instead of CPU time")
    args = parser.parse_args()

    peers = [p for p in ("minisat", "cadical") if shutil.which(p)]
    missing = {"minisat", "cadical"} - set(peers)
    if missing:
        print("missing peers: %s; install them with: sudo apt-get install minisat cadical" % " ".join(sorted(missing)))
    if not os.access(args.gondra, os.X_OK):
        sys.exit("gondra binary not found at %s (use --gondra)" % args.gondra)

    folder = args.keep or tempfile.mkdtemp(prefix="gondra-bench-")
    subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), folder], check=True)
    files = sorted(f for f in os.listdir(folder) if f.endswith(".cnf"))
    print("times in seconds of %s" % ("wall-clock time" if args.wall else "CPU time (user + system)"))

    commands = {
        "gondra": lambda f: [args.gondra, "--dimacs", f],
        "minisat": lambda f: ["minisat", "-verb=0", f],
        "cadical": lambda f: ["cadical", "-q", f],
    }
    solvers = ["gondra"] + peers
    totals = {}
    failures = 0
    print("%-28s" % "instance" + "".join("%12s" % s for s in solvers) + "  answer")
    for name in files:
        path = os.path.join(folder, name)
        family = name.split("_")[0]
        answers = {}
        row = "%-28s" % name
        for solver in solvers:
            seconds, code, out = run(commands[solver](path), args.timeout, args.wall)
            answers[solver] = {10: "sat", 20: "unsat"}.get(code, "timeout" if code is None else "error")
            if solver == "gondra" and answers[solver] == "sat" and not check_model(path, out):
                answers[solver] = "bad-model"
            totals.setdefault(family, {}).setdefault(solver, 0.0)
            totals[family][solver] += seconds
            row += "%12.2f" % seconds
        distinct = set(answers.values())
        ok = len(distinct) == 1 and distinct <= {"sat", "unsat"}
        if not ok:
            failures += 1
        print(row + "  " + (answers["gondra"] if ok else "MISMATCH " + str(answers)))

    print()
    print("%-28s" % "family" + "".join("%12s" % s for s in solvers) +
          "".join("%16s" % ("gondra/" + p) for p in peers))
    grand = {s: 0.0 for s in solvers}
    for family in sorted(totals):
        row = "%-28s" % family
        for s in solvers:
            row += "%12.2f" % totals[family][s]
            grand[s] += totals[family][s]
        for p in peers:
            row += "%16.2f" % (totals[family]["gondra"] / max(totals[family][p], 1e-9))
        print(row)
    row = "%-28s" % "total"
    for s in solvers:
        row += "%12.2f" % grand[s]
    for p in peers:
        row += "%16.2f" % (grand["gondra"] / max(grand[p], 1e-9))
    print(row)
    if not args.keep:
        shutil.rmtree(folder)
    if failures:
        print("%d instance(s) with disagreeing or wrong answers" % failures)
        sys.exit(1)


if __name__ == "__main__":
    main()
