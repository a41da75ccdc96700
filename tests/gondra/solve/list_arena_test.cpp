// The flat arena of short lists, in each layout, against a vector of vectors
// under random pushes, truncations, filters, resizes and compactions; and the
// memory the compact layouts save.
#include "solve/list_arena.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace Gondra::Solve {
namespace {

template <class Arena> void expect_same(Arena const& arena, std::vector<std::vector<uint32_t>> const& model) {
    ASSERT_EQ(arena.lists(), model.size());
    for (size_t l = 0; l < model.size(); ++l) {
        auto list = arena[l];
        ASSERT_EQ(std::vector<uint32_t>(list.begin(), list.end()), model[l]) << "list " << l;
    }
}

template <bool inline_single> void check_random_operations() {
    for (bool compact_on_growth : {true, false}) {
        std::mt19937 random(compact_on_growth ? 1 : 2);
        ListArena<uint32_t, inline_single> arena(compact_on_growth);
        std::vector<std::vector<uint32_t>> model;
        arena.resize(50);
        model.resize(50);
        for (uint32_t step = 0; step < 200000; ++step) {
            // Mostly short lists, where the layouts differ.
            size_t l = random() % 8 == 0 ? random() % model.size() : random() % std::min<size_t>(model.size(), 40);
            switch (random() % 16) {
            case 0:
                if (model[l].size() > 0) {
                    auto keep = static_cast<uint32_t>(random() % model[l].size());
                    arena.truncate(l, keep);
                    model[l].resize(keep);
                }
                break;
            case 1: {
                uint32_t odd = random() % 2;
                arena.filter(l, [odd](uint32_t x) { return x % 2 != odd; });
                std::erase_if(model[l], [odd](uint32_t x) { return x % 2 == odd; });
                break;
            }
            case 2:
                if (random() % 64 == 0) {
                    size_t count = 1 + random() % 80;
                    arena.resize(count);
                    model.resize(count);
                }
                break;
            case 3:
                arena.compact_if_wasteful();
                break;
            default:
                arena.push(l, step);
                model[l].push_back(step);
            }
            if (step % 5000 == 0) {
                expect_same(arena, model);
            }
        }
        expect_same(arena, model);
        arena.clear_lists();
        for (auto& list : model) {
            list.clear();
        }
        expect_same(arena, model);
    }
}

TEST(ListArenaTest, MatchesVectorsUnderRandomOperations) {
    check_random_operations<false>();
    check_random_operations<true>();
}

TEST(ListArenaTest, ListsOfOneCostNoBlocks) {
    constexpr size_t lists = 200000;
    ListArena<uint32_t, true> singles;
    singles.resize(lists);
    for (size_t l = 0; l < lists; ++l) {
        singles.push(l, static_cast<uint32_t>(l));
    }
    EXPECT_LT(singles.bytes(), lists * 8 * 3 / 2);
    for (size_t l = 0; l < lists; l += 997) {
        ASSERT_EQ(singles[l].size(), 1u);
        EXPECT_EQ(singles[l][0], l);
    }
    // Back to one entry after a block: the entry returns to the head.
    singles.push(5, 100);
    singles.push(5, 101);
    singles.filter(5, [](uint32_t x) { return x == 101; });
    ASSERT_EQ(singles[5].size(), 1u);
    EXPECT_EQ(singles[5][0], 101u);
}

} // namespace
} // namespace Gondra::Solve
