#pragma once

// Drives the real host with the theory registered: adds program parts
// (through the theory's statement rewriting), grounds, solves and collects every model as the sorted texts of its
// symbols (with the theory's atoms added by tarvex_on_model).

#include "api/theory_handle.hpp"
#include "host/symbols.hpp"
#include "tarvex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace Tarvex::Testing {

using Model = std::vector<std::string>;

struct SolveOutcome {
    bool ok = false;
    // The host's error message when ok is false.
    std::string error;
    gondra_solve_result_bitset_t result = 0;
    std::vector<Model> models;
    // The costs of the models in the order they were reported (empty when
    // the host reported none).
    std::vector<std::vector<int64_t>> costs;
    // The "Tarvex" subtrees of the step and the accumulated statistics after
    // tarvex_on_statistics, as values by path ("Problem.Constraints",
    // "Thread.0.Literals introduced", ...).
    std::map<std::string, double> step_stats;
    std::map<std::string, double> accu_stats;
};

// Every value below key, by its dotted path under prefix.
inline void flatten_statistics(gondra_statistics_t const* stats, uint64_t key, std::string const& prefix,
                               std::map<std::string, double>& out) {
    gondra_statistics_type_t type = 0;
    ASSERT_TRUE(gondra_statistics_type(stats, key, &type));
    std::string dot = prefix.empty() ? "" : prefix + ".";
    if (type == gondra_statistics_type_value) {
        double value = 0;
        ASSERT_TRUE(gondra_statistics_value_get(stats, key, &value));
        out[prefix] = value;
    } else if (type == gondra_statistics_type_array) {
        size_t size = 0;
        ASSERT_TRUE(gondra_statistics_array_size(stats, key, &size));
        for (size_t i = 0; i < size; ++i) {
            uint64_t sub = 0;
            ASSERT_TRUE(gondra_statistics_array_at(stats, key, i, &sub));
            flatten_statistics(stats, sub, dot + std::to_string(i), out);
        }
    } else if (type == gondra_statistics_type_map) {
        size_t size = 0;
        ASSERT_TRUE(gondra_statistics_map_size(stats, key, &size));
        for (size_t i = 0; i < size; ++i) {
            char const* name = nullptr;
            uint64_t sub = 0;
            ASSERT_TRUE(gondra_statistics_map_subkey_name(stats, key, i, &name));
            ASSERT_TRUE(gondra_statistics_map_at(stats, key, name, &sub));
            flatten_statistics(stats, sub, dot + name, out);
        }
    }
}

// The "Tarvex" subtree of a statistics tree; empty when there is none.
inline std::map<std::string, double> theory_statistics(gondra_statistics_t const* stats) {
    std::map<std::string, double> out;
    uint64_t root = 0;
    bool has = false;
    if (gondra_statistics_root(stats, &root) && gondra_statistics_map_has_subkey(stats, root, "Tarvex", &has) &&
        has) {
        uint64_t key = 0;
        if (gondra_statistics_map_at(stats, root, "Tarvex", &key)) {
            flatten_statistics(stats, key, "", out);
        }
    }
    return out;
}

class HostSession {
public:
    using Settings = std::vector<std::pair<std::string, std::string>>;

    // The settings are made by name before the theory is registered, as an
    // application configures it before handing it to the host.
    explicit HostSession(std::vector<std::string> arguments = {"-n", "0"}, Settings const& settings = {})
        : arguments_{std::move(arguments)} {
        std::vector<char const*> argv;
        for (auto const& argument : arguments_) {
            argv.push_back(argument.c_str());
        }
        ok_ = gondra_control_new(argv.data(), argv.size(), nullptr, nullptr, 20, &control_) &&
              tarvex_create(&theory_);
        for (auto const& [key, value] : settings) {
            ok_ = ok_ && tarvex_configure(theory_, key.c_str(), value.c_str());
        }
        ok_ = ok_ && tarvex_register(theory_, control_);
        if (!ok_) {
            ADD_FAILURE() << "cannot set up the host: " << message();
        }
    }
    HostSession(HostSession const&) = delete;
    HostSession& operator=(HostSession const&) = delete;
    ~HostSession() {
        gondra_control_free(control_);
        tarvex_destroy(theory_);
    }

    tarvex_theory_t* theory() const { return theory_; }
    gondra_control_t* control() const { return control_; }
    Propagator& propagator() const { return theory_->propagator; }

    // Adds a program in the user's syntax to a part and grounds that part:
    // every statement goes through the theory's rewriting, as in the tarvex
    // program. False with the host's message in error().
    bool ground(std::string const& program, char const* part = "base") {
        return add(program, part) && ground_part(part);
    }

