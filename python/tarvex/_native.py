"""Loads the two native libraries: the module _tarvex and the host libgondra.

_tarvex is libtarvex itself, imported as an extension module; libgondra is
opened through cffi's ABI mode over the part of its C interface this package
uses. Both must be the very files the build produced, and libgondra must be
the copy libtarvex is linked against: symbols and error states live in one
library instance, so a second copy would see none of the first's.

The libraries are looked for in TARVEX_LIBRARY_DIR if it is set, else in the
folder above this package (the build's python folder holds the package, the
module and the host library side by side), else wherever `import _tarvex`
finds the module.
"""

import glob
import importlib.machinery
import importlib.util
import os
import sys

import cffi

HOST_DECLARATIONS = """
typedef int32_t gondra_literal_t;
typedef uint32_t gondra_id_t;
typedef uint64_t gondra_symbol_t;
typedef int gondra_error_t;
typedef int gondra_warning_t;
typedef int gondra_symbol_type_t;
typedef int gondra_statistics_type_t;
typedef unsigned gondra_show_type_bitset_t;
typedef unsigned gondra_solve_result_bitset_t;
typedef unsigned gondra_solve_event_type_t;
typedef int gondra_ast_type_t;
typedef int gondra_ast_attribute_t;
typedef int gondra_theory_term_type_t;

typedef struct gondra_ast gondra_ast_t;
typedef struct gondra_control gondra_control_t;
typedef struct gondra_model gondra_model_t;
typedef struct gondra_statistic gondra_statistics_t;
typedef struct gondra_configuration gondra_configuration_t;
typedef struct gondra_program_builder gondra_program_builder_t;
typedef struct gondra_theory_atoms gondra_theory_atoms_t;

typedef struct gondra_part {
    char const *name;
    gondra_symbol_t const *params;
    size_t size;
} gondra_part_t;

typedef void (*gondra_logger_t)(gondra_warning_t code, char const *message, void *data);
typedef bool (*gondra_ast_callback_t)(gondra_ast_t *ast, void *data);
typedef bool (*gondra_solve_event_callback_t)(gondra_solve_event_type_t type, void *event, void *data, bool *goon);

void gondra_version(int *major, int *minor, int *revision);

gondra_error_t gondra_error_code(void);
char const *gondra_error_message(void);
void gondra_set_error(gondra_error_t code, char const *message);

gondra_symbol_type_t gondra_symbol_type(gondra_symbol_t symbol);
bool gondra_symbol_number(gondra_symbol_t symbol, int *number);
bool gondra_symbol_name(gondra_symbol_t symbol, char const **name);
bool gondra_symbol_string(gondra_symbol_t symbol, char const **string);
bool gondra_symbol_is_positive(gondra_symbol_t symbol, bool *positive);
bool gondra_symbol_arguments(gondra_symbol_t symbol, gondra_symbol_t const **arguments, size_t *arguments_size);
bool gondra_symbol_is_less_than(gondra_symbol_t a, gondra_symbol_t b);
void gondra_symbol_create_number(int number, gondra_symbol_t *symbol);
void gondra_symbol_create_supremum(gondra_symbol_t *symbol);
void gondra_symbol_create_infimum(gondra_symbol_t *symbol);
bool gondra_symbol_create_string(char const *string, gondra_symbol_t *symbol);
bool gondra_symbol_create_function(char const *name, gondra_symbol_t const *arguments, size_t arguments_size,
                                   bool positive, gondra_symbol_t *symbol);

bool gondra_ast_parse_string(char const *program, gondra_ast_callback_t callback, void *callback_data,
                             gondra_logger_t logger, void *logger_data, unsigned message_limit);
bool gondra_ast_parse_files(char const *const *files, size_t size, gondra_ast_callback_t callback,
                            void *callback_data, gondra_logger_t logger, void *logger_data, unsigned message_limit);

bool gondra_ast_get_type(gondra_ast_t *ast, gondra_ast_type_t *type);
bool gondra_ast_attribute_get_string(gondra_ast_t *ast, gondra_ast_attribute_t attribute, char const **value);

bool gondra_program_builder_begin(gondra_program_builder_t *builder);
bool gondra_program_builder_add(gondra_program_builder_t *builder, gondra_ast_t *statement);
bool gondra_program_builder_end(gondra_program_builder_t *builder);

bool gondra_control_new(char const *const *arguments, size_t arguments_size, gondra_logger_t logger,
                        void *logger_data, unsigned message_limit, gondra_control_t **control);
void gondra_control_free(gondra_control_t *control);
bool gondra_control_ground(gondra_control_t *control, gondra_part_t const *parts, size_t parts_size);
bool gondra_control_solve(gondra_control_t *control, gondra_literal_t const *assumptions, size_t assumptions_size,
                          gondra_solve_event_callback_t handler, void *data, gondra_solve_result_bitset_t *result);
bool gondra_control_declare_objective(gondra_control_t *control, bool declared);
void gondra_control_interrupt(gondra_control_t *control);
bool gondra_control_theory_atoms(gondra_control_t const *control, gondra_theory_atoms_t const **atoms);
bool gondra_control_configuration(gondra_control_t *control, gondra_configuration_t **configuration);
bool gondra_control_statistics(gondra_control_t const *control, gondra_statistics_t const **statistics);
bool gondra_control_program_builder(gondra_control_t *control, gondra_program_builder_t **builder);

bool gondra_configuration_root(gondra_configuration_t const *configuration, gondra_id_t *key);
bool gondra_configuration_map_at(gondra_configuration_t const *configuration, gondra_id_t key, char const *name,
                                 gondra_id_t *subkey);
bool gondra_configuration_value_get_size(gondra_configuration_t const *configuration, gondra_id_t key, size_t *size);
bool gondra_configuration_value_get(gondra_configuration_t const *configuration, gondra_id_t key, char *value,
                                    size_t size);
bool gondra_configuration_value_set(gondra_configuration_t *configuration, gondra_id_t key, char const *value);

bool gondra_model_symbols_size(gondra_model_t const *model, gondra_show_type_bitset_t show, size_t *size);
bool gondra_model_symbols(gondra_model_t const *model, gondra_show_type_bitset_t show, gondra_symbol_t *symbols,
                          size_t size);
bool gondra_model_number(gondra_model_t const *model, uint64_t *number);
bool gondra_model_optimality_proven(gondra_model_t const *model, bool *proven);
bool gondra_model_cost_size(gondra_model_t const *model, size_t *size);
bool gondra_model_cost(gondra_model_t const *model, int64_t *costs, size_t size);
bool gondra_model_thread_id(gondra_model_t const *model, gondra_id_t *id);

bool gondra_theory_atoms_size(gondra_theory_atoms_t const *atoms, size_t *size);
bool gondra_theory_atoms_atom_term(gondra_theory_atoms_t const *atoms, gondra_id_t atom, gondra_id_t *term);
bool gondra_theory_atoms_atom_elements(gondra_theory_atoms_t const *atoms, gondra_id_t atom,
                                       gondra_id_t const **elements, size_t *size);
bool gondra_theory_atoms_term_type(gondra_theory_atoms_t const *atoms, gondra_id_t term,
                                   gondra_theory_term_type_t *type);
bool gondra_theory_atoms_term_name(gondra_theory_atoms_t const *atoms, gondra_id_t term, char const **name);

bool gondra_statistics_root(gondra_statistics_t const *statistics, uint64_t *key);
bool gondra_statistics_type(gondra_statistics_t const *statistics, uint64_t key, gondra_statistics_type_t *type);
bool gondra_statistics_array_size(gondra_statistics_t const *statistics, uint64_t key, size_t *size);
bool gondra_statistics_array_at(gondra_statistics_t const *statistics, uint64_t key, size_t offset,
                                uint64_t *subkey);
bool gondra_statistics_map_size(gondra_statistics_t const *statistics, uint64_t key, size_t *size);
bool gondra_statistics_map_subkey_name(gondra_statistics_t const *statistics, uint64_t key, size_t offset,
                                       char const **name);
bool gondra_statistics_map_at(gondra_statistics_t const *statistics, uint64_t key, char const *name,
                              uint64_t *subkey);
bool gondra_statistics_value_get(gondra_statistics_t const *statistics, uint64_t key, double *value);
"""

