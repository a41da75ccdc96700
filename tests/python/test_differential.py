"""Python against the tarvex program: the same models, values, results and exit codes.

On the shipped examples and on random integer programs, the package's
Solver must agree with the tarvex program run with --json; `python -m tarvex`
must print what the program prints, text and JSON, byte for byte but for the
times, and write the same messages.
"""

import glob
import json
import os
import random
import re
import signal
import subprocess
import sys
import threading

import pytest

import tarvex
from conftest import EXAMPLES, PROGRAM

EXAMPLE_FILES = sorted(glob.glob(os.path.join(EXAMPLES, "*.lp")))


def api_outcome(text, arguments):
    with tarvex.Solver(arguments) as solver:
        solver.add(text)
        models = []
        result = solver.solve(on_model=models.append)
    return result, models


def canonical(models):
    """Models as sorted (atoms, costs) pairs: the order of enumeration is the host's business."""
    return sorted((tuple(sorted(atoms)), tuple(costs)) for atoms, costs in models)


def assert_same(text, arguments, tarvex_program):
    expected = tarvex_program(["--json", *arguments], text)
    if expected.code not in (10, 20, 30):
        # What the theory cannot do yet, it refuses alike.
        assert expected.code in (1, 2), expected.err
        with pytest.raises(tarvex.TarvexError) as refused:
            api_outcome(text, arguments)
        # Located alike, in the program's file and in the string.
        location = re.compile(r"^.*?:(\d+:\d+-[\d:]+: error: .*)$")
        assert location.sub(r"\1", expected.err.strip()) == location.sub(r"\1", str(refused.value))
        return []
    document = expected.document
    result, models = api_outcome(text, arguments)
    assert result.status == document["result"]
    assert result.exit_code == expected.code
    assert result.exhausted == document["exhausted"]
    assert canonical((model._texts, model.costs) for model in models) == \
        canonical((model["atoms"], model["costs"]) for model in document["models"])
    if result.status == "optimum":
        assert result.costs == document["models"][-1]["costs"]
    return models


@pytest.mark.parametrize("path", EXAMPLE_FILES, ids=os.path.basename)
def test_examples_solve_alike(path, tarvex_program):
    with open(path) as file:
        text = file.read()
    models = assert_same(text, ["-n", "0"], tarvex_program)
    assert models


def random_program(rng):
    """A small program over integer variables with sums, differences, distinct
    constraints, conditions from choices and sometimes an objective."""
    count = rng.randint(2, 3)
    lines = [f"&dom{{{rng.randint(-2, 0)}..{rng.randint(1, 3)}}} = x({i})." for i in range(count)]
    lines.append("{ q(0..1) }.")

    def term():
        chosen = rng.sample(range(count), rng.randint(1, min(2, count)))
        return "; ".join(f"{rng.choice([-2, -1, 1, 2, 3])}*x({i})" for i in chosen)

    condition = lambda: rng.choice(["", " :- q(0)", " :- q(1)", " :- not q(0)"])  # noqa: E731
    for _ in range(rng.randint(1, 4)):
        kind = rng.randrange(5)
        if kind == 0:
            relation = rng.choice(["<=", "<", "=", "!=", ">", ">="])
            lines.append(f"&sum{{{term()}}} {relation} {rng.randint(-3, 4)}{condition()}.")
        elif kind == 1:
            relation = rng.choice(["<=", ">", "="])
            lines.append(f"r{len(lines)} :- &sum{{{term()}}} {relation} {rng.randint(-2, 3)}.")
        elif kind == 2:
            i, j = rng.sample(range(count), 2)
            lines.append(f"&diff{{x({i}) - x({j})}} <= {rng.randint(-2, 2)}{condition()}.")
        elif kind == 3:
            lines.append(f"&distinct{{{'; '.join(f'x({i})' for i in range(count))}}}{condition()}.")
        else:
            lines.append(f":- q(0), &sum{{{term()}}} >= {rng.randint(0, 3)}.")
    objective = rng.randrange(4)
    if objective == 1:
        lines.append(f"&minimize{{{term()}}}.")
    elif objective == 2:
        lines.append(f"&maximize{{{term()}}}.")
    return "\n".join(lines) + "\n"


@pytest.mark.parametrize("seed", range(40))
def test_random_programs_solve_alike(seed, tarvex_program):
    text = random_program(random.Random(seed))
    arguments = [] if "imize" in text else ["-n", "0"]
    models = assert_same(text, arguments, tarvex_program)
    for model in models:
        # Without show directives every variable is output: the assignment
        # read through the index functions must hold exactly those values.
        shown = {symbol.arguments for symbol in model.symbols
                 if isinstance(symbol, tarvex.Function) and symbol.name == "__csp"}
        assert shown == set(model.assignment.items()), text



