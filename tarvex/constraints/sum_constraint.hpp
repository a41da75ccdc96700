#pragma once

// literal -> sum of coefficient * variable <= rhs.

#include "constraints/abstract_constraint.hpp"
#include "core/coef_var.hpp"

#include <cstdint>
#include <span>

namespace Tarvex {

class SumConstraint final : public AbstractConstraint {
public:
    // Copies the elements; with sort set, heaviest coefficients first.
    static UniqueConstraint create(literal_t literal, value_t rhs, std::span<CoefVar const> elements, bool sort);

    std::unique_ptr<AbstractConstraintState> make_state() const override;
    literal_t constraint_literal() const override { return literal_; }

    literal_t literal() const { return literal_; }
    value_t rhs() const { return rhs_; }
    std::size_t size() const { return static_cast<std::size_t>(size_); }
    std::span<CoefVar const> elements() const {
        return {std::launder(reinterpret_cast<CoefVar const*>(this + 1)), size()};
    }

private:
    SumConstraint(literal_t literal, value_t rhs, std::uint64_t size) : literal_{literal}, rhs_{rhs}, size_{size} {}

    literal_t literal_;
    value_t rhs_;
    std::uint64_t size_;
    // The elements follow the object.
};

} // namespace Tarvex
