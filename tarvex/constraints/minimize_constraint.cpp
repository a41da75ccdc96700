#include "constraints/minimize_constraint.hpp"

#include "constraints/sort_elements.hpp"
#include "constraints/sum_constraint_state.hpp"

#include <limits>
#include <memory>
#include <stdexcept>

namespace Tarvex {

UniqueConstraint MinimizeConstraint::create(value_t adjust, std::span<CoefVar const> elements, bool sort) {
    if (elements.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("too many elements");
    }
    void* memory = Detail::allocate_with_tail<MinimizeConstraint>(elements.size() * sizeof(CoefVar));
    auto* constraint = new (memory) MinimizeConstraint(adjust, static_cast<std::uint32_t>(elements.size()));
    auto* stored = reinterpret_cast<CoefVar*>(constraint + 1);
    std::uninitialized_copy(elements.begin(), elements.end(), stored);
    if (sort) {
        sort_elements({stored, elements.size()});
    }
    return UniqueConstraint{constraint};
}

std::unique_ptr<AbstractConstraintState> MinimizeConstraint::make_state() const {
    return std::make_unique<MinimizeStateImpl>(*this);
}

} // namespace Tarvex
