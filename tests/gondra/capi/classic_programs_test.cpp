// Classic programs solved end to end through the C interface, each with one
// and three threads; expected counts and optima are computed here by brute
// force wherever they are not common knowledge.
#include "solve_runner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using SolveRunner::Outcome;
using SolveRunner::solve;

std::vector<std::string> const thread_counts{"1", "3"};

Outcome enumerate(std::string const& program, std::string const& threads, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"-n", "0", "-t", threads};
    args.insert(args.end(), extra.begin(), extra.end());
    Outcome run = solve(program, args);
    EXPECT_TRUE(run.ok) << run.error << "\n" << program;
    return run;
}

void expect_distinct(Outcome const& run) {
    std::set<std::string> unique(run.models.begin(), run.models.end());
    EXPECT_EQ(unique.size(), run.models.size()) << "a model was reported twice";
}

char const* const queens = R"(
#const n = 8.
row(1..n). col(1..n).
1 { q(I,J) : col(J) } 1 :- row(I).
:- q(I,J), q(I2,J), I < I2.
:- q(I,J), q(I2,J2), I < I2, I2 - I = |J2 - J|.
#show q/2.
)";

TEST(ClassicPrograms, QueensCountAndConstantsFromTheCommandLine) {
    for (auto const& t : thread_counts) {
        Outcome eight = enumerate(queens, t);
        EXPECT_EQ(eight.models.size(), 92u) << "threads " << t;
        expect_distinct(eight);
        EXPECT_EQ(eight.result, unsigned{gondra_solve_result_satisfiable | gondra_solve_result_exhausted});
        // -c overrides the program's own definition.
        EXPECT_EQ(enumerate(queens, t, {"-c", "n=6"}).models.size(), 4u) << "threads " << t;
        EXPECT_EQ(enumerate(queens, t, {"-c", "n=5"}).models.size(), 10u) << "threads " << t;
        Outcome three = enumerate(queens, t, {"-c", "n=3"});
        EXPECT_TRUE(three.models.empty());
        EXPECT_EQ(three.result, unsigned{gondra_solve_result_unsatisfiable | gondra_solve_result_exhausted});
    }
}

// A small directed or undirected graph as facts, drawn from a seed.
std::vector<std::pair<int, int>> random_edges(int nodes, double density, unsigned seed, bool directed) {
    std::mt19937 rng(seed);
    std::bernoulli_distribution take(density);
    std::vector<std::pair<int, int>> edges;
    for (int a = 1; a <= nodes; ++a) {
        for (int b = directed ? 1 : a + 1; b <= nodes; ++b) {
            if (a != b && take(rng)) edges.emplace_back(a, b);
        }
    }
    return edges;
}

std::string edge_facts(std::vector<std::pair<int, int>> const& edges) {
    std::string out;
    for (auto [a, b] : edges) out += "edge(" + std::to_string(a) + "," + std::to_string(b) + "). ";
    return out;
}

TEST(ClassicPrograms, GraphColouringMatchesBruteForce) {
    int const nodes = 6;
    for (unsigned seed : {1u, 2u, 3u}) {
        auto edges = random_edges(nodes, 0.5, seed, false);
        size_t expected = 0;
        std::vector<int> colour(nodes + 1, 0);
        for (int code = 0; code < 729; ++code) { // 3^6 colourings
            for (int n = 1, c = code; n <= nodes; ++n, c /= 3) colour[n] = c % 3;
            bool proper = std::all_of(edges.begin(), edges.end(),
                                      [&](auto e) { return colour[e.first] != colour[e.second]; });
            expected += proper ? 1 : 0;
        }
        std::string program = "node(1..6). col(r;g;b). " + edge_facts(edges) +
                              "1 { c(N,C) : col(C) } 1 :- node(N)."
                              ":- edge(N,M), c(N,C), c(M,C). #show c/2.";
        for (auto const& t : thread_counts) {
            Outcome run = enumerate(program, t);
            EXPECT_EQ(run.models.size(), expected) << "seed " << seed << " threads " << t;
            expect_distinct(run);
        }
    }
}

