#pragma once
// Open-addressing hash map from 64-bit keys to 32-bit values, for the
// grounder's hot lookups (atoms by symbol handle, index buckets by key hash):
// one flat array, linear probing, no per-entry allocation.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Gondra::Ground {

// Spreads every key bit over the word; keys are symbol handles or hashes.
constexpr uint64_t mix64(uint64_t x) noexcept {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

constexpr uint64_t combine64(uint64_t seed, uint64_t value) noexcept {
    return mix64(seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2)));
}

class FlatMap {
public:
    static constexpr uint32_t absent = UINT32_MAX;

    uint32_t find(uint64_t key) const noexcept {
        if (slots_.empty()) return absent;
        size_t mask = slots_.size() - 1;
        for (size_t i = mix64(key) & mask;; i = (i + 1) & mask) {
            Slot const& s = slots_[i];
            if (s.value == absent) return absent;
            if (s.key == key) return s.value;
        }
    }

    // The value of key, inserting `value` when the key is new; `fresh` tells which.
    uint32_t insert(uint64_t key, uint32_t value, bool& fresh) {
        if (2 * (size_ + 1) > slots_.size()) grow();
        size_t mask = slots_.size() - 1;
        for (size_t i = mix64(key) & mask;; i = (i + 1) & mask) {
            Slot& s = slots_[i];
            if (s.value == absent) {
                s.key = key;
                s.value = value;
                ++size_;
                fresh = true;
                return value;
            }
            if (s.key == key) {
                fresh = false;
                return s.value;
            }
        }
    }

    size_t size() const noexcept { return size_; }
    void clear() {
        slots_.clear();
        size_ = 0;
    }

private:
    struct Slot {
        uint64_t key = 0;
        uint32_t value = absent;
    };

    void grow() {
        std::vector<Slot> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 16 : 2 * old.size(), Slot{});
        size_t mask = slots_.size() - 1;
        for (Slot const& s : old) {
            if (s.value == absent) continue;
            size_t i = mix64(s.key) & mask;
            while (slots_[i].value != absent)
                i = (i + 1) & mask;
            slots_[i] = s;
        }
    }

    std::vector<Slot> slots_;
    size_t size_ = 0;
};

} // namespace Gondra::Ground
