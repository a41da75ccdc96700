// Clause creators against the real host: each test runs its body inside the
// init or check callback of an actual solve call and judges the outcome by
// the host's answer (satisfiable or not, the cost of the model).

#include "host/propagate_control.hpp"
#include "host/propagate_init.hpp"
#include "propagator/theory_stats.hpp"
#include "solver/control_clause_creator.hpp"
#include "solver/init_clause_creator.hpp"

#include "gondra.hh"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

using namespace Tarvex;

namespace {

class Probe : public Gondra::Propagator {
public:
    std::function<void(Host::PropagateInit&)> on_init;
    std::function<void(Host::PropagateControl&)> on_check;

    void init(Gondra::PropagateInit& init) override {
        Host::PropagateInit wrapper{init.to_c()};
        if (on_check) {
            wrapper.set_check_mode(gondra_propagator_check_mode_total);
        }
        on_init(wrapper);
    }
    void check(Gondra::PropagateControl& control) override {
        if (on_check) {
            Host::PropagateControl wrapper{control.to_c()};
            on_check(wrapper);
        }
    }
};

struct Outcome {
    bool satisfiable = false;
    std::vector<int64_t> cost;
};

bool on_event(gondra_solve_event_type_t type, void* event, void* data, bool* goon) {
    if (type == gondra_solve_event_type_model) {
        auto* model = static_cast<gondra_model_t*>(event);
        auto& outcome = *static_cast<Outcome*>(data);
        size_t size = 0;
        if (!gondra_model_cost_size(model, &size)) {
            return false;
        }
        outcome.cost.resize(size);
        if (!gondra_model_cost(model, outcome.cost.data(), size)) {
            return false;
        }
    }
    *goon = true;
    return true;
}

Outcome solve(Probe& probe) {
    gondra_control_t* control = nullptr;
    char const* arguments[] = {"-n", "1"};
    EXPECT_TRUE(gondra_control_new(arguments, 2, nullptr, nullptr, 0, &control));
    EXPECT_TRUE(gondra_control_add(control, "base", nullptr, 0, "{ p }."));
    gondra_part_t part{"base", nullptr, 0};
    EXPECT_TRUE(gondra_control_ground(control, &part, 1));
    Gondra::register_propagator(control, probe);
    Outcome outcome;
    gondra_solve_result_bitset_t result = 0;
    EXPECT_TRUE(gondra_control_solve(control, nullptr, 0, on_event, &outcome, &result));
    outcome.satisfiable = (result & gondra_solve_result_satisfiable) != 0;
    gondra_control_free(control);
    return outcome;
}

// Fresh literals x and y, fixed true by buffered unit clauses.
struct TwoTrue {
    literal_t x;
    literal_t y;
    explicit TwoTrue(InitClauseCreator& creator) : x{creator.add_literal()}, y{creator.add_literal()} {
        creator.add_clause(std::vector<literal_t>{x});
        creator.add_clause(std::vector<literal_t>{y});
    }
};

} // namespace

TEST(InitClauseCreator, BufferedConflictSurfacesOnlyAtPropagate) {
    TheoryStats stats;
    Probe probe;
    probe.on_init = [&](Host::PropagateInit& init) {
        InitClauseCreator creator{init, stats};
        std::vector<literal_t> falsum{-1};
        EXPECT_TRUE(creator.add_clause(falsum));
        EXPECT_EQ(stats.num_clauses, 1u);
        EXPECT_EQ(stats.translate_clauses, 0u);
        EXPECT_FALSE(creator.propagate());
    };
    EXPECT_FALSE(solve(probe).satisfiable);
}

TEST(InitClauseCreator, CountsWhatItCreatesAndCommitsEmptyBuffers) {
    TheoryStats stats;
    Probe probe;
    probe.on_init = [&](Host::PropagateInit& init) {
        InitClauseCreator creator{init, stats};
        EXPECT_TRUE(creator.commit());
        creator.add_literal();
        creator.set_mode(InitClauseCreator::translating);
        literal_t lit = creator.add_literal();
        creator.add_clause(std::vector<literal_t>{lit, -lit});
        std::vector<WeightedLiteral> terms{{lit, 1}};
        creator.add_weight_constraint(lit, terms, 1, 0);
        EXPECT_TRUE(creator.propagate());
    };
    EXPECT_TRUE(solve(probe).satisfiable);
    EXPECT_EQ(stats.num_literals, 2u);
    EXPECT_EQ(stats.translate_literals, 1u);
    EXPECT_EQ(stats.num_clauses, 1u);
    EXPECT_EQ(stats.translate_clauses, 1u);
    EXPECT_EQ(stats.translate_wcs, 1u);
}

