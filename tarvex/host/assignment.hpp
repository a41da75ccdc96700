#pragma once

// Thin view of one solver thread's assignment: the host's, or an in-process
// AssignmentSource.

#include "core/integer_types.hpp"
#include "host/assignment_source.hpp"
#include "host/host_error.hpp"

#include <cstddef>
#include <cstdint>

namespace Tarvex::Host {

class Assignment {
public:
    explicit Assignment(gondra_assignment_t const* assignment) : assignment_{assignment} {}
    explicit Assignment(AssignmentSource const& source) : source_{&source} {}

    // Null for an in-process assignment.
    gondra_assignment_t const* to_c() const { return assignment_; }

    level_t decision_level() const {
        return source_ != nullptr ? source_->decision_level() : gondra_assignment_decision_level(assignment_);
    }
    level_t level(literal_t lit) const {
        if (source_ != nullptr) {
            return source_->level(lit);
        }
        std::uint32_t result = 0;
        check(gondra_assignment_level(assignment_, lit, &result));
        return result;
    }
    gondra_truth_value_t truth_value(literal_t lit) const {
        if (source_ != nullptr) {
            return source_->truth_value(lit);
        }
        gondra_truth_value_t result = gondra_truth_value_free;
        check(gondra_assignment_truth_value(assignment_, lit, &result));
        return result;
    }
    bool is_true(literal_t lit) const {
        if (source_ != nullptr) {
            return source_->truth_value(lit) == gondra_truth_value_true;
        }
        bool result = false;
        check(gondra_assignment_is_true(assignment_, lit, &result));
        return result;
    }
    bool is_false(literal_t lit) const {
        if (source_ != nullptr) {
            return source_->truth_value(lit) == gondra_truth_value_false;
        }
        bool result = false;
        check(gondra_assignment_is_false(assignment_, lit, &result));
        return result;
    }
    // Assigned on level 0.
    bool is_fixed(literal_t lit) const {
        if (source_ != nullptr) {
            return source_->truth_value(lit) != gondra_truth_value_free && source_->level(lit) == 0;
        }
        bool result = false;
        check(gondra_assignment_is_fixed(assignment_, lit, &result));
        return result;
    }
    bool is_total() const {
        if (source_ != nullptr) {
            for (std::size_t v = 1; v <= source_->size(); ++v) {
                if (source_->truth_value(static_cast<literal_t>(v)) == gondra_truth_value_free) {
                    return false;
                }
            }
            return true;
        }
        return gondra_assignment_is_total(assignment_);
    }
    // Number of variables, the constant variable included.
    std::size_t size() const { return source_ != nullptr ? source_->size() : gondra_assignment_size(assignment_); }
    std::uint32_t trail_size() const {
        if (source_ != nullptr) {
            return source_->trail_size();
        }
        std::uint32_t result = 0;
        check(gondra_assignment_trail_size(assignment_, &result));
        return result;
    }
    literal_t trail_at(std::uint32_t offset) const {
        if (source_ != nullptr) {
            return source_->trail_at(offset);
        }
        literal_t result = 0;
        check(gondra_assignment_trail_at(assignment_, offset, &result));
        return result;
    }

private:
    gondra_assignment_t const* assignment_ = nullptr;
    AssignmentSource const* source_ = nullptr;
};

} // namespace Tarvex::Host
