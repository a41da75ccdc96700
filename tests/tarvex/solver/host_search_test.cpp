// The thread solver inside real host search: a propagator built from the
// engine's initialisation operations enumerates every model of small random
// linear systems, and the models must be exactly the brute-force solutions.

#include "constraints/sum_constraint.hpp"
#include "host/propagate_control.hpp"
#include "host/propagate_init.hpp"
#include "solver/control_clause_creator.hpp"
#include "solver/init_clause_creator.hpp"
#include "solver/thread_solver.hpp"

#include "gondra.hh"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace Tarvex {
namespace {

struct Variable {
    value_t lower;
    value_t upper; // inclusive
    // An excluded value inside [lower, upper], or none.
    std::optional<value_t> hole;
};

struct Constraint {
    std::vector<CoefVar> elements;
    value_t rhs;
    // Free constraints get a literal the host decides; the others always hold.
    bool free;
};

struct System {
    std::vector<Variable> variables;
    std::vector<Constraint> constraints;
};

// A solution: the variables' values, then the truth (0/1) of each free literal.
using Solution = std::vector<value_t>;

System random_system(std::mt19937& rng) {
    System system;
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>{lo, hi}(rng); };
    int n = pick(2, 5);
    // Keeps the brute force and the enumeration small.
    int width = n <= 2 ? 20 : n == 3 ? 12 : n == 4 ? 6 : 4;
    for (int i = 0; i < n; ++i) {
        value_t lower = pick(-10, 10 - width);
        value_t upper = lower + pick(0, width);
        std::optional<value_t> hole;
        if (upper - lower >= 2 && pick(0, 3) == 0) {
            hole = pick(lower + 1, upper - 1);
        }
        system.variables.push_back({lower, upper, hole});
    }
    int m = pick(1, 4);
    for (int j = 0; j < m; ++j) {
        Constraint constraint;
        int size = pick(1, std::min(n, 3));
        std::vector<var_id> vars(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            vars[static_cast<std::size_t>(i)] = static_cast<var_id>(i);
        }
        std::shuffle(vars.begin(), vars.end(), rng);
        wide_t low = 0;
        wide_t high = 0;
        for (int k = 0; k < size; ++k) {
            value_t co = pick(1, 5) * (pick(0, 1) == 0 ? -1 : 1);
            var_id var = vars[static_cast<std::size_t>(k)];
            constraint.elements.emplace_back(co, var);
            auto const& v = system.variables[var];
            low += static_cast<wide_t>(co) * (co > 0 ? v.lower : v.upper);
            high += static_cast<wide_t>(co) * (co > 0 ? v.upper : v.lower);
        }
        constraint.rhs = static_cast<value_t>(pick(static_cast<int>(low) - 2, static_cast<int>(high)));
        constraint.free = pick(0, 1) == 0;
        system.constraints.push_back(std::move(constraint));
    }
    return system;
}

std::vector<Solution> brute_force(System const& system) {
    std::size_t n = system.variables.size();
    std::vector<value_t> values(n);
    for (std::size_t i = 0; i < n; ++i) {
        values[i] = system.variables[i].lower;
    }
    std::size_t free_count = 0;
    for (auto const& c : system.constraints) {
        free_count += c.free ? 1 : 0;
    }
    std::vector<Solution> solutions;
    while (true) {
        bool in_domain = true;
        for (std::size_t i = 0; i < n; ++i) {
            in_domain = in_domain && system.variables[i].hole != values[i];
        }
        if (in_domain) {
            for (std::size_t bits = 0; bits < (std::size_t{1} << free_count); ++bits) {
                bool ok = true;
                std::size_t f = 0;
                Solution solution = values;
                for (auto const& c : system.constraints) {
                    bool on = true;
                    if (c.free) {
                        on = ((bits >> f) & 1U) != 0;
                        solution.push_back(on ? 1 : 0);
                        ++f;
                    }
                    wide_t sum = 0;
                    for (auto const& [co, var] : c.elements) {
                        sum += static_cast<wide_t>(co) * values[var];
                    }
                    ok = ok && (!on || sum <= c.rhs);
                }
                if (ok) {
                    solutions.push_back(solution);
                }
            }
        }
        std::size_t i = 0;
        while (i < n && values[i] == system.variables[i].upper) {
            values[i] = system.variables[i].lower;
            ++i;
        }
        if (i == n) {
            break;
        }
        ++values[i];
    }
    std::sort(solutions.begin(), solutions.end());
    return solutions;
}