// lit -> (x + y <= bound) reaches the host as -lit <- (x + y >= bound + 1).
TEST(InitClauseCreator, WeightConstraintsKeepTheirMeaning) {
    struct Case {
        value_t bound;
        int type;
        bool lit_true;
        bool satisfiable;
    };
    Case const cases[] = {
        {1, 1, true, false}, // x + y = 2 exceeds 1, but lit demands it
        {2, 1, true, true},    {1, 1, false, true},
        {1, -1, false, true},  // constraint false, lit may be false
        {2, -1, false, false}, // constraint holds, so lit must be true
        {2, 0, false, false},  {1, 0, false, true},
    };
    for (auto const& c : cases) {
        TheoryStats stats;
        Probe probe;
        probe.on_init = [&](Host::PropagateInit& init) {
            InitClauseCreator creator{init, stats};
            TwoTrue vars{creator};
            literal_t lit = creator.add_literal();
            creator.add_clause(std::vector<literal_t>{c.lit_true ? lit : -lit});
            std::vector<WeightedLiteral> terms{{vars.x, 1}, {vars.y, 1}};
            creator.add_weight_constraint(lit, terms, c.bound, c.type);
            creator.propagate();
        };
        EXPECT_EQ(solve(probe).satisfiable, c.satisfiable) << c.bound << " " << c.type << " " << c.lit_true;
    }
}

TEST(InitClauseCreator, SatisfiedImplicationsAreDropped) {
    TheoryStats stats;
    Probe probe;
    probe.on_init = [&](Host::PropagateInit& init) {
        InitClauseCreator creator{init, stats};
        creator.set_mode(InitClauseCreator::translating);
        TwoTrue vars{creator};
        std::vector<WeightedLiteral> terms{{vars.x, 1}, {vars.y, 1}};
        // Both would be violated if they reached the host.
        creator.add_weight_constraint(-1, terms, 0, 1);
        creator.add_weight_constraint(1, terms, 5, -1);
        EXPECT_EQ(stats.translate_wcs, 0u);
        creator.propagate();
    };
    EXPECT_TRUE(solve(probe).satisfiable);
}

TEST(InitClauseCreator, EmptyWeightConstraintAndMinimizeTerms) {
    TheoryStats stats;
    Probe probe;
    probe.on_init = [&](Host::PropagateInit& init) {
        InitClauseCreator creator{init, stats};
        TwoTrue vars{creator};
        // lit -> (0 <= 0) always holds; lit -> (0 <= -1) never does.
        creator.add_weight_constraint(creator.add_literal(), {}, 0, 1);
        creator.add_minimize(vars.x, 3, 0);
        creator.add_minimize(vars.y, -1, 0);
        EXPECT_TRUE(creator.commit());
    };
    auto outcome = solve(probe);
    EXPECT_TRUE(outcome.satisfiable);
    EXPECT_EQ(outcome.cost, (std::vector<int64_t>{2}));

    probe.on_init = [&](Host::PropagateInit& init) {
        InitClauseCreator creator{init, stats};
        creator.add_weight_constraint(1, {}, -1, 1);
        creator.propagate();
    };
    EXPECT_FALSE(solve(probe).satisfiable);
}

TEST(ControlClauseCreator, RefusedClauseStopsAndLiteralsAreCounted) {
    ThreadStats stats;
    literal_t x = 0;
    int checks = 0;
    Probe probe;
    probe.on_init = [&](Host::PropagateInit& init) {
        x = init.add_literal(true);
        std::vector<literal_t> unit{x};
        init.add_clause(unit);
    };
    probe.on_check = [&](Host::PropagateControl& control) {
        ++checks;
        ControlClauseCreator creator{control, stats};
        creator.add_literal();
        std::vector<literal_t> clause{-x};
        // x is true on level 0, so the clause conflicts there.
        EXPECT_FALSE(creator.add_clause(clause));
    };
    EXPECT_FALSE(solve(probe).satisfiable);
    EXPECT_GE(checks, 1);
    EXPECT_EQ(stats.literals, static_cast<std::uint64_t>(checks));
}
