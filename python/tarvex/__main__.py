"""python -m tarvex [options] [files]: the tarvex program, driven from Python.

Prints what the tarvex program prints, as it goes: "Solving..." once the
theory is initialised, the models as they are found (with an objective only
those that improve on the ones before), the result lines or one JSON document
(--json), both statistics trees (--stats); exits with its codes: 10
satisfiable, 20 unsatisfiable, 30 optimum found, 0 unknown, 1 bad input or
options, 2 an internal error. A first SIGINT or SIGTERM stops the search and
the summary is still printed; a second one ends the program. The solving
options go to the host as they are; any other long option sets the theory's
option of that name.
"""

import os
import signal
import sys
import threading
import time

from ._native import ERROR_RUNTIME, ffi, glib, tffi, tlib
from ._program_output import JsonOutput, Summary, TextOutput
from .errors import ObjectiveConflictError, TarvexError, current_error
from .solver import Solver

EXIT_UNKNOWN, EXIT_BAD_INPUT, EXIT_INTERNAL = 0, 1, 2
EXIT_CODES = {"optimum": 30, "satisfiable": 10, "unsatisfiable": 20, "unknown": 0}

# The host's solving options: long name -> one-letter alias.
SOLVING_OPTIONS = {"models": "n", "threads": "t", "time-limit": None, "seed": None, "const": "c"}
FLAGS = {"stats": "s", "json": None, "version": "v"}
TRUE_WORDS, FALSE_WORDS = ("yes", "true", "on", "1"), ("no", "false", "off", "0")

HELP = """usage: {program} [options] [files]

Basic Options:

  --help,-h[=<n>]     : Print help information and exit (<n> selects more options)
  --version,-v        : Print version information and exit
  --stats,-s          : Print the statistics of the search
  --json              : Print models, result and statistics as one JSON document

Solving Options:

  --models,-n=<n>     : Compute at most <n> models (0 for all)
  --threads,-t=<n>    : Run <n> solver threads
  --time-limit=<s>    : Stop the search after <s> seconds (0 for no limit)
{seed}  --const,-c=<id>=<t> : Replace term occurrences of <id> with <t>

CSP Options:

  --<name>[=<value>]  : Set the theory's option <name> (a flag without a value)
"""
SEED_HELP = "  --seed=<n>          : Seed the random choices with <n>\n"


class OptionError(Exception):
    pass


class TheoryOptions:
    """Checks the theory's options on a theory of its own, as they are read,
    so that a bad one is reported before anything else happens."""

    def __init__(self):
        theory = tffi.new("tarvex_theory_t **")
        if not tlib.tarvex_create(theory):
            raise TarvexError("cannot create the theory")
        self._theory = theory[0]

    def close(self):
        tlib.tarvex_destroy(self._theory)

    def _configure(self, name, value):
        """None when the theory takes the value, else why it does not."""
        if tlib.tarvex_configure(self._theory, name.encode(), value.encode()):
            return None
        message = glib.gondra_error_message()
        return ffi.string(message).decode("utf-8", "replace") if message != ffi.NULL else "invalid value"

    def is_option(self, name):
        reason = self._configure(name, "")
        return reason is None or not reason.startswith("unknown option")

    def is_flag(self, name):
        """A flag is switched on by its name alone; the options that take yes
        or no for each thread take a thread's number too."""
        return self._configure(name, "yes") is None and self._configure(name, "yes,0") is not None

    def check(self, name, value, shown):
        # A flag's value is one of the words for yes or no, which needs no explaining.
        if self.is_flag(name):
            reason = None if value in TRUE_WORDS or value in FALSE_WORDS else ""
        else:
            reason = self._configure(name, value)
        if reason is not None:
            raise OptionError(f"invalid value '{value}' for option '{shown}'" + (f": {reason}" if reason else ""))


