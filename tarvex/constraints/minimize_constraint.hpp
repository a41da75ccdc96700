#pragma once

// The objective: minimise sum of coefficient * variable - adjust.

#include "constraints/abstract_constraint.hpp"
#include "core/coef_var.hpp"

#include <cstdint>
#include <span>

namespace Tarvex {

class MinimizeConstraint final : public AbstractConstraint {
public:
    // Copies the elements; with sort set, heaviest coefficients first.
    static UniqueConstraint create(value_t adjust, std::span<CoefVar const> elements, bool sort);

    std::unique_ptr<AbstractConstraintState> make_state() const override;
    // The objective always holds.
    literal_t constraint_literal() const override { return true_literal; }

    value_t adjust() const { return adjust_; }
    std::size_t size() const { return size_; }
    std::span<CoefVar const> elements() const {
        return {std::launder(reinterpret_cast<CoefVar const*>(this + 1)), size()};
    }

private:
    MinimizeConstraint(value_t adjust, std::uint32_t size) : adjust_{adjust}, size_{size} {}

    value_t adjust_;
    std::uint32_t size_;
    // The elements follow the object.
};

} // namespace Tarvex
