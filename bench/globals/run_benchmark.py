#!/usr/bin/env python3
"""Global constraints: tarvex against MiniZinc with Gecode on the same models.

Runs, side by side and in one go:
  queens   n-queens with three distinct constraints, time to the first
           solution (n = 20, 50, 100, 200);
  magic    all magic squares of order 4 (7040 of them, counted);
  send     SEND + MORE = MONEY;
  jobshop  job-shop scheduling with one disjoint constraint per machine and
           a minimised makespan, to a proven optimum (la06 to la15 of the
           shared instances).

tarvex runs twice: with its default settings and with the options that suit
the model (TUNED: distinct constraints propagated rather than translated,
their propagation strength, edge finding, the lower-bound decisions). If the
binary does not know an option, the tuned run is reported as not available.
Every result is checked: the queens placement and the SEND + MORE digits are
verified, magic squares are counted, job-shop optima are compared with the
known ones. Times are wall-clock seconds of the whole program (MiniZinc's
includes compiling the model), best of --repeat runs; ratio = tarvex / gecode
(below 1: tarvex is faster); "user" is the same ratio of user CPU time
(children included), which the machine's load distorts less. "-" marks a run
that hit --limit or failed.

    bench/globals/run_benchmark.py --tarvex build/bin/tarvex --limit 60
    bench/globals/run_benchmark.py queens jobshop --instances la06 la13
"""
import argparse
import json
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "jobshop"))
from to_facts import facts, read_instance  # noqa: E402

DATA = os.path.join(HERE, "..", "..", "..", "shared", "data", "jobshop")

# Options under which each model is meant to run.
# Small distinct constraints are translated into weight constraints by
# default; the queens and the magic square search faster with them propagated.
TUNED = {
    "queens": ["--translate-distinct=0", "--distinct-propagation=values"],
    # With the theory's long reasons dropped after use (the default), the
    # translated distinct constraint searches fastest.
    "magic": [],
    "send": [],
    "jobshop": ["--disjoint-propagation=edge-finding", "--refine-reasons=no", "--order-heuristic=lower-bound"],
}

CSP = re.compile(r"__csp\(([^,()]+(?:\([^()]*\))?),(-?\d+)\)")


class Run:
    def __init__(self, seconds=None, output="", ok=False, note="", user=None):
        self.seconds = seconds
        self.output = output
        self.ok = ok
        self.note = note
        # CPU seconds in user mode of the program and its children: less
        # dependent on the machine's load than the wall-clock time.
        self.user = user


def timed(command, limit):
    """(wall seconds, user seconds, stdout, stderr, exit code)."""
    start = time.monotonic()
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime
    try:
        proc = subprocess.run(command, capture_output=True, text=True, timeout=limit + 30)
    except subprocess.TimeoutExpired:
        return None, None, "", "", -1
    user = resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime - before
    return time.monotonic() - start, user, proc.stdout, proc.stderr, proc.returncode


def best_of(repeat, run):
    best = None
    for _ in range(repeat):
        result = run()
        if not result.ok:
            return result
        if best is None or result.seconds < best.seconds:
            best = result
    return best


def run_tarvex(args, files, extra, limit):
    seconds, user, out, err, code = timed([args.tarvex, *files, "--time-limit", str(int(limit)), *extra], limit)
    if code == 1 and "unknown option" in err:
        return Run(note="no option")
    if seconds is None:
        return Run(note="timeout")
    if code == 0:
        return Run(note="limit")
    return Run(seconds, out, code in (10, 20, 30), "" if code in (10, 20, 30) else f"exit {code}", user)


def run_gecode(model, data, extra, limit):
    command = ["minizinc", "--solver", "gecode", "--time-limit", str(int(limit * 1000)), *extra, model]
    if data:
        command.append(data)
    seconds, user, out, err, code = timed(command, limit)
    if seconds is None:
        return Run(note="timeout")
    return Run(seconds, out, code == 0, "" if code == 0 else f"exit {code}", user)


