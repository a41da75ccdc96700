#include "ground/stable_components.hpp"

#include <algorithm>
#include <limits>

namespace Gondra::Ground {

StableComponents strongly_connected_components(uint32_t n, std::span<uint32_t const> offsets,
                                               std::span<uint32_t const> targets) {
    constexpr uint32_t unvisited = std::numeric_limits<uint32_t>::max();
    StableComponents out;
    out.component.assign(n, unvisited);
    std::vector<uint32_t> index(n, unvisited);
    std::vector<uint32_t> low(n, 0);
    std::vector<uint8_t> on_stack(n, 0);
    std::vector<uint32_t> stack;
    // (node, next edge position) frames replace the recursion.
    std::vector<std::pair<uint32_t, uint32_t>> frames;
    uint32_t next_index = 0;

    for (uint32_t root = 0; root < n; ++root) {
        if (index[root] != unvisited) {
            continue;
        }
        frames.emplace_back(root, offsets[root]);
        index[root] = low[root] = next_index++;
        stack.push_back(root);
        on_stack[root] = 1;
        while (!frames.empty()) {
            auto& [v, pos] = frames.back();
            if (pos < offsets[v + 1]) {
                uint32_t w = targets[pos++];
                if (index[w] == unvisited) {
                    index[w] = low[w] = next_index++;
                    stack.push_back(w);
                    on_stack[w] = 1;
                    frames.emplace_back(w, offsets[w]);
                } else if (on_stack[w] != 0) {
                    low[v] = std::min(low[v], index[w]);
                }
                continue;
            }
            uint32_t done = v;
            frames.pop_back();
            if (!frames.empty()) {
                uint32_t parent = frames.back().first;
                low[parent] = std::min(low[parent], low[done]);
            }
            if (low[done] != index[done]) {
                continue;
            }
            uint32_t id = out.count++;
            uint32_t size = 0;
            bool self_loop = false;
            for (;;) {
                uint32_t w = stack.back();
                stack.pop_back();
                on_stack[w] = 0;
                out.component[w] = id;
                ++size;
                if (w == done) {
                    break;
                }
            }
            if (size == 1) {
                for (uint32_t e = offsets[done]; e < offsets[done + 1]; ++e) {
                    self_loop = self_loop || targets[e] == done;
                }
            }
            out.cyclic.push_back(size > 1 || self_loop ? 1 : 0);
        }
    }
    return out;
}

} // namespace Gondra::Ground
