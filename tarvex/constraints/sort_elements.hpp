#pragma once

// Heaviest coefficients first: propagation and reasons walk elements in
// stored order, so the elements that move the sum most are tried first.

#include "core/coef_var.hpp"

#include <algorithm>
#include <span>

namespace Tarvex {

inline void sort_elements(std::span<CoefVar> elements) {
    std::sort(elements.begin(), elements.end(), [](CoefVar const& a, CoefVar const& b) {
        return std::abs(static_cast<wide_t>(a.first)) > std::abs(static_cast<wide_t>(b.first));
    });
}

} // namespace Tarvex
