/* The C interface of the gondra answer-set solver.
 *
 * Conventions: every function has the prefix gondra_, every type the suffix _t.
 * Functions that can fail return bool; their results come back through the
 * trailing out-parameters. On failure the thread-local error state holds a code
 * and a message (gondra_error_code, gondra_error_message). Callbacks of the
 * application report failure the same way: they set the error and return false;
 * the host then stops what it was doing and returns false, keeping that error.
 */
#ifndef GONDRA_H
#define GONDRA_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define GONDRA_VISIBILITY_DEFAULT __declspec(dllexport)
#else
#define GONDRA_VISIBILITY_DEFAULT __attribute__((visibility("default")))
#endif

/* ------------------------------------------------------------------------ */
/* Basic types                                                               */
/* ------------------------------------------------------------------------ */

/* A literal; its negation is the arithmetic negative. */
typedef int32_t gondra_literal_t;
/* A program atom as numbered by the grounder. */
typedef uint32_t gondra_atom_t;
/* Names theory terms, elements, atoms and solver threads. */
typedef uint32_t gondra_id_t;
/* Weights of weight constraints and minimize terms. */
typedef int32_t gondra_weight_t;
/* A literal with a weight. */
typedef struct gondra_weighted_literal {
    gondra_literal_t literal;
    gondra_weight_t weight;
} gondra_weighted_literal_t;

#define GONDRA_VERSION_MAJOR 1
#define GONDRA_VERSION_MINOR 0
#define GONDRA_VERSION_REVISION 0

/* Writes the library's version through the non-null pointers. */
GONDRA_VISIBILITY_DEFAULT void gondra_version(int *major, int *minor, int *revision);

/* ------------------------------------------------------------------------ */
/* Error state                                                               */
/* ------------------------------------------------------------------------ */

enum gondra_error_e {
    gondra_error_success = 0,
    gondra_error_runtime = 1,
    gondra_error_logic = 2,
    gondra_error_bad_alloc = 3,
    gondra_error_unknown = 4,
};
typedef int gondra_error_t;

/* The code of the last error of the calling thread (0 when none). */
GONDRA_VISIBILITY_DEFAULT gondra_error_t gondra_error_code(void);
/* The message of the last error of the calling thread, null when none is set. */
GONDRA_VISIBILITY_DEFAULT char const *gondra_error_message(void);
/* Sets the error state of the calling thread; a null message clears the text. */
GONDRA_VISIBILITY_DEFAULT void gondra_set_error(gondra_error_t code, char const *message);
/* A short text for an error code ("success", "runtime error", ...). */
GONDRA_VISIBILITY_DEFAULT char const *gondra_error_string(gondra_error_t code);

/* Warnings and informational messages of the host go to a logger. */
enum gondra_warning_e {
    gondra_warning_operation_undefined = 0,
    gondra_warning_runtime_error = 1,
    gondra_warning_atom_undefined = 2,
    gondra_warning_file_included = 3,
    gondra_warning_variable_unbounded = 4,
    gondra_warning_global_variable = 5,
    gondra_warning_other = 6,
};
typedef int gondra_warning_t;
typedef void (*gondra_logger_t)(gondra_warning_t code, char const *message, void *data);

/* ------------------------------------------------------------------------ */
/* Signatures and symbols                                                    */
/* ------------------------------------------------------------------------ */

typedef uint64_t gondra_signature_t;
typedef uint64_t gondra_symbol_t;

/* Symbol types, numbered in the order of the total symbol order. */
enum gondra_symbol_type_e {
    gondra_symbol_type_infimum = 0,
    gondra_symbol_type_number = 1,
    gondra_symbol_type_function = 2,
    gondra_symbol_type_string = 3,
    gondra_symbol_type_supremum = 4,
};
typedef int gondra_symbol_type_t;

/* The signature name/arity, positive or classically negated. */
GONDRA_VISIBILITY_DEFAULT bool gondra_signature_create(char const *name, uint32_t arity, bool positive,
                                                       gondra_signature_t *signature);
GONDRA_VISIBILITY_DEFAULT char const *gondra_signature_name(gondra_signature_t signature);
GONDRA_VISIBILITY_DEFAULT uint32_t gondra_signature_arity(gondra_signature_t signature);
GONDRA_VISIBILITY_DEFAULT bool gondra_signature_is_positive(gondra_signature_t signature);
GONDRA_VISIBILITY_DEFAULT bool gondra_signature_is_negative(gondra_signature_t signature);
GONDRA_VISIBILITY_DEFAULT bool gondra_signature_is_equal_to(gondra_signature_t a, gondra_signature_t b);
GONDRA_VISIBILITY_DEFAULT bool gondra_signature_is_less_than(gondra_signature_t a, gondra_signature_t b);
GONDRA_VISIBILITY_DEFAULT size_t gondra_signature_hash(gondra_signature_t signature);

/* Numbers are packed into the handle; creating one cannot fail. */
GONDRA_VISIBILITY_DEFAULT void gondra_symbol_create_number(int number, gondra_symbol_t *symbol);
GONDRA_VISIBILITY_DEFAULT void gondra_symbol_create_supremum(gondra_symbol_t *symbol);
GONDRA_VISIBILITY_DEFAULT void gondra_symbol_create_infimum(gondra_symbol_t *symbol);
/* A string symbol holding a copy of the text. */
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_create_string(char const *string, gondra_symbol_t *symbol);
/* A constant: a function without arguments. */
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_create_id(char const *name, bool positive, gondra_symbol_t *symbol);
/* A function symbol; the empty name makes a tuple. */
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_create_function(char const *name, gondra_symbol_t const *arguments,
                                                             size_t arguments_size, bool positive,
                                                             gondra_symbol_t *symbol);
/* Accessors fail with a runtime error when the symbol has another type. */
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_number(gondra_symbol_t symbol, int *number);
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_name(gondra_symbol_t symbol, char const **name);
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_string(gondra_symbol_t symbol, char const **string);
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_is_positive(gondra_symbol_t symbol, bool *positive);
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_is_negative(gondra_symbol_t symbol, bool *negative);
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_arguments(gondra_symbol_t symbol, gondra_symbol_t const **arguments,
                                                       size_t *arguments_size);
