#pragma once

// Per-thread settings: which ThreadConfig field a setting writes and how it
// reaches the records.

#include "core/theory_config.hpp"

#include <cstdint>
#include <optional>
#include <utility>

namespace Tarvex {

enum class Target : std::int32_t {
    heuristic = 0,
    sign_value = 1,
    refine_reasons = 2,
    refine_introduce = 3,
    propagate_chain = 4,
    split_all = 5,
    distinct_propagation = 6,
    disjoint_propagation = 7,
    model_phases = 8,
};

// A setting for all threads (no index) orders before any thread's setting of
// the same target.
using ThreadOptionKey = std::pair<Target, std::optional<std::uint32_t>>;

// Writes one field: without a thread index into the default record and every
// existing per-thread record, with index i into record i only (creating the
// records up to i as copies of the default).
void apply_thread_option(TheoryConfig& config, Target target, std::optional<std::uint32_t> thread,
                         std::int32_t value);

} // namespace Tarvex
