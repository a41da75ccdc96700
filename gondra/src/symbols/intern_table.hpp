#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace Gondra::Symbols {

// Finaliser that spreads every input bit over the whole word; shard and slot
// selection both rely on well-mixed hashes.
constexpr uint64_t mix_hash(uint64_t x) noexcept {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

constexpr uint64_t combine_hash(uint64_t seed, uint64_t value) noexcept {
    return mix_hash(seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2)));
}

// A set of immutable nodes that are never freed. Finding an existing node
// takes no lock: each shard is an open-addressing table whose slots are
// published with release stores, and a grown table replaces the old one
// atomically (old tables are kept, so a reader still probing one stays safe;
// they add at most the size of the current table). Only inserting takes the
// shard's mutex, and a reader that misses re-checks under it.
//
// Key must provide: uint64_t hash() const, bool matches(Node const&) const and
// Node* make() const (allocates a node holding the key, hash included).
template <class Node> class InternTable {
public:
    InternTable() = default;
    InternTable(InternTable const&) = delete;
    InternTable& operator=(InternTable const&) = delete;

    template <class Key> Node* intern(Key const& key) {
        uint64_t hash = key.hash();
        Shard& shard = shards_[hash >> (64 - shard_bits)];
        if (Table const* table = shard.table.load(std::memory_order_acquire)) {
            if (Node* node = find(*table, hash, key)) {
                return node;
            }
        }
        std::lock_guard<std::mutex> lock{shard.mutex};
        Table* table = shard.table.load(std::memory_order_relaxed);
        if (table != nullptr) {
            if (Node* node = find(*table, hash, key)) {
                return node;
            }
        }
        if (table == nullptr || 2 * (shard.size + 1) > table->slots.size()) {
            table = grow(shard, table);
        }
        Node* node = key.make();
        place(*table, hash, node);
        ++shard.size;
        return node;
    }

private:
    static constexpr unsigned shard_bits = 6;
    static constexpr size_t initial_slots = 16;

    struct Slot {
        std::atomic<uint64_t> hash{0};
        std::atomic<Node*> node{nullptr};
    };

    struct Table {
        explicit Table(size_t size) : slots(size) {}
        std::vector<Slot> slots;
    };

    struct alignas(64) Shard {
        std::atomic<Table*> table{nullptr};
        std::mutex mutex;
        size_t size = 0;
        std::vector<std::unique_ptr<Table>> tables; // the current one last
    };

    template <class Key> static Node* find(Table const& table, uint64_t hash, Key const& key) {
        size_t mask = table.slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot const& slot = table.slots[i];
            Node* node = slot.node.load(std::memory_order_acquire);
            if (node == nullptr) {
                return nullptr;
            }
            if (slot.hash.load(std::memory_order_relaxed) == hash && key.matches(*node)) {
                return node;
            }
        }
    }

    // Callers hold the shard's mutex.
    static void place(Table& table, uint64_t hash, Node* node) {
        size_t mask = table.slots.size() - 1;
        size_t i = hash & mask;
        while (table.slots[i].node.load(std::memory_order_relaxed) != nullptr) {
            i = (i + 1) & mask;
        }
        table.slots[i].hash.store(hash, std::memory_order_relaxed);
        table.slots[i].node.store(node, std::memory_order_release);
    }

    static Table* grow(Shard& shard, Table* old) {
        auto table = std::make_unique<Table>(old == nullptr ? initial_slots : 2 * old->slots.size());
        if (old != nullptr) {
            for (Slot const& slot : old->slots) {
                if (Node* node = slot.node.load(std::memory_order_relaxed)) {
                    place(*table, slot.hash.load(std::memory_order_relaxed), node);
                }
            }
        }
        Table* result = table.get();
        shard.tables.push_back(std::move(table));
        shard.table.store(result, std::memory_order_release);
        return result;
    }

    Shard shards_[size_t{1} << shard_bits];
};

} // namespace Gondra::Symbols
