"""Python against the tarvex program: the same models, values, results and exit codes.

On the shipped examples and on random integer programs, the package's
Solver and `python -m tarvex` must agree with the tarvex program run with
--json (and in its text output, line by line but for the time).
"""

import glob
import os
import random
import re

import pytest

import tarvex
from conftest import EXAMPLES

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


@pytest.mark.parametrize("arguments", [["--json", "-n", "0"], ["-n", "0"], ["--json", "--stats"], ["-t", "2", "-n", "0"]])
@pytest.mark.parametrize("path", EXAMPLE_FILES, ids=os.path.basename)
def test_python_m_tarvex_prints_what_the_program_prints(path, arguments, tarvex_program, python_program):
    expected = tarvex_program([*arguments, path])
    actual = python_program([*arguments, path])
    assert actual.code == expected.code, actual.err
    if "--json" in arguments:
        expected_document, actual_document = expected.document, actual.document
        for document in (expected_document, actual_document):
            del document["time"]
            document.get("statistics", {}).get("summary", {}).pop("times", None)
            # The theory's times differ from run to run as well.
            theory = document.get("statistics", {}).get("Tarvex", {})
            theory.pop("Init time in seconds", None)
            for thread in theory.get("Thread", []):
                thread.pop("Time in seconds", None)
        if "-t" in arguments:
            # Threads race: which models come first is not fixed.
            for document in (expected_document, actual_document):
                document["models"] = canonical((m["atoms"], m["costs"]) for m in document["models"])
        assert actual_document == expected_document
    else:
        def lines(out):
            return [line for line in out.splitlines() if not line.startswith("Time ")]

        if "-t" in arguments and "Optimization :" in expected.out:
            # Threads race to better models: only the optimum is fixed.
            def optimum(out):
                return [line for line in lines(out) if line.startswith(("Optimization :", "OPTIMUM"))]

            assert optimum(actual.out) == optimum(expected.out)
        elif "-t" in arguments:
            # Threads race: compare the models, not their numbers.
            def models(out):
                return sorted(line for line in lines(out) if not line.startswith("Answer: "))

            assert models(actual.out) == models(expected.out)
        else:
            assert lines(actual.out) == lines(expected.out)


@pytest.mark.parametrize("text, arguments, code", [
    ("&dom{1..3} = x. &sum{x} > 1.", [], 10),
    ("&dom{1..3} = x. &sum{x} > 3.", [], 20),
    ("&dom{1..3} = x. &dom{1..3} = y. &sum{x; y} >= 3. &minimize{x; y}.", [], 30),
    ("a :- b", [], 1),
    ("&nosuch{x} = 1.", [], 1),
    ("a.", ["--models=many"], 1),
    ("a.", ["--no-such-flag"], 1),
    ("a.", ["-q"], 1),
    ("a.", ["--help"], 0),
])
def test_exit_codes_and_messages_agree(text, arguments, code, tarvex_program, python_program):
    expected = tarvex_program(arguments, text)
    actual = python_program(arguments, text)
    assert (expected.code, actual.code) == (code, code), actual.err
    if code == 1:
        # The same messages, located in the program's file alike.
        assert actual.err.replace("python -m tarvex", "tarvex") == expected.err
    if code in (10, 20, 30):
        assert [line for line in actual.out.splitlines() if not line.startswith("Time ")] == \
            [line for line in expected.out.splitlines() if not line.startswith("Time ")]
