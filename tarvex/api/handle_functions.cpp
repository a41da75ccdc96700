// Creation and destruction of the theory handle, and statement rewriting.

#include "api/api_guard.hpp"
#include "host/ast.hpp"
#include "host/host_error.hpp"
#include "parsing/ast_rewriter.hpp"
#include "tarvex.h"

#include <stdexcept>

using namespace Tarvex;

extern "C" {

void tarvex_version(int* major, int* minor, int* revision) {
    if (major != nullptr) {
        *major = 5;
    }
    if (minor != nullptr) {
        *minor = 2;
    }
    if (revision != nullptr) {
        *revision = 1;
    }
}

bool tarvex_create(tarvex_theory_t** theory) {
    return Host::guard([&] {
        if (theory == nullptr) {
            throw std::invalid_argument("invalid theory handle");
        }
        // Value-initialised: every configuration value takes its default,
        // the objective bound starts as none and shift_constraints as true.
        *theory = new tarvex_theory{};
    });
}

bool tarvex_destroy(tarvex_theory_t* theory) {
    delete theory;
    return true;
}

bool tarvex_rewrite_ast(tarvex_theory_t* theory, gondra_ast_t* ast, tarvex_ast_callback_t add, void* data) {
    return Host::guard([&] {
        auto& handle = require_theory(theory);
        if (add == nullptr) {
            throw std::invalid_argument("invalid statement callback");
        }
        if (ast == nullptr) {
            throw std::invalid_argument("invalid statement");
        }
        auto statement = Host::Ast::acquire(ast);
        // A false result of the application's callback leaves its error in
        // the host's state; raising it makes that error the function's own.
        auto emit = [add, data](Host::Ast const& rewritten) { Host::check(add(rewritten.get(), data)); };
        rewrite_statement(statement, emit, handle.shift_constraints);
    });
}

} // extern "C"