def without_times(text):
    """Output with every time left out: the summary's line, the statistics'
    times (host and theory) and the JSON keys that hold them."""
    if text.startswith("{"):
        def strip(node):
            if isinstance(node, dict):
                return {key: strip(value) for key, value in node.items() if "time" not in key.lower()}
            if isinstance(node, list):
                return [strip(value) for value in node]
            return node

        # The document is compared as printed, but with the times cut out.
        return json.dumps(strip(json.loads(text)), indent=1)
    return "\n".join(line for line in text.split("\n")
                     if not line.startswith("Time ") and "time" not in line.partition(" : ")[0].lower())


def races(arguments):
    return "-t" in arguments


def assert_prints_alike(arguments, text, tarvex_program, python_program):
    expected = tarvex_program(arguments, text)
    actual = python_program(arguments, text)
    assert actual.code == expected.code, actual.err
    assert actual.err == expected.err
    if races(arguments):
        # Threads race: which models come first, and their numbers, are not fixed.
        def lines(out):
            return sorted(line for line in without_times(out).splitlines() if not line.startswith("Answer: "))

        if "Optimization :" in expected.out:
            # Threads race to better models: only the optimum is fixed.
            def optimum(out):
                return [line for line in lines(out) if line.startswith(("Optimization :", "OPTIMUM"))]

            assert optimum(actual.out) == optimum(expected.out)
        else:
            assert lines(actual.out) == lines(expected.out)
    else:
        # Both are complete: a JSON document that is cut short does not parse.
        assert without_times(actual.out) == without_times(expected.out)
        assert actual.out.count("\n") == expected.out.count("\n")
    return expected, actual


# The text without --stats is where the text with it begins.
FORMATS = [["--stats"], ["--json", "--stats"], ["-n", "0"], ["--json", "-n", "0"]]


@pytest.mark.parametrize("arguments", [*FORMATS, ["-t", "2", "-n", "0"]])
@pytest.mark.parametrize("path", EXAMPLE_FILES, ids=os.path.basename)
def test_python_m_tarvex_prints_what_the_program_prints(path, arguments, tarvex_program, python_program):
    with open(path) as file:
        assert_prints_alike(arguments, file.read(), tarvex_program, python_program)


PROGRAMS = {
    "integer objective": "&dom{0..5} = x. &dom{0..5} = y. &sum{x; y} >= 3. &minimize{2*x; y}.",
    "integer maximum": "&dom{-3..3} = x. &sum{x} != 3. &maximize{x}.",
    "host objective": "{ a; b }. :- not a, not b. #minimize { 2,a : a; 1,b : b }.",
    "empty integer objective": "{ a }. #minimize { 1 : a }. &minimize{}.",
    "host objective of a part never grounded": "&dom{0..3} = x. &minimize{x}. #program q. { b }. #minimize { 1 : b }.",
    "unsatisfiable": "&dom{1..3} = x. &sum{x} > 3.",
    "enumeration": "{ p(1..3) }. &dom{1..2} = x. &sum{x} <= 1 :- p(1).",
    "escapes": 'q("a\\"b\\\\c\\td"). &dom{1..1} = "x y".',
    # The bound passes the smallest value of the objective's range on the way.
    "objective beyond the value range": "&dom{-2000..0} = x. &minimize{1000000*x}.",
}


@pytest.mark.parametrize("arguments", FORMATS)
@pytest.mark.parametrize("name", PROGRAMS)
def test_results_objectives_statistics_and_late_errors_print_alike(name, arguments, tarvex_program,
                                                                   python_program):
    expected, _ = assert_prints_alike(arguments, PROGRAMS[name], tarvex_program, python_program)
    assert expected.code in (1, 10, 20, 30)


def test_threads_show_improving_models_only(tarvex_program, python_program):
    # Many models of every cost: the threads keep finding ones that another
    # thread has already beaten.
    text = ("&dom{0..40} = x(1). &dom{0..40} = x(2). &dom{0..40} = x(3). "
            "&sum{x(1) + x(2) + x(3)} >= 45. &minimize{2 * x(1) + 3 * x(2) + 5 * x(3)}.")
    for seed in range(4):
        for arguments in (["-t", "3", "--seed", str(seed)], ["--json", "-t", "3", "--seed", str(seed)]):
            for run in (tarvex_program, python_program):
                result = run(arguments, text)
                assert result.code == 30, result.err
                if "--json" in arguments:
                    document = result.document
                    shown = [model["costs"][0] for model in document["models"]]
                    assert document["costs"] == [95]
                else:
                    shown = [int(line.split()[1]) for line in result.out.splitlines()
                             if line.startswith("Optimization: ")]
                    assert "\nOptimization : 95\n" in result.out
                    assert result.out.count("Answer: ") == len(shown)
                assert shown[-1] == 95
                assert all(later < earlier for earlier, later in zip(shown, shown[1:])), (run, shown)


