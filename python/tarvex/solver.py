"""The solver: a host control with the integer theory registered."""

import atexit
import logging
import queue
import threading
import weakref

from ._native import (
    EVENT_MODEL,
    EVENT_STATISTICS,
    RESULT_EXHAUSTED,
    RESULT_INTERRUPTED,
    RESULT_SATISFIABLE,
    RESULT_UNSATISFIABLE,
    SHOW_SHOWN,
    WARNING_RUNTIME_ERROR,
    as_void,
    ffi,
    glib,
    tffi,
    tlib,
)
from .errors import Pending, TarvexError, check
from .statistics import read_statistics
from .symbols import Function, SymbolReader, make_symbol

_log = logging.getLogger("tarvex")


class Model:
    """One model, read while the solver reported it.

    symbols: the shown atoms as Python values, in the solver's order (the
    theory's __csp(variable, value) atoms among them); assignment: every
    integer variable that has a symbol, mapped to its value; costs: the
    costs by priority, the integer objective's last; number: the running
    number from 1; thread_id: the solver thread that found it.
    """

    __slots__ = ("symbols", "assignment", "costs", "number", "thread_id", "optimality_proven", "_texts")

    def __init__(self, symbols, texts, assignment, costs, number, thread_id, optimality_proven):
        self.symbols = symbols
        self.assignment = assignment
        self.costs = costs
        self.number = number
        self.thread_id = thread_id
        self.optimality_proven = optimality_proven
        self._texts = texts

    def __str__(self):
        return " ".join(self._texts)

    def __repr__(self):
        return f"<Model {self.number}: {self}>"


class SolveResult:
    """The outcome of one solve call.

    status is "optimum", "satisfiable", "unsatisfiable" or "unknown", as the
    tarvex program reports it; costs are those of the best model (empty
    without an objective); statistics is the step's statistics tree.
    """

    __slots__ = ("satisfiable", "unsatisfiable", "exhausted", "interrupted", "models", "costs", "statistics")

    def __init__(self, bits, models, costs, statistics):
        self.satisfiable = bool(bits & RESULT_SATISFIABLE)
        self.unsatisfiable = bool(bits & RESULT_UNSATISFIABLE)
        self.exhausted = bool(bits & RESULT_EXHAUSTED)
        self.interrupted = bool(bits & RESULT_INTERRUPTED)
        self.models = models
        self.costs = costs
        self.statistics = statistics

    @property
    def optimum(self):
        return self.satisfiable and self.exhausted and bool(self.costs)

    @property
    def status(self):
        if self.optimum:
            return "optimum"
        if self.satisfiable:
            return "satisfiable"
        if self.unsatisfiable:
            return "unsatisfiable"
        return "unknown"

    @property
    def exit_code(self):
        """The tarvex program's exit code for this result."""
        return {"optimum": 30, "satisfiable": 10, "unsatisfiable": 20}.get(self.status, 0)

    def __bool__(self):
        return self.satisfiable

    def __repr__(self):
        return f"<SolveResult {self.status}, {self.models} model(s)>"


class Configuration:
    """The host's settings by dotted path ("solve.models", "solver.seed"), as text."""

    def __init__(self, solver):
        self._solver = solver

    def _key(self, path):
        configuration = ffi.new("gondra_configuration_t **")
        check(glib.gondra_control_configuration(self._solver._live(), configuration))
        key = ffi.new("gondra_id_t *")
        check(glib.gondra_configuration_root(configuration[0], key))
        check(glib.gondra_configuration_map_at(configuration[0], key[0], path.encode(), key))
        return configuration[0], key[0]

    def __getitem__(self, path):
        configuration, key = self._key(path)
        size = ffi.new("size_t *")
        check(glib.gondra_configuration_value_get_size(configuration, key, size))
        text = ffi.new("char[]", max(size[0], 1))
        check(glib.gondra_configuration_value_get(configuration, key, text, size[0]))
        return ffi.string(text).decode()

    def __setitem__(self, path, value):
        configuration, key = self._key(path)
        check(glib.gondra_configuration_value_set(configuration, key, str(value).encode()))


def _default_logger(code, message):
    # Errors in a program also end up in the exception the call raises.
    if code != WARNING_RUNTIME_ERROR:
        _log.warning("%s", message)


