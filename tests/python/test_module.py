"""The extension module _tarvex: what it declares, how it is loaded and linked."""

import os
import subprocess
import sys

import pytest

import tarvex  # noqa: F401  (loads _tarvex from the build)
import _tarvex
from tarvex import _native
from conftest import PROGRAM

FUNCTIONS = {
    "tarvex_version": "void(*)(int *, int *, int *)",
    "tarvex_create": "_Bool(*)(struct tarvex_theory * *)",
    "tarvex_destroy": "_Bool(*)(struct tarvex_theory *)",
    "tarvex_register": "_Bool(*)(struct tarvex_theory *, struct gondra_control *)",
    "tarvex_rewrite_ast": "_Bool(*)(struct tarvex_theory *, struct gondra_ast *, "
    "_Bool(*)(struct gondra_ast *, void *), void *)",
    "tarvex_prepare": "_Bool(*)(struct tarvex_theory *, struct gondra_control *)",
    "tarvex_register_options": "_Bool(*)(struct tarvex_theory *, struct gondra_options *)",
    "tarvex_validate_options": "_Bool(*)(struct tarvex_theory *)",
    "tarvex_configure": "_Bool(*)(struct tarvex_theory *, char *, char *)",
    "tarvex_on_model": "_Bool(*)(struct tarvex_theory *, struct gondra_model *)",
    "tarvex_lookup_symbol": "_Bool(*)(struct tarvex_theory *, uint64_t, size_t *)",
    "tarvex_get_symbol": "uint64_t(*)(struct tarvex_theory *, size_t)",
    "tarvex_assignment_begin": "void(*)(struct tarvex_theory *, uint32_t, size_t *)",
    "tarvex_assignment_next": "_Bool(*)(struct tarvex_theory *, uint32_t, size_t *)",
    "tarvex_assignment_has_value": "_Bool(*)(struct tarvex_theory *, uint32_t, size_t)",
    "tarvex_assignment_get_value": "void(*)(struct tarvex_theory *, uint32_t, size_t, struct tarvex_value *)",
    "tarvex_on_statistics": "_Bool(*)(struct tarvex_theory *, struct gondra_statistic *, struct gondra_statistic *)",
}


def test_module_declares_every_function_constant_and_type():
    ffi, lib = _tarvex.ffi, _tarvex.lib
    for name, signature in FUNCTIONS.items():
        pointer = ffi.addressof(lib, name)
        assert ffi.typeof(pointer).cname == signature, name
    assert (lib.tarvex_value_type_int, lib.tarvex_value_type_double, lib.tarvex_value_type_symbol) == (0, 1, 2)
    assert ffi.typeof(lib.pytarvex_rewrite).cname == "_Bool(*)(struct gondra_ast *, void *)"
    assert ffi.typeof("tarvex_ast_callback_t") is ffi.typeof(lib.pytarvex_rewrite)
    assert ffi.typeof("tarvex_value_type_t") is ffi.typeof("int")
    assert ffi.typeof("gondra_symbol_t") is ffi.typeof("uint64_t")
    for opaque in ("tarvex_theory_t", "gondra_ast_t", "gondra_ast_statement_t", "gondra_control_t",
                   "gondra_model_t", "gondra_options_t", "gondra_statistics_t"):
        with pytest.raises(ffi.error):
            ffi.sizeof(opaque)
    # The ordinary layout: the tag, then the union aligned for its widest member.
    assert ffi.sizeof("tarvex_value_t") == 16
    assert [ffi.offsetof("tarvex_value_t", field) for field in ("type", "int_number", "double_number", "symbol")] \
        == [0, 8, 8, 8]


def test_calls_cross_the_boundary_with_their_declared_conversions():
    ffi, lib = _tarvex.ffi, _tarvex.lib
    assert lib.tarvex_version(ffi.NULL, ffi.NULL, ffi.NULL) is None
    numbers = ffi.new("int[3]")
    lib.tarvex_version(numbers, numbers + 1, numbers + 2)
    assert list(numbers) == [5, 2, 1]
    assert lib.tarvex_destroy(ffi.NULL) is True
    theory = ffi.new("tarvex_theory_t **")
    assert lib.tarvex_create(theory) is True
    try:
        index = ffi.new("size_t *", 7)
        lib.tarvex_assignment_begin(theory[0], 0, index)
        assert index[0] == 0
        assert lib.tarvex_assignment_next(theory[0], 0, index) is False
        assert lib.tarvex_lookup_symbol(theory[0], 2**64 - 1, index) is False
        # A key that names no option is an error, not a silent success.
        assert lib.tarvex_configure(theory[0], b"no-such-option", b"1") is False
    finally:
        assert lib.tarvex_destroy(theory[0]) is True


def test_the_module_is_the_shared_library_and_the_package_shares_its_host_library():
    module = os.path.realpath(_tarvex.__file__)
    assert os.path.basename(module) == "libtarvex.so"
    with open("/proc/self/maps") as maps:
        mapped = {line.split()[-1] for line in maps if "libgondra" in line}
    # Symbols and error states live in one copy of the host library: the
    # package must not have opened a second one.
    assert len({os.stat(path).st_ino for path in mapped}) == 1, mapped


def test_a_false_result_of_the_rewrite_callback_fails_the_rewriting():
    ffi, glib = _native.ffi, _native.glib

    class Refusing:
        """Stands for a solver whose program builder refuses every statement."""

        _builder = ffi.NULL
        _pending = tarvex.errors.Pending()

    theory = _tarvex.ffi.new("tarvex_theory_t **")
    assert _tarvex.lib.tarvex_create(theory)
    refusing = Refusing()
    handle = ffi.new_handle(refusing)
    results = []

    @ffi.callback("bool(gondra_ast_t *, void *)")
    def on_statement(statement, data):
        results.append(_tarvex.lib.tarvex_rewrite_ast(theory[0], _native.as_void(statement),
                                                      _tarvex.lib.pytarvex_rewrite, handle))
        return True

    try:
        assert glib.gondra_ast_parse_string(b"a. b :- a.", on_statement, ffi.NULL, ffi.NULL, ffi.NULL, 0)
    finally:
        _tarvex.lib.tarvex_destroy(theory[0])
    assert results == [False, False]
    assert isinstance(refusing._pending.error, tarvex.TarvexError)


def test_import_fails_with_the_backends_import_error():
    script = (
        "import sys; sys.modules['_cffi_backend'] = None\n"
        "try:\n    import _tarvex\nexcept ImportError as error:\n    print('ImportError', error.name)\n"
    )
    completed = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                               env={**os.environ, "PYTHONPATH": os.path.dirname(_tarvex.__file__)})
    assert completed.stdout.strip() == "ImportError _cffi_backend", completed.stderr


def test_programs_without_an_interpreter_load_the_library_with_every_reference_bound():
    # The glue's references to the interpreter stay unbound outside Python;
    # binding everything at start-up must still succeed.
    completed = subprocess.run([PROGRAM, "--version"], capture_output=True, text=True,
                               env={**os.environ, "LD_BIND_NOW": "1"})
    assert completed.returncode == 0, completed.stderr
    assert completed.stdout.startswith("tarvex ")
