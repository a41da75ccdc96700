#pragma once
// A hash set of ids whose keys live elsewhere: the caller hashes a key and
// says whether a stored id has it, so a table of n ids costs 8 to 16 bytes per
// id (open addressing with linear probing, at most half full) and no key is
// copied. Slots keep 32 bits of the hashes (enough to place them in any table
// that fits in memory), so that neither probing nor growing reads the keys.
#include <cstdint>
#include <utility>
#include <vector>

namespace Gondra::Ground {

class IdTable {
public:
    // The stored id with this hash for which has_key(id) holds, and false; or
    // fresh_id, now stored, and true.
    template <class HasKey>
    std::pair<uint32_t, bool> insert(uint32_t hash, uint32_t fresh_id, HasKey&& has_key) {
        if (2 * (count_ + 1) > slots_.size()) {
            grow();
        }
        size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.id == empty) {
                slot = {hash, fresh_id};
                ++count_;
                return {fresh_id, true};
            }
            if (slot.hash == hash && has_key(slot.id)) {
                return {slot.id, false};
            }
        }
    }
    size_t size() const { return count_; }

private:
    static constexpr uint32_t empty = UINT32_MAX;
    struct Slot {
        uint32_t hash = 0;
        uint32_t id = empty;
    };

    void grow() {
        std::vector<Slot> old(slots_.empty() ? 16 : 2 * slots_.size());
        old.swap(slots_);
        size_t mask = slots_.size() - 1;
        for (Slot const& s : old) {
            if (s.id == empty) {
                continue;
            }
            size_t i = s.hash & mask;
            while (slots_[i].id != empty) {
                i = (i + 1) & mask;
            }
            slots_[i] = s;
        }
    }

    std::vector<Slot> slots_;
    size_t count_ = 0;
};

} // namespace Gondra::Ground