class CommandLine:
    """The program's command line; the host's options may be given once (--const any number of times)."""

    def __init__(self, argv, theory_options):
        self.files = []
        self.host = []
        self.theory = []
        self.flags = set()
        self.help_level = 0
        self._given = set()
        self._parse(argv, theory_options)

    def _once(self, name, shown):
        if name in self._given and name != "const":
            raise OptionError(f"option '{shown}' given more than once")
        self._given.add(name)

    def _parse(self, argv, theory_options):
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
            if name is None or (name not in SOLVING_OPTIONS and name not in FLAGS and name != "help"
                                and (not argument.startswith("--") or not theory_options.is_option(name))):
                raise OptionError(f"unknown option '{shown}'")
            if name in SOLVING_OPTIONS or name in FLAGS or name == "help":
                self._once(name, shown)
            if name == "help":
                if value is None:
                    value = "1"
                if not (value.isdigit() and value.isascii() and 1 <= int(value) <= 9):
                    raise OptionError(f"invalid value '{value}' for option '{shown}': "
                                      "expected a help level between 1 and 9")
                self.help_level = int(value)
            elif name in FLAGS:
                if value is None or value in TRUE_WORDS:
                    self.flags.add(name)
                elif value in FALSE_WORDS:
                    self.flags.discard(name)
                else:
                    raise OptionError(f"invalid value '{value}' for option '{shown}'")
            elif name in SOLVING_OPTIONS:
                # The host parses them again, as written, so that its messages
                # name the option as the user spelt it.
                self.host.append(argument)
                if value is None:
                    if i >= len(argv):
                        raise OptionError(f"option '{shown}' requires a value")
                    self.host.append(argv[i])
                    i += 1
            else:
                if value is None:
                    if theory_options.is_flag(name):
                        value = "yes"
                    elif i < len(argv):
                        value = argv[i]
                        i += 1
                    else:
                        raise OptionError(f"option '{shown}' requires a value")
                # Options set per thread come once for all threads and once for each thread.
                if any(given == name and "," not in value + earlier for given, earlier in self.theory):
                    raise OptionError(f"option '{shown}' given more than once")
                theory_options.check(name, value, shown)
                if theory_options.is_flag(name):
                    value = "yes" if value in TRUE_WORDS else "no"
                self.theory.append((name, value))


def version_text():
    numbers = tffi.new("int[3]")
    tlib.tarvex_version(numbers, numbers + 1, numbers + 2)
    host = ffi.new("int[3]")
    glib.gondra_version(host, host + 1, host + 2)
    return f"tarvex {numbers[0]}.{numbers[1]}.{numbers[2]}\nhost solver: gondra {host[0]}.{host[1]}.{host[2]}\n"


class InterruptSignals:
    """SIGINT and SIGTERM stop the search instead of the program, so that it
    still prints what it found and its summary; the second signal of a kind
    ends the program (its default action is back by then). Python runs the
    handler on the main thread, which only waits while a search runs."""

    SIGNALS = (signal.SIGINT, signal.SIGTERM)

    def __init__(self):
        self.received = False
        self._solver = None
        self._previous = {}

    def __enter__(self):
        # Handlers can only be set from the main thread; run() elsewhere goes without.
        if threading.current_thread() is threading.main_thread():
            for number in self.SIGNALS:
                self._previous[number] = signal.signal(number, self._on_signal)
        return self

    def __exit__(self, *exc):
        self._solver = None
        for number, handler in self._previous.items():
            signal.signal(number, handler)

    def _on_signal(self, number, frame):
        self.received = True
        signal.signal(number, signal.SIG_DFL)
        if self._solver is not None:
            self._solver.interrupt()

    def watch(self, solver):
        """The solver that a signal stops from now on; one that came before stops it at once."""
        self._solver = solver
        if solver is not None and self.received:
            solver.interrupt()


def output_failure(error):
    return TarvexError(f"cannot write the output: {error.strerror or error}")


class SolveState:
    """What the events of the search print and collect.

    A failed write is remembered (buffered text may fail only at a later
    flush); the model after it stops the search, since models that nobody
    gets are lost and searching on would report success for them.
    """

    def __init__(self, output):
        self.output = output
        self.started = False
        self.models = 0
        self.best = []
        self.write_error = None

    def write(self, action, *arguments):
        if self.write_error is None:
            try:
                action(*arguments)
            except OSError as error:
                self.write_error = error

    def on_start(self):
        self.started = True
        self.write(self.output.search_started)

    def on_model(self, model):
        costs = model.costs
        # Another thread may report a model that the best one so far beats:
        # only improving models are shown, so the last one is the best.
        if costs:
            if self.best and not costs < self.best:
                return
            self.best = costs
        self.models += 1
        self.write(self.output.model, self.models, model._texts, costs)
        if self.write_error is not None:
            raise output_failure(self.write_error)


def solve_interruptibly(solver, state):
    """Solves on a helper thread, so that the main thread is free to take signals."""
    outcome = []
    done = threading.Event()

    def run():
        try:
            outcome.append(solver.solve(state.on_model, on_start=state.on_start))
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
        except KeyboardInterrupt:  # without handlers of our own (not the main thread)
            solver.interrupt()
    if isinstance(outcome[0], BaseException):
        raise outcome[0]
    return outcome[0]


def flush_standard_output():
    """Before a message on standard error; an output that fails is reported
    by the run itself."""
    try:
        sys.stdout.flush()
    except OSError:
        pass


