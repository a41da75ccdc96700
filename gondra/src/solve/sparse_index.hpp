#pragma once
// A map from literals to small indices (0 for none) stored in pages of 1024
// entries that exist only once one of their literals has an index. Most
// literals have none (the variables a propagator creates during search hardly
// ever occur in weight constraints or objectives), so this costs a pointer per
// 1024 literals instead of an index per literal.
#include "solve/pod_array.hpp"

#include <cstdint>
#include <memory>
#include <vector>

namespace Gondra::Solve {

class SparseIndex {
public:
    static constexpr uint32_t page_bits = 10;
    static constexpr uint32_t page_size = 1u << page_bits;

    size_t size() const { return size_; }
    uint32_t operator[](size_t l) const {
        size_t page = l >> page_bits;
        return page < pages_.size() && pages_[page] ? pages_[page][l & (page_size - 1)] : 0;
    }
    // Sets the index of a literal below size().
    void set(size_t l, uint32_t index) {
        size_t page = l >> page_bits;
        if (page >= pages_.size()) {
            pages_.resize(page + 1);
        }
        if (!pages_[page]) {
            if (index == 0) {
                return;
            }
            pages_[page] = std::make_unique<uint32_t[]>(page_size);
        }
        pages_[page][l & (page_size - 1)] = index;
    }
    // Literals from count on lose their indices.
    void resize(size_t count) {
        for (size_t l = count; l < size_ && (l & (page_size - 1)) != 0; ++l) {
            set(l, 0);
        }
        size_t pages = (count + page_size - 1) >> page_bits;
        if (pages < pages_.size()) {
            pages_.resize(pages);
        }
        size_ = count;
    }
    size_t bytes() const { return pages_.capacity() * sizeof(pages_[0]) + pages_in_use() * page_size * 4; }

private:
    size_t pages_in_use() const {
        size_t n = 0;
        for (auto const& p : pages_) {
            n += p ? 1 : 0;
        }
        return n;
    }

    std::vector<std::unique_ptr<uint32_t[]>> pages_;
    size_t size_ = 0;
};

} // namespace Gondra::Solve
