// Heads, directives, negation and intervals: the ground program's stable
// models and, where the form matters, its text.
#include "ground_test_util.hpp"

#include <algorithm>

using namespace GroundTest;

namespace {

size_t count_lines(std::string const& text, std::string const& line) {
    size_t n = 0;
    for (size_t pos = 0; (pos = text.find(line, pos)) != std::string::npos; pos += line.size())
        n += pos == 0 || text[pos - 1] == '\n';
    return n;
}

} // namespace

TEST(LanguageGrounding, DisjunctionsAreMinimal) {
    EXPECT_EQ(models("a ; b. c ; d :- a."), (Models{"a c", "a d", "b"}));
    EXPECT_EQ(models("r(1..2). p(X) : r(X) ; z."),
              (Models{"p(1) r(1) r(2)", "p(2) r(1) r(2)", "r(1) r(2) z"}));
    // A fact in the head satisfies the disjunction: nothing else is derived.
    EXPECT_EQ(models("a. a ; b."), (Models{"a"}));
}

TEST(LanguageGrounding, WeakConstraintsFollowPrioritiesAndTuples) {
    std::vector<int64_t> cost;
    // Priority 2 rules out b; at priority 1, c (2) beats a (3).
    EXPECT_EQ(models("1 {a; b; c}. :~ a. [3@1] :~ b. [2@1,x] :~ c. [2@1,x] :~ b. [1@2]", &cost),
              (Models{"c"}));
    EXPECT_EQ(cost, (std::vector<int64_t>{0, 2}));
    // Equal tuples count once: b and c together still cost 2.
    EXPECT_EQ(models("b. c. :~ b. [2@1,x] :~ c. [2@1,x]", &cost), (Models{"b c"}));
    EXPECT_EQ(cost, (std::vector<int64_t>{2}));
    // Different tuples (the variable differs) count separately.
    EXPECT_EQ(models("p(1..2). :~ p(X). [1@1,X]", &cost), (Models{"p(1) p(2)"}));
    EXPECT_EQ(cost, (std::vector<int64_t>{2}));
    EXPECT_EQ(models("{x(1..3)}. #maximize{X : x(X)}. :- x(3), x(2).", &cost), (Models{"x(1) x(3)"}));
    EXPECT_EQ(cost, (std::vector<int64_t>{-4}));
}

TEST(LanguageGrounding, ShowDirectives) {
    EXPECT_EQ(models("{p(1..2)}. #show. #show f(X) : p(X). #show c."),
              (Models{"c", "c f(1)", "c f(2)", "c f(1) f(2)"}));
    EXPECT_EQ(models("a. b. c(1). #show b/0. #show c/1."), (Models{"b c(1)"}));
    Grounded g;
    ground(g, "{p}. #show t : p.");
    ASSERT_EQ(g.error, "");
    ASSERT_EQ(g.program.show_terms.size(), 1u);
    EXPECT_EQ(g.program.condition(g.program.show_terms[0]).size(), 1u);
}

TEST(LanguageGrounding, ExternalsAndDefined) {
    Grounded g;
    ground(g, "r(1..2). #external e(X) : r(X). a :- e(1). #external r(1).");
    ASSERT_EQ(g.error, "");
    // r(1) is a fact, so it is not external.
    EXPECT_EQ(g.program.externals.size(), 2u) << g.text();
    EXPECT_EQ(g.infos(), "");
    // Externals are false unless assigned.
    EXPECT_EQ(models("#external e. a :- e. b :- not e."), (Models{"b"}));

    Grounded undefined;
    ground(undefined, "a :- not q(1).");
    EXPECT_NE(undefined.infos().find("<string>:1:6-14: info: atom does not occur in any rule head: q(1)"),
              std::string::npos)
        << undefined.infos();
    Grounded defined;
    ground(defined, "#defined q/1. a :- not q(1).");
    EXPECT_EQ(defined.infos(), "");
}

