#!/usr/bin/env python3
"""Scaling of a chain of difference constraints.

Solves, for growing n, a chain v(0), ..., v(n) over 0..10000 with
`&diff{v(I) - v(I-1)} <= 7` and one bound on v(0), for one model (`-n 1`), and
prints per n: the wall and user CPU seconds, the peak resident memory, the
host's solver variables, the order literals of the theory (those made at
initialisation and those introduced during search), and the peak memory per
order literal. The columns "x" give each figure's growth over the previous n
(n doubles: 2 is linear growth, 4 quadratic).

    bench/scaling/chain_scaling.py [--tarvex build/bin/tarvex] [--sizes 500,1000,2000,4000,8000]
"""
import argparse
import os
import re
import shlex
import subprocess
import sys
import tempfile
import threading
import time

PROGRAM = """&dom{{0..10000}} = v(I) :- I=0..{n}.
&diff{{v(I) - v(I-1)}} <= 7 :- I=1..{n}.
&diff{{v(0) - 0}} <= 3.
&show{{}}.
"""


def run(command, limit):
    """Runs command; returns (stdout, exit status, wall seconds, user seconds, peak RSS in bytes)."""
    start = time.monotonic()
    with tempfile.TemporaryFile("w+") as out:
        proc = subprocess.Popen(command, stdout=out, stderr=subprocess.DEVNULL)
        timer = threading.Timer(limit, proc.kill)
        timer.start()
        # wait4 reports this child's own peak memory and CPU time.
        _, status, usage = os.wait4(proc.pid, 0)
        timer.cancel()
        proc.returncode = os.waitstatus_to_exitcode(status)
        wall = time.monotonic() - start
        out.seek(0)
        return out.read(), proc.returncode, wall, usage.ru_utime, usage.ru_maxrss * 1024


def statistic(text, pattern):
    # The step tree only: the accumulated tree repeats it for a single step.
    step = text.split("Accumulated statistics:")[0]
    return sum(float(v) for v in re.findall(r"^" + pattern + r" : (\S+)$", step, re.M))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tarvex", default="build/bin/tarvex")
    parser.add_argument("--tarvex-args", default="", help="extra options for tarvex")
    parser.add_argument("--sizes", default="500,1000,2000,4000,8000")
    parser.add_argument("--limit", type=float, default=300.0, help="seconds per run")
    args = parser.parse_args()
    if not os.access(args.tarvex, os.X_OK):
        sys.exit(f"no tarvex binary at {args.tarvex} (build the tarvex_app target in Release first)")

    print("load average before: %.2f %.2f %.2f" % os.getloadavg())
    print(f"{'n':>6} {'wall':>8} {'user':>8} {'x':>5} {'peak MB':>9} {'x':>5} {'variables':>10} {'x':>5} "
          f"{'order lits':>10} {'x':>5} {'B/lit':>7}")
    previous = None
    for n in (int(s) for s in args.sizes.split(",")):
        with tempfile.NamedTemporaryFile("w", suffix=".lp", delete=False) as f:
            f.write(PROGRAM.format(n=n))
            name = f.name
        try:
            out, code, wall, user, peak = run([args.tarvex, "-n", "1", "--stats", name] +
                                              shlex.split(args.tarvex_args), args.limit)
        finally:
            os.unlink(name)
        if code != 10:
            print(f"{n:>6} exit status {code} after {wall:.2f} s")
            break
        variables = statistic(out, r"problem\.variables")
        literals = statistic(out, r"Tarvex\.Problem\.Literals") + \
            statistic(out, r"Tarvex\.Thread\.\d+\.Literals introduced")
        row = (user, peak, variables, literals)

        def growth(i):
            return f"{row[i] / previous[i]:5.2f}" if previous and previous[i] > 0 else f"{'':5}"
        print(f"{n:>6} {wall:8.2f} {user:8.2f} {growth(0)} {peak / 2**20:9.1f} {growth(1)} {int(variables):>10} "
              f"{growth(2)} {int(literals):>10} {growth(3)} {peak / max(literals, 1):7.0f}", flush=True)
        previous = row
    print("load average after: %.2f %.2f %.2f" % os.getloadavg())


if __name__ == "__main__":
    main()