TEST(ClassicPrograms, HamiltonianCyclesOfNonTightEncodingMatchPermutations) {
    int const nodes = 6;
    for (unsigned seed : {4u, 5u, 6u, 7u}) {
        auto edges = random_edges(nodes, 0.6, seed, true);
        std::set<std::pair<int, int>> edge_set(edges.begin(), edges.end());
        // Every cycle through all nodes is one permutation of 2..n after 1.
        std::vector<int> rest{2, 3, 4, 5, 6};
        size_t expected = 0;
        do {
            int at = 1;
            bool cycle = true;
            for (int next : rest) {
                cycle = cycle && edge_set.count({at, next}) > 0;
                at = next;
            }
            expected += cycle && edge_set.count({at, 1}) > 0 ? 1 : 0;
        } while (std::next_permutation(rest.begin(), rest.end()));
        std::string program = "node(1..6). " + edge_facts(edges) +
                              "1 { in(X,Y) : edge(X,Y) } 1 :- node(X)."
                              "1 { in(X,Y) : edge(X,Y) } 1 :- node(Y)."
                              "reach(1). reach(Y) :- reach(X), in(X,Y)."
                              ":- node(X), not reach(X). #show in/2.";
        for (auto const& t : thread_counts) {
            Outcome run = enumerate(program, t);
            EXPECT_EQ(run.models.size(), expected) << "seed " << seed << " threads " << t;
            expect_distinct(run);
        }
    }
}

TEST(ClassicPrograms, ChoiceBounds) {
    struct Case {
        char const* program;
        size_t models;
    };
    // C(4,2)+C(4,3); subsets of size <= 1; impossible lower bound; bounds
    // only when the body holds; conditional elements.
    std::vector<Case> cases{{"2 { a; b; c; d } 3.", 10},
                            {"{ a; b; c } 1.", 4},
                            {"3 { a; b }.", 0},
                            {"{ x }. 2 { a; b; c } :- x.", 1 + 4},
                            {"d(1..4). 1 { p(X) : d(X), X > 1 } 2.", 3 + 3},
                            {"{ a; b; c } = 2.", 3}};
    for (auto const& t : thread_counts) {
        for (auto const& c : cases) {
            Outcome run = enumerate(c.program, t);
            EXPECT_EQ(run.models.size(), c.models) << c.program << " threads " << t;
            expect_distinct(run);
        }
    }
}

// Models of "{ p(1..4) }. ok :- AGG." are all 16 subsets, ok exactly where
// the aggregate holds.
struct AggregateCase {
    char const* body;
    std::function<bool(std::vector<int> const&)> holds;
};

int64_t sum_of(std::vector<int> const& s, std::function<int64_t(int)> const& w) {
    int64_t total = 0;
    for (int x : s) total += w(x);
    return total;
}

