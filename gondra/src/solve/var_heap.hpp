#pragma once
// Binary max-heap of variables ordered by activity; positions are kept so that
// bumping a variable is a logarithmic sift.
#include "solve/pod_array.hpp"

#include <cstdint>

namespace Gondra::Solve {

class VarHeap {
public:
    explicit VarHeap(PodArray<double> const& activity) : activity_(activity) {}

    bool empty() const { return heap_.empty(); }
    bool contains(uint32_t var) const { return var < index_.size() && index_[var] >= 0; }
    void grow(uint32_t vars) {
        if (index_.size() < vars) {
            index_.resize(vars, -1);
        }
    }
    void insert(uint32_t var) {
        grow(var + 1);
        if (contains(var)) {
            return;
        }
        index_[var] = static_cast<int32_t>(heap_.size());
        heap_.push_back(var);
        up(heap_.size() - 1);
    }
    void increased(uint32_t var) {
        if (contains(var)) {
            up(static_cast<size_t>(index_[var]));
        }
    }
    uint32_t pop() {
        uint32_t top = heap_[0];
        uint32_t last = heap_.back();
        heap_.pop_back();
        index_[top] = -1;
        if (!heap_.empty()) {
            heap_[0] = last;
            index_[last] = 0;
            down(0);
        }
        return top;
    }
    void clear() {
        for (auto v : heap_) {
            index_[v] = -1;
        }
        heap_.clear();
    }

private:
    bool less(uint32_t a, uint32_t b) const { return activity_[a] > activity_[b]; }
    void up(size_t i) {
        uint32_t v = heap_[i];
        while (i > 0) {
            size_t parent = (i - 1) >> 1;
            if (!less(v, heap_[parent])) {
                break;
            }
            heap_[i] = heap_[parent];
            index_[heap_[i]] = static_cast<int32_t>(i);
            i = parent;
        }
        heap_[i] = v;
        index_[v] = static_cast<int32_t>(i);
    }
    void down(size_t i) {
        uint32_t v = heap_[i];
        size_t n = heap_.size();
        for (;;) {
            size_t child = 2 * i + 1;
            if (child >= n) {
                break;
            }
            if (child + 1 < n && less(heap_[child + 1], heap_[child])) {
                ++child;
            }
            if (!less(heap_[child], v)) {
                break;
            }
            heap_[i] = heap_[child];
            index_[heap_[i]] = static_cast<int32_t>(i);
            i = child;
        }
        heap_[i] = v;
        index_[v] = static_cast<int32_t>(i);
    }

    PodArray<double> const& activity_;
    PodArray<uint32_t> heap_;
    PodArray<int32_t> index_;
};

} // namespace Gondra::Solve
