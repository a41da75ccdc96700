// The tarvex program: the host's driver with the integer theory added.
#include "app/driver.hpp"
#include "tarvex.h"

#include <cstdio>
#include <functional>

namespace {

struct RewriteCallback {
    std::function<bool(gondra_ast_t*)> const* add;
};

bool forward_statement(gondra_ast_t* statement, void* data) {
    return (*static_cast<RewriteCallback*>(data)->add)(statement);
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
    hooks.on_statistics = [theory](gondra_statistics_t* step, gondra_statistics_t* accumulated) {
        return tarvex_on_statistics(theory, step, accumulated);
    };
    int code = Gondra::App::run_driver(argc, argv, "tarvex", hooks);
    tarvex_destroy(theory);
    return code;
}