TEST(ClassicPrograms, AggregatesInBodiesMatchTheirDefinition) {
    auto count = [](auto const& s) { return static_cast<int64_t>(s.size()); };
    auto min = [](auto const& s) { return s.empty() ? INT64_MAX : *std::min_element(s.begin(), s.end()); };
    auto max = [](auto const& s) { return s.empty() ? INT64_MIN : *std::max_element(s.begin(), s.end()); };
    std::vector<AggregateCase> cases{
        {"2 <= #count { X : p(X) }", [&](auto const& s) { return count(s) >= 2; }},
        {"1 < #count { X : p(X) } <= 3", [&](auto const& s) { return count(s) > 1 && count(s) <= 3; }},
        {"#count { X : p(X) } != 2", [&](auto const& s) { return count(s) != 2; }},
        {"#count { 1 : p(X) } = 1", [&](auto const& s) { return !s.empty(); }},
        {"#sum { X : p(X) } = 5", [](auto const& s) { return sum_of(s, [](int x) { return x; }) == 5; }},
        // weights -3,-1,1,3: non-monotone
        {"-1 <= #sum { 2*X-5,X : p(X) } <= 1",
         [](auto const& s) {
             auto v = sum_of(s, [](int x) { return 2 * x - 5; });
             return v >= -1 && v <= 1;
         }},
        {"#sum { X-3,X : p(X) } < -1", [](auto const& s) { return sum_of(s, [](int x) { return x - 3; }) < -1; }},
        {"#sum+ { X-2,X : p(X) } >= 2",
         [](auto const& s) { return sum_of(s, [](int x) { return std::max(0, x - 2); }) >= 2; }},
        // tuples are a set: both elements contribute the tuple (1) once
        {"#sum { 1 : p(1); 1 : p(2) } = 1", [](auto const& s) { return !s.empty() && s[0] <= 2; }},
        {"2 = #min { X : p(X) }", [&](auto const& s) { return min(s) == 2; }},
        {"#min { X : p(X) } > 2", [&](auto const& s) { return min(s) > 2; }}, // empty: #sup
        {"#max { X : p(X) } < 3", [&](auto const& s) { return max(s) < 3; }}, // empty: #inf
        {"2 < #max { X : p(X) } != 4", [&](auto const& s) { return max(s) > 2 && max(s) != 4; }},
        // two guards bounding from the same side, or "=" beside a bound
        {"3 <= #count { X : p(X) } >= 1", [&](auto const& s) { return count(s) >= 3; }},
        {"1 = #count { X : p(X) } >= 0", [&](auto const& s) { return count(s) == 1; }},
        {"4 > #sum { X : p(X) } > 1", [](auto const& s) {
             auto v = sum_of(s, [](int x) { return x; });
             return v > 1 && v < 4;
         }},
        {"not #count { X : p(X) } > 1", [&](auto const& s) { return !(count(s) > 1); }},
        {"#count { X : p(X), not p(X+1) } = 2",
         [](auto const& s) {
             int blocks = 0;
             for (int x : s) blocks += std::find(s.begin(), s.end(), x + 1) == s.end() ? 1 : 0;
             return blocks == 2;
         }},
    };
    for (auto const& c : cases) {
        std::vector<std::string> expected;
        for (int mask = 0; mask < 16; ++mask) {
            std::vector<int> subset;
            std::vector<std::string> names;
            for (int x = 1; x <= 4; ++x) {
                if ((mask >> (x - 1)) & 1) {
                    subset.push_back(x);
                    names.push_back("p(" + std::to_string(x) + ")");
                }
            }
            if (c.holds(subset)) names.push_back("ok");
            expected.push_back(SolveRunner::join_sorted(names));
        }
        std::string program = std::string("{ p(1..4) }. ok :- ") + c.body + ".";
        for (auto const& t : thread_counts) {
            Outcome run = enumerate(program, t);
            EXPECT_EQ(SolveRunner::sorted(run.models), SolveRunner::sorted(expected)) << program << " threads " << t;
        }
    }
    // Aggregates in integrity constraints prune models.
    for (auto const& t : thread_counts) {
        EXPECT_EQ(enumerate("{ p(1..4) }. :- #count { X : p(X) } > 2.", t).models.size(), 11u);
        EXPECT_EQ(enumerate("{ p(1..4) }. :- not 4 <= #sum { X : p(X) } <= 5.", t).models.size(), 4u);
    }
}

// Brute force of a small optimisation problem over atoms a..d.
struct WeakTerm {
    std::vector<int> atoms; // 0..3 = a..d, negative: "not" of atom -x-1
    int64_t weight;
    int priority;
    std::string tag; // equal tags at equal weight and priority count once
};

