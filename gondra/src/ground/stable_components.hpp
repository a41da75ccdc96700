#pragma once
// Strongly connected components of the positive dependency graph: only atoms
// in a component with a cycle can be unfounded despite the completion.
#include <cstdint>
#include <span>
#include <vector>

namespace Gondra::Ground {

struct StableComponents {
    std::vector<uint32_t> component; // per node
    std::vector<uint8_t> cyclic;     // per component: has a cycle (size > 1 or a self-loop)
    uint32_t count = 0;
};

// The graph has nodes 0..n-1; the successors of v are
// targets[offsets[v] .. offsets[v+1]). Runs without recursion, so deep graphs
// cannot overflow the stack.
StableComponents strongly_connected_components(uint32_t n, std::span<uint32_t const> offsets,
                                               std::span<uint32_t const> targets);

} // namespace Gondra::Ground
