// The tarvex program: the host's driver with the integer theory added.
#include "app/driver.hpp"
#include "tarvex.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

struct RewriteCallback {
    std::function<bool(gondra_ast_t*)> const* add;
};

bool forward_statement(gondra_ast_t* statement, void* data) {
    return (*static_cast<RewriteCallback*>(data)->add)(statement);
}

// The theory's cost of a model, from the "__csp_cost" atom it adds (none when
// the theory handed its objective to the host, which then reports the cost).
bool theory_cost(gondra_model_t* model, std::vector<int64_t>& costs) {
    size_t size = 0;
    if (!gondra_model_symbols_size(model, gondra_show_type_shown, &size)) {
        return false;
    }
    std::vector<gondra_symbol_t> symbols(size);
    if (!gondra_model_symbols(model, gondra_show_type_shown, symbols.data(), size)) {
        return false;
    }
    for (gondra_symbol_t symbol : symbols) {
        char const* name = nullptr;
        gondra_symbol_t const* arguments = nullptr;
        size_t arity = 0;
        char const* text = nullptr;
        if (gondra_symbol_type(symbol) != gondra_symbol_type_function || !gondra_symbol_name(symbol, &name) ||
            std::strcmp(name, "__csp_cost") != 0 || !gondra_symbol_arguments(symbol, &arguments, &arity) ||
            arity != 1 || gondra_symbol_type(arguments[0]) != gondra_symbol_type_string ||
            !gondra_symbol_string(arguments[0], &text)) {
            continue;
        }
        char* end = nullptr;
        errno = 0;
        long long cost = std::strtoll(text, &end, 10);
        if (errno == 0 && end != text && *end == '\0') {
            costs.push_back(cost);
        }
        return true;
    }
    return true;
}

// Whether the ground program has an integer objective: a &minimize or
// &maximize atom with elements (the theory builds its objective from those).
bool theory_objective(gondra_control_t* control, std::string& objective) {
    gondra_theory_atoms_t const* atoms = nullptr;
    size_t size = 0;
    if (!gondra_control_theory_atoms(control, &atoms) || !gondra_theory_atoms_size(atoms, &size)) {
        return false;
    }
    for (size_t i = 0; i < size; ++i) {
        auto atom = static_cast<gondra_id_t>(i);
        gondra_id_t term = 0;
        gondra_theory_term_type_t type = 0;
        gondra_id_t const* elements = nullptr;
        size_t count = 0;
        if (!gondra_theory_atoms_atom_term(atoms, atom, &term) || !gondra_theory_atoms_term_type(atoms, term, &type) ||
            !gondra_theory_atoms_atom_elements(atoms, atom, &elements, &count)) {
            return false;
        }
        char const* name = nullptr;
        if (type != gondra_theory_term_type_symbol || count == 0 || !gondra_theory_atoms_term_name(atoms, term, &name)) {
            continue;
        }
        if (std::strcmp(name, "minimize") == 0 || std::strcmp(name, "maximize") == 0) {
            objective = "&minimize/&maximize";
            return true;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    tarvex_theory_t* theory = nullptr;
    if (!tarvex_create(&theory)) {
        char const* message = gondra_error_message();
        std::fprintf(stderr, "tarvex: %s\n", message != nullptr ? message : "cannot create the theory");
        return Gondra::App::exit_internal;
    }
    Gondra::App::DriverHooks hooks;
    hooks.register_options = [theory](gondra_options_t* options) { return tarvex_register_options(theory, options); };
    hooks.validate_options = [theory] { return tarvex_validate_options(theory); };
    hooks.register_control = [theory](gondra_control_t* control) { return tarvex_register(theory, control); };
    hooks.rewrite = [theory](gondra_ast_t* statement, std::function<bool(gondra_ast_t*)> const& add) {
        RewriteCallback callback{&add};
        return tarvex_rewrite_ast(theory, statement, forward_statement, &callback);
    };
    hooks.prepare = [theory](gondra_control_t* control) { return tarvex_prepare(theory, control); };
    hooks.on_model = [theory](gondra_model_t* model) { return tarvex_on_model(theory, model); };
    hooks.application_objective = theory_objective;
    hooks.model_costs = theory_cost;
    hooks.on_statistics = [theory](gondra_statistics_t* step, gondra_statistics_t* accumulated) {
        return tarvex_on_statistics(theory, step, accumulated);
    };
    int major = 0, minor = 0, revision = 0;
    tarvex_version(&major, &minor, &revision);
    hooks.version = "tarvex " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(revision);
    int code = Gondra::App::run_driver(argc, argv, "tarvex", hooks);
    tarvex_destroy(theory);
    return code;
}