# Numbers of the host's enumerations (fixed by its C interface).
ERROR_RUNTIME = 1
ERROR_LOGIC = 2
ERROR_BAD_ALLOC = 3
ERROR_UNKNOWN = 4
WARNING_RUNTIME_ERROR = 1
SYMBOL_INFIMUM, SYMBOL_NUMBER, SYMBOL_FUNCTION, SYMBOL_STRING, SYMBOL_SUPREMUM = range(5)
STATISTICS_EMPTY, STATISTICS_VALUE, STATISTICS_ARRAY, STATISTICS_MAP = range(4)
SHOW_SHOWN = 2
EVENT_MODEL, EVENT_STATISTICS, EVENT_FINISH, EVENT_START = range(4)
AST_MINIMIZE, AST_PROGRAM = 34, 35
AST_ATTRIBUTE_NAME = 19
THEORY_TERM_SYMBOL = 5
RESULT_SATISFIABLE, RESULT_UNSATISFIABLE, RESULT_EXHAUSTED, RESULT_INTERRUPTED = 1, 2, 4, 8


def _library_dir():
    configured = os.environ.get("TARVEX_LIBRARY_DIR")
    if configured:
        return configured
    return os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def _load_module(directory):
    """Imports _tarvex from the directory, or from sys.path when it is not there."""
    if "_tarvex" in sys.modules:
        return sys.modules["_tarvex"]
    for suffix in importlib.machinery.EXTENSION_SUFFIXES:
        path = os.path.join(directory, "_tarvex" + suffix)
        if os.path.exists(path):
            loader = importlib.machinery.ExtensionFileLoader("_tarvex", path)
            module_spec = importlib.util.spec_from_file_location("_tarvex", path, loader=loader)
            module = importlib.util.module_from_spec(module_spec)
            sys.modules["_tarvex"] = module
            try:
                loader.exec_module(module)
            except BaseException:
                del sys.modules["_tarvex"]
                raise
            return module
    import _tarvex  # noqa: PLC0415 (installed elsewhere on sys.path)

    return _tarvex


def _open_host(module):
    """Opens libgondra by the path of the copy the module was loaded with."""
    directory = os.path.dirname(os.path.realpath(module.__file__))
    candidates = [os.path.join(os.path.dirname(module.__file__), "libgondra.so")]
    candidates += sorted(glob.glob(os.path.join(directory, "..", "gondra", "libgondra.so*")))
    ffi = cffi.FFI()
    ffi.cdef(HOST_DECLARATIONS)
    for candidate in candidates:
        if os.path.exists(candidate):
            return ffi, ffi.dlopen(candidate)
    # libtarvex is loaded by now and with it its libgondra: the name finds it.
    return ffi, ffi.dlopen("libgondra.so")


tarvex = _load_module(_library_dir())
tlib = tarvex.lib
tffi = tarvex.ffi
ffi, glib = _open_host(tarvex)


def as_void(pointer):
    """A pointer as `void *`, which the module's functions and the host's
    declarations both take: the two declare the same structs separately."""
    return ffi.cast("void *", pointer)
