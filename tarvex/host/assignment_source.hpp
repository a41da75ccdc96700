#pragma once

// An assignment kept in this process rather than by a host solver thread.
// The order-literal engine reads truth values through Host::Assignment; where
// no host search runs (engine tests, micro-benchmarks) it can read them from
// an object implementing this interface instead.

#include "core/integer_types.hpp"

#include "gondra.h"

#include <cstddef>
#include <cstdint>

namespace Tarvex::Host {

class AssignmentSource {
public:
    virtual level_t decision_level() const = 0;
    virtual gondra_truth_value_t truth_value(literal_t lit) const = 0;
    // Level of an assigned literal.
    virtual level_t level(literal_t lit) const = 0;
    virtual std::size_t size() const = 0;
    virtual std::uint32_t trail_size() const = 0;
    virtual literal_t trail_at(std::uint32_t offset) const = 0;

protected:
    AssignmentSource() = default;
    AssignmentSource(AssignmentSource const&) = default;
    AssignmentSource& operator=(AssignmentSource const&) = default;
    ~AssignmentSource() = default;
};

} // namespace Tarvex::Host
