"""Host symbols as Python values.

A number becomes an int, a string a str, a tuple a tuple of values, and
#inf / #sup the singletons `Infimum` / `Supremum`. Every other function
symbol, constants included, becomes a `Function`: `start(a)` is
Function("start", (Function("a"),)) and `-p(1)` is Function("p", (1,), False).
So the constant a and the string "a" stay apart. str() of a value gives the
program's syntax, as the solver prints it.
"""

from ._native import (
    SYMBOL_FUNCTION,
    SYMBOL_INFIMUM,
    SYMBOL_NUMBER,
    SYMBOL_STRING,
    SYMBOL_SUPREMUM,
    ffi,
    glib,
)
from .errors import check


class Function:
    """A function symbol: name, argument values and sign (False for -name(...))."""

    __slots__ = ("name", "arguments", "positive")

    def __init__(self, name, arguments=(), positive=True):
        self.name = name
        self.arguments = tuple(arguments)
        self.positive = positive

    def __eq__(self, other):
        if not isinstance(other, Function):
            return NotImplemented
        return (self.name, self.positive, self.arguments) == (other.name, other.positive, other.arguments)

    def __hash__(self):
        return hash((Function, self.name, self.positive, self.arguments))

    def __repr__(self):
        if not self.arguments and self.positive:
            return f"Function({self.name!r})"
        if self.positive:
            return f"Function({self.name!r}, {self.arguments!r})"
        return f"Function({self.name!r}, {self.arguments!r}, False)"

    def __str__(self):
        return symbol_text(self)


class _Extreme:
    __slots__ = ("_text",)

    def __init__(self, text):
        self._text = text

    def __repr__(self):
        return "Infimum" if self._text == "#inf" else "Supremum"

    def __str__(self):
        return self._text

    def __reduce__(self):
        return repr(self)


Infimum = _Extreme("#inf")
Supremum = _Extreme("#sup")


def _quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n") + '"'


class _Piece(str):
    """Punctuation that an enclosing function or tuple still has to print."""


_COMMA, _CLOSE, _CLOSE_ONE = _Piece(","), _Piece(")"), _Piece(",)")


def symbol_text(value):
    """The program syntax of a value, as the solver prints the symbol."""
    # Iterative: values nest as deep as the terms of a program may.
    out = []
    stack = [value]
    while stack:
        item = stack.pop()
        if isinstance(item, _Piece):
            out.append(item)
        elif isinstance(item, bool):
            raise TypeError("a bool is no symbol")
        elif isinstance(item, int):
            out.append(str(item))
        elif isinstance(item, str):
            out.append(_quoted(item))
        elif isinstance(item, _Extreme):
            out.append(str(item))
        elif isinstance(item, (tuple, Function)):
            if isinstance(item, tuple):
                name, arguments, positive = "", item, True
            else:
                name, arguments, positive = item.name, item.arguments, item.positive
            out.append(("" if positive else "-") + name)
            if not arguments:
                if not name:
                    out.append("()")
                continue
            out.append("(")
            stack.append(_CLOSE_ONE if len(arguments) == 1 and not name else _CLOSE)
            for i in range(len(arguments) - 1, -1, -1):
                stack.append(arguments[i])
                if i > 0:
                    stack.append(_COMMA)
        else:
            raise TypeError(f"{type(item).__name__} is no symbol")
    return "".join(out)


def make_symbol(value):
    """The host symbol of a Python value (the inverse of SymbolReader)."""
    symbol = ffi.new("gondra_symbol_t *")
    if isinstance(value, bool):
        raise TypeError("a bool is no symbol")
    if isinstance(value, int):
        glib.gondra_symbol_create_number(value, symbol)
    elif isinstance(value, str):
        check(glib.gondra_symbol_create_string(value.encode("utf-8", "surrogateescape"), symbol))
    elif value is Infimum:
        glib.gondra_symbol_create_infimum(symbol)
    elif value is Supremum:
        glib.gondra_symbol_create_supremum(symbol)
    elif isinstance(value, (tuple, Function)):
        if isinstance(value, tuple):
            name, arguments, positive = "", value, True
        else:
            name, arguments, positive = value.name, value.arguments, value.positive
        handles = ffi.new("gondra_symbol_t[]", [make_symbol(argument) for argument in arguments])
        check(glib.gondra_symbol_create_function(name.encode("utf-8", "surrogateescape"), handles, len(arguments),
                                                 positive, symbol))
    else:
        raise TypeError(f"{type(value).__name__} is no symbol")
    return symbol[0]


class SymbolReader:
    """Turns host symbols into Python values, remembering each one it has read.

    Host symbols are interned, so one handle always stands for one value and
    the memo never goes stale.
    """

    def __init__(self):
        self._values = {}
        self._int = ffi.new("int *")
        self._name = ffi.new("char const **")
        self._positive = ffi.new("bool *")
        self._arguments = ffi.new("gondra_symbol_t const **")
        self._size = ffi.new("size_t *")

    def __call__(self, symbol):
        value = self._values.get(symbol)
        if value is not None:
            return value
        # Depth-first without recursion: a symbol is made once all its
        # arguments are.
        stack = [symbol]
        while stack:
            current = stack[-1]
            if current in self._values:
                stack.pop()
                continue
            kind = glib.gondra_symbol_type(current)
            if kind == SYMBOL_NUMBER:
                check(glib.gondra_symbol_number(current, self._int))
                self._values[current] = self._int[0]
            elif kind == SYMBOL_STRING:
                check(glib.gondra_symbol_string(current, self._name))
                self._values[current] = ffi.string(self._name[0]).decode("utf-8", "surrogateescape")
            elif kind == SYMBOL_INFIMUM:
                self._values[current] = Infimum
            elif kind == SYMBOL_SUPREMUM:
                self._values[current] = Supremum
            elif kind == SYMBOL_FUNCTION:
                check(glib.gondra_symbol_arguments(current, self._arguments, self._size))
                arguments = [self._arguments[0][i] for i in range(self._size[0])]
                missing = [a for a in arguments if a not in self._values]
                if missing:
                    stack.extend(missing)
                    continue
                check(glib.gondra_symbol_name(current, self._name))
                check(glib.gondra_symbol_is_positive(current, self._positive))
                name = ffi.string(self._name[0]).decode("utf-8", "surrogateescape")
                values = tuple(self._values[a] for a in arguments)
                positive = bool(self._positive[0])
                self._values[current] = values if not name and positive else Function(name, values, positive)
            else:
                raise ValueError(f"unknown symbol type {kind}")
            stack.pop()
        return self._values[symbol]
