"""Integer constraints in an answer-set solver, from Python.

    import tarvex

    with tarvex.Solver(["-n", "0"]) as solver:
        solver.add("&dom{1..3} = x. &sum{x} > 1.")
        result = solver.solve(on_model=lambda model: print(model.assignment))
        print(result.status)

Values: numbers are ints, strings strs, tuples tuples, every other function
symbol (constants too) a `Function`; see tarvex.symbols.
"""

from .errors import TarvexError
from .solver import Configuration, Model, SolveIterator, SolveResult, Solver
from .symbols import Function, Infimum, Supremum, symbol_text

__all__ = [
    "Configuration",
    "Function",
    "Infimum",
    "Model",
    "SolveIterator",
    "SolveResult",
    "Solver",
    "Supremum",
    "TarvexError",
    "symbol_text",
    "version",
]


def version():
    """The theory library's version as (major, minor, revision)."""
    from ._native import tffi, tlib

    numbers = tffi.new("int[3]")
    tlib.tarvex_version(numbers, numbers + 1, numbers + 2)
    return tuple(numbers)