@ffi.callback("void(gondra_warning_t, char const *, void *)")
def _on_message(code, message, data):
    solver = ffi.from_handle(data)
    try:
        solver._logger(code, ffi.string(message).decode("utf-8", "replace"))
    except Exception:  # a logger cannot fail the call that logs
        _log.exception("the logger failed")


@ffi.callback("bool(gondra_ast_t *, void *)")
def _on_statement(statement, data):
    solver = ffi.from_handle(data)
    try:
        return tlib.tarvex_rewrite_ast(solver._theory, as_void(statement), tlib.pytarvex_rewrite, data)
    except BaseException as error:
        solver._pending.fail(error)
        return False


@tffi.def_extern()
def pytarvex_rewrite(statement, data):
    solver = ffi.from_handle(data)
    try:
        check(glib.gondra_program_builder_add(solver._builder, as_void(statement)))
        return True
    except BaseException as error:
        solver._pending.fail(error)
        return False


class _SolveCall:
    """What one solve call collects from the host's events."""

    def __init__(self, solver, on_model):
        self.solver = solver
        self.on_model = on_model
        self.models = 0
        self.best_costs = []
        self.statistics = None
        self.pending = Pending()


@ffi.callback("bool(gondra_solve_event_type_t, void *, void *, bool *)")
def _on_event(kind, event, data, goon):
    call = ffi.from_handle(data)
    try:
        solver = call.solver
        if kind == EVENT_MODEL:
            model = solver._read_model(ffi.cast("gondra_model_t *", event))
            call.models += 1
            if model.costs and (not call.best_costs or model.costs < call.best_costs):
                call.best_costs = model.costs
            if call.on_model is not None and call.on_model(model) is False:
                goon[0] = False
        elif kind == EVENT_STATISTICS:
            trees = ffi.cast("gondra_statistics_t **", event)
            check(tlib.tarvex_on_statistics(solver._theory, as_void(trees[0]), as_void(trees[1])))
            call.statistics = read_statistics(trees[0])
        return True
    except BaseException as error:
        call.pending.fail(error)
        return False


def _theory_cost(symbols):
    """The integer objective's cost, from the __csp_cost atom the theory adds."""
    for value in symbols:
        if isinstance(value, Function) and value.name == "__csp_cost" and len(value.arguments) == 1:
            try:
                return int(value.arguments[0])
            except (TypeError, ValueError):
                return None
    return None


