#include "app/print_ast_command.hpp"

#include "gondra.h"

#include <cstdio>
#include <string>

namespace {

bool print_statement(gondra_ast_t* ast, void* data) {
    auto* out = static_cast<std::string*>(data);
    size_t size = 0;
    if (!gondra_ast_to_string_size(ast, &size)) return false;
    std::string text(size, '\0');
    if (!gondra_ast_to_string(ast, text.data(), size)) return false;
    text.resize(size - 1);
    *out += text;
    *out += '\n';
    return true;
}

void log_message(gondra_warning_t, char const* message, void*) { std::fprintf(stderr, "%s\n", message); }

} // namespace

int print_ast_command(char const* path) {
    std::string out;
    char const* files[] = {path ? path : "-"};
    bool ok = gondra_ast_parse_files(files, 1, print_statement, &out, log_message, nullptr, 0);
    // Statements before the first error are printed too, which helps locate it.
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    if (!ok) {
        // Located messages were already logged; other failures only live in the error state.
        char const* message = gondra_error_message();
        if (message && std::string{message}.rfind("parsing failed", 0) != 0) std::fprintf(stderr, "%s\n", message);
        return 1;
    }
    return 0;
}
