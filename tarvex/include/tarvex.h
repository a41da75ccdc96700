/* Integer constraints for the gondra answer-set solver.
 *
 * A host application creates one theory handle, lets it register its options,
 * grammar and propagator with a gondra control object, passes every statement
 * of its input through tarvex_rewrite_ast, grounds and solves, and reads the
 * integer assignment from every model. Functions returning bool report false
 * after setting gondra's error state (gondra_error_code, gondra_error_message).
 */
#ifndef TARVEX_H
#define TARVEX_H

#include "gondra.h"

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define TARVEX_VISIBILITY_DEFAULT __declspec(dllexport)
#else
#define TARVEX_VISIBILITY_DEFAULT __attribute__((visibility("default")))
#endif

/* The theory handle. */
typedef struct tarvex_theory tarvex_theory_t;

enum tarvex_value_type {
    tarvex_value_type_int = 0,
    tarvex_value_type_double = 1,
    tarvex_value_type_symbol = 2,
};
typedef int tarvex_value_type_t;

/* A value of the assignment; the tag says which member is set. */
typedef struct tarvex_value {
    tarvex_value_type_t type;
    union {
        int int_number;
        double double_number;
        gondra_symbol_t symbol;
    };
} tarvex_value_t;

/* Receives one rewritten statement; false reports an error (set it first). */
typedef bool (*tarvex_ast_callback_t)(gondra_ast_t *ast, void *data);

/* Writes the version through the non-null pointers. */
TARVEX_VISIBILITY_DEFAULT void tarvex_version(int *major, int *minor, int *revision);
/* Creates a theory handle with the default configuration. */
TARVEX_VISIBILITY_DEFAULT bool tarvex_create(tarvex_theory_t **theory);
/* Frees the handle; null is accepted. */
TARVEX_VISIBILITY_DEFAULT bool tarvex_destroy(tarvex_theory_t *theory);
/* Adds the theory grammar to part "base" and registers the propagator. */
TARVEX_VISIBILITY_DEFAULT bool tarvex_register(tarvex_theory_t *theory, gondra_control_t *control);
/* Rewrites one statement of the input program and hands the result to add. */
TARVEX_VISIBILITY_DEFAULT bool tarvex_rewrite_ast(tarvex_theory_t *theory, gondra_ast_t *ast, tarvex_ast_callback_t add,
                                                  void *data);
/* Adjusts the host's settings after grounding and before solving. */
TARVEX_VISIBILITY_DEFAULT bool tarvex_prepare(tarvex_theory_t *theory, gondra_control_t *control);
/* Adds the theory's command-line options to the group "CSP Options". */
TARVEX_VISIBILITY_DEFAULT bool tarvex_register_options(tarvex_theory_t *theory, gondra_options_t *options);
/* Applies and checks what the command-line options collected. */
TARVEX_VISIBILITY_DEFAULT bool tarvex_validate_options(tarvex_theory_t *theory);
/* Sets one option by name from text; an unknown key or a bad value fails. */
TARVEX_VISIBILITY_DEFAULT bool tarvex_configure(tarvex_theory_t *theory, char const *key, char const *value);
/* Adds the integer assignment of the model (__csp and __csp_cost atoms). */
TARVEX_VISIBILITY_DEFAULT bool tarvex_on_model(tarvex_theory_t *theory, gondra_model_t *model);
/* Finds the index (variable number + 1) of the variable carrying the symbol. */
TARVEX_VISIBILITY_DEFAULT bool tarvex_lookup_symbol(tarvex_theory_t *theory, gondra_symbol_t symbol, size_t *index);
/* The symbol of the variable at the index. */
TARVEX_VISIBILITY_DEFAULT gondra_symbol_t tarvex_get_symbol(tarvex_theory_t *theory, size_t index);
/* Starts a walk over the variables that carry symbols. */
TARVEX_VISIBILITY_DEFAULT void tarvex_assignment_begin(tarvex_theory_t *theory, uint32_t thread_id, size_t *index);
/* Advances the walk; false when it is over. */
TARVEX_VISIBILITY_DEFAULT bool tarvex_assignment_next(tarvex_theory_t *theory, uint32_t thread_id, size_t *index);
/* Whether the variable at the index carries a symbol. */
TARVEX_VISIBILITY_DEFAULT bool tarvex_assignment_has_value(tarvex_theory_t *theory, uint32_t thread_id, size_t index);
/* The value of the variable at the index in the given thread. */
TARVEX_VISIBILITY_DEFAULT void tarvex_assignment_get_value(tarvex_theory_t *theory, uint32_t thread_id, size_t index,
                                                           tarvex_value_t *value);
/* Publishes the theory's statistics under "Tarvex". */
TARVEX_VISIBILITY_DEFAULT bool tarvex_on_statistics(tarvex_theory_t *theory, gondra_statistics_t *step,
                                                    gondra_statistics_t *accu);

#ifdef __cplusplus
}
#endif

#endif
