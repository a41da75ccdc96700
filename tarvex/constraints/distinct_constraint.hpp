#pragma once

// literal -> the terms (constant + sum of coefficient * variable) take
// pairwise different values.

#include "constraints/abstract_constraint.hpp"
#include "core/coef_var.hpp"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace Tarvex {

struct DistinctTerm {
    value_t constant;
    std::uint32_t count;
    // First element of the term, inside the constraint object.
    CoefVar const* elements;

    std::span<CoefVar const> element_span() const { return {elements, count}; }
};

class DistinctConstraint final : public AbstractConstraint {
public:
    // One term: its elements and its constant.
    using Term = std::pair<std::vector<CoefVar>, value_t>;

    // Copies the terms; with sort set, each term's elements are sorted apart.
    static UniqueConstraint create(literal_t literal, std::span<Term const> terms, bool sort);

    std::unique_ptr<AbstractConstraintState> make_state() const override;
    literal_t constraint_literal() const override { return literal_; }

    literal_t literal() const { return literal_; }
    std::size_t size() const { return size_; }
    std::span<DistinctTerm const> terms() const {
        return {std::launder(reinterpret_cast<DistinctTerm const*>(this + 1)), size()};
    }

private:
    DistinctConstraint(literal_t literal, std::uint32_t size) : literal_{literal}, size_{size} {}

    literal_t literal_;
    std::uint32_t size_;
    // The term records follow the object, then the elements of all terms.
};

} // namespace Tarvex
