#include "constraints/disjoint_constraint.hpp"

#include "constraints/disjoint_constraint_state.hpp"

#include <limits>
#include <memory>
#include <stdexcept>

namespace Tarvex {

UniqueConstraint DisjointConstraint::create(literal_t literal, std::span<CoefVar const> elements) {
    if (elements.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("too many elements");
    }
    void* memory = Detail::allocate_with_tail<DisjointConstraint>(elements.size() * sizeof(CoefVar));
    auto* constraint = new (memory) DisjointConstraint(literal, static_cast<std::uint32_t>(elements.size()));
    std::uninitialized_copy(elements.begin(), elements.end(), reinterpret_cast<CoefVar*>(constraint + 1));
    return UniqueConstraint{constraint};
}

std::unique_ptr<AbstractConstraintState> DisjointConstraint::make_state() const {
    return std::make_unique<DisjointConstraintState>(*this);
}

} // namespace Tarvex