class Solver:
    """Solves logic programs with integer constraints.

    arguments are the host's command-line settings ("-n", "0", "-t", "2",
    "-c", "k=3", "--time-limit=10", ...); options are the theory's settings
    by name, as `configure` takes them. logger(code, message) receives the
    host's warnings; by default they go to the "tarvex" logger. Use it as a
    context manager, or call close(), to free the native solver.
    """

    def __init__(self, arguments=(), *, options=None, logger=None, message_limit=20):
        self._control = None
        self._theory = None
        self._builder = None
        self._registered = False
        self._grounded_all = True
        self._solving = False
        self._logger = logger if logger is not None else _default_logger
        self._message_limit = message_limit
        self._pending = Pending()
        self._handle = ffi.new_handle(self)
        self._read = SymbolReader()
        self._value = tffi.new("tarvex_value_t *")
        self._index = tffi.new("size_t *")
        self.configuration = Configuration(self)

        theory = tffi.new("tarvex_theory_t **")
        check(tlib.tarvex_create(theory))
        self._theory = theory[0]
        try:
            for key, value in (options or {}).items():
                self.configure(key, value)
            texts = [ffi.new("char[]", str(argument).encode()) for argument in arguments]
            control = ffi.new("gondra_control_t **")
            check(glib.gondra_control_new(ffi.new("char const *[]", texts), len(texts), _on_message, self._handle,
                                          message_limit, control))
            self._control = control[0]
        except BaseException:
            self.close()
            raise

    # Resources

    def close(self):
        """Frees the host control and the theory; the solver is unusable afterwards."""
        if self._solving:
            raise TarvexError("close called while solving")
        if self._control is not None:
            glib.gondra_control_free(self._control)
            self._control = None
        if self._theory is not None:
            tlib.tarvex_destroy(self._theory)
            self._theory = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        if not getattr(self, "_solving", True):
            try:
                self.close()
            except Exception:  # at interpreter exit the libraries may be gone already
                pass

    def _live(self):
        if self._control is None:
            raise TarvexError("the solver is closed")
        return self._control

    # Input

    def configure(self, key, value):
        """Sets one of the theory's options by name; the value is text (or str()-able)."""
        if self._theory is None:
            raise TarvexError("the solver is closed")
        check(tlib.tarvex_configure(self._theory, str(key).encode(), str(value).encode()))

    def _register(self):
        control = self._live()
        if not self._registered:
            # Registration adds the theory's grammar and its propagator; it
            # comes after configure so that options chosen at registration
            # time (the decision heuristic) see the user's settings.
            check(tlib.tarvex_register(self._theory, as_void(control)))
            self._registered = True
        return control

    def add(self, program):
        """Adds program text; every statement passes through the theory's rewriting."""
        data = program.encode("utf-8")
        self._build(lambda: glib.gondra_ast_parse_string(data, _on_statement, self._handle, _on_message,
                                                         self._handle, self._message_limit))

    def load(self, *files):
        """Adds the programs of the files ("-" reads standard input)."""
        texts = [ffi.new("char[]", str(file).encode()) for file in files]
        paths = ffi.new("char const *[]", texts)
        self._build(lambda: glib.gondra_ast_parse_files(paths, len(texts), _on_statement, self._handle,
                                                        _on_message, self._handle, self._message_limit))

    def _build(self, parse):
        control = self._register()
        if self._solving:
            raise TarvexError("add called while solving")
        builder = ffi.new("gondra_program_builder_t **")
        check(glib.gondra_control_program_builder(control, builder))
        check(glib.gondra_program_builder_begin(builder[0]))
        self._builder = builder[0]
        try:
            ok = parse()
            if not ok:
                # Keep the parse's error: ending the builder must not hide it.
                try:
                    self._pending.check(ok)
                finally:
                    glib.gondra_program_builder_end(builder[0])
            check(glib.gondra_program_builder_end(builder[0]))
        finally:
            self._builder = None
            self._pending.error = None
        self._grounded_all = False

    def ground(self, parts=(("base", ()),)):
        """Grounds program parts, each a name and its parameter values."""
        control = self._register()
        names = [ffi.new("char[]", name.encode()) for name, _ in parts]
        params = [ffi.new("gondra_symbol_t[]", [make_symbol(value) for value in values]) for _, values in parts]
        array = ffi.new("gondra_part_t[]", len(names))
        for i, (_, values) in enumerate(parts):
            array[i].name = names[i]
            array[i].params = params[i]
            array[i].size = len(values)
        check(glib.gondra_control_ground(control, array, len(names)))
        self._grounded_all = True

    # Solving

    @property
    def solving(self):
        """Whether a solve call of this solver is running."""
        return self._solving

    def interrupt(self):
        """Stops the running search (from any thread); without one, the next search stops at once."""
        if self._control is not None:
            glib.gondra_control_interrupt(self._control)

    def solve(self, on_model=None):
        """Grounds what was added since the last grounding, then solves.

        on_model(model) is called for every model; returning False stops the
        search. An exception it raises ends the search and is raised here.
        The search runs in native code on the calling thread: Ctrl-C reaches
        the main thread at the next model; to stop a search at any time, call
        interrupt() from another thread or iterate with solve_iter().
        """
        control = self._register()
        if self._solving:
            raise TarvexError("solve called while solving")
        if not self._grounded_all:
            self.ground()
        check(tlib.tarvex_prepare(self._theory, as_void(control)))
        call = _SolveCall(self, on_model)
        handle = ffi.new_handle(call)
        bits = ffi.new("gondra_solve_result_bitset_t *")
        self._solving = True
        try:
            ok = glib.gondra_control_solve(control, ffi.NULL, 0, _on_event, handle, bits)
        finally:
            self._solving = False
        call.pending.check(ok)
        return SolveResult(bits[0], call.models, call.best_costs, call.statistics)

    def solve_iter(self):
        """Solves on a helper thread and yields the models one by one.

        Use it as a context manager; leaving it (or close()) stops the search.
        After the last model, `result` holds the SolveResult.
        """
        return SolveIterator(self)

    @property
    def statistics(self):
        """The statistics of all solve calls so far, as nested dicts and lists."""
        statistics = ffi.new("gondra_statistics_t const **")
        check(glib.gondra_control_statistics(self._live(), statistics))
        return read_statistics(statistics[0])

    def _read_model(self, model):
        check(tlib.tarvex_on_model(self._theory, as_void(model)))
        size = ffi.new("size_t *")
        check(glib.gondra_model_symbols_size(model, SHOW_SHOWN, size))
        handles = ffi.new("gondra_symbol_t[]", size[0])
        check(glib.gondra_model_symbols(model, SHOW_SHOWN, handles, size[0]))
        order = sorted(handles, key=_HostOrder)
        symbols = [self._read(handle) for handle in order]
        texts = [str(value) for value in symbols]

        check(glib.gondra_model_cost_size(model, size))
        costs = ffi.new("int64_t[]", size[0])
        if size[0] > 0:
            check(glib.gondra_model_cost(model, costs, size[0]))
        costs = list(costs)
        cost = _theory_cost(symbols)
        if cost is not None:
            costs.append(cost)

        number = ffi.new("uint64_t *")
        check(glib.gondra_model_number(model, number))
        proven = ffi.new("bool *")
        check(glib.gondra_model_optimality_proven(model, proven))
        thread = ffi.new("gondra_id_t *")
        check(glib.gondra_model_thread_id(model, thread))
        return Model(symbols, texts, self._assignment(thread[0]), costs, number[0], thread[0], bool(proven[0]))

    def _assignment(self, thread):
        theory, index, value = self._theory, self._index, self._value
        values = {}
        tlib.tarvex_assignment_begin(theory, thread, index)
        while tlib.tarvex_assignment_next(theory, thread, index):
            if tlib.tarvex_assignment_has_value(theory, thread, index[0]):
                tlib.tarvex_assignment_get_value(theory, thread, index[0], value)
                values[self._read(tlib.tarvex_get_symbol(theory, index[0]))] = value.int_number
        return values


