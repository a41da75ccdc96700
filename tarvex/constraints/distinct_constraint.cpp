#include "constraints/distinct_constraint.hpp"

#include "constraints/distinct_constraint_state.hpp"
#include "constraints/sort_elements.hpp"

#include <limits>
#include <memory>
#include <stdexcept>

namespace Tarvex {

UniqueConstraint DistinctConstraint::create(literal_t literal, std::span<Term const> terms, bool sort) {
    // Watches name a term by its index plus one, with a sign, in a value.
    if (terms.size() >= static_cast<std::size_t>(std::numeric_limits<value_t>::max())) {
        throw std::length_error("too many elements");
    }
    std::size_t count = 0;
    for (auto const& term : terms) {
        if (term.first.size() > std::numeric_limits<std::uint32_t>::max()) {
            throw std::length_error("too many elements");
        }
        count += term.first.size();
    }
    void* memory =
        Detail::allocate_with_tail<DistinctConstraint>(terms.size() * sizeof(DistinctTerm) + count * sizeof(CoefVar));
    auto* constraint = new (memory) DistinctConstraint(literal, static_cast<std::uint32_t>(terms.size()));
    auto* records = reinterpret_cast<DistinctTerm*>(constraint + 1);
    auto* elements = reinterpret_cast<CoefVar*>(records + terms.size());
    for (auto const& [term_elements, constant] : terms) {
        CoefVar* first = elements;
        elements = std::uninitialized_copy(term_elements.begin(), term_elements.end(), elements);
        if (sort) {
            sort_elements({first, term_elements.size()});
        }
        new (records++) DistinctTerm{constant, static_cast<std::uint32_t>(term_elements.size()), first};
    }
    return UniqueConstraint{constraint};
}

std::unique_ptr<AbstractConstraintState> DistinctConstraint::make_state() const {
    return std::make_unique<DistinctConstraintState>(*this);
}

} // namespace Tarvex