    // The same without the rewriting, for programs that use the grammar's
    // own atom names on purpose.
    bool ground_raw(std::string const& program, char const* part = "base") {
        if (!gondra_control_add(control_, part, nullptr, 0, program.c_str())) {
            error_ = message();
            return false;
        }
        return ground_part(part);
    }

    SolveOutcome solve() {
        SolveOutcome outcome;
        if (!tarvex_prepare(theory_, control_)) {
            outcome.error = message();
            return outcome;
        }
        EventContext context{&outcome, theory_};
        outcome.ok = gondra_control_solve(control_, nullptr, 0, on_event, &context, &outcome.result);
        if (!outcome.ok) {
            outcome.error = message();
        }
        return outcome;
    }

    std::string const& error() const { return error_; }

    static std::string message() {
        char const* text = gondra_error_message();
        return text != nullptr ? text : "";
    }

private:
    // Parses the program and hands every rewritten statement to the
    // control's program builder.
    bool add(std::string const& program, char const* part) {
        gondra_program_builder_t* builder = nullptr;
        if (!gondra_control_program_builder(control_, &builder) || !gondra_program_builder_begin(builder)) {
            error_ = message();
            return false;
        }
        // On the program's first line, so that locations keep their lines.
        std::string text = "#program " + std::string(part) + ". " + program;
        Rewrite rewrite{theory_, builder};
        bool parsed = gondra_ast_parse_string(text.c_str(), rewrite_statement, &rewrite, nullptr, nullptr, 20);
        if (!parsed) {
            error_ = message();
        }
        if (!gondra_program_builder_end(builder) && parsed) {
            error_ = message();
            return false;
        }
        return parsed;
    }

    bool ground_part(char const* part) {
        gondra_part_t parts{part, nullptr, 0};
        if (!gondra_control_ground(control_, &parts, 1)) {
            error_ = message();
            return false;
        }
        return true;
    }

    struct Rewrite {
        tarvex_theory_t* theory;
        gondra_program_builder_t* builder;
    };

    static bool rewrite_statement(gondra_ast_t* statement, void* data) {
        auto& rewrite = *static_cast<Rewrite*>(data);
        auto add = [](gondra_ast_t* rewritten, void* builder) {
            return gondra_program_builder_add(static_cast<gondra_program_builder_t*>(builder), rewritten);
        };
        return tarvex_rewrite_ast(rewrite.theory, statement, add, rewrite.builder);
    }

    struct EventContext {
        SolveOutcome* outcome;
        tarvex_theory_t* theory;
    };

    static bool on_event(gondra_solve_event_type_t type, void* event, void* data, bool* goon) {
        static_cast<void>(goon);
        auto& context = *static_cast<EventContext*>(data);
        if (type == gondra_solve_event_type_statistics) {
            auto** trees = static_cast<gondra_statistics_t**>(event);
            if (!tarvex_on_statistics(context.theory, trees[0], trees[1])) {
                return false;
            }
            context.outcome->step_stats = theory_statistics(trees[0]);
            context.outcome->accu_stats = theory_statistics(trees[1]);
            return true;
        }
        if (type != gondra_solve_event_type_model) {
            return true;
        }
        auto& outcome = *context.outcome;
        auto* model = static_cast<gondra_model_t*>(event);
        if (!tarvex_on_model(context.theory, model)) {
            return false;
        }
        size_t size = 0;
        if (!gondra_model_symbols_size(model, gondra_show_type_shown, &size)) {
            return false;
        }
        std::vector<gondra_symbol_t> symbols(size);
        if (!gondra_model_symbols(model, gondra_show_type_shown, symbols.data(), size)) {
            return false;
        }
        Model texts;
        for (auto symbol : symbols) {
            texts.push_back(Host::symbol_to_string(symbol));
        }
        std::sort(texts.begin(), texts.end());
        outcome.models.push_back(std::move(texts));
        size_t cost_size = 0;
        if (gondra_model_cost_size(model, &cost_size) && cost_size > 0) {
            std::vector<int64_t> costs(cost_size);
            gondra_model_cost(model, costs.data(), cost_size);
            outcome.costs.push_back(std::move(costs));
        }
        return true;
    }

    std::vector<std::string> arguments_;
    gondra_control_t* control_ = nullptr;
    tarvex_theory_t* theory_ = nullptr;
    bool ok_ = false;
    std::string error_;
};

} // namespace Tarvex::Testing
