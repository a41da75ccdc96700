// Runs the tarvex program in-process on mutated programs: command line, AST
// rewriting, grounding, reading of the theory atoms, initialisation and a
// solve cut off by a time limit. Crashes, sanitizer reports, hangs and
// internal errors (exit code 2, except for features not available yet) are
// findings; bad input must end with exit code 1 and a message.
//
// Input: an optional first line "%! <options>" whose options and numbers are
// put on the command line before the fixed ones; the rest is the program.
// Inputs that could ground for long (long intervals or pools outside theory
// atoms, #include) are skipped, since grounding has no limit of its own.

#include "app/driver.hpp"
#include "tarvex.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct RewriteCallback {
    std::function<bool(gondra_ast_t*)> const* add;
};

bool forward_statement(gondra_ast_t* statement, void* data) {
    return (*static_cast<RewriteCallback*>(data)->add)(statement);
}

// Whether grounding the program stays small: outside theory atoms (from '&'
// to the end of the statement) no number has more than three digits and at
// most two intervals occur.
bool grounds_quickly(std::string_view program) {
    if (program.find("#include") != std::string_view::npos) {
        return false;
    }
    bool in_theory = false;
    int intervals = 0;
    std::size_t digits = 0;
    for (std::size_t i = 0; i < program.size(); ++i) {
        char c = program[i];
        if (c == '&') {
            in_theory = true;
        } else if (c == '.' && i + 1 < program.size() && program[i + 1] == '.') {
            intervals += in_theory ? 0 : 1;
            ++i;
        } else if (c == '.') {
            in_theory = false;
        }
        digits = std::isdigit(static_cast<unsigned char>(c)) != 0 ? digits + 1 : 0;
        if (!in_theory && digits > 3) {
            return false;
        }
    }
    return intervals <= 2;
}

int run(std::vector<std::string> const& arguments) {
    tarvex_theory_t* theory = nullptr;
    if (!tarvex_create(&theory)) {
        __builtin_trap();
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
    std::vector<char const*> argv;
    for (auto const& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    int code = Gondra::App::run_driver(static_cast<int>(argv.size()), argv.data(), "tarvex", hooks);
    tarvex_destroy(theory);
    return code;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    std::string_view input{reinterpret_cast<char const*>(data), size};
    std::vector<std::string> arguments{"tarvex"};
    if (input.starts_with("%!")) {
        auto end = input.find('\n');
        std::istringstream words{std::string{input.substr(2, end == std::string_view::npos ? end : end - 2)}};
        // Options and numbers (their values) only: any other word would name
        // a file to read.
        auto is_number = [](std::string const& word) {
            return std::all_of(word.begin(), word.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
        };
        for (std::string word; words >> word && arguments.size() < 9;) {
            if ((word.starts_with("-") && word != "-") || is_number(word)) {
                arguments.push_back(word);
            }
        }
    }
    if (!grounds_quickly(input)) {
        return -1;
    }
    // The program is read from a file that lives only in memory.
    int fd = memfd_create("program", 0);
    if (fd < 0) {
        return 0;
    }
    for (std::size_t written = 0; written < size;) {
        ssize_t n = write(fd, data + written, size - written);
        if (n <= 0) {
            close(fd);
            return 0;
        }
        written += static_cast<std::size_t>(n);
    }
    // Later settings win: the search is always cut off.
    arguments.push_back("--time-limit=1");
    arguments.push_back("/dev/fd/" + std::to_string(fd));
    // The driver's messages, to tell unfinished features from failures.
    std::ostringstream messages;
    auto* previous = std::cerr.rdbuf(messages.rdbuf());
    int code = run(arguments);
    std::cerr.rdbuf(previous);
    close(fd);
    if (code == Gondra::App::exit_internal && messages.str().find("is not available") == std::string::npos) {
        // A broken invariant or an unexpected failure, not bad input.
        std::cerr << messages.str();
        __builtin_trap();
    }
    return 0;
}