def last_values(output):
    """The integer assignment of the last model tarvex printed."""
    models = [line for line in output.splitlines() if "__csp(" in line]
    return {name: int(value) for name, value in CSP.findall(models[-1])} if models else {}


# ---- checks of the answers

def queens_ok(values, n):
    q = [values.get(f"q({i})") for i in range(1, n + 1)]
    if None in q or any(not 1 <= v <= n for v in q):
        return False
    return all(len(set(vals)) == n for vals in (q, [v + i for i, v in enumerate(q)], [v - i for i, v in enumerate(q)]))


def send_ok(v):
    if set(v) != set("sendmory") or len(set(v.values())) != 8 or v["s"] == 0 or v["m"] == 0:
        return False
    word = lambda w: int("".join(str(v[c]) for c in w))  # noqa: E731
    return word("send") + word("more") == word("money")


def models_count(output):
    found = re.search(r"^Models\s*:\s*(\d+)", output, re.M)
    return int(found.group(1)) if found else None


def gecode_solutions(output):
    return output.count("----------")


def gecode_assignment(output):
    return {name: int(value) for name, value in re.findall(r"^(\w+) = (-?\d+);", output, re.M)}


# ---- the benchmarks: each yields (name, gecode run, tarvex run for a flag list)

def queens(args):
    model_lp = os.path.join(HERE, "queens.lp")
    model_mzn = os.path.join(HERE, "queens.mzn")
    for n in (20, 50, 100, 200):
        def gecode():
            run = run_gecode(model_mzn, None, ["-D", f"n={n}"], args.limit)
            if run.ok:
                q = [int(x) for x in re.search(r"q = \[([^\]]*)\]", run.output).group(1).split(",")]
                run.ok = queens_ok({f"q({i + 1})": v for i, v in enumerate(q)}, n)
                run.note = "" if run.ok else "wrong"
            return run

        def tarvex(extra):
            run = run_tarvex(args, [model_lp, "-c", f"n={n}"], extra, args.limit)
            if run.ok:
                run.ok = queens_ok(last_values(run.output), n)
                run.note = "" if run.ok else "wrong"
            return run

        yield f"queens {n}", gecode, tarvex


def magic(args):
    def gecode():
        run = run_gecode(os.path.join(HERE, "magic.mzn"), None, ["-a"], args.limit)
        if run.ok and gecode_solutions(run.output) != 7040:
            run.ok, run.note = False, f"{gecode_solutions(run.output)} solutions"
        return run

    def tarvex(extra):
        run = run_tarvex(args, [os.path.join(HERE, "magic.lp"), "-n", "0"], extra, args.limit)
        if run.ok and models_count(run.output) != 7040:
            run.ok, run.note = False, f"{models_count(run.output)} models"
        return run

    yield "magic 4 (all)", gecode, tarvex


def send(args):
    def gecode():
        run = run_gecode(os.path.join(HERE, "send.mzn"), None, [], args.limit)
        if run.ok and not send_ok(gecode_assignment(run.output)):
            run.ok, run.note = False, "wrong"
        return run

    def tarvex(extra):
        run = run_tarvex(args, [os.path.join(HERE, "send.lp")], extra, args.limit)
        if run.ok and not send_ok(last_values(run.output)):
            run.ok, run.note = False, "wrong"
        return run

    yield "send+more", gecode, tarvex