GONDRA_VISIBILITY_DEFAULT gondra_symbol_type_t gondra_symbol_type(gondra_symbol_t symbol);
/* The length of the printed symbol including the terminating zero. */
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_to_string_size(gondra_symbol_t symbol, size_t *size);
/* Prints the symbol in the input syntax into a buffer of the given size. */
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_to_string(gondra_symbol_t symbol, char *string, size_t size);
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_is_equal_to(gondra_symbol_t a, gondra_symbol_t b);
/* The total order: #inf < numbers < functions < strings < #sup. */
GONDRA_VISIBILITY_DEFAULT bool gondra_symbol_is_less_than(gondra_symbol_t a, gondra_symbol_t b);
GONDRA_VISIBILITY_DEFAULT size_t gondra_symbol_hash(gondra_symbol_t symbol);

/* Interns a string: the result stays valid for the lifetime of the process. */
GONDRA_VISIBILITY_DEFAULT bool gondra_add_string(char const *string, char const **result);

/* ------------------------------------------------------------------------ */
/* Source locations                                                          */
/* ------------------------------------------------------------------------ */

typedef struct gondra_location {
    char const *begin_file;
    char const *end_file;
    size_t begin_line;
    size_t end_line;
    size_t begin_column;
    size_t end_column;
} gondra_location_t;

/* ------------------------------------------------------------------------ */
/* Theory atoms                                                              */
/* ------------------------------------------------------------------------ */

enum gondra_theory_term_type_e {
    gondra_theory_term_type_tuple = 0,
    gondra_theory_term_type_list = 1,
    gondra_theory_term_type_set = 2,
    gondra_theory_term_type_function = 3,
    gondra_theory_term_type_number = 4,
    gondra_theory_term_type_symbol = 5,
};
typedef int gondra_theory_term_type_t;

/* The ground theory atoms of a program; ids of terms, elements and atoms are
 * indices into its tables. */
typedef struct gondra_theory_atoms gondra_theory_atoms_t;

GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_term_type(gondra_theory_atoms_t const *atoms, gondra_id_t term,
                                                            gondra_theory_term_type_t *type);
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_term_number(gondra_theory_atoms_t const *atoms, gondra_id_t term,
                                                              int *number);
/* The name of a function or symbol term (for a function: the operator or functor). */
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_term_name(gondra_theory_atoms_t const *atoms, gondra_id_t term,
                                                            char const **name);
