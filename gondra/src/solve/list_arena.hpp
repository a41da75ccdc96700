#pragma once
// Many short lists in one flat array: a list is a block of the array named by
// an 8-byte head (start, size), and its capacity follows from its size (the
// next power of two, at least two), so an empty list costs its head alone and
// no list pays an allocation of its own. A list that outgrows its block moves
// to the end of the array; the space it leaves is reclaimed by compaction once
// it makes up half of the array.
//
// With inline_single (4-byte entries), a list of one entry keeps it in its
// head instead of a block of two: nearly all binary lists of the variables a
// propagator creates during search hold one entry.
//
// Growing any list may move the array: spans and pointers into it hold only
// until the next push. Without compaction on growth, positions of entries
// (start + index) stay valid across pushes to other lists; compaction is then
// the owner's call, at a point where no position is held. Positions are for
// lists in blocks: a list of one inline entry has none.
#include "solve/pod_array.hpp"

#include <bit>
#include <cstdint>
#include <span>
#include <type_traits>

namespace Gondra::Solve {

template <class T, bool inline_single = false> class ListArena {
    static_assert(!inline_single || std::is_same_v<T, uint32_t>, "inline entries live in a head's begin");

public:
    explicit ListArena(bool compact_on_growth = true) : compact_on_growth_(compact_on_growth) {}

    size_t lists() const { return heads_.size(); }
    // New lists are empty; lists beyond count are dropped.
    void resize(size_t count) {
        for (size_t l = count; l < heads_.size(); ++l) {
            wasted_ += capacity(heads_[l].size);
        }
        heads_.resize(count);
    }

    std::span<T> operator[](size_t l) {
        Head& head = heads_[l];
        if (inline_single && head.size == 1) {
            return {&head.begin, 1};
        }
        return {data_.data() + head.begin, head.size};
    }
    std::span<T const> operator[](size_t l) const {
        Head const& head = heads_[l];
        T const* first = inline_single && head.size == 1 ? &head.begin : data_.data() + head.begin;
        return {first, head.size};
    }
    uint32_t size(size_t l) const { return heads_[l].size; }
    // Asks for a list's head ahead of its use.
    void prefetch(size_t l) const { __builtin_prefetch(heads_.data() + l); }
    uint32_t start(size_t l) const { return heads_[l].begin; }
    T* data() { return data_.data(); }

    void push(size_t l, T value) {
        Head& head = heads_[l];
        if constexpr (inline_single) {
            if (head.size == 0) {
                head.begin = value;
                head.size = 1;
                return;
            }
            if (head.size == 1) {
                T first = head.begin;
                if (compact_on_growth_) {
                    compact_if_wasteful();
                }
                auto begin = static_cast<uint32_t>(data_.size());
                data_.resize(data_.size() + capacity(2));
                data_[begin] = first;
                data_[begin + 1] = value;
                head.begin = begin;
                head.size = 2;
                return;
            }
        }
        if (head.size == capacity(head.size)) {
            grow(l);
        }
        data_[head.begin + head.size++] = value;
    }
    // Keeps the first size entries (size at most the current size).
    void truncate(size_t l, uint32_t size) {
        Head& head = heads_[l];
        if constexpr (inline_single) {
            if (size == 1 && head.size > 1) {
                T first = data_[head.begin];
                wasted_ += capacity(head.size);
                head.begin = first;
                head.size = 1;
                return;
            }
        }
        wasted_ += capacity(head.size) - capacity(size);
        head.size = size;
        if (size == 0) {
            head.begin = 0;
        }
    }
    // Keeps the entries for which keep(entry) holds, in their order.
    template <class F> void filter(size_t l, F&& keep) {
        auto list = (*this)[l];
        uint32_t j = 0;
        for (T const& x : list) {
            if (keep(x)) {
                list[j++] = x;
            }
        }
        truncate(l, j);
    }
    // Empties every list, keeping the number of lists.
    void clear_lists() {
        for (Head& head : heads_) {
            head = {};
        }
        data_.clear();
        wasted_ = 0;
    }
    void compact_if_wasteful() {
        if (wasted_ > 1024 && 2 * wasted_ > data_.size()) {
            compact();
        }
    }

    // Bytes held, for statistics and tests.
    size_t bytes() const { return heads_.capacity() * sizeof(Head) + data_.capacity() * sizeof(T); }

private:
    struct Head {
        uint32_t begin = 0; // the entry itself for an inline list of one
        uint32_t size = 0;
    };

    // Lists of one inline entry need no block.
    static uint32_t capacity(uint32_t size) {
        if (size == 0 || (inline_single && size == 1)) {
            return 0;
        }
        return std::bit_ceil(size < 2 ? 2u : size);
    }

    void grow(size_t l) {
        if (compact_on_growth_) {
            compact_if_wasteful();
        }
        Head& head = heads_[l];
        uint32_t from = head.begin;
        uint32_t old_capacity = capacity(head.size);
        uint32_t new_capacity = capacity(head.size + 1);
        auto begin = static_cast<uint32_t>(data_.size());
        data_.resize(data_.size() + new_capacity);
        for (uint32_t k = 0; k < head.size; ++k) {
            data_[begin + k] = data_[from + k];
        }
        head.begin = begin;
        wasted_ += old_capacity;
    }

    // Lays every list out afresh in the order of the lists.
    void compact() {
        PodArray<T> packed;
        packed.reserve(data_.size() - wasted_);
        for (size_t l = 0; l < heads_.size(); ++l) {
            if (capacity(heads_[l].size) == 0) {
                continue;
            }
            Head& head = heads_[l];
            auto begin = static_cast<uint32_t>(packed.size());
            packed.append(data_.begin() + head.begin, data_.begin() + head.begin + head.size);
            packed.resize(begin + capacity(head.size));
            head.begin = begin;
        }
        data_.swap(packed);
        wasted_ = 0;
    }

    PodArray<Head> heads_;
    PodArray<T> data_;
    size_t wasted_ = 0;
    bool compact_on_growth_;
};

} // namespace Gondra::Solve
