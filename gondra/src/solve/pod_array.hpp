#pragma once
// A growable array of trivially copyable values that grows by realloc. The
// per-variable arrays of a solver grow with every variable a propagator
// creates; a std::vector that outgrows its block holds the old and the new
// block at once and copies between them, so a solver with tens of millions of
// variables would need half as much memory again at each growth. realloc can
// extend a large block in place (by remapping its pages), without the copy and
// without the second block.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>

namespace Gondra::Solve {

template <class T> class PodArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    PodArray() = default;
    PodArray(size_t count, T const& value) { resize(count, value); }
    PodArray(PodArray const& other) { assign(other.begin(), other.end()); }
    PodArray(PodArray&& other) noexcept { swap(other); }
    PodArray& operator=(PodArray const& other) {
        if (this != &other) {
            assign(other.begin(), other.end());
        }
        return *this;
    }
    PodArray& operator=(PodArray&& other) noexcept {
        swap(other);
        return *this;
    }
    ~PodArray() { std::free(data_); }

    void swap(PodArray& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    T const* data() const { return data_; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    T const* begin() const { return data_; }
    T const* end() const { return data_ + size_; }
    T& operator[](size_t i) { return data_[i]; }
    T const& operator[](size_t i) const { return data_[i]; }
    T& back() { return data_[size_ - 1]; }
    T const& back() const { return data_[size_ - 1]; }

    void push_back(T const& value) {
        if (size_ == capacity_) {
            T copy = value; // value may live in this array
            grow(size_ + 1);
            data_[size_++] = copy;
            return;
        }
        data_[size_++] = value;
    }
    template <class... Args> T& emplace_back(Args&&... args) {
        push_back(T{std::forward<Args>(args)...});
        return back();
    }
    void pop_back() { --size_; }
    void clear() { size_ = 0; }
    void reserve(size_t count) {
        if (count > capacity_) {
            reallocate(count);
        }
    }
    // New entries are value-initialised.
    void resize(size_t count) { resize(count, T{}); }
    void resize(size_t count, T const& value) {
        if (count > capacity_) {
            T copy = value;
            grow(count);
            std::fill(data_ + size_, data_ + count, copy);
        } else if (count > size_) {
            std::fill(data_ + size_, data_ + count, value);
        }
        size_ = count;
    }
    template <class It> void assign(It first, It last) {
        auto count = static_cast<size_t>(std::distance(first, last));
        if (count > capacity_) {
            reallocate(count);
        }
        std::copy(first, last, data_);
        size_ = count;
    }
    template <class It> void append(It first, It last) {
        auto count = static_cast<size_t>(std::distance(first, last));
        reserve(size_ + count);
        std::copy(first, last, data_ + size_);
        size_ += count;
    }
    // Gives back the unused capacity.
    void shrink_to_fit() {
        if (size_ == 0) {
            std::free(data_);
            data_ = nullptr;
            capacity_ = 0;
        } else if (size_ < capacity_) {
            reallocate(size_);
        }
    }

private:
    void grow(size_t count) { reallocate(std::max(count, capacity_ + capacity_ / 2 + 8)); }
    void reallocate(size_t count) {
        if (count > SIZE_MAX / sizeof(T)) {
            throw std::bad_alloc();
        }
        void* block = std::realloc(static_cast<void*>(data_), count * sizeof(T));
        if (block == nullptr) {
            throw std::bad_alloc();
        }
        data_ = static_cast<T*>(block);
        capacity_ = count;
    }

    T* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

} // namespace Gondra::Solve
