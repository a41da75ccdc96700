#pragma once

// A thread's literal map: the entry of every host variable, indexed by the
// variable minus one. Nearly every variable the host creates during search is
// an order literal of this thread, so the map is as long as the host's
// variables. It lives in chunks of fixed size that never move: growing it
// allocates one more chunk instead of copying the whole map into a buffer of
// twice the size, which would hold both buffers at once at the peak.

#include "solver/literal_entry.hpp"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace Tarvex {

class LiteralMap {
public:
    static constexpr std::size_t chunk_bits = 12;
    static constexpr std::size_t chunk_size = std::size_t{1} << chunk_bits;

    LiteralMap() = default;
    LiteralMap(LiteralMap const& other) { *this = other; }
    LiteralMap(LiteralMap&&) noexcept = default;
    LiteralMap& operator=(LiteralMap&&) noexcept = default;
    LiteralMap& operator=(LiteralMap const& other) {
        if (this != &other) {
            chunks_.clear();
            chunks_.reserve(other.chunks_.size());
            for (auto const& chunk : other.chunks_) {
                chunks_.push_back(std::make_unique<LiteralEntry[]>(chunk_size));
                std::copy(chunk.get(), chunk.get() + chunk_size, chunks_.back().get());
            }
            size_ = other.size_;
        }
        return *this;
    }

    std::size_t size() const { return size_; }
    LiteralEntry& operator[](std::size_t index) { return chunks_[index >> chunk_bits][index & (chunk_size - 1)]; }
    LiteralEntry const& operator[](std::size_t index) const {
        return chunks_[index >> chunk_bits][index & (chunk_size - 1)];
    }

    // Grows the map to at least size entries; new entries are empty.
    void grow(std::size_t size) {
        while (chunks_.size() << chunk_bits < size) {
            chunks_.push_back(std::make_unique<LiteralEntry[]>(chunk_size));
        }
        if (size > size_) {
            size_ = size;
        }
    }
    void shrink_to_fit() { chunks_.shrink_to_fit(); }
    std::size_t bytes() const { return chunks_.capacity() * sizeof(chunks_[0]) + chunks_.size() * chunk_size * sizeof(LiteralEntry); }

private:
    std::vector<std::unique_ptr<LiteralEntry[]>> chunks_;
    std::size_t size_ = 0;
};

} // namespace Tarvex