// Forwards the host's callbacks to one thread solver per host thread.
class LinearSystemPropagator final : public Gondra::Propagator {
public:
    LinearSystemPropagator(System system, ThreadConfig config, bool eager_literals)
        : system_{std::move(system)}, config_{config}, eager_literals_{eager_literals} {}

    void init(Gondra::PropagateInit& init) override {
        Host::PropagateInit host{init.to_c()};
        InitClauseCreator cc{host, theory_stats_};
        auto threads = static_cast<std::size_t>(init.number_of_threads());
        stats_.assign(threads, ThreadStats{});
        solvers_.clear();
        solvers_.reserve(threads);
        solvers_.emplace_back(config_, stats_[0]);
        auto& master = solvers_[0];
        for (auto const& v : system_.variables) {
            var_id var = master.add_variable(v.lower, v.upper);
            if (v.hole.has_value()) {
                IntervalSet domain{{v.lower, *v.hole}, {*v.hole + 1, v.upper + 1}};
                ASSERT_TRUE(master.add_dom(cc, true_literal, var, domain));
            }
            if (eager_literals_) {
                for (value_t value = v.lower; value < v.upper; ++value) {
                    master.get_literal(cc, master.var_state(var), value);
                }
            }
        }
        literals_.clear();
        for (auto const& c : system_.constraints) {
            literal_t lit = c.free ? cc.add_literal() : true_literal;
            if (c.free) {
                literals_.push_back(lit);
            }
            if (c.elements.size() == 1) {
                // One-element constraints are encoded on the order literals.
                auto [co, var] = c.elements[0];
                if (!master.add_simple(cc, lit, co, var, c.rhs, false)) {
                    return;
                }
            } else {
                constraints_.push_back(SumConstraint::create(lit, c.rhs, c.elements, true));
            }
        }
        for (auto const& constraint : constraints_) {
            master.add_constraint(*constraint);
        }
        if (!master.simplify(cc, true)) {
            return;
        }
        TheoryConfig theory_config;
        if (!master.translate(cc, theory_stats_, theory_config, constraints_) || !cc.commit()) {
            return;
        }
        master.shrink();
        for (std::size_t t = 1; t < threads; ++t) {
            solvers_.emplace_back(config_, stats_[t]);
            solvers_.back().copy_state(master);
        }
        auto count = static_cast<std::uint32_t>(init.assignment().size());
        for (auto& solver : solvers_) {
            solver.set_init_literal_count(count);
        }
        snapshots_.assign(threads, Solution{});
        init.set_check_mode(gondra_propagator_check_mode_both);
    }

    void propagate(Gondra::PropagateControl& control, std::span<literal_t const> changes) override {
        Host::PropagateControl host{control.to_c()};
        auto t = control.thread_id();
        ControlClauseCreator cc{host, stats_[t]};
        solvers_[t].propagate_changes(cc, changes);
    }

    void undo(Gondra::PropagateControl const& control, std::span<literal_t const>) noexcept override {
        solvers_[control.thread_id()].undo();
    }

    void check(Gondra::PropagateControl& control) override {
        Host::PropagateControl host{control.to_c()};
        auto t = control.thread_id();
        ControlClauseCreator cc{host, stats_[t]};
        auto& solver = solvers_[t];
        if (!solver.fixpoint(cc, true)) {
            return;
        }
        auto assignment = control.assignment();
        if (!assignment.is_total()) {
            return;
        }
        solver.check_total(cc, true);
        if (!control.assignment().is_total()) {
            return;
        }
        // The assignment is a model: remember its values for the model event.
        Solution& snapshot = snapshots_[t];
        snapshot.clear();
        for (std::size_t i = 0; i < system_.variables.size(); ++i) {
            auto const& vs = solver.var_state(static_cast<var_id>(i));
            snapshot.push_back(vs.is_assigned() ? vs.lower_bound() : std::numeric_limits<value_t>::min());
        }
        for (literal_t lit : literals_) {
            snapshot.push_back(assignment.is_true(lit) ? 1 : 0);
        }
    }

