#include "ground_test_util.hpp"

using namespace GroundTest;

TEST(Grounder, TransitiveClosureIsAllFacts) {
    Grounded g;
    ground(g, "e(1,2). e(2,3). e(3,4). p(X,Y) :- e(X,Y). p(X,Z) :- p(X,Y), e(Y,Z).");
    ASSERT_EQ(g.error, "");
    auto f = g.facts();
    EXPECT_EQ(f.size(), 9u);
    EXPECT_TRUE(f.count("p(1,4)"));
    EXPECT_FALSE(f.count("p(4,1)"));
    // Facts are derived once each: one rule per fact.
    EXPECT_EQ(g.program.rules.size(), 9u);
}

TEST(Grounder, ChoiceAndNegationKeepLiterals) {
    Grounded g;
    ground(g, "{a}. b :- not a. c :- b, not d.");
    ASSERT_EQ(g.error, "");
    EXPECT_TRUE(g.facts().empty());
    std::string text = g.text();
    EXPECT_NE(text.find("{a}."), std::string::npos) << text;
    EXPECT_NE(text.find("b :- not a."), std::string::npos) << text;
    // d has no rule: "not d" is true and dropped.
    EXPECT_NE(text.find("c :- b."), std::string::npos) << text;
    EXPECT_NE(g.infos().find("atom does not occur in any rule head: d"), std::string::npos) << g.infos();
}

TEST(Grounder, FalseBodyDropsRule) {
    Grounded g;
    ground(g, "a. b :- not a. c :- x.");
    ASSERT_EQ(g.error, "");
    EXPECT_EQ(g.program.rules.size(), 1u);
}

TEST(Grounder, UnsafeVariablesAreLocated) {
    Grounded g;
    ground(g, "p(X) :- not q(X).\nr(Y) :- s(Z), Y > Z.");
    EXPECT_NE(g.error.find("<string>:1:3-4: error: unsafe variable 'X'"), std::string::npos) << g.error;
    EXPECT_NE(g.error.find("<string>:2:3-4: error: unsafe variable 'Y'"), std::string::npos) << g.error;
}

TEST(Grounder, IntervalsPoolsAndArithmetic) {
    Grounded g;
    ground(g, "#const n = 3. p(1..n). q(X*2) :- p(X). r(a;b). s(X) :- p(X), X \\ 2 = 1. t(7/0).");
    ASSERT_EQ(g.error, "");
    auto f = g.facts();
    EXPECT_EQ(f, (std::set<std::string>{"p(1)", "p(2)", "p(3)", "q(2)", "q(4)", "q(6)", "r(a)", "r(b)", "s(1)",
                                        "s(3)"}));
    EXPECT_NE(g.infos().find("operation undefined"), std::string::npos);
}

TEST(Grounder, ConstantOverride) {
    Grounded g;
    Gondra::Ground::GroundOptions options;
    options.constants.emplace_back("n", Gondra::Symbols::Symbol::create_number(5));
    ground(g, "#const n = 3. p(1..n).", options);
    EXPECT_EQ(g.facts().size(), 5u);
}

TEST(Grounder, QueensRuleCounts) {
    Grounded g;
    ground(g, "#const n = 8.\n"
              "{ q(I,J) : J = 1..n } = 1 :- I = 1..n.\n"
              ":- q(I,J), q(I2,J), I < I2.\n"
              ":- q(I,J), q(I2,J2), I < I2, I2 - I = |J2 - J|.\n");
    ASSERT_EQ(g.error, "");
    size_t constraints = 0;
    for (auto const& r : g.program.rules)
        if (g.program.head(r).empty() && r.body_type == Gondra::Ground::BodyType::normal &&
            g.program.body(r).size() == 2)
            ++constraints;
    // Column conflicts: 8 * C(8,2) = 224; diagonal conflicts: 2 * sum_{d=1}^{7} (8-d)^2 = 280.
    EXPECT_EQ(constraints, 224u + 280u);
    EXPECT_EQ(g.names().size(), 64u);
}

TEST(Grounder, CountAggregateBecomesWeightRule) {
    Grounded g;
    ground(g, "{p(1..3)}. ok :- 2 #count { X : p(X) }. n(N) :- N = #count { X : r(X) }. r(1). r(2).");
    ASSERT_EQ(g.error, "");
    EXPECT_TRUE(g.facts().count("n(2)"));
    bool weight = false;
    for (auto const& r : g.program.rules)
        if (r.body_type == Gondra::Ground::BodyType::weight && r.bound == 2 && g.program.body(r).size() == 3) weight = true;
    EXPECT_TRUE(weight) << g.text();
}

TEST(Grounder, WeakConstraintsUseSetSemantics) {
    Grounded g;
    ground(g, "{a;b}. :~ a. [1@0,x] :~ b. [1@0,x] :~ a. [2@1]");
    ASSERT_EQ(g.error, "");
    EXPECT_EQ(g.program.minimize.size(), 2u) << g.text();
}

TEST(Grounder, ClassicalNegationAddsConstraint) {
    Grounded g;
    ground(g, "{p}. -p :- not q. {q}.");
    ASSERT_EQ(g.error, "");
    std::string text = g.text();
    EXPECT_NE(text.find(":- -p, p."), std::string::npos) << text;
}

TEST(Grounder, ShowSignatureHidesOthers) {
    Grounded g;
    ground(g, "a. b. #show a/0.");
    ASSERT_EQ(g.error, "");
    for (auto const& n : g.program.atom_names) EXPECT_EQ(n.shown, n.symbol.to_string() == "a");
}
