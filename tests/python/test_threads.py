"""Solving from several Python threads, and the interpreter lock around native calls."""

import os
import re
import signal
import subprocess
import sys
import threading

import _tarvex
import tarvex
from conftest import EXAMPLES, PROGRAM
from test_module import FUNCTIONS

# Thirteen pigeons, twelve holes, as few pigeons without a hole as possible:
# a model with one pigeon left over comes at once, the proof that none is
# better never comes in the time of a test. Each pigeon's hole is also an
# integer variable.
PIGEONS = """
p(1..13). h(1..12).
{ in(P, H) : h(H) } 1 :- p(P).
:- in(P, H), in(Q, H), P < Q.
placed(P) :- in(P, H).
#minimize { 1,P : p(P), not placed(P) }.
&dom{0..12} = hole(P) :- p(P).
&sum{hole(P)} = H :- in(P, H).
&sum{hole(P)} = 0 :- p(P), not placed(P).
"""


def test_another_python_thread_runs_while_two_searches_run():
    solvers = [tarvex.Solver(["--time-limit=60"]) for _ in range(2)]
    results = [None, None]
    optimal = [False, False]
    for solver in solvers:
        solver.add(PIGEONS)
        solver.ground()

    def on_model(i, model):
        optimal[i] = model.costs == [1]

    def solve(i):
        results[i] = solvers[i].solve(on_model=lambda model: on_model(i, model))

    threads = [threading.Thread(target=solve, args=(i,)) for i in range(2)]
    for thread in threads:
        thread.start()
    # Once a search has reported the best model it will find, it reports no
    # other: it searches on in native code, without calling back, until it is
    # interrupted. Both can get there only if neither holds the interpreter
    # lock while it searches.
    while not all(optimal) and all(thread.is_alive() for thread in threads):
        pass
    assert all(optimal)
    count = 0
    for _ in range(200_000):
        count += 1
    # Both still search: the counting ran alongside both searches.
    assert all(solver.solving for solver in solvers)
    for solver in solvers:
        solver.interrupt()
    for thread in threads:
        thread.join()
    for solver, result in zip(solvers, results):
        assert result.interrupted and not result.exhausted and result.costs == [1]
        solver.close()
    assert count == 200_000


def test_solvers_in_threads_find_what_one_solver_alone_finds():
    with open(os.path.join(EXAMPLES, "schedule.lp")) as file:
        program = file.read()

    def models(arguments):
        with tarvex.Solver(arguments) as solver:
            solver.add(program)
            found = []
            solver.solve(on_model=lambda model: found.append((str(model), tuple(sorted(
                (str(k), v) for k, v in model.assignment.items())))))
        return sorted(found)

    expected = models(["-n", "0"])
    outcomes = {}

    def run(i):
        outcomes[i] = [models(["-n", "0", "-t", "2"]) for _ in range(5)]

    threads = [threading.Thread(target=run, args=(i,)) for i in range(3)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert len(expected) == 6
    assert all(found == expected for i in range(3) for found in outcomes[i])


def test_every_generated_wrapper_lets_go_of_the_interpreter_lock_during_its_call():
    glue = os.path.join(os.path.dirname(os.path.realpath(_tarvex.__file__)), "python", "_tarvex.c")
    with open(glue) as file:
        text = file.read()
    for name in FUNCTIONS:
        wrapper = re.search(r"\n_cffi_f_%s\(.*?\n}\n" % name, text, re.S)
        assert wrapper, name
        released = re.findall(r"Py_BEGIN_ALLOW_THREADS(.*?)Py_END_ALLOW_THREADS", wrapper.group(0), re.S)
        assert len(released) == 1 and re.search(r"\b%s\(" % name, released[0]), name


def test_ctrl_c_ends_the_search_and_reports_the_best_model_like_the_program(tmp_path):
    path = tmp_path / "pigeons.lp"
    path.write_text(PIGEONS)
    for command in ([sys.executable, "-m", "tarvex"], [PROGRAM]):
        process = subprocess.Popen([*command, str(path)], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                   preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        # The best model it will find is printed: the search goes on, natively.
        for line in process.stdout:
            if line.strip() == "Optimization: 1":
                break
        process.send_signal(signal.SIGINT)
        rest = process.stdout.read().splitlines()
        assert process.wait(timeout=120) == 10, (command, process.stderr.read())
        assert rest[:2] == ["SATISFIABLE", ""] and rest[2].startswith("Models       : ") and rest[2].endswith("+")
        assert rest[3] == "Optimization : 1"


def test_a_program_may_exit_while_an_iteration_over_models_is_open():
    script = (
        "import tarvex\n"
        "solver = tarvex.Solver(['-n', '0'])\n"
        "solver.add('{a; b; c}.')\n"
        "models = solver.solve_iter()\n"
        "next(models)\n"
        "print('left')\n"
    )
    completed = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=120)
    assert (completed.returncode, completed.stdout) == (0, "left\n"), completed.stderr