TEST(ClassicPrograms, WeakConstraintsWithPrioritiesReachTheOptimum) {
    std::vector<WeakTerm> terms{{{0}, 3, 1, "a"},     {{1}, 2, 1, "b"},      {{2, 1}, -4, 1, "cb"},
                                {{-4}, 1, 2, "nd"},   {{0, 1}, 1, 0, "x"},   {{2}, 1, 0, "x"},
                                {{3}, 2, 2, "d"},     {{-1, -3}, 5, 1, "e"}};
    std::string program = "{ a; b; c; d }. :- not a, not b.\n";
    char const* names[] = {"a", "b", "c", "d"};
    for (auto const& w : terms) {
        program += ":~ ";
        for (size_t i = 0; i < w.atoms.size(); ++i) {
            int a = w.atoms[i];
            program += (i > 0 ? ", " : "") + std::string(a < 0 ? "not " : "") + names[a < 0 ? -a - 1 : a];
        }
        program += ". [" + std::to_string(w.weight) + "@" + std::to_string(w.priority) + "," + w.tag + "]\n";
    }
    std::vector<int64_t> best;
    for (int mask = 0; mask < 16; ++mask) {
        if ((mask & 3) == 0) continue;
        std::vector<int64_t> cost(3, 0); // priorities 2, 1, 0
        std::set<std::tuple<int64_t, int, std::string>> counted;
        for (auto const& w : terms) {
            bool holds = std::all_of(w.atoms.begin(), w.atoms.end(), [&](int a) {
                return a >= 0 ? ((mask >> a) & 1) != 0 : ((mask >> (-a - 1)) & 1) == 0;
            });
            if (holds && counted.emplace(w.weight, w.priority, w.tag).second) cost[2 - w.priority] += w.weight;
        }
        if (best.empty() || cost < best) best = cost;
    }
    for (auto const& t : thread_counts) {
        Outcome run = solve(program, {"-t", t});
        ASSERT_TRUE(run.ok) << run.error;
        ASSERT_FALSE(run.costs.empty());
        EXPECT_EQ(run.costs.back(), best) << "threads " << t;
        EXPECT_EQ(run.result, unsigned{gondra_solve_result_satisfiable | gondra_solve_result_exhausted});
        // Costs decrease until the optimum is proven; no model is reported twice.
        for (size_t i = 1; i < run.costs.size(); ++i) EXPECT_LT(run.costs[i], run.costs[i - 1]);
    }
    for (auto const& t : thread_counts) {
        Outcome run = solve("{ a; b; c }. :- a, b. #maximize { 2,a : a; 3,b : b; 1,c : c }.", {"-t", t});
        ASSERT_TRUE(run.ok) << run.error;
        ASSERT_FALSE(run.models.empty());
        EXPECT_EQ(run.models.back(), "b c");
        EXPECT_EQ(run.costs.back(), std::vector<int64_t>{-4});
    }
}

TEST(ClassicPrograms, ClassicalNegationAndShownTerms) {
    for (auto const& t : thread_counts) {
        EXPECT_EQ(SolveRunner::sorted(enumerate("{ a }. -a :- not a. p :- -a.", t).models),
                  (std::vector<std::string>{"-a p", "a"}));
        Outcome clash = enumerate("-b. b :- not c. { c }.", t);
        EXPECT_EQ(clash.models, (std::vector<std::string>{"-b c"}));
        EXPECT_EQ(enumerate("{ r(1..3) }. -q(1..2). q(X) :- r(X).", t).models.size(), 2u);
        Outcome terms = enumerate("p(1..3). { s }. #show. #show X+1 : p(X), X > 1. #show (a,b) : s.", t);
        EXPECT_EQ(SolveRunner::sorted(terms.models), (std::vector<std::string>{"(a,b) 3 4", "3 4"}));
        Outcome mixed = enumerate("{ p(1..2) }. #show p/1. #show f(X) : p(X).", t);
        EXPECT_EQ(SolveRunner::sorted(mixed.models),
                  (std::vector<std::string>{"", "f(1) f(2) p(1) p(2)", "f(1) p(1)", "f(2) p(2)"}));
    }
}

TEST(ClassicPrograms, ExternalsFollowTheirAssignedValues) {
    char const* program = "#external e. a :- e. b :- not e.";
    auto with = [&](std::string const& threads, std::function<void(gondra_control_t*)> const& assign) {
        Outcome run = solve(program, {"-n", "0", "-t", threads}, assign);
        EXPECT_TRUE(run.ok) << run.error;
        return SolveRunner::sorted(run.models);
    };
    for (auto const& t : thread_counts) {
        // The external is the program's first atom.
        EXPECT_EQ(with(t, {}), (std::vector<std::string>{"b"}));
        EXPECT_EQ(with(t, [](gondra_control_t* c) { ASSERT_TRUE(gondra_control_assign_external(c, 1, 1)); }),
                  (std::vector<std::string>{"a e"}));
        EXPECT_EQ(with(t, [](gondra_control_t* c) { ASSERT_TRUE(gondra_control_assign_external(c, -1, -1)); }),
                  (std::vector<std::string>{"a e"}));
        EXPECT_EQ(with(t, [](gondra_control_t* c) { ASSERT_TRUE(gondra_control_assign_external(c, 1, 0)); }),
                  (std::vector<std::string>{"a e", "b"}));
        EXPECT_EQ(with(t,
                       [](gondra_control_t* c) {
                           ASSERT_TRUE(gondra_control_assign_external(c, 1, 0));
                           ASSERT_TRUE(gondra_control_release_external(c, 1));
                       }),
                  (std::vector<std::string>{"b"}));
    }
}

} // namespace