class ErrorReport:
    """Errors on standard error after the program's name, line by line.

    The host's logger prints messages (syntax errors among them) as they come;
    the error that ends a call may repeat them, and those lines are left out,
    with the line that only says that they were printed.
    """

    def __init__(self, program):
        self.program = program
        self.logged = []

    def logger(self, code, message):
        flush_standard_output()
        sys.stderr.write(message + "\n")
        self.logged.append(message)

    def __call__(self, message):
        flush_standard_output()
        printed = False
        for line in message.split("\n"):
            if not line or line in self.logged or (line == "parsing failed" and self.logged):
                continue
            sys.stderr.write(f"{self.program}: {line}\n")
            printed = True
        if not printed and not self.logged:
            sys.stderr.write(f"{self.program}: unknown error\n")

    def option(self, message):
        flush_standard_output()
        sys.stderr.write(f"{self.program}: error: {message}\n")


def exit_code_of(error):
    return EXIT_BAD_INPUT if isinstance(error, TarvexError) and error.code == ERROR_RUNTIME else EXIT_INTERNAL


def run(argv, program="tarvex"):
    start = time.monotonic()
    with InterruptSignals() as signals:
        return _run(argv, program, start, signals)


def _run(argv, program, start, signals):
    report = ErrorReport(program)
    theory_options = TheoryOptions()
    try:
        command_line = CommandLine(argv, theory_options)
    except OptionError as error:
        report.option(error)
        return EXIT_BAD_INPUT
    finally:
        theory_options.close()
    if command_line.help_level:
        sys.stdout.write(HELP.format(program=program, seed=SEED_HELP if command_line.help_level > 1 else ""))
        return EXIT_UNKNOWN
    if "version" in command_line.flags:
        sys.stdout.write(version_text())
        return EXIT_UNKNOWN

    try:
        solver = Solver(command_line.host, logger=report.logger)
    except TarvexError as error:
        report.option(error)
        return EXIT_BAD_INPUT
    with solver:
        try:
            # A value for all threads first, then those for one thread, whatever their order.
            for name, value in sorted(command_line.theory, key=lambda option: "," in option[1]):
                solver.configure(name, value)
        except TarvexError as error:
            report.option(error)
            return EXIT_BAD_INPUT
        signals.watch(solver)
        try:
            return _solve(solver, command_line, report, start, signals)
        finally:
            signals.watch(None)


def _solve(solver, command_line, report, start, signals):
    json = "json" in command_line.flags
    output = JsonOutput() if json else TextOutput()
    state = SolveState(output)
    try:
        if not tlib.tarvex_validate_options(solver._theory):
            raise current_error()
        solver.load(*(command_line.files or ["-"]))
        solver.ground()
        result = solve_interruptibly(solver, state)
        failure = None
    except ObjectiveConflictError as error:
        report.option(error)
        return EXIT_BAD_INPUT
    except Exception as error:  # noqa: BLE001 (every error is the program's to report)
        if not state.started:
            # Nothing was searched: the program could not be set up.
            report_failure(report, error)
            return exit_code_of(error)
        result, failure = None, error

    solved = failure is None
    exhausted = solved and result.exhausted
    if state.models > 0:
        status = "optimum" if state.best and exhausted else "satisfiable"
    else:
        status = "unsatisfiable" if solved and result.unsatisfiable else "unknown"
    if solved and "stats" in command_line.flags:
        state.write(output.statistics, result.statistics, solver.statistics)
    state.write(output.summary, Summary(status, state.models, exhausted,
                                        (solved and result.interrupted) or signals.received, state.best,
                                        time.monotonic() - start, None if solved else str(failure)))
    state.write(output.out.flush)
    if state.write_error is not None:
        # Text left in the buffer would fail again when the interpreter ends.
        discard_standard_output()
        if solved:
            failure = output_failure(state.write_error)
            solved = False
    if not solved:
        report_failure(report, failure)
        return exit_code_of(failure)
    return EXIT_CODES[status]


def discard_standard_output():
    try:
        descriptor = sys.stdout.fileno()
        null = os.open(os.devnull, os.O_WRONLY)
    except (AttributeError, OSError, ValueError):
        return  # not a file: nothing flushes it at exit
    try:
        os.dup2(null, descriptor)
    except OSError:
        pass
    finally:
        os.close(null)


def report_failure(report, error):
    if isinstance(error, (TarvexError, MemoryError)):
        report(str(error))
    else:
        flush_standard_output()
        sys.stderr.write(f"{report.program}: internal error: {error}\n")


def main():
    # Like the program: a closed standard output ends the run quietly.
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    sys.exit(run(sys.argv[1:]))


if __name__ == "__main__":
    main()