TEST(LanguageGrounding, ClassicalNegation) {
    EXPECT_EQ(models("{q}. p :- q. -p :- not p."), (Models{"-p", "p q"}));
    EXPECT_EQ(models("p. -p."), Models{});
    // -p(1) and p(2) are unrelated.
    EXPECT_EQ(models("-p(1). p(2). r(X) :- -p(X)."), (Models{"-p(1) p(2) r(1)"}));
}

TEST(LanguageGrounding, IntervalsInBodyLiteralsAreConjunctions) {
    auto got = models("{p(1..3)}. none :- not p(1..3). all :- p(1..3). #show none/0. #show all/0.");
    // none only for the empty choice, all only for the full one.
    EXPECT_EQ(got, (Models{"none", "", "all"}));
    // Forbids p(1) and p(2) both being false.
    EXPECT_EQ(models("{p(1..3)}. :- not p(1..2). #show p/1."),
              (Models{"p(1)", "p(2)", "p(1) p(2)", "p(1) p(3)", "p(2) p(3)", "p(1) p(2) p(3)"}));
    // The other variables are bound by the literal itself.
    EXPECT_EQ(models("t(a,1). t(a,2). t(b,1). s(X) :- t(X,1..2). #show s/1."), (Models{"s(a)"}));
    EXPECT_EQ(models("r(2). q(1..4). s(X) :- r(X), q(X-1..X+1). #show s/1."), (Models{"s(2)"}));
    // Heads and comparisons keep one instance per value.
    EXPECT_EQ(models("p(1..2). q(X) :- X = 1..2. #show p/1. #show q/1."), (Models{"p(1) p(2) q(1) q(2)"}));
    // An empty interval makes an empty conjunction.
    EXPECT_EQ(models("a :- p(3..1). #show a/0."), (Models{"a"}));
}

TEST(LanguageGrounding, RepeatedRuleInstancesAreDropped) {
    Grounded g;
    ground(g, "{b}. r(1..3). a :- r(X), b. :- r(X), not b, a. c :- r(X), b, b.");
    ASSERT_EQ(g.error, "");
    std::string text = g.text();
    EXPECT_EQ(count_lines(text, "a :- b."), 1u) << text;
    EXPECT_EQ(count_lines(text, "c :- b."), 1u) << text;
    EXPECT_EQ(count_lines(text, ":- not b, a."), 1u) << text;
    // Across statements, also when a fact literal was dropped from one.
    Grounded across;
    ground(across, "r(1). {p(1..2)}. {q}. a :- p(X), q. a :- q, p(X). b :- p(X). b :- p(X), r(X).");
    ASSERT_EQ(across.error, "");
    text = across.text();
    EXPECT_EQ(count_lines(text, "a :- p(1), q."), 1u) << text;
    EXPECT_EQ(count_lines(text, "a :- p(2), q."), 1u) << text;
    EXPECT_EQ(count_lines(text, "b :- p(1)."), 1u) << text;
    // A body with an atom and its negation never holds.
    Grounded h;
    ground(h, "{b}. a :- b, not b.");
    EXPECT_EQ(h.text().find("a :-"), std::string::npos) << h.text();
}

TEST(LanguageGrounding, SafetyErrorsAreLocated) {
    Grounded g;
    ground(g, "p(X) :- q.\n"
              "a :- #count{X : r(Y)} > 0.\n"
              ":- not p(X,1..2).\n"
              "b :- q(X) : r(Y).\n"
              "ok(N) :- N = #count{X : r(X)}.\n"
              "r(1). q.\n");
    EXPECT_NE(g.error.find("<string>:1:3-4: error: unsafe variable 'X'"), std::string::npos) << g.error;
    EXPECT_NE(g.error.find("<string>:2:13-14: error: unsafe variable 'X'"), std::string::npos) << g.error;
    EXPECT_NE(g.error.find("<string>:3:10-11: error: unsafe variable 'X'"), std::string::npos) << g.error;
    EXPECT_NE(g.error.find("<string>:4:8-9: error: unsafe variable 'X'"), std::string::npos) << g.error;
    EXPECT_EQ(g.error.find("<string>:5:"), std::string::npos) << g.error;
    EXPECT_EQ(std::count(g.error.begin(), g.error.end(), '\n'), 3) << g.error;
}