class _HostOrder:
    """Sorts symbol handles in the host's total order."""

    __slots__ = ("symbol",)

    def __init__(self, symbol):
        self.symbol = symbol

    def __lt__(self, other):
        return glib.gondra_symbol_is_less_than(self.symbol, other.symbol)


_DONE = object()


class _Handover:
    """The helper thread's side of a SolveIterator: it never refers back to the
    iterator, so that dropping an unfinished iterator closes it."""

    def __init__(self, solver):
        self.solver = solver
        self.models = queue.Queue()
        self.resume = threading.Semaphore(0)
        self.stop = False

    def run(self):
        try:
            self.models.put((_DONE, self.solver.solve(self.deliver)))
        except BaseException as error:
            self.models.put((_DONE, error))

    def deliver(self, model):
        self.models.put((model, None))
        self.resume.acquire()
        return not self.stop


# Iterators whose search may still run: they are stopped before the
# interpreter exits, which would otherwise end their helper threads inside
# native code.
_open_iterators = weakref.WeakSet()


@atexit.register
def _close_open_iterators():
    for iterator in list(_open_iterators):
        iterator.close()


class SolveIterator:
    """Models of one solve call, handed over one at a time from a helper thread.

    The helper waits in the model event until the consumer asks for the next
    model, so the search does not run ahead of the consumer and stops as soon
    as the consumer leaves.
    """

    def __init__(self, solver):
        self.result = None
        self._handover = _Handover(solver)
        self._holding = False
        self._finished = False
        self._thread = threading.Thread(target=self._handover.run, name="tarvex-solve", daemon=True)
        _open_iterators.add(self)
        self._thread.start()

    def __iter__(self):
        return self

    def __next__(self):
        if self._finished:
            raise StopIteration
        if self._holding:
            self._holding = False
            self._handover.resume.release()
        model, outcome = self._handover.models.get()
        if model is not _DONE:
            self._holding = True
            return model
        self._finish(outcome)
        raise StopIteration

    def _finish(self, outcome):
        self._finished = True
        _open_iterators.discard(self)
        self._thread.join()
        if isinstance(outcome, BaseException):
            raise outcome
        self.result = outcome

    def close(self):
        """Stops the search if it still runs and waits for its end."""
        if self._finished:
            return
        handover = self._handover
        handover.stop = True
        if self._holding:
            self._holding = False
            handover.resume.release()
        else:
            # Left while the search ran (the consumer was interrupted): stop it.
            handover.solver.interrupt()
        while True:
            model, outcome = handover.models.get()
            if model is _DONE:
                self._finish(outcome)
                return
            handover.resume.release()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        if not getattr(self, "_finished", True):
            self.close()
