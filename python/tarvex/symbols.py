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
    """A function symbol: name, argument values and sign (False for -name(...)).

    Immutable and hashable. Hashing, comparing and printing do not recurse, so
    that terms nested thousands deep (lists built from pairs) work like
    shallow ones.
    """

    __slots__ = ("name", "arguments", "positive", "_hash")

    def __init__(self, name, arguments=(), positive=True):
        arguments = tuple(arguments)
        set_field = object.__setattr__
        set_field(self, "name", name)
        set_field(self, "arguments", arguments)
        set_field(self, "positive", bool(positive))
        # The arguments' hashes are cached already: this costs their number only.
        set_field(self, "_hash", hash((Function, name, self.positive, arguments)))

    def __setattr__(self, name, value):
        raise AttributeError("Function is immutable")

    def __hash__(self):
        return self._hash

    def __eq__(self, other):
        if not isinstance(other, Function):
            return NotImplemented
        pairs = [(self, other)]
        while pairs:
            a, b = pairs.pop()
            if a is b:
                continue
            a_function, b_function = isinstance(a, Function), isinstance(b, Function)
            if a_function and b_function:
                if a._hash != b._hash or a.name != b.name or a.positive != b.positive \
                        or len(a.arguments) != len(b.arguments):
                    return False
                pairs.extend(zip(a.arguments, b.arguments))
            elif a_function or b_function:
                return False
            elif isinstance(a, tuple) and isinstance(b, tuple):
                if len(a) != len(b):
                    return False
                pairs.extend(zip(a, b))
            elif type(a) is not type(b) or a != b:
                return False
        return True

    def __reduce__(self):
        return (Function, (self.name, self.arguments, self.positive))

    def __repr__(self):
        return _render(self, repr, _repr_function)

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
    """Text that an enclosing function or tuple still has to print."""


def _render(value, leaf, function):
    """Prints a value without recursion.

    function(item) gives a function's or tuple's opening text, its
    arguments and its closing text; leaf(item) prints everything else.
    """
    out = []
    stack = [value]
    while stack:
        item = stack.pop()
        if isinstance(item, _Piece):
            out.append(item)
        elif isinstance(item, (tuple, Function)):
            opening, arguments, closing = function(item)
            out.append(opening)
            stack.append(_Piece(closing))
            for i in range(len(arguments) - 1, -1, -1):
                stack.append(arguments[i])
                if i > 0:
                    stack.append(_Piece(", " if leaf is repr else ","))
        else:
            out.append(leaf(item))
    return "".join(out)


def _repr_function(item):
    if isinstance(item, tuple):
        return "(", item, ",)" if len(item) == 1 else ")"
    if not item.arguments and item.positive:
        return f"Function({item.name!r}", (), ")"
    closing = ("," if len(item.arguments) == 1 else "") + ")" + (")" if item.positive else ", False)")
    return f"Function({item.name!r}, (", item.arguments, closing


def _syntax_function(item):
    if isinstance(item, tuple):
        return "(", item, ",)" if len(item) == 1 else ")"
    sign = "" if item.positive else "-"
    if not item.arguments:
        return sign + item.name + ("()" if not item.name else ""), (), ""
    # A tuple of one (no name) keeps its comma, as in the program.
    return sign + item.name + "(", item.arguments, ",)" if len(item.arguments) == 1 and not item.name else ")"


def _syntax_leaf(item):
    if isinstance(item, bool):
        raise TypeError("a bool is no symbol")
    if isinstance(item, int):
        return str(item)
    if isinstance(item, str):
        return _quoted(item)
    if isinstance(item, _Extreme):
        return str(item)
    raise TypeError(f"{type(item).__name__} is no symbol")


def symbol_text(value):
    """The program syntax of a value, as the solver prints the symbol."""
    return _render(value, _syntax_leaf, _syntax_function)


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
