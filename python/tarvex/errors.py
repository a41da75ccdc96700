"""Host errors as Python exceptions, and Python exceptions through host calls."""

from ._native import ERROR_BAD_ALLOC, ERROR_LOGIC, ERROR_RUNTIME, ERROR_UNKNOWN, ffi, glib


class TarvexError(RuntimeError):
    """A failure reported by the solver: bad input, a bad option, a broken invariant.

    `code` is the host's error code (1 runtime, 2 logic, 4 unknown); the
    message is the host's, with the location for errors in a program.
    """

    def __init__(self, message, code=ERROR_RUNTIME):
        super().__init__(message)
        self.code = code


def current_error():
    """The exception for the calling thread's host error state."""
    code = glib.gondra_error_code()
    message = glib.gondra_error_message()
    text = ffi.string(message).decode("utf-8", "replace") if message != ffi.NULL else "unknown error"
    if code == ERROR_BAD_ALLOC:
        return MemoryError(text)
    return TarvexError(text, code if code in (ERROR_RUNTIME, ERROR_LOGIC) else ERROR_UNKNOWN)


def check(ok):
    if not ok:
        raise current_error()


class Pending:
    """Carries an exception raised in a callback out through the native call.

    A callback that fails records the exception here and reports an error to
    the host, which unwinds and returns false; the caller then raises the
    recorded exception itself, so the user sees their own error unchanged.
    """

    __slots__ = ("error",)

    def __init__(self):
        self.error = None

    def fail(self, error):
        if self.error is None:
            self.error = error
        glib.gondra_set_error(ERROR_UNKNOWN, str(error).encode("utf-8", "replace") or b"error in a callback")

    def check(self, ok):
        error, self.error = self.error, None
        if error is not None:
            raise error
        check(ok)
