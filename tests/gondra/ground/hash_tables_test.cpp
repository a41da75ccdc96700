// The grounder's flat tables: growth keeps every entry, and rule identity is
// decided by contents, not by hashes.
#include "ground/flat_map.hpp"
#include "ground/id_table.hpp"
#include "ground/rule_set.hpp"

#include <gtest/gtest.h>

#include <vector>

using namespace Gondra::Ground;

TEST(FlatMap, KeepsEveryEntryThroughGrowth) {
    FlatMap map;
    EXPECT_EQ(map.find(0), FlatMap::absent);
    bool fresh = false;
    // Keys that collide in the low bits before mixing, and the key 0.
    for (uint32_t i = 0; i < 5000; ++i) {
        EXPECT_EQ(map.insert(uint64_t{i} << 32, i, fresh), i);
        EXPECT_TRUE(fresh);
    }
    EXPECT_EQ(map.insert(uint64_t{7} << 32, 99, fresh), 7u);
    EXPECT_FALSE(fresh);
    EXPECT_EQ(map.size(), 5000u);
    for (uint32_t i = 0; i < 5000; ++i)
        ASSERT_EQ(map.find(uint64_t{i} << 32), i);
    EXPECT_EQ(map.find(uint64_t{5000} << 32), FlatMap::absent);
    map.clear();
    EXPECT_EQ(map.find(0), FlatMap::absent);
}

// Keys live outside the table; equal hashes alone must not merge ids.
TEST(IdTable, DecidesByKeysAndKeepsEveryIdThroughGrowth) {
    std::vector<uint64_t> keys;
    IdTable table;
    auto insert = [&](uint64_t key, uint32_t hash) {
        auto fresh_id = static_cast<uint32_t>(keys.size());
        auto [id, fresh] = table.insert(hash, fresh_id, [&](uint32_t stored) { return keys[stored] == key; });
        if (fresh) keys.push_back(key);
        return std::pair{id, fresh};
    };
    for (uint64_t k = 0; k < 3000; ++k) {
        // Every third key shares one hash; the others collide in the low bits.
        uint32_t hash = k % 3 == 0 ? 42u : static_cast<uint32_t>(k << 16);
        auto [id, fresh] = insert(k * 7, hash);
        ASSERT_TRUE(fresh);
        ASSERT_EQ(id, k);
    }
    EXPECT_EQ(table.size(), 3000u);
    for (uint64_t k = 0; k < 3000; ++k) {
        uint32_t hash = k % 3 == 0 ? 42u : static_cast<uint32_t>(k << 16);
        auto [id, fresh] = insert(k * 7, hash);
        ASSERT_FALSE(fresh);
        ASSERT_EQ(id, k);
    }
    EXPECT_TRUE(insert(1, 42).second);
    EXPECT_EQ(table.size(), 3001u);
}

TEST(RuleSet, DropsEqualRulesOnly) {
    GroundProgram p;
    RuleSet set;
    std::vector<Atom> head{1};
    std::vector<Literal> body{-3, 2};
    EXPECT_TRUE(set.add(p, HeadType::disjunctive, head, body));
    EXPECT_FALSE(set.add(p, HeadType::disjunctive, head, body));
    // Another head type, head or body is another rule.
    EXPECT_TRUE(set.add(p, HeadType::choice, head, body));
    EXPECT_TRUE(set.add(p, HeadType::disjunctive, {}, body));
    std::vector<Literal> other{-3, 4};
    EXPECT_TRUE(set.add(p, HeadType::disjunctive, head, other));
    // Head atoms versus body literals: {1} :- 2 differs from {1,2}.
    std::vector<Atom> two{1, 2};
    std::vector<Literal> only{2};
    EXPECT_TRUE(set.add(p, HeadType::disjunctive, head, only));
    EXPECT_TRUE(set.add(p, HeadType::disjunctive, two, {}));
    EXPECT_EQ(p.rules.size(), 6u);
    // Many rules: growth keeps them all recognisable.
    for (Literal i = 10; i < 3000; ++i) {
        std::vector<Literal> b{i, -(i + 1)};
        ASSERT_TRUE(set.add(p, HeadType::disjunctive, head, b));
    }
    for (Literal i = 10; i < 3000; ++i) {
        std::vector<Literal> b{i, -(i + 1)};
        ASSERT_FALSE(set.add(p, HeadType::disjunctive, head, b));
    }
    EXPECT_EQ(p.rules.size(), 6u + 2990u);
}

TEST(RuleSet, SurvivesAReplacedProgram) {
    GroundProgram p;
    RuleSet set;
    std::vector<Atom> head{1};
    std::vector<Literal> body{2};
    for (Atom a = 1; a < 50; ++a)
        set.add(p, HeadType::disjunctive, std::vector<Atom>{a}, body);
    GroundProgram q; // a fresh program: nothing of the old one is in it
    EXPECT_TRUE(set.add(q, HeadType::disjunctive, head, body));
    EXPECT_FALSE(set.add(q, HeadType::disjunctive, head, body));
    EXPECT_EQ(q.rules.size(), 1u);
}
