"""python -m tarvex [options] [files]: the tarvex program, driven from Python.

Prints what the tarvex program prints (models, result lines, --json, --stats)
and exits with its codes: 10 satisfiable, 20 unsatisfiable, 30 optimum found,
0 unknown, 1 bad input or options, 2 an internal error. The solving options
go to the host as they are; any other --name=value sets the theory's option
of that name.
"""

import sys
import threading
import time

from ._native import ERROR_RUNTIME, ffi, glib
from .errors import TarvexError
from .solver import Solver

EXIT_UNKNOWN, EXIT_BAD_INPUT, EXIT_INTERNAL = 0, 1, 2

# The host's solving options: long name -> one-letter alias.
SOLVING_OPTIONS = {"models": "n", "threads": "t", "time-limit": None, "seed": None, "const": "c"}
FLAGS = {"stats": "s", "json": None, "version": "v"}

HELP = """usage: {program} [options] [files]

Basic Options:

  --help,-h           : Print help information and exit
  --version,-v        : Print version information and exit
  --stats,-s          : Print the statistics of the search
  --json              : Print models, result and statistics as one JSON document

Solving Options:

  --models,-n=<n>     : Compute at most <n> models (0 for all)
  --threads,-t=<n>    : Run <n> solver threads
  --time-limit=<s>    : Stop the search after <s> seconds (0 for no limit)
  --seed=<n>          : Seed the random choices with <n>
  --const,-c=<id>=<t> : Replace term occurrences of <id> with <t>

CSP Options:

  --<name>=<value>    : Set the theory's option <name>
"""


class OptionError(Exception):
    pass


class CommandLine:
    def __init__(self, argv):
        self.files = []
        self.host = []
        self.theory = []
        self.flags = set()
        self.help = False
        self._parse(argv)

    def _parse(self, argv):
        aliases = {alias: name for name, alias in {**SOLVING_OPTIONS, **FLAGS, "help": "h"}.items() if alias}
        i = 0
        while i < len(argv):
            argument = argv[i]
            i += 1
            if argument == "--":
                self.files.extend(argv[i:])
                return
            if len(argument) < 2 or not argument.startswith("-"):
                self.files.append(argument)
                continue
            value = None
            if argument.startswith("--"):
                name, equal, rest = argument[2:].partition("=")
                value = rest if equal else None
                shown = "--" + name
            else:
                shown = argument[:2]
                name = aliases.get(argument[1])
                if len(argument) > 2:
                    value = argument[3:] if argument[2] == "=" else argument[2:]
            if name == "help":
                self.help = True
            elif name in FLAGS:
                self.flags.add(name)
            elif name in SOLVING_OPTIONS:
                # The host parses them again, as written, so that its messages
                # name the option as the user spelt it.
                self.host.append(argument)
                if value is None:
                    if i >= len(argv):
                        raise OptionError(f"option '{shown}' requires a value")
                    self.host.append(argv[i])
                    i += 1
            elif name and argument.startswith("--") and value is not None:
                self.theory.append((name, value))
            else:
                raise OptionError(f"unknown option '{shown}'")


def json_string(text):
    """A JSON string as the tarvex program writes it (raw UTF-8, few escapes)."""
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


def json_statistics(value):
    if isinstance(value, dict):
        return "{" + ",".join(json_string(k) + ":" + json_statistics(v) for k, v in value.items()) + "}"
    if isinstance(value, list):
        return "[" + ",".join(json_statistics(v) for v in value) + "]"
    if value is None:
        return "null"
    return "%.17g" % value


def text_statistics(value, prefix=""):
    lines = []
    if isinstance(value, dict):
        for key, child in value.items():
            lines += text_statistics(child, key if not prefix else prefix + "." + key)
    elif isinstance(value, list):
        for i, child in enumerate(value):
            lines += text_statistics(child, f"{prefix}.{i}")
    elif value is not None:
        lines.append(f"{prefix} : {value:g}")
    return lines


