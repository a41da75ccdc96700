// Translating a ground program in two steps on one solver set: random
// programs are cut into a first part over the lower atoms and a second part
// whose rules define only the higher atoms; after each step the models equal
// the stable models of what was grounded so far, with the externals' values of
// that step, and a second step cannot give earlier atoms more rules.
#include "ground/ground_program.hpp"
#include "ground/program_translator.hpp"
#include "solve/solver_set.hpp"
#include "stable_random_program.hpp"

#include <gtest/gtest.h>

#include <mutex>
#include <set>

namespace Gondra::Ground {
namespace {

using namespace Testing;

bool within(Literal l, Atom limit) {
    return static_cast<Atom>(l < 0 ? -l : l) <= limit;
}

// The part of full's rules that belongs to step 1 (every atom up to split)
// or to step 2 (every head above split); other rules are left out.
struct Split {
    GroundProgram first;
    GroundProgram both;
};

void copy_rule(GroundProgram const& from, Rule const& r, GroundProgram& to) {
    auto head = from.head(r);
    std::vector<Atom> h(head.begin(), head.end());
    if (r.body_type == BodyType::normal) {
        std::vector<Literal> body;
        for (auto const& wl : from.body(r)) {
            body.push_back(wl.literal);
        }
        to.add_rule(r.head_type, h, body);
    } else {
        auto body = from.body(r);
        to.add_weight_rule(r.head_type, h, r.bound, std::vector<WeightLiteral>(body.begin(), body.end()));
    }
}

enum class Step { first, second, none };

Step step_of(GroundProgram const& p, Rule const& r, Atom split) {
    bool low = true;
    bool high_heads = true;
    for (Atom h : p.head(r)) {
        low = low && h <= split;
        high_heads = high_heads && h > split;
    }
    for (auto const& wl : p.body(r)) {
        low = low && within(wl.literal, split);
    }
    if (low) {
        return Step::first;
    }
    return high_heads && !p.head(r).empty() ? Step::second : Step::none;
}

std::set<Mask> solve(ProgramTranslator& translator, Solve::SolverSet& set, GroundProgram const& p, uint32_t threads) {
    translator.translate(p, set);
    Solve::SolveOptions options;
    options.threads = threads;
    options.models = 0;
    translator.external_assumptions(options.assumptions);
    std::set<Mask> models;
    std::mutex guard;
    auto summary = set.solve(options, [&](Solve::Model const& model) {
        Mask m = 0;
        for (Atom a = 1; a <= p.num_atoms(); ++a) {
            if (model.is_true(translator.solver_literal(static_cast<Literal>(a)))) {
                m |= Mask{1} << a;
            }
        }
        std::lock_guard<std::mutex> lock(guard);
        EXPECT_TRUE(models.insert(m).second) << "a model was reported twice";
        return true;
    });
    EXPECT_NE(summary.status, Solve::SolveStatus::error) << summary.failure.message;
    return models;
}

TEST(IncrementalTranslation, TwoStepsGiveTheStableModelsOfEachStep) {
    int compared = 0;
    for (uint32_t seed = 1; seed <= 600; ++seed) {
        GroundProgram full = Generator(seed).make(false);
        std::mt19937 rng(seed);
        Atom split = 1 + rng() % full.num_atoms();
        for (uint32_t threads : {1u, 3u}) {
            GroundProgram p;
            for (Atom a = 1; a <= split; ++a) {
                p.new_atom();
            }
            for (auto const& r : full.rules) {
                if (step_of(full, r, split) == Step::first) {
                    copy_rule(full, r, p);
                }
            }
            for (auto const& e : full.externals) {
                if (e.atom <= split) {
                    p.add_external(e.atom, e.value);
                }
            }
            // Each step checks its own translation, so a rejected program
            // (a head cycle) ends the round.
            ProgramTranslator translator;
            Solve::SolverSet set;
            std::set<Mask> first;
            try {
                first = solve(translator, set, p, threads);
            } catch (TranslateError const&) {
                continue;
            }
            ASSERT_EQ(first, Oracle(p).stable_models()) << "step 1, seed " << seed << " split " << split << "\n"
                                                        << describe(p);

            while (p.num_atoms() < full.num_atoms()) {
                p.new_atom();
            }
            for (auto const& r : full.rules) {
                if (step_of(full, r, split) == Step::second) {
                    copy_rule(full, r, p);
                }
            }
            for (auto const& e : full.externals) {
                if (e.atom > split) {
                    p.add_external(e.atom, e.value);
                }
            }
            // Earlier externals change their values or are released (for good).
            std::set<Atom> released;
            for (auto const& e : full.externals) {
                if (e.atom <= split && !released.contains(e.atom)) {
                    ExternalValue v[] = {ExternalValue::free, ExternalValue::truth, ExternalValue::falsity,
                                         ExternalValue::release};
                    auto value = v[rng() % 4];
                    p.add_external(e.atom, value);
                    if (value == ExternalValue::release) {
                        released.insert(e.atom);
                    }
                }
            }
            std::set<Mask> second;
            try {
                second = solve(translator, set, p, threads);
            } catch (TranslateError const&) {
                continue;
            }
            ASSERT_EQ(second, Oracle(p).stable_models()) << "step 2, seed " << seed << " split " << split
                                                         << "\n" << describe(p);
            ++compared;
        }
    }
    EXPECT_GT(compared, 600);
}

TEST(IncrementalTranslation, EarlierAtomsCannotGetMoreRules) {
    GroundProgram p;
    Atom a = p.new_atom();
    Atom b = p.new_atom();
    Literal body[] = {static_cast<Literal>(b)};
    p.add_rule(HeadType::disjunctive, std::span<Atom const>(&a, 1), body); // a :- b.
    p.add_rule(HeadType::choice, std::span<Atom const>(&b, 1), {});       // { b }.
    ProgramTranslator translator;
    Solve::SolverSet set;
    EXPECT_EQ(solve(translator, set, p, 1).size(), 2u);

    Atom c = p.new_atom();
    p.add_rule(HeadType::choice, std::span<Atom const>(&c, 1), {}); // { c }.
    Literal by_c[] = {static_cast<Literal>(c)};
    p.add_rule(HeadType::disjunctive, std::span<Atom const>(&a, 1), by_c); // a :- c.
    try {
        translator.translate(p, set);
        ADD_FAILURE() << "a rule for an earlier atom was accepted";
    } catch (TranslateError const& e) {
        EXPECT_NE(std::string(e.what()).find("earlier step"), std::string::npos) << e.what();
    }
    // The half-translated step must not be solved.
    EXPECT_THROW(translator.translate(p, set), TranslateError);
}

} // namespace
} // namespace Gondra::Ground
