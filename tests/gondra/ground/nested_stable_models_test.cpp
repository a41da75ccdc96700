// Stable models of programs with nested constructs, end to end (text, parse,
// ground, translate, solve with one and two threads) against the
// brute-force checker, plus the cases that once went wrong.
#include "brute_force_stable.hpp"
#include "ground/grounder.hpp"
#include "ground/program_translator.hpp"
#include "input/parser.hpp"
#include "input/program.hpp"
#include "nested_random_program.hpp"
#include "solve/solver_set.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

namespace Gondra::Ground {
namespace {

using namespace Testing;
using ModelSet = std::set<std::string>;

std::string join(std::set<std::string> const& atoms) {
    std::string out;
    for (auto const& a : atoms) out += (out.empty() ? "" : " ") + a;
    return out;
}

struct HostAnswer {
    std::string error; // grounding or translation errors
    ModelSet models;
    size_t reported = 0; // models reported, repeats included
};

// All stable models of the text, as their shown atoms.
HostAnswer host_models(std::string const& text, uint32_t threads) {
    HostAnswer out;
    Input::Messages messages;
    Input::Program program;
    for (auto const& st : Input::parse_statements(text, messages)) program.add(st);
    if (!messages.empty()) {
        out.error = messages.text();
        return out;
    }
    Logger logger;
    GroundProgram ground;
    Grounder grounder{logger};
    Part base{"base", {}};
    Solve::SolverSet set;
    ProgramTranslator translator;
    try {
        grounder.ground(program, std::span<Part const>{&base, 1}, {}, ground);
        translator.translate(ground, set);
    } catch (std::exception const& e) {
        out.error = e.what();
        return out;
    }
    Solve::SolveOptions options;
    options.models = 0;
    options.threads = threads;
    translator.external_assumptions(options.assumptions);
    auto summary = set.solve(options, [&](Solve::Model const& m) {
        std::set<std::string> shown;
        for (auto s : translator.shown_symbols(m)) shown.insert(s.to_string());
        out.models.insert(join(shown));
        ++out.reported;
        return true;
    });
    if (summary.status == Solve::SolveStatus::error) out.error = summary.failure.message;
    return out;
}

ModelSet expected_models(RandomProgram const& p) {
    ModelSet out;
    for (Interpretation m : brute_force_stable_models(p.rules, static_cast<uint32_t>(p.atoms.size()))) {
        std::set<std::string> atoms;
        for (uint32_t a = 0; a < p.atoms.size(); ++a)
            if (((m >> a) & 1u) && !p.atoms[a].empty()) atoms.insert(p.atoms[a]);
        out.insert(join(atoms));
    }
    return out;
}

// The number of random programs; GONDRA_NESTED_PROGRAMS raises it for longer
// local runs.
uint32_t program_count() {
    char const* env = std::getenv("GONDRA_NESTED_PROGRAMS");
    return env != nullptr ? static_cast<uint32_t>(std::strtoul(env, nullptr, 10)) : 1000;
}

TEST(NestedStableModels, RandomProgramsHaveTheBruteForceModels) {
    uint32_t count = program_count();
    uint32_t with_models = 0;
    for (uint32_t seed = 1; seed <= count; ++seed) {
        NestedGenerator gen(seed);
        RandomProgram p = gen.make();
        ModelSet expected = expected_models(p);
        with_models += expected.empty() ? 0 : 1;
        for (uint32_t threads : {1u, 2u}) {
            HostAnswer got = host_models(p.text, threads);
            ASSERT_EQ(got.error, "") << "seed " << seed << "\n" << p.text;
            ASSERT_EQ(got.models, expected) << "seed " << seed << ", " << threads << " threads\n" << p.text;
            ASSERT_EQ(got.reported, got.models.size()) << "a model was reported twice, seed " << seed << "\n"
                                                       << p.text;
        }
    }
    // Both satisfiable and unsatisfiable programs must occur in numbers.
    EXPECT_GT(with_models, count / 4);
    EXPECT_LT(with_models, count - count / 10);
}

ModelSet models_of(std::string const& text) {
    HostAnswer one = host_models(text, 1);
    EXPECT_EQ(one.error, "") << text;
    HostAnswer two = host_models(text, 2);
    EXPECT_EQ(two.models, one.models) << text;
    return one.models;
}

TEST(NestedStableModels, DoubleNegationGivesNoSupport) {
    EXPECT_EQ(models_of("c :- #count{ 3 : not c; z : c } < 2."), (ModelSet{"c"}));
    EXPECT_EQ(models_of("a :- c : not a."), (ModelSet{"", "a"}));
    EXPECT_EQ(models_of("a :- not not #count{1:a} >= 1."), (ModelSet{"", "a"}));
    // Head-cycle-free: a's condition reads d only through double negation.
    EXPECT_EQ(models_of("a :- c : not d. b ; c. c ; d :- a."), (ModelSet{"a b d", "a c", "b"}));
    EXPECT_EQ(models_of("a :- not not a."), (ModelSet{"", "a"}));
    EXPECT_EQ(models_of("a :- #sum{ -1 : not a } >= 0."), (ModelSet{"", "a"}));
}

TEST(NestedStableModels, ConditionsDependingOnTheirRule) {
    EXPECT_EQ(models_of("a :- a : a."), (ModelSet{"a"}));
    EXPECT_EQ(models_of("{ b } :- c. c :- b : b."), (ModelSet{"c", "b c"}));
    // b -> a holds without b, and a does not derive itself through it.
    EXPECT_EQ(models_of("{ b }. a :- a : b."), (ModelSet{"a", "b"}));
    EXPECT_EQ(models_of("{ a : b; b }."), (ModelSet{"", "b", "a b"}));
    EXPECT_EQ(models_of("p(1). q(X) : p(X) :- r. r :- q(1). { r }."), (ModelSet{"p(1)", "p(1) q(1) r"}));
    EXPECT_EQ(models_of("a : b ; b :- a. a :- b."), (ModelSet{""}));
    // A condition must hold apart from its element; a true element
    // satisfies the disjunction whatever made it true.
    EXPECT_EQ(models_of("a ; c : c :- b. b."), (ModelSet{"a b"}));
    EXPECT_EQ(models_of("{ c }. b :- c. a ; b : c."), (ModelSet{"a", "b c"}));
}

TEST(NestedStableModels, NonMonotoneRecursiveAggregates) {
    EXPECT_EQ(models_of("d :- 0 != #count{ 3 : d }."), (ModelSet{""}));
    EXPECT_EQ(models_of("a :- #sum{ -2,z : a; 2 : a } >= 0."), (ModelSet{"a"}));
    // {b} is smaller than {a, b} and falsifies the sum.
    EXPECT_EQ(models_of("a :- #sum{ 1 : a; -1 : b } >= 0. b :- a."), ModelSet{});
    EXPECT_EQ(models_of("{ b }. a :- #count{ 1 : a; 2 : b } != 1."), (ModelSet{"b"}));
    EXPECT_EQ(models_of("a :- #min{ 1 : a; 2 : b } != 2. { b }."), (ModelSet{"a", "b"}));
}

TEST(NestedStableModels, AssignedAggregateVariablesCanBeUsedAgain) {
    EXPECT_EQ(models_of("p(1). r(N) :- N = #count{X : p(X)}, N < 3."), (ModelSet{"p(1) r(1)"}));
    EXPECT_EQ(models_of("p(1..3). r(N) :- N = #count{X : p(X)}, N < 3."), (ModelSet{"p(1) p(2) p(3)"}));
    EXPECT_EQ(models_of("p(1;2). r(N, M) :- N = #sum{X : p(X)}, M = N + 1."), (ModelSet{"p(1) p(2) r(3,4)"}));
}

TEST(NestedStableModels, HeadCyclesAreSolvedExactly) {
    EXPECT_EQ(models_of("a ; b. a :- b. b :- a."), (ModelSet{"a b"}));
    EXPECT_EQ(models_of("a ; b ; c. a :- b. b :- a. c :- a, b."), (ModelSet{"c"}));
}

} // namespace
} // namespace Gondra::Ground