class Printer:
    """Prints models as they come, or collects them for the JSON document."""

    def __init__(self, json):
        self.json = json
        self.models = []
        self.count = 0

    def __call__(self, model):
        self.count += 1
        if self.json:
            self.models.append(model)
            return
        lines = [f"Answer: {self.count}", str(model)]
        if model.costs:
            lines.append("Optimization: " + " ".join(str(cost) for cost in model.costs))
        sys.stdout.write("\n".join(lines) + "\n")
        sys.stdout.flush()


def solve_interruptibly(solver, on_model):
    """Solves on a helper thread so that Ctrl-C stops the search, not the program."""
    outcome = []
    done = threading.Event()

    def run():
        try:
            outcome.append(solver.solve(on_model))
        except BaseException as error:
            outcome.append(error)
        finally:
            done.set()

    threading.Thread(target=run, name="tarvex-solve", daemon=True).start()
    # Waiting on an event, not on the thread: an interrupted join may take a
    # running thread for finished. The search must end before the program
    # does, or the interpreter would tear the thread down inside native code.
    while True:
        try:
            done.wait()
            break
        except KeyboardInterrupt:
            solver.interrupt()
    if isinstance(outcome[0], BaseException):
        raise outcome[0]
    return outcome[0]


def run(argv, program="tarvex"):
    start = time.monotonic()
    try:
        command_line = CommandLine(argv)
    except OptionError as error:
        sys.stderr.write(f"{program}: error: {error}\n")
        return EXIT_BAD_INPUT
    if command_line.help:
        sys.stdout.write(HELP.format(program=program))
        return EXIT_UNKNOWN
    if "version" in command_line.flags:
        numbers = ffi.new("int[3]")
        glib.gondra_version(numbers, numbers + 1, numbers + 2)
        sys.stdout.write(f"{program} {numbers[0]}.{numbers[1]}.{numbers[2]}\n")
        return EXIT_UNKNOWN
    json = "json" in command_line.flags
    stats = "stats" in command_line.flags

    def logger(code, message):
        sys.stderr.write(message + "\n")

    try:
        solver = Solver(command_line.host, options=dict(command_line.theory), logger=logger)
    except TarvexError as error:
        sys.stderr.write(f"{program}: error: {error}\n")
        return EXIT_BAD_INPUT
    try:
        with solver:
            solver.load(*(command_line.files or ["-"]))
            solver.ground()
            printer = Printer(json)
            if not json:
                sys.stdout.write("Solving...\n")
                sys.stdout.flush()
            result = solve_interruptibly(solver, printer)
            statistics = solver.statistics if stats else None
    except TarvexError as error:
        sys.stdout.flush()
        sys.stderr.write(f"{program}: {error}\n")
        return EXIT_BAD_INPUT if error.code == ERROR_RUNTIME else EXIT_INTERNAL
    except Exception as error:
        sys.stdout.flush()
        sys.stderr.write(f"{program}: internal error: {error}\n")
        return EXIT_INTERNAL

    seconds = time.monotonic() - start
    if json:
        models = ", ".join(
            '{"atoms": [' + ", ".join(json_string(str(value)) for value in model.symbols) + '], "costs": ['
            + ", ".join(str(cost) for cost in model.costs) + "]}"
            for model in printer.models
        )
        document = f'{{"result": "{result.status}", "models": [{models}], "exhausted": '
        document += f'{"true" if result.exhausted else "false"}, "time": {seconds:g}'
        if statistics is not None:
            document += ', "statistics": ' + json_statistics(statistics)
        sys.stdout.write(document + "}\n")
    else:
        lines = [
            {"optimum": "OPTIMUM FOUND"}.get(result.status, result.status.upper()),
            "",
            f"Models       : {result.models}{'' if result.exhausted or result.unsatisfiable else '+'}",
        ]
        if result.costs:
            lines.append("Optimization : " + " ".join(str(cost) for cost in result.costs))
        lines.append(f"Time         : {seconds:.3f}s")
        if statistics is not None:
            lines += [""] + text_statistics(statistics)
        sys.stdout.write("\n".join(lines) + "\n")
    sys.stdout.flush()
    return result.exit_code


def main():
    sys.exit(run(sys.argv[1:]))


if __name__ == "__main__":
    main()
