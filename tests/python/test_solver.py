"""Solving from Python: models as values, integer assignments, optimisation, errors."""

import os
import subprocess
import sys

import pytest

import tarvex
from tarvex import Function, Infimum, Supremum


def models_of(program, *arguments, **options):
    with tarvex.Solver(["-n", "0", *arguments], **options) as solver:
        solver.add(program)
        models = []
        result = solver.solve(on_model=models.append)
    return models, result


def test_symbols_become_python_values_that_print_as_the_solver_prints_them():
    # The deep term comes from grounding: the parser limits the nesting of
    # terms written in the program.
    program = """
        v(-3). v(a). v("q\\"u\\\\o\\nte"). v(()). v((1,)). v((1,a)). v(-g(b, (2,"s"))).
        v(#inf). v(#sup).
        n(0, z). n(I + 1, f(T)) :- n(I, T), I < 3000. v(T) :- n(3000, T).
        #show v/1.
    """
    (model,), _ = models_of(program)
    values = {symbol.arguments[0] for symbol in model.symbols}
    nested = Function("z")
    for _ in range(3000):
        nested = Function("f", (nested,))
    assert values == {-3, Function("a"), 'q"u\\o\nte', (), (1,), (1, Function("a")),
                      Function("g", (Function("b"), (2, "s")), False), Infimum, Supremum, nested}
    texts = str(model).split(" ")
    assert 'v("q\\"u\\\\o\\nte")' in texts and "v(())" in texts and "v((1,))" in texts
    assert "v(-g(b,(2,\"s\")))" in texts and "v(#inf)" in texts
    assert "v(" + "f(" * 3000 + "z" + ")" * 3001 in texts
    assert [tarvex.symbol_text(symbol) for symbol in model.symbols] == texts


def test_the_assignment_holds_every_variable_with_a_symbol_whatever_is_shown():
    program = """
        &dom{1..3} = x(1). &dom{1..3} = x(2). &dom{0..9} = y.
        &sum{x(1); x(2)} = y.
        &sum{x(1)} < x(2) :- p.
        {p}.
        &show{y}.
    """
    models, result = models_of(program)
    assert result.status == "satisfiable" and result.exhausted
    x1, x2, y = Function("x", (1,)), Function("x", (2,)), Function("y")
    seen = set()
    for model in models:
        values = model.assignment
        assert set(values) == {x1, x2, y}
        assert values[x1] + values[x2] == values[y]
        p = Function("p") in model.symbols
        assert not p or values[x1] < values[x2]
        # Only y is shown.
        assert [s for s in model.symbols if isinstance(s, Function) and s.name == "__csp"] == \
            [Function("__csp", (y, values[y]))]
        seen.add((p, values[x1], values[x2]))
    # Brute force: every pair without p, the increasing pairs with p.
    expected = {(False, a, b) for a in range(1, 4) for b in range(1, 4)}
    expected |= {(True, a, b) for a in range(1, 4) for b in range(1, 4) if a < b}
    assert seen == expected and len(models) == len(expected)


def test_optimisation_reports_the_optimum_and_its_cost():
    # Two tasks on one machine, in either order; the makespan is minimised.
    program = """
        &dom{0..10} = s(a). &dom{0..10} = s(b). &dom{0..20} = m.
        1 { first(a); first(b) } 1.
        &diff{s(a) - s(b)} <= -3 :- first(a).
        &diff{s(b) - s(a)} <= -2 :- first(b).
        &diff{s(a) - m} <= -3. &diff{s(b) - m} <= -2.
        &minimize{m}.
    """
    with tarvex.Solver() as solver:
        solver.add(program)
        models = []
        result = solver.solve(on_model=models.append)
    assert result.status == "optimum" and result.exit_code == 30
    assert result.costs == [5]
    assert models[-1].costs == [5] and models[-1].assignment[Function("m")] == 5
    assert [model.costs[0] for model in models] == sorted((model.costs[0] for model in models), reverse=True)
    assert all(Function("__csp_cost", (str(model.costs[0]),)) in model.symbols for model in models)


def test_errors_in_a_program_raise_with_the_located_message():
    with tarvex.Solver() as solver:
        with pytest.raises(tarvex.TarvexError) as syntax:
            solver.add("p.\nq :- p, .")
        assert syntax.value.code == 1
        assert "<string>:2:" in str(syntax.value) and "syntax error" in str(syntax.value)
    with tarvex.Solver() as solver:
        solver.add("&dom{1..2} = x.\n&nosuch{x} <= 1.")
        with pytest.raises(tarvex.TarvexError) as undeclared:
            solver.solve()
        assert "<string>:2:1-" in str(undeclared.value) and "&nosuch/0" in str(undeclared.value)
    with tarvex.Solver() as solver:
        # Found by the theory when it reads the ground atoms.
        solver.add("&dom{1..2} = x. &sum{x * x * x} <= 2.")
        with pytest.raises(tarvex.TarvexError, match="only linear sum constraints"):
            solver.solve()