    Solution const& snapshot(std::size_t thread) const { return snapshots_[thread]; }

private:
    System system_;
    ThreadConfig config_;
    bool eager_literals_;
    TheoryStats theory_stats_;
    std::vector<ThreadStats> stats_;
    std::vector<ThreadSolver> solvers_;
    ConstraintList constraints_;
    std::vector<literal_t> literals_;
    std::vector<Solution> snapshots_;
};

struct Enumeration {
    LinearSystemPropagator* propagator;
    std::vector<Solution> models;
};

bool on_event(gondra_solve_event_type_t type, void* event, void* data, bool* goon) {
    *goon = true;
    if (type == gondra_solve_event_type_model) {
        auto* enumeration = static_cast<Enumeration*>(data);
        gondra_id_t thread = 0;
        if (!gondra_model_thread_id(static_cast<gondra_model_t*>(event), &thread)) {
            return false;
        }
        enumeration->models.push_back(enumeration->propagator->snapshot(thread));
    }
    return true;
}

std::vector<Solution> enumerate(System const& system, ThreadConfig const& config, int threads, bool eager) {
    std::string thread_count = std::to_string(threads);
    std::array<char const*, 4> arguments{"-n", "0", "-t", thread_count.c_str()};
    gondra_control_t* control = nullptr;
    EXPECT_TRUE(gondra_control_new(arguments.data(), arguments.size(), nullptr, nullptr, 20, &control));
    std::unique_ptr<gondra_control_t, void (*)(gondra_control_t*)> owner{control, gondra_control_free};
    LinearSystemPropagator propagator{system, config, eager};
    Gondra::register_propagator(control, propagator);
    EXPECT_TRUE(gondra_control_add(control, "base", nullptr, 0, ""));
    gondra_part_t part{"base", nullptr, 0};
    EXPECT_TRUE(gondra_control_ground(control, &part, 1));
    Enumeration enumeration{&propagator, {}};
    gondra_solve_result_bitset_t result = 0;
    EXPECT_TRUE(gondra_control_solve(control, nullptr, 0, on_event, &enumeration, &result))
        << (gondra_error_message() != nullptr ? gondra_error_message() : "");
    EXPECT_NE(result & gondra_solve_result_exhausted, 0U);
    std::sort(enumeration.models.begin(), enumeration.models.end());
    return enumeration.models;
}

std::string describe(System const& system) {
    std::string text;
    for (auto const& v : system.variables) {
        text += "[" + std::to_string(v.lower) + "," + std::to_string(v.upper) + "]";
        if (v.hole) {
            text += "\\" + std::to_string(*v.hole);
        }
        text += " ";
    }
    for (auto const& c : system.constraints) {
        text += c.free ? "l -> " : "";
        for (auto const& [co, var] : c.elements) {
            text += std::to_string(co) + "*x" + std::to_string(var) + " ";
        }
        text += "<= " + std::to_string(c.rhs) + "; ";
    }
    return text;
}

class HostSearch : public ::testing::TestWithParam<int> {};

// The host's models are exactly the solutions, each once, both with every
// order literal made during initialisation and with order literals made
// lazily during search.
TEST_P(HostSearch, EnumerationEqualsBruteForce) {
    std::mt19937 rng{static_cast<std::uint32_t>(GetParam())};
    for (int round = 0; round < 10; ++round) {
        System system = random_system(rng);
        auto expected = brute_force(system);
        for (int options = 0; options < 8; ++options) {
            ThreadConfig config;
            config.refine_reasons = (options & 1) != 0;
            config.refine_introduce = (options & 2) != 0;
            config.propagate_chain = (options & 4) != 0;
            for (int threads : {1, 3}) {
                for (bool eager : {true, false}) {
                    auto models = enumerate(system, config, threads, eager);
                    ASSERT_EQ(models, expected) << describe(system) << " options " << options << " threads "
                                                << threads << (eager ? " eager" : " lazy");
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, HostSearch, ::testing::Range(1, 6));

} // namespace
} // namespace Tarvex