def jobshop(args):
    optima = json.load(open(os.path.join(args.data, "optima.json")))
    for name in args.instances:
        path = os.path.join(args.data, name + ".txt")
        optimum = optima[name]["optimum"]
        work = tempfile.mkdtemp()
        lp = os.path.join(work, "instance.lp")
        with open(lp, "w") as f:
            f.write(facts(path))
        jobs, machines, ops = read_instance(path)
        dzn = os.path.join(work, "instance.json")
        with open(dzn, "w") as f:
            json.dump({"jobs": jobs, "machines": machines,
                       "machine": [[row[2 * i] for i in range(machines)] for row in ops],
                       "duration": [[row[2 * i + 1] for i in range(machines)] for row in ops]}, f)

        def gecode(dzn=dzn, optimum=optimum):
            run = run_gecode(os.path.join(HERE, "jobshop.mzn"), dzn, ["--output-objective"], args.limit)
            values = re.findall(r"_objective = (-?\d+);", run.output)
            if run.ok and not ("==========" in run.output and values and int(values[-1]) == optimum):
                run.ok, run.note = False, f"best {values[-1] if values else None}"
            return run

        def tarvex(extra, lp=lp, optimum=optimum):
            run = run_tarvex(args, [os.path.join(HERE, "jobshop.lp"), lp], extra, args.limit)
            costs = re.findall(r"^Optimization\s*:\s*(-?\d+)", run.output, re.M)
            if run.ok and not ("OPTIMUM FOUND" in run.output and costs and int(costs[-1]) == optimum):
                run.ok, run.note = False, f"best {costs[-1] if costs else None}"
            return run

        yield f"jobshop {name}", gecode, tarvex


BENCHMARKS = {"queens": queens, "magic": magic, "send": send, "jobshop": jobshop}


def cell(run):
    return f"{run.seconds:8.2f}" if run.ok else f"{run.note or '-':>8}"


def ratio(run, peer):
    return f"{run.seconds / peer.seconds:6.2f}" if run.ok and peer.ok and peer.seconds > 0 else f"{'-':>6}"


def user_ratio(run, peer):
    ok = run.ok and peer.ok and run.user is not None and peer.user
    return f"{run.user / peer.user:6.2f}" if ok else f"{'-':>6}"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("benchmarks", nargs="*", help=f"of {', '.join(BENCHMARKS)} (default: all)")
    parser.add_argument("--tarvex", default="build/bin/tarvex")
    parser.add_argument("--data", default=DATA)
    parser.add_argument("--instances", nargs="+", default=[f"la{i:02}" for i in range(6, 16)])
    parser.add_argument("--limit", type=float, default=60.0, help="seconds per run")
    parser.add_argument("--repeat", type=int, default=1, help="runs per measurement, the best counts")
    args = parser.parse_args()
    unknown = [b for b in args.benchmarks if b not in BENCHMARKS]
    if unknown:
        parser.error(f"unknown benchmark {', '.join(unknown)}")
    if shutil.which("minizinc") is None:
        sys.exit("minizinc is not installed (Debian packages minizinc, libgecodeflatzinc49)")

    print(f"{'benchmark':18} | {'gecode':>8} | {'tarvex':>8} {'ratio':>6} | {'tuned':>8} {'ratio':>6} {'user':>6} "
          "| tuned options")
    totals = {"gecode": 0.0, "tuned": 0.0}
    for key in args.benchmarks or list(BENCHMARKS):
        for name, gecode, tarvex in BENCHMARKS[key](args):
            g = best_of(args.repeat, gecode)
            d = best_of(args.repeat, lambda: tarvex([]))
            t = best_of(args.repeat, lambda: tarvex(TUNED[key])) if TUNED[key] else d
            print(f"{name:18} | {cell(g)} | {cell(d)} {ratio(d, g)} | {cell(t)} {ratio(t, g)} {user_ratio(t, g)} | "
                  f"{' '.join(TUNED[key]) or '(defaults)'}", flush=True)
            if g.ok and t.ok:
                totals["gecode"] += g.seconds
                totals["tuned"] += t.seconds
    if totals["gecode"] > 0:
        print(f"tuned tarvex / gecode over the rows both solved: {totals['tuned'] / totals['gecode']:.2f}")
    print("load average (1, 5, 15 minutes): " + " ".join(f"{x:.2f}" for x in os.getloadavg()))


if __name__ == "__main__":
    main()
