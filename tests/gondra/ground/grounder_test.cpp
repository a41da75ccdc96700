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
    EXPECT_EQ(f, (std::set<std::string>{"p(1)", "p(2)", "p(3)", "q(2)", "q(4)", "q(6)", "r(a)", "r(b)",
                                        "s(1)", "s(3)"}));
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
        if (r.body_type == Gondra::Ground::BodyType::weight && r.bound == 2 && g.program.body(r).size() == 3)
            weight = true;
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
    for (auto const& n : g.program.atom_names)
        EXPECT_EQ(n.shown, n.symbol.to_string() == "a");
}

namespace {

// Reachability by search, as pairs "p(X,Y)".
std::set<std::string> reachable(int n, std::vector<std::pair<int, int>> const& edges) {
    std::set<std::string> out;
    for (int s = 1; s <= n; ++s) {
        std::vector<int> stack{s};
        std::vector<bool> seen(static_cast<size_t>(n) + 1, false);
        while (!stack.empty()) {
            int v = stack.back();
            stack.pop_back();
            for (auto [a, b] : edges)
                if (a == v && !seen[static_cast<size_t>(b)]) {
                    seen[static_cast<size_t>(b)] = true;
                    out.insert("p(" + std::to_string(s) + "," + std::to_string(b) + ")");
                    stack.push_back(b);
                }
        }
    }
    return out;
}

} // namespace

TEST(Grounder, SemiNaiveClosureMatchesSearchOnRandomGraphs) {
    uint32_t state = 12345;
    auto next = [&] { return (state = state * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 20; ++round) {
        int n = 2 + static_cast<int>(next() % 12);
        std::vector<std::pair<int, int>> edges;
        std::string text;
        for (int i = 0; i < 2 * n; ++i) {
            int a = 1 + static_cast<int>(next() % static_cast<uint32_t>(n));
            int b = 1 + static_cast<int>(next() % static_cast<uint32_t>(n));
            edges.emplace_back(a, b);
            text += "e(" + std::to_string(a) + "," + std::to_string(b) + "). ";
        }
        // Both join orders: the recursive literal first and last.
        for (char const* rules :
             {"p(X,Y) :- e(X,Y). p(X,Z) :- p(X,Y), e(Y,Z).", "p(X,Y) :- e(X,Y). p(X,Z) :- e(Y,Z), p(X,Y).",
              "p(X,Y) :- e(X,Y). p(X,Z) :- p(X,Y), p(Y,Z)."}) {
            Grounded g;
            ground(g, text + rules);
            ASSERT_EQ(g.error, "");
            std::set<std::string> got;
            for (auto const& f : g.facts())
                if (f.starts_with("p(")) got.insert(f);
            ASSERT_EQ(got, reachable(n, edges)) << text << rules;
        }
    }
}

TEST(Grounder, ClosureOverChosenEdgesHasOneRulePerJoinResult) {
    // No facts: every (X,Y,Z) with X != Y, Y != Z is one rule, none twice.
    Grounded g;
    ground(g, "#const n = 6. { e(X,Y) } :- X = 1..n, Y = 1..n, X != Y. "
              "p(X,Y) :- e(X,Y). p(X,Z) :- p(X,Y), e(Y,Z).");
    ASSERT_EQ(g.error, "");
    size_t closure_rules = 0;
    for (auto const& r : g.program.rules)
        closure_rules +=
            r.head_type == Gondra::Ground::HeadType::disjunctive && g.program.body(r).size() == 2;
    EXPECT_EQ(closure_rules, 6u * 6u * 5u); // p(X,Y) for all 36 pairs, then e(Y,Z) with Z != Y
}

TEST(Grounder, MutualRecursionThroughArithmetic) {
    Grounded g;
    ground(g, "n(0..9). a(0). b(X) :- a(X-1), n(X). a(X) :- b(X-1), n(X). c(X) :- a(X), b(X).");
    ASSERT_EQ(g.error, "");
    auto f = g.facts();
    for (int i = 0; i <= 9; ++i) {
        std::string x = std::to_string(i);
        EXPECT_EQ(f.count("a(" + x + ")"), i % 2 == 0 ? 1u : 0u) << x;
        EXPECT_EQ(f.count("b(" + x + ")"), i % 2 == 1 ? 1u : 0u) << x;
    }
    EXPECT_EQ(g.names().count("c(0)"), 0u);
}

TEST(Grounder, PoolsAreAlternativesAndDoubleNegationKeepsTheAtom) {
    EXPECT_EQ(models("{p(1..2)}. a :- p(1;2). #show a/0. #show p/1."),
              (Models{"", "a p(1)", "a p(2)", "a p(1) p(2)"}));
    EXPECT_EQ(models("{b}. a :- not not b."), (Models{"", "a b"}));
    EXPECT_EQ(models("b. a :- not not b. c :- not not d."), (Models{"a b"}));
}

TEST(Grounder, UndefinedArithmeticDropsInstancesWithALocatedInfo) {
    Grounded g;
    ground(g, "p(0..2). q(6/X) :- p(X). r(X+a) :- p(X). s(2**40) :- p(1).");
    ASSERT_EQ(g.error, "");
    EXPECT_EQ(g.facts(), (std::set<std::string>{"p(0)", "p(1)", "p(2)", "q(6)", "q(3)"}));
    std::string infos = g.infos();
    EXPECT_NE(infos.find("<string>:1:12-15: info: operation undefined: (6/X)"), std::string::npos) << infos;
    EXPECT_NE(infos.find("operation undefined: (X+a)"), std::string::npos) << infos;
    // Reported once per location, not once per instance: three in all.
    EXPECT_EQ(std::count(infos.begin(), infos.end(), '\n'), 2) << infos;
}

TEST(Grounder, LaterStepsAppendAndKeepAtomNumbers) {
    Input::Messages messages;
    Input::Program program;
    for (auto const& st :
         Input::parse_statements("#program base. a. {b}.\n#program step(k). c(k) :- b. d :- c(1).", messages))
        program.add(st);
    ASSERT_TRUE(messages.empty()) << messages.text();
    Ground::Logger logger;
    Ground::Grounder grounder{logger};
    Ground::GroundProgram out;
    Ground::Part base{"base", {}};
    grounder.ground(program, std::span<Ground::Part const>{&base, 1}, {}, out);
    size_t rules = out.rules.size();
    uint32_t atoms = out.num_atoms();
    Ground::Part step{"step", {Symbols::Symbol::create_number(1)}};
    grounder.ground(program, std::span<Ground::Part const>{&step, 1}, {}, out);
    EXPECT_GT(out.rules.size(), rules);
    EXPECT_GT(out.num_atoms(), atoms);
    std::string text = Ground::print_text(out);
    EXPECT_NE(text.find("c(1) :- b."), std::string::npos) << text;
    EXPECT_NE(text.find("d :- c(1)."), std::string::npos) << text;
    Ground::Part wrong{"step", {}};
    EXPECT_THROW(grounder.ground(program, std::span<Ground::Part const>{&wrong, 1}, {}, out),
                 Ground::GroundError);
}
