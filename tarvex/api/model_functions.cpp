// The integer assignment as the host application sees it: model output and
// index-based queries (index = variable number + 1, 0 before the first).

#include "api/api_guard.hpp"
#include "host/host_error.hpp"
#include "host/symbols.hpp"
#include "tarvex.h"

#include <array>
#include <cstdio>
#include <limits>
#include <optional>
#include <stdexcept>
#include <vector>

using namespace Tarvex;

namespace {

// The variable an index names; none for index 0 and for indices past the
// range of variable numbers.
std::optional<var_id> variable_of(size_t index) {
    if (index == 0 || index - 1 > std::numeric_limits<var_id>::max()) {
        return std::nullopt;
    }
    return static_cast<var_id>(index - 1);
}

} // namespace

extern "C" {

bool tarvex_on_model(tarvex_theory_t* theory, gondra_model_t* model) {
    return Host::guard([&] {
        auto& propagator = require_theory(theory).propagator;
        if (model == nullptr) {
            throw std::invalid_argument("invalid model");
        }
        // The solver of the thread that found the model still holds it.
        gondra_id_t thread = 0;
        Host::check(gondra_model_thread_id(model, &thread));
        std::vector<gondra_symbol_t> symbols;
        for (auto const& [symbol, var] : propagator.symbol_variables()) {
            if (propagator.is_shown(var)) {
                std::array<gondra_symbol_t, 2> arguments{symbol, Host::create_number(propagator.value(thread, var))};
                symbols.push_back(Host::create_function("__csp", arguments));
            }
        }
        if (auto const* objective = propagator.objective(); objective != nullptr) {
            wide_t cost = 0;
            for (auto const& [coefficient, var] : objective->elements()) {
                cost += wide_t{coefficient} * propagator.value(thread, var);
            }
            cost -= objective->adjust();
            std::array<char, 32> text{};
            std::snprintf(text.data(), text.size(), "%ld", static_cast<long>(cost));
            std::array<gondra_symbol_t, 1> arguments{Host::create_string(text.data())};
            symbols.push_back(Host::create_function("__csp_cost", arguments));
            // A model beaten meanwhile by another thread changes nothing.
            if (propagator.objective_bound() >= cost) {
                auto& stats = propagator.step_stats();
                stats.cost = cost;
                stats.has_cost = true;
                propagator.set_objective_bound(cost - 1);
            }
        }
        Host::check(gondra_model_extend(model, symbols.empty() ? nullptr : symbols.data(), symbols.size()));
    });
}

bool tarvex_lookup_symbol(tarvex_theory_t* theory, gondra_symbol_t symbol, size_t* index) {
    auto const& table = theory->propagator.symbol_variables();
    auto it = table.find(symbol);
    if (it == table.end()) {
        return false;
    }
    *index = size_t{it->second} + 1;
    return true;
}

gondra_symbol_t tarvex_get_symbol(tarvex_theory_t* theory, size_t index) {
    auto var = variable_of(index);
    if (!var) {
        return 0;
    }
    auto const& table = theory->propagator.variable_symbols();
    auto it = table.find(*var);
    return it != table.end() ? it->second : 0;
}

void tarvex_assignment_begin(tarvex_theory_t* theory, uint32_t thread_id, size_t* index) {
    static_cast<void>(theory);
    static_cast<void>(thread_id);
    *index = 0;
}

bool tarvex_assignment_next(tarvex_theory_t* theory, uint32_t thread_id, size_t* index) {
    static_cast<void>(thread_id);
    auto const& table = theory->propagator.variable_symbols();
    size_t p = *index;
    // Some variable with a symbol has a number of at least p.
    if (table.empty() || size_t{table.rbegin()->first} < p) {
        return false;
    }
    *index = p + 1;
    return true;
}

bool tarvex_assignment_has_value(tarvex_theory_t* theory, uint32_t thread_id, size_t index) {
    static_cast<void>(thread_id);
    auto var = variable_of(index);
    return var && theory->propagator.variable_symbols().contains(*var);
}

void tarvex_assignment_get_value(tarvex_theory_t* theory, uint32_t thread_id, size_t index,
                                 tarvex_value_t* value) {
    auto var = variable_of(index);
    value->type = tarvex_value_type_int;
    value->int_number = var ? theory->propagator.value(thread_id, *var) : 0;
}

} // extern "C"
