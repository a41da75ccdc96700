#pragma once

// literal -> the intervals [start, start + duration) are pairwise disjoint.

#include "constraints/abstract_constraint.hpp"
#include "core/coef_var.hpp"

#include <cstdint>
#include <span>

namespace Tarvex {

class DisjointConstraint final : public AbstractConstraint {
public:
    // Elements are (duration, start variable), kept in the given order.
    static UniqueConstraint create(literal_t literal, std::span<CoefVar const> elements);

    std::unique_ptr<AbstractConstraintState> make_state() const override;
    literal_t constraint_literal() const override { return literal_; }

    literal_t literal() const { return literal_; }
    std::size_t size() const { return size_; }
    std::span<CoefVar const> elements() const {
        return {std::launder(reinterpret_cast<CoefVar const*>(this + 1)), size()};
    }

private:
    DisjointConstraint(literal_t literal, std::uint32_t size) : literal_{literal}, size_{size} {}

    literal_t literal_;
    std::uint32_t size_;
    // The elements follow the object.
};

} // namespace Tarvex
