#pragma once
// Runs a program given as text through the C interface and records every
// model event: the shown symbols (sorted, space separated), costs and
// whether optimality was proven.
#include "gondra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace SolveRunner {

struct Outcome {
    bool ok = false;
    std::string error;
    std::vector<std::string> models;
    std::vector<std::vector<int64_t>> costs;
    std::vector<bool> proven;
    gondra_solve_result_bitset_t result = 0;
    unsigned show = gondra_show_type_shown;
};

inline std::string symbol_text(gondra_symbol_t s) {
    size_t size = 0;
    if (!gondra_symbol_to_string_size(s, &size)) return "?";
    std::string out(size, '\0');
    if (!gondra_symbol_to_string(s, out.data(), size)) return "?";
    out.resize(size - 1);
    return out;
}

inline std::string join_sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    std::string key;
    for (auto const& n : names) key += (key.empty() ? "" : " ") + n;
    return key;
}

inline bool record_event(gondra_solve_event_type_t type, void* event, void* data, bool* goon) {
    auto& run = *static_cast<Outcome*>(data);
    *goon = true;
    if (type != gondra_solve_event_type_model) return true;
    auto* model = static_cast<gondra_model_t*>(event);
    size_t size = 0;
    if (!gondra_model_symbols_size(model, run.show, &size)) return false;
    std::vector<gondra_symbol_t> symbols(size);
    if (!gondra_model_symbols(model, run.show, symbols.data(), size)) return false;
    std::vector<std::string> names;
    for (auto s : symbols) names.push_back(symbol_text(s));
    run.models.push_back(join_sorted(names));
    size_t cost_size = 0;
    if (!gondra_model_cost_size(model, &cost_size)) return false;
    std::vector<int64_t> cost(cost_size);
    if (cost_size > 0 && !gondra_model_cost(model, cost.data(), cost_size)) return false;
    run.costs.push_back(cost);
    bool proven = false;
    if (!gondra_model_optimality_proven(model, &proven)) return false;
    run.proven.push_back(proven);
    return true;
}

// Adds, grounds and solves program; prepare runs between grounding and
// solving (to assign externals, for instance).
inline Outcome solve(std::string const& program, std::vector<std::string> const& args,
                 std::function<void(gondra_control_t*)> const& prepare = {},
                 unsigned show = gondra_show_type_shown) {
    Outcome run;
    run.show = show;
    std::vector<char const*> argv;
    for (auto const& a : args) argv.push_back(a.c_str());
    gondra_control_t* ctl = nullptr;
    if (!gondra_control_new(argv.data(), argv.size(), nullptr, nullptr, 0, &ctl)) {
        run.error = gondra_error_message() ? gondra_error_message() : "control_new failed";
        return run;
    }
    gondra_part_t part{"base", nullptr, 0};
    bool ok = gondra_control_add(ctl, "base", nullptr, 0, program.c_str()) &&
              gondra_control_ground(ctl, &part, 1);
    if (ok && prepare) prepare(ctl);
    ok = ok && gondra_control_solve(ctl, nullptr, 0, record_event, &run, &run.result);
    if (!ok) run.error = gondra_error_message() ? gondra_error_message() : "failed without message";
    run.ok = ok;
    gondra_control_free(ctl);
    return run;
}

inline std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace SolveRunner