TEST(LanguageGrounding, AnonymousVariablesInNegativeLiteralsAreProjected) {
    // "not op(J,_)": no operation of J at all; the auxiliary atoms stay hidden.
    EXPECT_EQ(models("op(1,a). op(1,b). op(2,a). j(1..3).\n"
                     "#show idle/1. #show last/2. #show busy/1.\n"
                     "idle(J) :- j(J), not op(J,_).\n"
                     "last(J,K) :- op(J,K), not op(J+1,_), J < 3.\n"
                     "busy(J) :- j(J), not not op(J,_).\n"),
              (Models{"busy(1) busy(2) idle(3) last(2,a)"}));
    // The same variable twice, with a choice deciding the projected atom.
    EXPECT_EQ(models("{ p(1,1,x); p(1,2,y) }. #show q/1. q(X) :- X = 1..2, not p(X,X,_)."),
              (Models{"q(1) q(2)", "q(2)"}));
    // Anonymous variables inside a term of a negative literal stay unsafe.
    Grounded g;
    ground(g, "p(f(1)). a :- not p(f(_)).\n");
    EXPECT_NE(g.error.find("unsafe variable '_'"), std::string::npos) << g.error;
}

TEST(LanguageGrounding, EqualitiesAssignAsSoonAsTheirSideIsBound) {
    // Diagonal partners are computed, not searched: with the assignment the
    // join visits O(n^3) candidates; the counts show the result is right.
    Grounded g;
    ground(g, "#const n = 8.\n"
              "1 { q(X,Y) : Y = 1..n } 1 :- X = 1..n.\n"
              ":- q(X1,Y1), X2 = X1+1..n, Y2 = Y1 + X2 - X1, q(X2,Y2).\n"
              ":- q(X1,Y1), X2 = X1+1..n, Y2 = Y1 - X2 + X1, q(X2,Y2).\n");
    ASSERT_EQ(g.error, "");
    size_t constraints = 0;
    for (auto const& r : g.program.rules)
        constraints += g.program.head(r).empty() && r.body_type == Gondra::Ground::BodyType::normal &&
                       g.program.body(r).size() == 2;
    EXPECT_EQ(constraints, 280u); // 2 * sum_{d=1}^{7} (8-d)^2
    auto queens = models("#const n = 6.\n"
                         "1 { q(X,Y) : Y = 1..n } 1 :- X = 1..n.\n"
                         ":- q(X1,Y), q(X2,Y), X1 < X2.\n"
                         ":- q(X1,Y1), X2 = X1+1..n, Y2 = Y1 + X2 - X1, q(X2,Y2).\n"
                         ":- q(X1,Y1), X2 = X1+1..n, Y2 = Y1 - X2 + X1, q(X2,Y2).\n");
    EXPECT_EQ(queens.size(), 4u);
    EXPECT_TRUE(queens.count("q(1,2) q(2,4) q(3,6) q(4,1) q(5,3) q(6,5)"));
}

TEST(LanguageGrounding, RecursionThroughNegationAndChoices) {
    EXPECT_EQ(models("a :- not b. b :- not a."), (Models{"a", "b"}));
    EXPECT_EQ(models("n(1..4). {e(X,X+1) : n(X), n(X+1)}. p(X,Y) :- e(X,Y). p(X,Z) :- p(X,Y), e(Y,Z). "
                     ":- not p(1,4). #show p/2.")
                  .size(),
              1u);
}

TEST(LanguageGrounding, DisjunctionsShrinkingToOneAtomAreDuplicatesToo) {
    Grounded g;
    ground(g, "{p(1..2)}. r(1). a :- p(X). a ; b(Y) : r(Y), Y > 1 :- p(X).");
    ASSERT_EQ(g.error, "");
    std::string text = g.text();
    EXPECT_EQ(count_lines(text, "a :- p(1)."), 1u) << text;
    EXPECT_EQ(count_lines(text, "a :- p(2)."), 1u) << text;
}
