// Aggregates, choice bounds and conditional literals, checked through the
// stable models of the ground program against models computed directly.
#include "ground_test_util.hpp"

#include <algorithm>
#include <functional>
#include <vector>

using namespace GroundTest;

namespace {

// Expected models of a program that chooses any subset of p(1..n): the model
// of each subset, given by the shown atoms it derives besides the p's.
Models expected(int n, std::function<std::vector<std::string>(std::vector<int> const&)> const& derived) {
    Models out;
    for (int mask = 0; mask < (1 << n); ++mask) {
        std::vector<int> chosen;
        std::vector<std::string> atoms;
        for (int i = 1; i <= n; ++i)
            if (mask & (1 << (i - 1))) {
                chosen.push_back(i);
                atoms.push_back("p(" + std::to_string(i) + ")");
            }
        for (auto& a : derived(chosen))
            atoms.push_back(a);
        std::sort(atoms.begin(), atoms.end());
        std::string m;
        for (auto const& a : atoms)
            m += (m.empty() ? "" : " ") + a;
        out.insert(m);
    }
    return out;
}

} // namespace

TEST(AggregateGrounding, CountWithGuardsOnEitherSide) {
    auto got = models("{p(1..3)}.\n"
                      "a :- 2 <= #count{X : p(X)}.\n"
                      "b :- #count{X : p(X)} < 2.\n"
                      "c :- 1 < #count{X : p(X)} <= 2.\n"
                      "d :- #count{X : p(X)} != 1.\n"
                      "e :- not 2 <= #count{X : p(X)}.\n"
                      "f(N) :- N = #count{1 : p(X)}.\n");
    auto want = expected(3, [](std::vector<int> const& s) {
        std::vector<std::string> out;
        size_t k = s.size();
        if (k >= 2) out.push_back("a");
        if (k < 2) out.push_back("b");
        if (k == 2) out.push_back("c");
        if (k != 1) out.push_back("d");
        if (k < 2) out.push_back("e");
        out.push_back(k == 0 ? "f(0)" : "f(1)"); // tuples are a set: 1 counts once
        return out;
    });
    EXPECT_EQ(got, want);
}

TEST(AggregateGrounding, GuardsOfTheSameDirectionBothHold) {
    auto got = models("{p(1..3)}.\n"
                      "a :- 3 <= #count{X : p(X)} >= 1.\n"
                      "b :- 1 = #count{X : p(X)} >= 0.\n"
                      "c :- 1 != #count{X : p(X)} != 2.\n"
                      "d :- 2 > #sum{X : p(X)} <= 3.\n");
    auto want = expected(3, [](std::vector<int> const& s) {
        std::vector<std::string> out;
        size_t k = s.size();
        int sum = 0;
        for (int x : s) sum += x;
        if (k >= 3) out.push_back("a");
        if (k == 1) out.push_back("b");
        if (k != 1 && k != 2) out.push_back("c");
        if (sum < 2) out.push_back("d");
        return out;
    });
    EXPECT_EQ(got, want);
}

TEST(AggregateGrounding, SumsWithNegativeWeightsAndSumPlus) {
    auto got = models("{p(1..3)}.\n"
                      "s(S) :- S = #sum{X-2,X : p(X)}.\n"
                      "t(S) :- S = #sum+{X-2,X : p(X)}.\n"
                      "lo :- #sum{X-2,X : p(X)} >= 0.\n"
                      "mid :- -1 < #sum{X-2,X : p(X)} < 1.\n");
    auto want = expected(3, [](std::vector<int> const& s) {
        int sum = 0, plus = 0;
        for (int x : s) {
            sum += x - 2;
            plus += std::max(0, x - 2);
        }
        std::vector<std::string> out{"s(" + std::to_string(sum) + ")", "t(" + std::to_string(plus) + ")"};
        if (sum >= 0) out.push_back("lo");
        if (sum == 0) out.push_back("mid");
        return out;
    });
    EXPECT_EQ(got, want);
}

