#include "parsing/domain_intervals.hpp"

#include <algorithm>
#include <iterator>

namespace Tarvex {

void add_interval(IntervalSet& set, value_t lower, value_t upper) {
    // Every interval that could overlap or touch [lower, upper) starts at or
    // before upper; walk them backwards until one ends before lower.
    auto it = set.upper_bound(upper);
    while (it != set.begin()) {
        auto previous = std::prev(it);
        if (previous->second < lower) {
            break;
        }
        upper = std::max(upper, previous->second);
        if (previous->first < lower) {
            previous->second = upper;
            return;
        }
        it = set.erase(previous);
    }
    set.emplace_hint(it, lower, upper);
}

} // namespace Tarvex