@pytest.mark.parametrize("text", [
    # b with x = 6 wins under #minimize, a with x = 3 under &minimize.
    "&dom{0..10} = x. 1 { a; b } 1. &sum{x} >= 3 :- a. &sum{x} >= 6 :- b. "
    "#minimize { 1,b : b; 2,a : a }. &minimize{x}.",
    # Weak constraints are the host's objective too.
    "&dom{0..3} = x. { a }. :~ a. [1] &maximize{x}.",
    "&dom{0..3} = x. #program q. c. #program base. { a }. #minimize { 1 : a }. &minimize{x}.",
    # Theory errors: nothing but the error is printed, the search never begins.
    "&sum{x} <= 5/0.",
    "&sum{2147483647*x; 2147483647*y} <= 4.",
    "&sum{x * y * z} <= 3.",
    # Syntax errors are printed once each.
    "a :- b\nc :- .\n",
], ids=["both objectives", "weak constraints", "both in a grounded part", "division by zero", "overflow",
        "nonlinear", "syntax errors"])
@pytest.mark.parametrize("arguments", [[], ["--json", "--stats"]])
def test_programs_refused_before_the_search_print_only_the_error(text, arguments, tarvex_program,
                                                                  python_program):
    expected = tarvex_program(arguments, text)
    actual = python_program(arguments, text)
    assert (expected.code, actual.code) == (1, 1), actual.err
    assert (expected.out, actual.out) == ("", "")
    assert actual.err == expected.err
    assert actual.err.count(":2:1") <= 1 and "parsing failed" not in actual.err


@pytest.mark.parametrize("number", [signal.SIGTERM, signal.SIGINT], ids=["SIGTERM", "SIGINT"])
@pytest.mark.parametrize("arguments", [[], ["--json"]])
def test_a_signal_stops_the_search_and_the_summary_follows(number, arguments, tmp_path):
    # Each model raises x by one: the optimum is a billion models away.
    path = tmp_path / "endless.lp"
    path.write_text("&dom{0..1000000000} = x. &maximize{x}.")
    outcomes = []
    for command in ([sys.executable, "-m", "tarvex"], [PROGRAM]):
        process = subprocess.Popen([*command, *arguments, str(path)], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True,
                                   preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        # Ends a run that never shows a model (or never stops), so that it fails instead of hanging.
        watchdog = threading.Timer(120, process.kill)
        watchdog.start()
        try:
            head = []
            for line in process.stdout:
                head.append(line)
                if "Optimization: " in line or '"costs": [' in line:
                    break
            process.send_signal(number)
            out = "".join(head) + process.stdout.read()
            code = process.wait()
        finally:
            watchdog.cancel()
        assert code == 10, (command, process.stderr.read())
        if arguments:
            document = json.loads(out)
            assert (document["result"], document["exhausted"], document["interrupted"]) == \
                ("satisfiable", False, True)
            assert document["costs"] == document["models"][-1]["costs"]
            outcomes.append(sorted(document))
        else:
            shown = [line for line in out.splitlines() if line.startswith("Optimization: ")]
            tail = out[out.index("SATISFIABLE\n"):].splitlines()
            assert tail[:5] == ["SATISFIABLE", "", f"Models       : {len(shown)}+",
                                "Optimization : " + shown[-1].split()[1], "Interrupted  : yes"], out[-300:]
            outcomes.append(tail[5].split(":")[0])
    assert outcomes[0] == outcomes[1]


@pytest.mark.parametrize("text, arguments, code", [
    ("&dom{1..3} = x. &sum{x} > 1.", [], 10),
    ("&dom{1..3} = x. &sum{x} > 3.", [], 20),
    ("&dom{1..3} = x. &dom{1..3} = y. &sum{x; y} >= 3. &minimize{x; y}.", [], 30),
    ("a :- b", [], 1),
    ("&nosuch{x} = 1.", [], 1),
    ("a.", ["--models=many"], 1),
    ("a.", ["--no-such-flag"], 1),
    ("a.", ["--no-such-option=1"], 1),
    ("a.", ["-q"], 1),
    ("a.", ["-sn0"], 1),
    ("a.", ["--stats=2"], 1),
    ("a.", ["--stats", "--stats"], 1),
    ("a.", ["-n", "1", "-n", "2"], 1),
    ("a.", ["--translate-opt=x"], 1),
    ("a.", ["--translate-opt"], 1),
    ("a.", ["--min-int=5", "--max-int=1"], 1),
    ("a.", ["--literals-only=maybe"], 1),
    ("a.", ["--shift-constraints=no", "--shift-constraints"], 1),
    ("a.", ["--json=no", "-s", "--literals-only", "--translate-opt", "3"], 10),
    ("a.", ["--literals-only=off", "--refine-reasons=no", "--refine-reasons=yes,1"], 10),
    ("a.", ["--version"], 0),
    ("a.", ["--help"], 0),
])
def test_exit_codes_and_messages_agree(text, arguments, code, tarvex_program, python_program):
    expected = tarvex_program(arguments, text)
    actual = python_program(arguments, text)
    assert (expected.code, actual.code) == (code, code), actual.err
    # The same messages, located in the program's file alike.
    assert actual.err == expected.err
    if "--help" not in arguments:
        assert without_times(actual.out) == without_times(expected.out)
