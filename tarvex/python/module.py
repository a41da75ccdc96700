"""The extension module _tarvex: the flat tarvex_* functions callable from Python.

Run at build time as `python3 module.py OUTPUT.c`; it writes the C glue that
cffi generates in its out-of-line API mode. The glue is compiled into the
shared library libtarvex itself, so that the one file is both the library and
the module. Every generated wrapper releases the interpreter lock around its
call; only the rewrite callback pytarvex_rewrite takes it back.
"""

import contextlib
import io
import os
import sys

import cffi

DECLARATIONS = """
typedef uint64_t gondra_symbol_t;
typedef struct gondra_ast gondra_ast_t;
typedef struct gondra_ast_statement gondra_ast_statement_t;
typedef struct gondra_control gondra_control_t;
typedef struct gondra_model gondra_model_t;
typedef struct gondra_options gondra_options_t;
typedef struct gondra_statistic gondra_statistics_t;

typedef struct tarvex_theory tarvex_theory_t;

enum tarvex_value_type {
    tarvex_value_type_int = 0,
    tarvex_value_type_double = 1,
    tarvex_value_type_symbol = 2,
};
typedef int tarvex_value_type_t;

typedef struct tarvex_value {
    tarvex_value_type_t type;
    union {
        int int_number;
        double double_number;
        gondra_symbol_t symbol;
    };
} tarvex_value_t;

typedef bool (*tarvex_ast_callback_t)(gondra_ast_t *ast, void *data);

void tarvex_version(int *major, int *minor, int *revision);
bool tarvex_create(tarvex_theory_t **theory);
bool tarvex_destroy(tarvex_theory_t *theory);
bool tarvex_register(tarvex_theory_t *theory, gondra_control_t *control);
bool tarvex_rewrite_ast(tarvex_theory_t *theory, gondra_ast_t *ast, tarvex_ast_callback_t add, void *data);
bool tarvex_prepare(tarvex_theory_t *theory, gondra_control_t *control);
bool tarvex_register_options(tarvex_theory_t *theory, gondra_options_t *options);
bool tarvex_validate_options(tarvex_theory_t *theory);
bool tarvex_configure(tarvex_theory_t *theory, char const *key, char const *value);
bool tarvex_on_model(tarvex_theory_t *theory, gondra_model_t *model);
bool tarvex_lookup_symbol(tarvex_theory_t *theory, gondra_symbol_t symbol, size_t *index);
gondra_symbol_t tarvex_get_symbol(tarvex_theory_t *theory, size_t index);
void tarvex_assignment_begin(tarvex_theory_t *theory, uint32_t thread_id, size_t *index);
bool tarvex_assignment_next(tarvex_theory_t *theory, uint32_t thread_id, size_t *index);
bool tarvex_assignment_has_value(tarvex_theory_t *theory, uint32_t thread_id, size_t index);
void tarvex_assignment_get_value(tarvex_theory_t *theory, uint32_t thread_id, size_t index, tarvex_value_t *value);
bool tarvex_on_statistics(tarvex_theory_t *theory, gondra_statistics_t *step, gondra_statistics_t *accu);

extern "Python" bool pytarvex_rewrite(gondra_ast_t *ast, void *data);
"""

# The host header names no statement type of its own; the module declares one
# for the Python side all the same.
PREAMBLE = """
#include "tarvex.h"
typedef struct gondra_ast_statement gondra_ast_statement_t;
"""


def builder():
    ffi = cffi.FFI()
    ffi.cdef(DECLARATIONS)
    ffi.set_source("_tarvex", PREAMBLE)
    return ffi


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: module.py OUTPUT.c\n")
        return 2
    os.makedirs(os.path.dirname(os.path.abspath(argv[1])), exist_ok=True)
    # cffi announces the file it writes; the build log needs no such line.
    with contextlib.redirect_stdout(io.StringIO()):
        builder().emit_c_code(argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
