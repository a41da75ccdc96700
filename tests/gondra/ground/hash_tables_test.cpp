// The grounder's flat tables: growth keeps every entry, and rule identity is
// decided by contents, not by hashes.
#include "ground/flat_map.hpp"
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
