#include "constraints/sum_constraint.hpp"

#include "constraints/sort_elements.hpp"
#include "constraints/sum_constraint_state.hpp"

#include <memory>

namespace Tarvex {

UniqueConstraint SumConstraint::create(literal_t literal, value_t rhs, std::span<CoefVar const> elements,
                                       bool sort) {
    void* memory = Detail::allocate_with_tail<SumConstraint>(elements.size() * sizeof(CoefVar));
    auto* constraint = new (memory) SumConstraint(literal, rhs, elements.size());
    auto* stored = reinterpret_cast<CoefVar*>(constraint + 1);
    std::uninitialized_copy(elements.begin(), elements.end(), stored);
    if (sort) {
        sort_elements({stored, elements.size()});
    }
    return UniqueConstraint{constraint};
}

std::unique_ptr<AbstractConstraintState> SumConstraint::make_state() const {
    return std::make_unique<SumStateImpl>(*this);
}

} // namespace Tarvex
