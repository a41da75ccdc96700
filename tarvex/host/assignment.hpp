#pragma once

// Thin view of one solver thread's assignment.

#include "core/integer_types.hpp"
#include "host/host_error.hpp"

#include <cstddef>
#include <cstdint>

namespace Tarvex::Host {

class Assignment {
public:
    explicit Assignment(gondra_assignment_t const* assignment) : assignment_{assignment} {}

    gondra_assignment_t const* to_c() const { return assignment_; }

    level_t decision_level() const { return gondra_assignment_decision_level(assignment_); }
    level_t level(literal_t lit) const {
        std::uint32_t result = 0;
        check(gondra_assignment_level(assignment_, lit, &result));
        return result;
    }
    gondra_truth_value_t truth_value(literal_t lit) const {
        gondra_truth_value_t result = gondra_truth_value_free;
        check(gondra_assignment_truth_value(assignment_, lit, &result));
        return result;
    }
    bool is_true(literal_t lit) const {
        bool result = false;
        check(gondra_assignment_is_true(assignment_, lit, &result));
        return result;
    }
    bool is_false(literal_t lit) const {
        bool result = false;
        check(gondra_assignment_is_false(assignment_, lit, &result));
        return result;
    }
    // Assigned on level 0.
    bool is_fixed(literal_t lit) const {
        bool result = false;
        check(gondra_assignment_is_fixed(assignment_, lit, &result));
        return result;
    }
    bool is_total() const { return gondra_assignment_is_total(assignment_); }
    // Number of variables, the constant variable included.
    std::size_t size() const { return gondra_assignment_size(assignment_); }
    std::uint32_t trail_size() const {
        std::uint32_t result = 0;
        check(gondra_assignment_trail_size(assignment_, &result));
        return result;
    }
    literal_t trail_at(std::uint32_t offset) const {
        literal_t result = 0;
        check(gondra_assignment_trail_at(assignment_, offset, &result));
        return result;
    }

private:
    gondra_assignment_t const* assignment_;
};

} // namespace Tarvex::Host
