// Translation details the random differential test does not pin down: the
// literal map, rejected inputs, shown symbols and deep dependency graphs.
#include "ground/ground_program.hpp"
#include "ground/program_translator.hpp"
#include "ground/stable_components.hpp"
#include "solve/solver_set.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace Gondra::Ground {
namespace {

std::span<Atom const> one(Atom const& a) {
    return {&a, 1};
}

TEST(StableTranslation, FactsAndUnderivableAtomsMapToConstants) {
    GroundProgram p;
    Atom a = p.new_atom(), b = p.new_atom(), c = p.new_atom(), d = p.new_atom(), e = p.new_atom();
    p.add_rule(HeadType::disjunctive, one(a), {}); // a.
    Literal body_b[] = {static_cast<Literal>(a), -static_cast<Literal>(c)};
    p.add_rule(HeadType::disjunctive, one(b), body_b); // b :- a, not c.
    Literal body_c[] = {static_cast<Literal>(d)};
    p.add_rule(HeadType::disjunctive, one(c), body_c); // c :- d.  (d has no rule)
    p.add_external(e, ExternalValue::free);
    Solve::SolverSet set;
    ProgramTranslator t;
    t.translate(p, set);
    EXPECT_EQ(t.solver_literal(static_cast<Literal>(a)), 1);
    EXPECT_EQ(t.solver_literal(static_cast<Literal>(b)), 1);
    EXPECT_EQ(t.solver_literal(static_cast<Literal>(c)), -1);
    EXPECT_EQ(t.solver_literal(-static_cast<Literal>(d)), 1);
    EXPECT_GT(t.solver_literal(static_cast<Literal>(e)), 1);
    EXPECT_EQ(t.solver_literal(-static_cast<Literal>(e)), -t.solver_literal(static_cast<Literal>(e)));
    EXPECT_THROW(t.solver_literal(6), TranslateError);
    EXPECT_THROW(t.solver_literal(0), TranslateError);

    Solve::SolveOptions options;
    options.models = 0;
    t.external_assumptions(options.assumptions);
    auto summary = set.solve(options, nullptr);
    EXPECT_EQ(summary.models, 2u); // e free
}

TEST(StableTranslation, RejectsMalformedPrograms) {
    {
        GroundProgram p;
        Atom a = p.new_atom();
        Literal body[] = {7};
        p.add_rule(HeadType::disjunctive, one(a), body);
        Solve::SolverSet set;
        ProgramTranslator t;
        try {
            t.translate(p, set);
            FAIL() << "accepted a literal naming no atom";
        } catch (TranslateError const& e) {
            EXPECT_NE(std::string(e.what()).find("rule 1"), std::string::npos) << e.what();
        }
    }
}

TEST(StableTranslation, HeadCyclesAreSolvedByMinimality) {
    // a ; b.  a :- b.  b :- a.  Shifting would lose {a, b}, the only model.
    GroundProgram p;
    Atom a = p.new_atom(), b = p.new_atom();
    Atom ab[] = {a, b};
    p.add_rule(HeadType::disjunctive, ab, {});
    Literal la[] = {static_cast<Literal>(a)}, lb[] = {static_cast<Literal>(b)};
    p.add_rule(HeadType::disjunctive, one(a), lb);
    p.add_rule(HeadType::disjunctive, one(b), la);
    for (uint32_t threads : {1u, 2u}) {
        Solve::SolverSet set;
        ProgramTranslator t;
        t.translate(p, set);
        Solve::SolveOptions options;
        options.models = 0;
        options.threads = threads;
        std::vector<std::pair<bool, bool>> models;
        set.solve(options, [&](Solve::Model const& m) {
            models.emplace_back(m.is_true(t.solver_literal(static_cast<Literal>(a))),
                                m.is_true(t.solver_literal(static_cast<Literal>(b))));
            return true;
        });
        EXPECT_EQ(models, (std::vector<std::pair<bool, bool>>{{true, true}}));
    }
}

TEST(StableTranslation, PositiveLoopsThroughWeightBodiesNeedOutsideSupport) {
    // {c; d}.  a :- 2 { b = 1; c = 1; d = 1 }.  b :- a.
    // With only one of c, d the atoms a and b would support each other alone.
    GroundProgram p;
    Atom a = p.new_atom(), b = p.new_atom(), c = p.new_atom(), d = p.new_atom();
    Atom cd[] = {c, d};
    p.add_rule(HeadType::choice, cd, {});
    WeightLiteral wb[] = {
        {static_cast<Literal>(b), 1}, {static_cast<Literal>(c), 1}, {static_cast<Literal>(d), 1}};
    p.add_weight_rule(HeadType::disjunctive, one(a), 2, wb);
    Literal la[] = {static_cast<Literal>(a)};
    p.add_rule(HeadType::disjunctive, one(b), la);
    Solve::SolverSet set;
    ProgramTranslator t;
    t.translate(p, set);
    EXPECT_EQ(t.num_loop_atoms(), 2u);
    std::set<std::vector<bool>> models;
    Solve::SolveOptions options;
    options.models = 0;
    options.threads = 2;
    auto summary = set.solve(options, [&](Solve::Model const& m) {
        std::vector<bool> v;
        for (Literal x = 1; x <= 4; ++x) {
            v.push_back(m.is_true(t.solver_literal(x)));
        }
        models.insert(v);
        return true;
    });
    ASSERT_EQ(summary.status, Solve::SolveStatus::satisfiable);
    std::set<std::vector<bool>> expected{{false, false, false, false},
                                         {false, false, true, false},
                                         {false, false, false, true},
                                         {true, true, true, true}};
    EXPECT_EQ(models, expected);
}

TEST(StableTranslation, ShownSymbolsFollowNamesAndTermConditions) {
    GroundProgram p;
    Atom a = p.new_atom(), b = p.new_atom(), hidden = p.new_atom();
    Atom all[] = {a, b, hidden};
    p.add_rule(HeadType::choice, all, {});
    auto sa = Symbols::Symbol::create_id("a");
    auto sb = Symbols::Symbol::create_id("b");
    auto term = Symbols::Symbol::create_number(7);
    p.add_atom_name(a, sa, true);
    p.add_atom_name(b, sb, true);
    p.add_atom_name(hidden, Symbols::Symbol::create_id("h"), false);
    Literal cond[] = {static_cast<Literal>(b), -static_cast<Literal>(hidden)};
    p.add_show_term(term, cond);
    p.add_show_term(sa, std::span<Literal const>(cond, 1)); // shows a again when b holds
    Solve::SolverSet set;
    ProgramTranslator t;
    t.translate(p, set);
    auto truth = [&](std::vector<Atom> const& true_atoms) {
        return [&t, true_atoms](int32_t lit) {
            if (lit == 1 || lit == -1) {
                return lit == 1;
            }
            bool in = false;
            for (Atom x : true_atoms) {
                int32_t l = t.solver_literal(static_cast<Literal>(x));
                in = in || l == lit || l == -lit;
            }
            return lit > 0 ? in : !in;
        };
    };
    EXPECT_EQ(t.shown_symbols(truth({a})), (std::vector<Symbols::Symbol>{sa}));
    EXPECT_EQ(t.shown_symbols(truth({a, b})), (std::vector<Symbols::Symbol>{sa, sb, term}));
    EXPECT_EQ(t.shown_symbols(truth({b, hidden})), (std::vector<Symbols::Symbol>{sb, sa}));
}

TEST(StableComponentsTest, FindsCyclesInDeepGraphsWithoutRecursion) {
    // A chain 0 -> 1 -> ... -> n-1 closed into a ring, plus a tail node n -> 0.
    uint32_t n = 200000;
    std::vector<uint32_t> offsets, targets;
    for (uint32_t v = 0; v <= n; ++v) {
        offsets.push_back(static_cast<uint32_t>(targets.size()));
        targets.push_back(v == n ? 0 : (v + 1) % n);
    }
    offsets.push_back(static_cast<uint32_t>(targets.size()));
    auto scc = strongly_connected_components(n + 1, offsets, targets);
    EXPECT_EQ(scc.count, 2u);
    EXPECT_EQ(scc.component[0], scc.component[n - 1]);
    EXPECT_NE(scc.component[n], scc.component[0]);
    EXPECT_EQ(scc.cyclic[scc.component[0]], 1);
    EXPECT_EQ(scc.cyclic[scc.component[n]], 0);

    uint32_t self_offsets[] = {0, 1, 1};
    uint32_t self_targets[] = {0};
    auto self = strongly_connected_components(2, self_offsets, self_targets);
    EXPECT_EQ(self.cyclic[self.component[0]], 1);
    EXPECT_EQ(self.cyclic[self.component[1]], 0);
}

} // namespace
} // namespace Gondra::Ground
