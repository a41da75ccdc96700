"""What `python -m tarvex` prints on standard output, byte for byte as the tarvex program.

The models as they are found, the summary and the statistics, as text or as
one JSON document. Both are written as the search goes, model by model: an
interrupted run has printed all it found, and memory does not grow with the
number of models.

The JSON document: "models" (each with "atoms" and "costs"), "result"
(optimum, satisfiable, unsatisfiable or unknown), "costs" (of the best model,
with an objective only), "exhausted", "interrupted" (only when the search was
stopped), "time" in seconds, "statistics" with the trees "step" and
"accumulated" (--stats only), and "error" when the search ended with one.
"""

import math
import sys
import time
from decimal import Decimal

# Counters are floats in the trees; below 2**53 they are exact integers.
_EXACT_LIMIT = 2.0**53


def _shortest(value):
    """The shortest text that reads back as value, fixed or scientific, fixed
    on a tie (how the program writes its floats)."""
    sign, digit_tuple, exponent = Decimal(repr(value)).as_tuple()
    digits = "".join(map(str, digit_tuple))
    stripped = digits.rstrip("0")
    exponent += len(digits) - len(stripped)
    digits = stripped.lstrip("0") or "0"
    point = len(digits) + exponent  # value = 0.<digits> * 10**point
    if exponent >= 0:
        # A whole number is written with all its digits, not rounded to the shortest ones.
        fixed = str(int(abs(value)))
    elif point > 0:
        fixed = digits[:point] + "." + digits[point:]
    else:
        fixed = "0." + "0" * -point + digits
    power = point - 1
    scientific = digits[0] + ("." + digits[1:] if len(digits) > 1 else "")
    scientific += ("e-" if power < 0 else "e+") + f"{abs(power):02d}"
    text = fixed if len(fixed) <= len(scientific) else scientific
    return "-" + text if sign else text


def format_number(value, json):
    """A number of the statistics or a time: integers without a fraction."""
    value = float(value)
    if not math.isfinite(value):
        if json:
            return "null"
        return "nan" if math.isnan(value) else "-inf" if value < 0 else "inf"
    if value == math.trunc(value) and abs(value) < _EXACT_LIMIT:
        return str(int(value))
    return _shortest(value)


def json_string(text):
    """A JSON string with the program's escapes (raw UTF-8 otherwise)."""
    out = ['"']
    for char in text:
        if char == '"':
            out.append('\\"')
        elif char == "\\":
            out.append("\\\\")
        elif char == "\n":
            out.append("\\n")
        elif char == "\t":
            out.append("\\t")
        elif ord(char) < 0x20:
            out.append(f"\\u{ord(char):04x}")
        else:
            out.append(char)
    out.append('"')
    return "".join(out)


def statistics_text(tree):
    """The tree as "path : value" lines, depth first; empty entries print nothing."""
    lines = []

    def walk(node, path):
        if isinstance(node, dict):
            for name, child in node.items():
                walk(child, f"{path}.{name}" if path else name)
        elif isinstance(node, list):
            for index, child in enumerate(node):
                walk(child, f"{path}.{index}" if path else str(index))
        elif node is not None:
            lines.append(f"{path} : {format_number(node, False)}\n")

    walk(tree, "")
    return "".join(lines)


def statistics_json(tree, depth):
    """The tree as JSON, nested below depth levels of indentation."""
    if isinstance(tree, (dict, list)):
        is_map = isinstance(tree, dict)
        pad = " " * (2 * (depth + 1))
        items = tree.items() if is_map else ((None, child) for child in tree)
        parts = []
        for name, child in items:
            key = json_string(name) + ": " if is_map else ""
            parts.append(pad + key + statistics_json(child, depth + 1))
        body = ",\n".join(parts)
        if parts:
            body = "\n" + body + "\n" + " " * (2 * depth)
        return ("{" if is_map else "[") + body + ("}" if is_map else "]")
    if tree is None:
        return "null"
    return format_number(tree, True)