TEST(AggregateGrounding, MinAndMaxIncludingTheEmptySet) {
    auto got = models("{p(1..3)}.\n"
                      "mn(M) :- M = #min{X : p(X)}.\n"
                      "mx(M) :- M = #max{X : p(X)}.\n"
                      "small :- #min{X : p(X)} <= 1.\n"
                      "big :- 3 <= #max{X : p(X)}.\n"
                      "two :- 2 <= #max{X : p(X)} <= 2.\n"
                      "high :- #min{X : p(X)} > 1.\n");
    auto want = expected(3, [](std::vector<int> const& s) {
        std::vector<std::string> out;
        // The minimum of nothing is #sup, the maximum #inf.
        out.push_back(s.empty() ? "mn(#sup)" : "mn(" + std::to_string(s.front()) + ")");
        out.push_back(s.empty() ? "mx(#inf)" : "mx(" + std::to_string(s.back()) + ")");
        if (!s.empty() && s.front() <= 1) out.push_back("small");
        if (!s.empty() && s.back() >= 3) out.push_back("big");
        if (!s.empty() && s.back() == 2) out.push_back("two");
        if (s.empty() || s.front() > 1) out.push_back("high");
        return out;
    });
    EXPECT_EQ(got, want);
}

TEST(AggregateGrounding, FactElementsFoldIntoBounds) {
    // r(1), r(2) are facts: the aggregate is decided during grounding.
    Grounded g;
    ground(g, "r(1..2). {r(3)}. a :- 2 #count{X : r(X)}. b :- #sum{X : r(X)} > 5. c :- #max{X : r(X)} >= 2.");
    ASSERT_EQ(g.error, "");
    auto f = g.facts();
    EXPECT_TRUE(f.count("a"));
    EXPECT_TRUE(f.count("c"));
    EXPECT_FALSE(f.count("b"));
    EXPECT_EQ(models("r(1..2). {r(3)}. b :- #sum{X : r(X)} > 5. #show b/0. #show r/1."),
              (Models{"r(1) r(2)", "b r(1) r(2) r(3)"}));
}

TEST(AggregateGrounding, ChoiceBoundsAndConditions) {
    EXPECT_EQ(models("1 { a; b; c } 2."), (Models{"a", "b", "c", "a b", "a c", "b c"}));
    EXPECT_EQ(models("r(1..3). { q(X) : r(X) } = 1."),
              (Models{"q(1) r(1) r(2) r(3)", "q(2) r(1) r(2) r(3)", "q(3) r(1) r(2) r(3)"}));
    // Bounds with a body, and an element that is a fact counts as chosen.
    EXPECT_EQ(models("{go}. f. 2 { f; g; h } 2 :- go."), (Models{"f", "f g go", "f go h"}));
    EXPECT_EQ(models("a. 2 { a } :- a."), Models{});
}

TEST(AggregateGrounding, ConditionalLiteralsAreConjunctions) {
    auto got = models("{p(1..2)}. {q(1..2)}. ok :- q(X) : p(X). #show ok/0. #show p/1. #show q/1.");
    Models want;
    for (int p = 0; p < 4; ++p)
        for (int q = 0; q < 4; ++q) {
            std::vector<std::string> atoms;
            for (int i = 1; i <= 2; ++i) {
                if (p & (1 << (i - 1))) atoms.push_back("p(" + std::to_string(i) + ")");
                if (q & (1 << (i - 1))) atoms.push_back("q(" + std::to_string(i) + ")");
            }
            if ((p & q) == p) atoms.push_back("ok");
            std::sort(atoms.begin(), atoms.end());
            std::string m;
            for (auto const& a : atoms)
                m += (m.empty() ? "" : " ") + a;
            want.insert(m);
        }
    EXPECT_EQ(got, want);
}

TEST(AggregateGrounding, AggregatesOverRecursivePredicates) {
    // The aggregate reads the component being grounded: it is grounded once
    // the component is complete.
    EXPECT_EQ(models("n(1..3). p(1). p(X+1) :- p(X), n(X+1). c(N) :- N = #count{X : p(X)}. "
                     "full :- 3 <= #count{X : p(X)}, p(1). #show c/1. #show full/0."),
              (Models{"c(3) full"}));
}
