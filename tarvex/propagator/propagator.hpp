#pragma once

// The object the host drives: it owns the configuration, the variable and
// symbol tables, the statistics and the shared objective bound, and answers
// the host's propagator and heuristic callbacks.

#include "core/integer_types.hpp"
#include "core/theory_config.hpp"
#include "propagator/theory_stats.hpp"

#include "gondra.hh"

#include <atomic>
#include <cstdint>
#include <limits>
#include <map>
#include <span>
#include <unordered_map>
#include <unordered_set>

namespace Tarvex {

class Propagator final : public Gondra::Heuristic {
public:
    // The objective bound when no model has been found yet.
    static constexpr wide_t no_bound = std::numeric_limits<wide_t>::max();

    Propagator() = default;
    Propagator(Propagator const&) = delete;
    Propagator& operator=(Propagator const&) = delete;
    ~Propagator() override = default;

    void init(Gondra::PropagateInit& init) override;
    void propagate(Gondra::PropagateControl& control, std::span<literal_t const> changes) override;
    void undo(Gondra::PropagateControl const& control, std::span<literal_t const> changes) noexcept override;
    void check(Gondra::PropagateControl& control) override;
    literal_t decide(gondra_id_t thread_id, Gondra::Assignment const& assignment,
                     literal_t fallback) override;

    TheoryConfig& config() { return config_; }
    TheoryConfig const& config() const { return config_; }
    TheoryStats& step_stats() { return step_stats_; }
    TheoryStats& accu_stats() { return accu_stats_; }

    std::unordered_map<gondra_symbol_t, var_id> const& symbol_variables() const { return symbol_variables_; }
    std::map<var_id, gondra_symbol_t> const& variable_symbols() const { return variable_symbols_; }
    // Links a variable and its symbol in both tables.
    void add_variable_symbol(var_id var, gondra_symbol_t symbol) {
        symbol_variables_.emplace(symbol, var);
        variable_symbols_.emplace(var, symbol);
    }

    // The value of a variable in a thread's solver (its current lower bound).
    value_t value(std::uint32_t thread_id, var_id var) const;

    wide_t objective_bound() const { return objective_bound_.load(); }
    void set_objective_bound(wide_t bound) { objective_bound_.store(bound); }

private:
    TheoryConfig config_;
    std::unordered_map<gondra_symbol_t, var_id> symbol_variables_;
    std::map<var_id, gondra_symbol_t> variable_symbols_;
    TheoryStats step_stats_;
    TheoryStats accu_stats_;
    std::unordered_set<var_id> shown_variables_;
    std::unordered_set<gondra_signature_t> shown_signatures_;
    // Largest cost still acceptable, shared by all solver threads.
    std::atomic<wide_t> objective_bound_{no_bound};
    bool show_restricted_ = false;
};

} // namespace Tarvex