class Summary:
    """How the run ended; result is "optimum", "satisfiable", "unsatisfiable" or "unknown"."""

    __slots__ = ("result", "models", "exhausted", "interrupted", "costs", "seconds", "error")

    def __init__(self, result, models, exhausted, interrupted, costs, seconds, error=None):
        self.result = result
        self.models = models
        self.exhausted = exhausted
        self.interrupted = interrupted
        self.costs = costs
        self.seconds = seconds
        self.error = error


class _ModelFlush:
    """Whoever reads the output (a user waiting on an optimisation, a program
    that stops us after the first model) sees a model as soon as it is found.
    Models with a cost improve on the one before and are few: each is flushed.
    Others are flushed unless the last flush was only just now, so that an
    enumeration of millions of models does not make a system call for each."""

    def __init__(self, out):
        self.out = out
        self.last = -math.inf

    def after_model(self, has_cost):
        now = time.monotonic()
        if has_cost or now - self.last >= 0.05:
            self.out.flush()
            self.last = now


class TextOutput:
    def __init__(self, out=None):
        self.out = out if out is not None else sys.stdout
        self.flush = _ModelFlush(self.out)
        self.statistics_text = ""

    def search_started(self):
        self.out.write("Solving...\n")
        self.out.flush()

    def model(self, number, atoms, costs):
        text = f"Answer: {number}\n{' '.join(atoms)}\n"
        if costs:
            text += "Optimization: " + " ".join(map(str, costs)) + "\n"
        self.out.write(text)
        self.flush.after_model(bool(costs))

    def statistics(self, step, accumulated):
        self.statistics_text = ("\nStep statistics:\n\n" + statistics_text(step)
                                + "\nAccumulated statistics:\n\n" + statistics_text(accumulated))

    def summary(self, summary):
        text = {"optimum": "OPTIMUM FOUND"}.get(summary.result, summary.result.upper())
        text += f"\n\nModels       : {summary.models}{'' if summary.exhausted else '+'}\n"
        if summary.costs:
            text += "Optimization : " + " ".join(map(str, summary.costs)) + "\n"
        if summary.interrupted:
            text += "Interrupted  : yes\n"
        text += f"Time         : {summary.seconds:.3f}s\n"
        self.out.write(text + self.statistics_text)
        self.out.flush()


class JsonOutput:
    """The document is opened when the search begins and closed by the
    summary; every model is one element of "models", written when it is found."""

    def __init__(self, out=None):
        self.out = out if out is not None else sys.stdout
        self.flush = _ModelFlush(self.out)
        self.opened = False
        self.first_model = True
        self.statistics_json = ""

    def _open(self):
        if not self.opened:
            self.opened = True
            self.out.write('{\n  "models": [')

    def search_started(self):
        self._open()

    def model(self, number, atoms, costs):
        self._open()
        separator = "\n    " if self.first_model else ",\n    "
        self.first_model = False
        self.out.write(separator + '{"atoms": [' + ", ".join(map(json_string, atoms)) + '], "costs": '
                       + _costs(costs) + "}")
        self.flush.after_model(bool(costs))

    def statistics(self, step, accumulated):
        self.statistics_json = ('{\n    "step": ' + statistics_json(step, 2) + ',\n    "accumulated": '
                                + statistics_json(accumulated, 2) + "\n  }")

    def summary(self, summary):
        self._open()
        text = "],\n" if self.first_model else "\n  ],\n"
        text += f'  "result": "{summary.result}"'
        if summary.costs:
            text += ',\n  "costs": ' + _costs(summary.costs)
        text += ',\n  "exhausted": ' + ("true" if summary.exhausted else "false")
        if summary.interrupted:
            text += ',\n  "interrupted": true'
        text += ',\n  "time": ' + format_number(summary.seconds, True)
        if self.statistics_json:
            text += ',\n  "statistics": ' + self.statistics_json
        if summary.error:
            text += ',\n  "error": ' + json_string(summary.error)
        self.out.write(text + "\n}\n")
        self.out.flush()


def _costs(costs):
    return "[" + ", ".join(map(str, costs)) + "]"