/* The arguments of a function term, or the members of a tuple, list or set. */
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_term_arguments(gondra_theory_atoms_t const *atoms,
                                                                 gondra_id_t term, gondra_id_t const **arguments,
                                                                 size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_term_to_string_size(gondra_theory_atoms_t const *atoms,
                                                                      gondra_id_t term, size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_term_to_string(gondra_theory_atoms_t const *atoms,
                                                                 gondra_id_t term, char *string, size_t size);
/* The tuple of theory terms of an element. */
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_element_tuple(gondra_theory_atoms_t const *atoms,
                                                                gondra_id_t element, gondra_id_t const **tuple,
                                                                size_t *size);
/* The condition of an element: program literals. */
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_element_condition(gondra_theory_atoms_t const *atoms,
                                                                    gondra_id_t element,
                                                                    gondra_literal_t const **condition,
                                                                    size_t *size);
/* A program literal standing for the whole condition of an element. */
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_element_condition_id(gondra_theory_atoms_t const *atoms,
                                                                       gondra_id_t element,
                                                                       gondra_literal_t *condition);
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_element_to_string_size(gondra_theory_atoms_t const *atoms,
                                                                         gondra_id_t element, size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_element_to_string(gondra_theory_atoms_t const *atoms,
                                                                    gondra_id_t element, char *string,
                                                                    size_t size);
/* The number of theory atoms. */
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_size(gondra_theory_atoms_t const *atoms, size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_atom_term(gondra_theory_atoms_t const *atoms, gondra_id_t atom,
                                                            gondra_id_t *term);
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_atom_elements(gondra_theory_atoms_t const *atoms,
                                                                gondra_id_t atom, gondra_id_t const **elements,
                                                                size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_atom_has_guard(gondra_theory_atoms_t const *atoms,
                                                                 gondra_id_t atom, bool *has_guard);
/* The guard's relation text and term; fails when the atom has no guard. */
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_atom_guard(gondra_theory_atoms_t const *atoms, gondra_id_t atom,
                                                             char const **connective, gondra_id_t *term);
/* The program literal of the atom. */
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_atom_literal(gondra_theory_atoms_t const *atoms, gondra_id_t atom,
                                                               gondra_literal_t *literal);
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_atom_to_string_size(gondra_theory_atoms_t const *atoms,
                                                                      gondra_id_t atom, size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_theory_atoms_atom_to_string(gondra_theory_atoms_t const *atoms,
                                                                 gondra_id_t atom, char *string, size_t size);

/* ------------------------------------------------------------------------ */
/* Assignment, propagators                                                   */
/* ------------------------------------------------------------------------ */

enum gondra_truth_value_e {
    gondra_truth_value_free = 0,
    gondra_truth_value_true = 1,
    gondra_truth_value_false = -1,
};
typedef int gondra_truth_value_t;

/* The assignment of one solver thread. */
typedef struct gondra_assignment gondra_assignment_t;

/* The current decision level (0 before the first decision). */
GONDRA_VISIBILITY_DEFAULT uint32_t gondra_assignment_decision_level(gondra_assignment_t const *assignment);
/* The level on which the search started (0 outside of assumptions). */
GONDRA_VISIBILITY_DEFAULT uint32_t gondra_assignment_root_level(gondra_assignment_t const *assignment);
/* Whether the assignment has a conflict. */
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_has_conflict(gondra_assignment_t const *assignment);
/* Whether the literal belongs to a variable of this assignment. */
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_has_literal(gondra_assignment_t const *assignment,
                                                            gondra_literal_t literal);
/* The level on which the literal's variable was assigned. */
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_level(gondra_assignment_t const *assignment, gondra_literal_t literal,
                                                      uint32_t *level);
/* The decision literal of a level. */
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_decision(gondra_assignment_t const *assignment, uint32_t level,
                                                         gondra_literal_t *literal);
/* Whether the literal was assigned on level 0. */
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_is_fixed(gondra_assignment_t const *assignment,
                                                         gondra_literal_t literal, bool *is_fixed);
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_is_true(gondra_assignment_t const *assignment,
                                                        gondra_literal_t literal, bool *is_true);
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_is_false(gondra_assignment_t const *assignment,
                                                         gondra_literal_t literal, bool *is_false);
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_truth_value(gondra_assignment_t const *assignment,
                                                            gondra_literal_t literal, gondra_truth_value_t *value);
/* The number of variables, the constant variable 1 included. */
GONDRA_VISIBILITY_DEFAULT size_t gondra_assignment_size(gondra_assignment_t const *assignment);
/* Whether every variable is assigned. */
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_is_total(gondra_assignment_t const *assignment);
/* The number of assigned literals. */
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_trail_size(gondra_assignment_t const *assignment, uint32_t *size);
/* The offset in the trail of the first literal assigned on a level. */
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_trail_begin(gondra_assignment_t const *assignment, uint32_t level,
                                                            uint32_t *offset);
/* The offset in the trail one past the last literal assigned on a level. */
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_trail_end(gondra_assignment_t const *assignment, uint32_t level,
                                                          uint32_t *offset);
/* The literal at a trail position, in assignment order. */
GONDRA_VISIBILITY_DEFAULT bool gondra_assignment_trail_at(gondra_assignment_t const *assignment, uint32_t offset,
                                                         gondra_literal_t *literal);

enum gondra_propagator_check_mode_e {
    gondra_propagator_check_mode_none = 0,
    gondra_propagator_check_mode_total = 1,
    gondra_propagator_check_mode_fixpoint = 2,
    gondra_propagator_check_mode_both = 3,
};
typedef int gondra_propagator_check_mode_t;

enum gondra_weight_constraint_type_e {
    /* the constraint implies the literal */
    gondra_weight_constraint_type_implication_left = -1,
    /* the literal implies the constraint */
    gondra_weight_constraint_type_implication_right = 1,
    gondra_weight_constraint_type_equivalence = 0,
};
typedef int gondra_weight_constraint_type_t;

enum gondra_clause_type_e {
    /* may be deleted by the solver */
    gondra_clause_type_learnt = 0,
    /* never deleted */
    gondra_clause_type_static = 1,
    /* dropped at the end of the solve call */
    gondra_clause_type_volatile = 2,
    gondra_clause_type_volatile_static = 3,
};
typedef int gondra_clause_type_t;

/* The object a propagator's init callback works with, once per solve call. */
typedef struct gondra_propagate_init gondra_propagate_init_t;

/* Maps a program literal to a solver literal: a fact maps to 1, an atom that
 * cannot become true to -1. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_init_solver_literal(gondra_propagate_init_t const *init,
                                                                   gondra_literal_t literal,
                                                                   gondra_literal_t *solver_literal);
/* Watches a solver literal in all solver threads. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_init_add_watch(gondra_propagate_init_t *init,
                                                              gondra_literal_t solver_literal);
/* Watches a solver literal in one solver thread. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_init_add_watch_to_thread(gondra_propagate_init_t *init,
                                                                        gondra_literal_t solver_literal,
                                                                        gondra_id_t thread_id);
/* Removes a watch of all threads. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_init_remove_watch(gondra_propagate_init_t *init,
                                                                 gondra_literal_t solver_literal);
/* Keeps the variable of a literal from being eliminated by preprocessing. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_init_freeze_literal(gondra_propagate_init_t *init,
                                                                   gondra_literal_t solver_literal);
/* The ground theory atoms grounded since the previous solve call (atom ids
 * count from 0 within them; term and element ids are those of the whole
 * program). */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_init_theory_atoms(gondra_propagate_init_t const *init,
                                                                 gondra_theory_atoms_t const **atoms);
/* The number of solver threads of the coming search. */
GONDRA_VISIBILITY_DEFAULT int gondra_propagate_init_number_of_threads(gondra_propagate_init_t const *init);
/* When check is called: one of gondra_propagator_check_mode_e. */
GONDRA_VISIBILITY_DEFAULT void gondra_propagate_init_set_check_mode(gondra_propagate_init_t *init,
                                                                   gondra_propagator_check_mode_t mode);
GONDRA_VISIBILITY_DEFAULT gondra_propagator_check_mode_t
gondra_propagate_init_get_check_mode(gondra_propagate_init_t const *init);
/* The top-level assignment. */
GONDRA_VISIBILITY_DEFAULT gondra_assignment_t const *gondra_propagate_init_assignment(gondra_propagate_init_t const *init);
/* Adds a fresh solver variable (frozen if asked) and yields its positive literal. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_init_add_literal(gondra_propagate_init_t *init, bool freeze,
                                                                gondra_literal_t *result);
/* Adds a clause; result false when it is conflicting on level 0. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_init_add_clause(gondra_propagate_init_t *init,
                                                               gondra_literal_t const *clause, size_t size,
                                                               bool *result);
/* Relates literal and (sum of weights of true literals >= bound, or = bound when
 * compare_equal) as the type says; result false when conflicting. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_init_add_weight_constraint(
    gondra_propagate_init_t *init, gondra_literal_t literal, gondra_weighted_literal_t const *literals, size_t size,
    gondra_weight_t bound, gondra_weight_constraint_type_t type, bool compare_equal, bool *result);
/* Adds a minimize term: weight counts at priority when literal is true. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_init_add_minimize(gondra_propagate_init_t *init,
                                                                 gondra_literal_t literal, gondra_weight_t weight,
                                                                 gondra_weight_t priority);
/* Unit propagation on level 0; result false on conflict. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_init_propagate(gondra_propagate_init_t *init, bool *result);

/* The object a propagator's callbacks work with during search, one per thread. */
typedef struct gondra_propagate_control gondra_propagate_control_t;

GONDRA_VISIBILITY_DEFAULT gondra_id_t gondra_propagate_control_thread_id(gondra_propagate_control_t const *control);
GONDRA_VISIBILITY_DEFAULT gondra_assignment_t const *
gondra_propagate_control_assignment(gondra_propagate_control_t const *control);
/* Adds a fresh variable to the calling thread only. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_control_add_literal(gondra_propagate_control_t *control,
                                                                   gondra_literal_t *result);
/* Watches a literal in the calling thread only. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_control_add_watch(gondra_propagate_control_t *control,
                                                                 gondra_literal_t literal);
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_control_has_watch(gondra_propagate_control_t const *control,
                                                                 gondra_literal_t literal);
GONDRA_VISIBILITY_DEFAULT void gondra_propagate_control_remove_watch(gondra_propagate_control_t *control,
                                                                    gondra_literal_t literal);
/* Adds a clause of a gondra_clause_type_e; result false means the clause is
 * conflicting and the propagator must return at once. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_control_add_clause(gondra_propagate_control_t *control,
                                                                  gondra_literal_t const *clause, size_t size,
                                                                  gondra_clause_type_t type, bool *result);
/* Applies the implications of added clauses; result false means stop. */
GONDRA_VISIBILITY_DEFAULT bool gondra_propagate_control_propagate(gondra_propagate_control_t *control, bool *result);

typedef bool (*gondra_propagator_init_callback_t)(gondra_propagate_init_t *init, void *data);
/* Called with the watched literals that became true since the last call on
 * this decision level; never with an empty list. */
typedef bool (*gondra_propagator_propagate_callback_t)(gondra_propagate_control_t *control,
                                                       gondra_literal_t const *changes, size_t size, void *data);
/* Called once for every decision level on which propagate was called, newest
 * level first, with the changes of that level. */
typedef void (*gondra_propagator_undo_callback_t)(gondra_propagate_control_t const *control,
                                                  gondra_literal_t const *changes, size_t size, void *data);
/* Called at fixpoints and/or on total assignments, as the check mode says. */
typedef bool (*gondra_propagator_check_callback_t)(gondra_propagate_control_t *control, void *data);
/* Called before the solver decides fallback; a non-zero decision replaces it. */
typedef bool (*gondra_propagator_decide_callback_t)(gondra_id_t thread_id, gondra_assignment_t const *assignment,
                                                    gondra_literal_t fallback, void *data,
                                                    gondra_literal_t *decision);

/* A propagator: any callback may be null. */
typedef struct gondra_propagator {
    gondra_propagator_init_callback_t init;
    gondra_propagator_propagate_callback_t propagate;
    gondra_propagator_undo_callback_t undo;
    gondra_propagator_check_callback_t check;
    gondra_propagator_decide_callback_t decide;
} gondra_propagator_t;

/* ------------------------------------------------------------------------ */
/* Syntax trees (AST)                                                        */
/* ------------------------------------------------------------------------ */
/* BEGIN AST SECTION: node types, attributes, the constructor table and the
 * functions over syntax trees. */

typedef struct gondra_ast gondra_ast_t;

/* Called for every statement that a parse produces. */
typedef bool (*gondra_ast_callback_t)(gondra_ast_t *ast, void *data);

/* Node types; g_gondra_ast_constructors lists their attributes in order. */
enum gondra_ast_type_e {
    gondra_ast_type_id = 0,
    gondra_ast_type_variable = 1,
    gondra_ast_type_symbolic_term = 2,
    gondra_ast_type_unary_operation = 3,
    gondra_ast_type_binary_operation = 4,
    gondra_ast_type_interval = 5,
    gondra_ast_type_function = 6,
    gondra_ast_type_pool = 7,
    gondra_ast_type_boolean_constant = 8,
    gondra_ast_type_symbolic_atom = 9,
    gondra_ast_type_comparison = 10,
    gondra_ast_type_literal = 11,
    gondra_ast_type_aggregate_guard = 12,
    gondra_ast_type_conditional_literal = 13,
    gondra_ast_type_aggregate = 14,
    gondra_ast_type_body_aggregate_element = 15,
    gondra_ast_type_body_aggregate = 16,
    gondra_ast_type_disjunction = 17,
    gondra_ast_type_theory_sequence = 18,
    gondra_ast_type_theory_function = 19,
    gondra_ast_type_theory_unparsed_term_element = 20,
    gondra_ast_type_theory_unparsed_term = 21,
    gondra_ast_type_theory_guard = 22,
    gondra_ast_type_theory_atom_element = 23,
    gondra_ast_type_theory_atom = 24,
    gondra_ast_type_theory_operator_definition = 25,
    gondra_ast_type_theory_term_definition = 26,
    gondra_ast_type_theory_guard_definition = 27,
    gondra_ast_type_theory_atom_definition = 28,
    gondra_ast_type_rule = 29,
    gondra_ast_type_definition = 30,
    gondra_ast_type_show_signature = 31,
    gondra_ast_type_show_term = 32,
    gondra_ast_type_show = 33,
    gondra_ast_type_minimize = 34,
    gondra_ast_type_program = 35,
    gondra_ast_type_external = 36,
    gondra_ast_type_defined = 37,
    gondra_ast_type_theory_definition = 38,
};
typedef int gondra_ast_type_t;

enum gondra_ast_attribute_e {
    gondra_ast_attribute_argument = 0,
    gondra_ast_attribute_arguments = 1,
    gondra_ast_attribute_arity = 2,
    gondra_ast_attribute_atom = 3,
    gondra_ast_attribute_atom_type = 4,
    gondra_ast_attribute_atoms = 5,
    gondra_ast_attribute_body = 6,
    gondra_ast_attribute_comparison = 7,
    gondra_ast_attribute_condition = 8,
    gondra_ast_attribute_elements = 9,
    gondra_ast_attribute_external = 10,
    gondra_ast_attribute_function = 11,
    gondra_ast_attribute_guard = 12,
    gondra_ast_attribute_head = 13,
    gondra_ast_attribute_is_default = 14,
    gondra_ast_attribute_left = 15,
    gondra_ast_attribute_left_guard = 16,
    gondra_ast_attribute_literal = 17,
    gondra_ast_attribute_location = 18,
    gondra_ast_attribute_name = 19,
    gondra_ast_attribute_operator_name = 20,
    gondra_ast_attribute_operator_type = 21,
    gondra_ast_attribute_operators = 22,
    gondra_ast_attribute_parameters = 23,
    gondra_ast_attribute_positive = 24,
    gondra_ast_attribute_priority = 25,
    gondra_ast_attribute_right = 26,
    gondra_ast_attribute_right_guard = 27,
    gondra_ast_attribute_sequence_type = 28,
    gondra_ast_attribute_sign = 29,
    gondra_ast_attribute_symbol = 30,
    gondra_ast_attribute_term = 31,
    gondra_ast_attribute_terms = 32,
    gondra_ast_attribute_value = 33,
    gondra_ast_attribute_weight = 34,
};
typedef int gondra_ast_attribute_t;

/* The kinds of attribute values. */
enum gondra_ast_attribute_type_e {
    gondra_ast_attribute_type_number = 0,       /* int */
    gondra_ast_attribute_type_symbol = 1,       /* gondra_symbol_t */
    gondra_ast_attribute_type_location = 2,     /* gondra_location_t */
    gondra_ast_attribute_type_string = 3,       /* char const * */
    gondra_ast_attribute_type_ast = 4,          /* gondra_ast_t *, never null */
    gondra_ast_attribute_type_optional_ast = 5, /* gondra_ast_t *, may be null */
    gondra_ast_attribute_type_string_array = 6, /* char const * const *, size_t */
    gondra_ast_attribute_type_ast_array = 7,    /* gondra_ast_t * const *, size_t */
};
typedef int gondra_ast_attribute_type_t;

/* Values of number attributes. */
enum gondra_ast_sign_e { gondra_ast_sign_no_sign = 0, gondra_ast_sign_negation = 1, gondra_ast_sign_double_negation = 2 };
enum gondra_ast_comparison_operator_e {
    gondra_ast_comparison_operator_greater_than = 0,
    gondra_ast_comparison_operator_less_than = 1,
    gondra_ast_comparison_operator_less_equal = 2,
    gondra_ast_comparison_operator_greater_equal = 3,
    gondra_ast_comparison_operator_not_equal = 4,
    gondra_ast_comparison_operator_equal = 5,
};
enum gondra_ast_unary_operator_e {
    gondra_ast_unary_operator_minus = 0,    /* also classical negation of atoms */
    gondra_ast_unary_operator_negation = 1, /* ~ */
    gondra_ast_unary_operator_absolute = 2, /* |t| */
};
enum gondra_ast_binary_operator_e {
    gondra_ast_binary_operator_xor = 0,
    gondra_ast_binary_operator_or = 1,
    gondra_ast_binary_operator_and = 2,
    gondra_ast_binary_operator_plus = 3,
    gondra_ast_binary_operator_minus = 4,
    gondra_ast_binary_operator_multiplication = 5,
    gondra_ast_binary_operator_division = 6,
    gondra_ast_binary_operator_modulo = 7,
    gondra_ast_binary_operator_power = 8,
};
enum gondra_ast_aggregate_function_e {
    gondra_ast_aggregate_function_count = 0,
    gondra_ast_aggregate_function_sum = 1,
    gondra_ast_aggregate_function_sump = 2,
    gondra_ast_aggregate_function_min = 3,
    gondra_ast_aggregate_function_max = 4,
};
enum gondra_ast_theory_sequence_type_e {
    gondra_ast_theory_sequence_type_tuple = 0,
    gondra_ast_theory_sequence_type_list = 1,
    gondra_ast_theory_sequence_type_set = 2,
};
enum gondra_ast_theory_operator_type_e {
    gondra_ast_theory_operator_type_unary = 0,
    gondra_ast_theory_operator_type_binary_left = 1,
    gondra_ast_theory_operator_type_binary_right = 2,
};
enum gondra_ast_theory_atom_definition_type_e {
    gondra_ast_theory_atom_definition_type_head = 0,
    gondra_ast_theory_atom_definition_type_body = 1,
    gondra_ast_theory_atom_definition_type_any = 2,
    gondra_ast_theory_atom_definition_type_directive = 3,
};

/* The constructor table: per node type its name and its arguments, each an
 * attribute and its kind, in the order gondra_ast_build expects them. */
typedef struct gondra_ast_argument {
    gondra_ast_attribute_t attribute;
    gondra_ast_attribute_type_t type;
} gondra_ast_argument_t;
typedef struct gondra_ast_constructor {
    char const *name;
    gondra_ast_argument_t const *arguments;
    size_t size;
} gondra_ast_constructor_t;
typedef struct gondra_ast_constructors {
    gondra_ast_constructor_t const *constructors;
    size_t size;
} gondra_ast_constructors_t;

GONDRA_VISIBILITY_DEFAULT extern gondra_ast_constructors_t const g_gondra_ast_constructors;
/* Names of the attributes, indexed by gondra_ast_attribute_t. */
GONDRA_VISIBILITY_DEFAULT extern char const *const g_gondra_ast_attribute_names[];
GONDRA_VISIBILITY_DEFAULT extern size_t const g_gondra_ast_attribute_names_size;

/* Builds a node; the variadic arguments follow the constructor table: number
 * int, symbol gondra_symbol_t, location gondra_location_t const *, string char
 * const *, ast and optional ast gondra_ast_t * (optional: may be null), string
 * array char const * const * and size_t, ast array gondra_ast_t * const * and
 * size_t. The new node holds one reference. */
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_build(gondra_ast_type_t type, gondra_ast_t **ast, ...);
/* Reference counting; a node is freed when its last reference goes. */
GONDRA_VISIBILITY_DEFAULT void gondra_ast_acquire(gondra_ast_t *ast);
GONDRA_VISIBILITY_DEFAULT void gondra_ast_release(gondra_ast_t *ast);
/* A new node sharing the children (copy) or a copy of the whole tree (deep_copy). */
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_copy(gondra_ast_t *ast, gondra_ast_t **copy);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_deep_copy(gondra_ast_t *ast, gondra_ast_t **copy);
/* Structural comparison; locations are ignored. */
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_equal(gondra_ast_t *a, gondra_ast_t *b);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_less_than(gondra_ast_t *a, gondra_ast_t *b);
GONDRA_VISIBILITY_DEFAULT size_t gondra_ast_hash(gondra_ast_t *ast);
/* The printed node in the input syntax; size includes the terminating zero. */
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_to_string_size(gondra_ast_t *ast, size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_to_string(gondra_ast_t *ast, char *string, size_t size);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_get_type(gondra_ast_t *ast, gondra_ast_type_t *type);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_has_attribute(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                        bool *has_attribute);
/* Reading an attribute the node lacks fails with "unknown attribute", writing
 * one with "unknow attribute"; a value of another kind is a logic error. */
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_type(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                         gondra_ast_attribute_type_t *type);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_get_number(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                               int *value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_set_number(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                               int value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_get_symbol(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                               gondra_symbol_t *value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_set_symbol(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                               gondra_symbol_t value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_get_location(gondra_ast_t *ast,
                                                                 gondra_ast_attribute_t attribute,
                                                                 gondra_location_t *value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_set_location(gondra_ast_t *ast,
                                                                 gondra_ast_attribute_t attribute,
                                                                 gondra_location_t const *value);
/* Strings read are interned (valid for the process lifetime); strings written are copied. */
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_get_string(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                               char const **value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_set_string(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                               char const *value);
/* Node reads return a borrowed pointer (acquire it to keep it); writes take their own reference. */
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_get_ast(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                            gondra_ast_t **value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_set_ast(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                            gondra_ast_t *value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_get_optional_ast(gondra_ast_t *ast,
                                                                     gondra_ast_attribute_t attribute,
                                                                     gondra_ast_t **value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_set_optional_ast(gondra_ast_t *ast,
                                                                     gondra_ast_attribute_t attribute,
                                                                     gondra_ast_t *value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_get_string_at(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                                  size_t index, char const **value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_set_string_at(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                                  size_t index, char const *value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_delete_string_at(gondra_ast_t *ast,
                                                                     gondra_ast_attribute_t attribute, size_t index);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_size_string_array(gondra_ast_t *ast,
                                                                      gondra_ast_attribute_t attribute, size_t *size);
/* Inserts before index; index == size appends. */
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_insert_string_at(gondra_ast_t *ast,
                                                                     gondra_ast_attribute_t attribute, size_t index,
                                                                     char const *value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_get_ast_at(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                               size_t index, gondra_ast_t **value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_set_ast_at(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                               size_t index, gondra_ast_t *value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_delete_ast_at(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                                  size_t index);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_size_ast_array(gondra_ast_t *ast,
                                                                   gondra_ast_attribute_t attribute, size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_insert_ast_at(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                                  size_t index, gondra_ast_t *value);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_attribute_push_ast(gondra_ast_t *ast, gondra_ast_attribute_t attribute,
                                                             gondra_ast_t *value);

/* Which pools gondra_ast_unpool expands. */
enum gondra_ast_unpool_type_e {
    gondra_ast_unpool_type_condition = 1, /* pools in conditions: the element is split */
    gondra_ast_unpool_type_other = 2,     /* all other pools: the statement is split */
    gondra_ast_unpool_type_all = 3,
};
typedef int gondra_ast_unpool_type_bitset_t;
/* Calls callback with every node of the expansion, in order. */
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_unpool(gondra_ast_t *ast, gondra_ast_unpool_type_bitset_t unpool_type,
                                                 gondra_ast_callback_t callback, void *callback_data);

/* Parses program text (or files; "-" is standard input) and calls callback
 * with every statement. Each located error goes to the logger (may be null)
 * as gondra_warning_runtime_error, at most message_limit of them (0: no
 * limit); the call then fails with all messages in the error state. */
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_parse_string(char const *program, gondra_ast_callback_t callback,
                                                       void *callback_data, gondra_logger_t logger,
                                                       void *logger_data, unsigned message_limit);
GONDRA_VISIBILITY_DEFAULT bool gondra_ast_parse_files(char const *const *files, size_t size,
                                                      gondra_ast_callback_t callback, void *callback_data,
                                                      gondra_logger_t logger, void *logger_data,
                                                      unsigned message_limit);

/* END AST SECTION */

/* ------------------------------------------------------------------------ */
/* Options                                                                   */
/* ------------------------------------------------------------------------ */

/* The command-line option parser of an application. */
typedef struct gondra_options gondra_options_t;

/* Parses the value of an option; false when the value is invalid. */
typedef bool (*gondra_option_parser_t)(char const *value, void *data);

/* Adds an option to a group. The name may carry ",c" (one-letter alias) and
 * ",@n" (shown only with --help=n). With multi the option may be given several
 * times. argument is the placeholder shown in the help (may be null). */
GONDRA_VISIBILITY_DEFAULT bool gondra_options_add(gondra_options_t *options, char const *group, char const *option,
                                                  char const *description, gondra_option_parser_t parse, void *data,
                                                  bool multi, char const *argument);
/* Adds a flag: target becomes true when the flag is given. */
GONDRA_VISIBILITY_DEFAULT bool gondra_options_add_flag(gondra_options_t *options, char const *group,
                                                       char const *option, char const *description, bool *target);

/* ------------------------------------------------------------------------ */
/* Statistics                                                                */
/* ------------------------------------------------------------------------ */

/* A tree of maps, arrays and numeric values, addressed by 64-bit keys. */
typedef struct gondra_statistic gondra_statistics_t;

enum gondra_statistics_type_e {
    gondra_statistics_type_empty = 0,
    gondra_statistics_type_value = 1,
    gondra_statistics_type_array = 2,
    gondra_statistics_type_map = 3,
};
typedef int gondra_statistics_type_t;

GONDRA_VISIBILITY_DEFAULT bool gondra_statistics_root(gondra_statistics_t const *statistics, uint64_t *key);
GONDRA_VISIBILITY_DEFAULT bool gondra_statistics_type(gondra_statistics_t const *statistics, uint64_t key,
                                                      gondra_statistics_type_t *type);
GONDRA_VISIBILITY_DEFAULT bool gondra_statistics_array_size(gondra_statistics_t const *statistics, uint64_t key,
                                                            size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_statistics_array_at(gondra_statistics_t const *statistics, uint64_t key,
                                                          size_t offset, uint64_t *subkey);
/* Appends an element of the given type to an array. */
GONDRA_VISIBILITY_DEFAULT bool gondra_statistics_array_push(gondra_statistics_t *statistics, uint64_t key,
                                                            gondra_statistics_type_t type, uint64_t *subkey);
GONDRA_VISIBILITY_DEFAULT bool gondra_statistics_map_size(gondra_statistics_t const *statistics, uint64_t key,
                                                          size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_statistics_map_has_subkey(gondra_statistics_t const *statistics, uint64_t key,
                                                                char const *name, bool *result);
GONDRA_VISIBILITY_DEFAULT bool gondra_statistics_map_subkey_name(gondra_statistics_t const *statistics,
                                                                 uint64_t key, size_t offset, char const **name);
GONDRA_VISIBILITY_DEFAULT bool gondra_statistics_map_at(gondra_statistics_t const *statistics, uint64_t key,
                                                        char const *name, uint64_t *subkey);
/* Adds an entry of the given type to a map; an existing entry of that type is returned. */
GONDRA_VISIBILITY_DEFAULT bool gondra_statistics_map_add_subkey(gondra_statistics_t *statistics, uint64_t key,
                                                                char const *name, gondra_statistics_type_t type,
                                                                uint64_t *subkey);
GONDRA_VISIBILITY_DEFAULT bool gondra_statistics_value_get(gondra_statistics_t const *statistics, uint64_t key,
                                                           double *value);
GONDRA_VISIBILITY_DEFAULT bool gondra_statistics_value_set(gondra_statistics_t *statistics, uint64_t key,
                                                           double value);

/* ------------------------------------------------------------------------ */
/* Configuration                                                             */
/* ------------------------------------------------------------------------ */

/* A tree of maps, arrays and text values (solve.models, solve.threads, ...). */
typedef struct gondra_configuration gondra_configuration_t;

enum gondra_configuration_type_e {
    gondra_configuration_type_value = 1,
    gondra_configuration_type_array = 2,
    gondra_configuration_type_map = 4,
};
typedef unsigned gondra_configuration_type_bitset_t;

GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_root(gondra_configuration_t const *configuration, gondra_id_t *key);
GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_type(gondra_configuration_t const *configuration, gondra_id_t key,
                                                         gondra_configuration_type_bitset_t *type);
GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_description(gondra_configuration_t const *configuration,
                                                                gondra_id_t key, char const **description);
GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_array_size(gondra_configuration_t const *configuration,
                                                               gondra_id_t key, size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_array_at(gondra_configuration_t const *configuration,
                                                             gondra_id_t key, size_t offset, gondra_id_t *subkey);
GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_map_size(gondra_configuration_t const *configuration,
                                                             gondra_id_t key, size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_map_has_subkey(gondra_configuration_t const *configuration,
                                                                   gondra_id_t key, char const *name, bool *result);
GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_map_subkey_name(gondra_configuration_t const *configuration,
                                                                    gondra_id_t key, size_t offset,
                                                                    char const **name);
/* Looks up a subkey; the name may be a dotted path such as "solve.models". */
GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_map_at(gondra_configuration_t const *configuration,
                                                           gondra_id_t key, char const *name, gondra_id_t *subkey);
GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_value_is_assigned(gondra_configuration_t const *configuration,
                                                                      gondra_id_t key, bool *assigned);
/* The length of the value's text including the terminating zero. */
GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_value_get_size(gondra_configuration_t const *configuration,
                                                                   gondra_id_t key, size_t *size);
GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_value_get(gondra_configuration_t const *configuration,
                                                              gondra_id_t key, char *value, size_t size);
/* Sets a value from text; an invalid value fails with a runtime error. */
GONDRA_VISIBILITY_DEFAULT bool gondra_configuration_value_set(gondra_configuration_t *configuration, gondra_id_t key,
                                                              char const *value);

/* ------------------------------------------------------------------------ */
/* Models                                                                    */
/* ------------------------------------------------------------------------ */

typedef struct gondra_model gondra_model_t;

enum gondra_show_type_e {
    gondra_show_type_shown = 2,
    gondra_show_type_atoms = 4,
    gondra_show_type_terms = 8,
    gondra_show_type_theory = 16,
    gondra_show_type_all = 31,
    gondra_show_type_complement = 32,
};
typedef unsigned gondra_show_type_bitset_t;

/* Whether a program atom (by its symbol) is true in the model. */
GONDRA_VISIBILITY_DEFAULT bool gondra_model_contains(gondra_model_t const *model, gondra_symbol_t atom, bool *contained);
/* Whether a program literal is true in the model. */
GONDRA_VISIBILITY_DEFAULT bool gondra_model_is_true(gondra_model_t const *model, gondra_literal_t literal,
                                                    bool *result);
GONDRA_VISIBILITY_DEFAULT bool gondra_model_symbols_size(gondra_model_t const *model, gondra_show_type_bitset_t show,
                                                         size_t *size);
/* The symbols of the model (shown atoms and terms, and those added by extend). */
GONDRA_VISIBILITY_DEFAULT bool gondra_model_symbols(gondra_model_t const *model, gondra_show_type_bitset_t show,
                                                    gondra_symbol_t *symbols, size_t size);
/* The running number of the model, starting at 1. */
GONDRA_VISIBILITY_DEFAULT bool gondra_model_number(gondra_model_t const *model, uint64_t *number);
GONDRA_VISIBILITY_DEFAULT bool gondra_model_optimality_proven(gondra_model_t const *model, bool *proven);
/* The number of priority levels of the objective. */
GONDRA_VISIBILITY_DEFAULT bool gondra_model_cost_size(gondra_model_t const *model, size_t *size);
/* The costs by priority, highest priority first. */
GONDRA_VISIBILITY_DEFAULT bool gondra_model_cost(gondra_model_t const *model, int64_t *costs, size_t size);
/* The solver thread that found the model. */
GONDRA_VISIBILITY_DEFAULT bool gondra_model_thread_id(gondra_model_t const *model, gondra_id_t *id);
/* Adds symbols to the model; only while the model is being reported. */
GONDRA_VISIBILITY_DEFAULT bool gondra_model_extend(gondra_model_t *model, gondra_symbol_t const *symbols, size_t size);

/* ------------------------------------------------------------------------ */
/* Program builder                                                           */
/* ------------------------------------------------------------------------ */

/* Collects statements into the program of a control. */
typedef struct gondra_program_builder gondra_program_builder_t;

GONDRA_VISIBILITY_DEFAULT bool gondra_program_builder_begin(gondra_program_builder_t *builder);
/* Adds one statement (a node of a statement type). */
GONDRA_VISIBILITY_DEFAULT bool gondra_program_builder_add(gondra_program_builder_t *builder, gondra_ast_t *statement);
GONDRA_VISIBILITY_DEFAULT bool gondra_program_builder_end(gondra_program_builder_t *builder);

/* ------------------------------------------------------------------------ */
/* Control                                                                   */
/* ------------------------------------------------------------------------ */

typedef struct gondra_control gondra_control_t;

/* A program part to ground: its name and its parameters. */
typedef struct gondra_part {
    char const *name;
    gondra_symbol_t const *params;
    size_t size;
} gondra_part_t;

enum gondra_solve_result_e {
    gondra_solve_result_satisfiable = 1,
    gondra_solve_result_unsatisfiable = 2,
    gondra_solve_result_exhausted = 4,
    gondra_solve_result_interrupted = 8,
};
typedef unsigned gondra_solve_result_bitset_t;

enum gondra_solve_event_type_e {
    /* event: gondra_model_t*; set *goon to false to stop the search */
    gondra_solve_event_type_model = 0,
    /* event: gondra_statistics_t*[2], the step and the accumulated statistics */
    gondra_solve_event_type_statistics = 1,
    /* event: gondra_solve_result_bitset_t* */
    gondra_solve_event_type_finish = 2,
    /* event: null; sent once per solve call when the propagators have been
     * initialised without error (an error of theirs ends the call before it),
     * just before the search begins; set *goon to false to skip the search */
    gondra_solve_event_type_start = 3,
};
typedef unsigned gondra_solve_event_type_t;

/* Receives the events of a solve call, in this order: start, the models,
 * statistics, finish; false reports an error (set it first). A call that
 * fails sends no further events. */
typedef bool (*gondra_solve_event_callback_t)(gondra_solve_event_type_t type, void *event, void *data, bool *goon);

/* Makes a control. arguments are command-line style settings such as "-n",
 * "0", "-t", "4", "-c", "n=5"; the logger (may be null) receives warnings and
 * informational messages, at most message_limit of them. */
GONDRA_VISIBILITY_DEFAULT bool gondra_control_new(char const *const *arguments, size_t arguments_size,
                                                  gondra_logger_t logger, void *logger_data, unsigned message_limit,
                                                  gondra_control_t **control);
GONDRA_VISIBILITY_DEFAULT void gondra_control_free(gondra_control_t *control);
/* Parses a file (or standard input for "-") into the program. */
GONDRA_VISIBILITY_DEFAULT bool gondra_control_load(gondra_control_t *control, char const *file);
/* Parses program text into the named part with the given parameter names. */
GONDRA_VISIBILITY_DEFAULT bool gondra_control_add(gondra_control_t *control, char const *name,
                                                  char const *const *parameters, size_t parameters_size,
                                                  char const *program);
/* Grounds the given parts, adding to what earlier calls grounded. Rules of a
 * later call may define only atoms that are new to it. */
GONDRA_VISIBILITY_DEFAULT bool gondra_control_ground(gondra_control_t *control, gondra_part_t const *parts,
                                                     size_t parts_size);
/* Solves under assumptions (program literals), reporting events to the handler
 * (may be null); result holds the gondra_solve_result_e bits. Calls may follow
 * each other with grounding in between: atoms keep their solver literals,
 * learnt information that holds beyond a call is kept, and propagators are
 * initialised again. */
GONDRA_VISIBILITY_DEFAULT bool gondra_control_solve(gondra_control_t *control, gondra_literal_t const *assumptions,
                                                    size_t assumptions_size, gondra_solve_event_callback_t handler,
                                                    void *data, gondra_solve_result_bitset_t *result);
/* Declares that a propagator of the application enforces an objective of its
 * own in the following solve calls: it admits only models better than the
 * best one reported so far. A search that is exhausted after a model has then
 * found the optimum, and the statistics count it (summary.models.optimal) as
 * for an objective of the program. Off by default. */
GONDRA_VISIBILITY_DEFAULT bool gondra_control_declare_objective(gondra_control_t *control, bool declared);
/* Asks a running search to stop; safe from any thread and signal handlers. */
GONDRA_VISIBILITY_DEFAULT void gondra_control_interrupt(gondra_control_t *control);
/* Registers a propagator; with sequential false, callbacks of different
 * threads run concurrently (never two for one thread). */
GONDRA_VISIBILITY_DEFAULT bool gondra_control_register_propagator(gondra_control_t *control,
                                                                  gondra_propagator_t const *propagator, void *data,
                                                                  bool sequential);
GONDRA_VISIBILITY_DEFAULT bool gondra_control_theory_atoms(gondra_control_t const *control,
                                                           gondra_theory_atoms_t const **atoms);
GONDRA_VISIBILITY_DEFAULT bool gondra_control_configuration(gondra_control_t *control,
                                                            gondra_configuration_t **configuration);
/* The statistics of the last solve call and of the whole run. */
GONDRA_VISIBILITY_DEFAULT bool gondra_control_statistics(gondra_control_t const *control,
                                                         gondra_statistics_t const **statistics);
GONDRA_VISIBILITY_DEFAULT bool gondra_control_program_builder(gondra_control_t *control,
                                                              gondra_program_builder_t **builder);
/* Whether a #const of that name exists, and its value. */
GONDRA_VISIBILITY_DEFAULT bool gondra_control_has_const(gondra_control_t const *control, char const *name,
                                                        bool *exists);
GONDRA_VISIBILITY_DEFAULT bool gondra_control_get_const(gondra_control_t const *control, char const *name,
                                                        gondra_symbol_t *symbol);
/* Sets the truth value of an external atom for the following solve calls:
 * free, true, or false (then only its rules can make it true). The value of an
 * atom that is not external is ignored. */
GONDRA_VISIBILITY_DEFAULT bool gondra_control_assign_external(gondra_control_t *control, gondra_literal_t literal,
                                                              gondra_truth_value_t value);
/* Ends the external status of an atom for good: from now on only its rules
 * can make it true. */
GONDRA_VISIBILITY_DEFAULT bool gondra_control_release_external(gondra_control_t *control, gondra_literal_t literal);

#ifdef __cplusplus
}
#endif

#endif