def test_the_start_of_the_search_follows_the_theorys_initialisation():
    events = []
    with tarvex.Solver(["-n", "0"]) as solver:
        solver.add("&dom{1..2} = x. {a}.")
        result = solver.solve(on_model=lambda model: events.append("model"),
                              on_start=lambda: events.append("start"))
        assert events == ["start"] + ["model"] * 4 and result.models == 4
        # False from on_start skips the search: no model, nothing proven.
        result = solver.solve(on_model=events.append, on_start=lambda: False)
        assert (result.models, result.status, result.exhausted) == (0, "unknown", False)
    with tarvex.Solver() as solver:
        solver.add("&sum{x} <= 5/0.")
        with pytest.raises(tarvex.TarvexError):
            solver.solve(on_start=lambda: events.append("started anyway"))
    assert "started anyway" not in events


def test_an_integer_objective_is_the_hosts_to_count_and_excludes_one_of_the_program():
    with tarvex.Solver() as solver:
        solver.add("&dom{0..5} = x. &sum{x} >= 2. &minimize{x}.")
        result = solver.solve()
        assert result.status == "optimum" and result.costs == [2]
        assert result.statistics["summary"]["models"]["optimal"] == 1
    with tarvex.Solver() as solver:
        # The objective of a part counts once the part is grounded.
        solver.add("&dom{0..3} = x. &minimize{x}. #program q. { b }. #minimize { 1 : b }.")
        assert solver.solve().status == "optimum"
        solver.ground([("q", ())])
        with pytest.raises(tarvex.ObjectiveConflictError, match="#minimize.*&minimize") as refused:
            solver.solve()
        assert refused.value.code == 1 and isinstance(refused.value, tarvex.TarvexError)


def test_an_exception_in_the_model_callback_ends_the_search_and_reaches_the_caller():
    class Stop(Exception):
        pass

    def fail(model):
        raise Stop(model.number)

    with tarvex.Solver(["-n", "0"]) as solver:
        solver.add("{a; b}.")
        with pytest.raises(Stop) as stopped:
            solver.solve(on_model=fail)
        assert stopped.value.args == (1,)
        # The solver is still usable, and a False result stops after one model.
        assert solver.solve(on_model=lambda model: False).models == 1
        assert solver.solve().models == 4


def test_multi_shot_solving_adds_to_the_program_between_calls():
    with tarvex.Solver(["-n", "0"]) as solver:
        solver.add("&dom{1..5} = x. {big}. &sum{x} >= 4 :- big.")
        assert solver.solve().models == 7
        solver.add(":- not big.")
        models = []
        assert solver.solve(on_model=models.append).models == 2
        assert sorted(model.assignment[Function("x")] for model in models) == [4, 5]
        assert solver.statistics["summary"]["call"] == 2


def test_iterating_over_models_can_stop_early_and_leaves_the_solver_usable():
    with tarvex.Solver(["-n", "0"]) as solver:
        solver.add("&dom{1..50} = x. &dom{1..50} = y. &sum{x; y} = 51.")
        with solver.solve_iter() as models:
            values = [model.assignment[Function("x")] for model in models]
        assert models.result.models == 50 and models.result.exhausted
        assert sorted(values) == list(range(1, 51))
        with solver.solve_iter() as models:
            first = next(models)
        assert models.result.models == 1 and not models.result.exhausted
        assert first.number == 1 and not solver.solving
        assert solver.solve().models == 50


def test_statistics_are_nested_dicts_of_the_hosts_tree():
    with tarvex.Solver(["-n", "0"]) as solver:
        solver.add("{a; b; c}.")
        result = solver.solve()
        step = result.statistics
        assert step["summary"]["models"]["enumerated"] == 8.0
        assert isinstance(step["solving"]["solvers"]["choices"], float)
        solver.solve()
        assert solver.statistics["summary"]["models"]["enumerated"] == 16.0
        if "Tarvex" in step:
            assert isinstance(step["Tarvex"], dict)


def test_host_settings_and_theory_options_are_reachable():
    with pytest.raises(tarvex.TarvexError, match="unknown option: some-future-option"):
        tarvex.Solver(options={"some-future-option": "1"})
    with tarvex.Solver(["--models=3"], options={"translate-clauses": "0"}) as solver:
        assert solver.configuration["solve.models"] == "3"
        solver.configuration["solve.models"] = 0
        solver.add("{a; b; c}.")
        assert solver.solve().models == 8
        with pytest.raises(tarvex.TarvexError):
            solver.configuration["solve.no_such_setting"]
    with pytest.raises(tarvex.TarvexError, match="integer"):
        tarvex.Solver(["-n", "many"])


def test_a_closed_solver_refuses_work():
    solver = tarvex.Solver()
    solver.close()
    solver.close()
    with pytest.raises(tarvex.TarvexError, match="closed"):
        solver.add("a.")
    with pytest.raises(tarvex.TarvexError, match="closed"):
        solver.configure("x", "1")


def test_the_readme_example_runs_and_finds_the_optimum():
    from conftest import ROOT

    with open(os.path.join(ROOT, "README.md")) as file:
        readme = file.read()
    section = readme.split("## Using it from Python", 1)[1]
    code = section.split("```python\n", 1)[1].split("```", 1)[0]
    completed = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert completed.returncode == 0, completed.stderr
    lines = completed.stdout.splitlines()
    assert lines[-1] == "optimum [6]"
    assert eval(lines[-2])["end"] == 6
