#pragma once

// A thread's trail of saved bounds: every bound as it was before its first
// change on a decision level. With many order literals in search it holds
// millions of entries; in chunks of fixed size that never move, growing
// allocates one more chunk instead of copying everything into a buffer of
// twice the size, which would hold both buffers at once at the peak.
// Backtracking keeps the chunks for the next descent.

#include "core/integer_types.hpp"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Tarvex {

struct SavedBound {
    // The variable shifted left by one, the low bit set for the upper bound.
    std::uint32_t var_side;
    value_t bound;
};

class BoundTrail {
public:
    static constexpr std::size_t chunk_bits = 12;
    static constexpr std::size_t chunk_size = std::size_t{1} << chunk_bits;

    BoundTrail() = default;
    BoundTrail(BoundTrail const& other) { *this = other; }
    BoundTrail(BoundTrail&&) noexcept = default;
    BoundTrail& operator=(BoundTrail&&) noexcept = default;
    BoundTrail& operator=(BoundTrail const& other) {
        if (this != &other) {
            chunks_.clear();
            for (std::size_t begin = 0; begin < other.size_; begin += chunk_size) {
                add_chunk();
                auto const* from = other.chunks_[begin >> chunk_bits].get();
                std::size_t n = other.size_ - begin < chunk_size ? other.size_ - begin : chunk_size;
                std::copy(from, from + n, chunks_.back().get());
            }
            size_ = other.size_;
        }
        return *this;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    SavedBound const& operator[](std::size_t index) const {
        assert(index < size_);
        return chunks_[index >> chunk_bits][index & (chunk_size - 1)];
    }
    void push_back(SavedBound entry) {
        if (size_ >> chunk_bits == chunks_.size()) {
            add_chunk();
        }
        chunks_[size_ >> chunk_bits][size_ & (chunk_size - 1)] = entry;
        ++size_;
    }
    // Drops the entries from size on; the chunks stay for reuse.
    void truncate(std::size_t size) {
        assert(size <= size_);
        size_ = size;
    }
    std::size_t bytes() const {
        return chunks_.capacity() * sizeof(chunks_[0]) + chunks_.size() * chunk_size * sizeof(SavedBound);
    }

private:
    void add_chunk() { chunks_.push_back(std::make_unique_for_overwrite<SavedBound[]>(chunk_size)); }

    std::vector<std::unique_ptr<SavedBound[]>> chunks_;
    std::size_t size_ = 0;
};

} // namespace Tarvex
