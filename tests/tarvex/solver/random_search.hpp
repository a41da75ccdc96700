#pragma once

// A thread solver over a random linear system, driven by a fixed sequence of
// decisions on order literals: each round decides, propagates to a fixpoint
// and finally undoes every level, as a host search would between restarts.

#include "constraints/disjoint_constraint.hpp"
#include "constraints/distinct_constraint.hpp"
#include "constraints/nonlinear_constraint.hpp"
#include "constraints/sum_constraint.hpp"
#include "solver/thread_solver.hpp"
#include "tarvex/solver/recording_clause_creator.hpp"

#include <array>
#include <random>
#include <vector>

namespace Tarvex::TestSupport {

class RandomSearch {
public:
    struct Decision {
        var_id var;
        value_t value;
        bool upper;
    };

    RandomSearch(std::uint32_t seed, std::size_t variables, std::size_t constraints, std::size_t size,
                 std::size_t decisions) {
        cc.record = false;
        cc.unit_propagate = true;
        std::mt19937 rng{seed};
        std::uniform_int_distribution<value_t> coefficient{-9, 9};
        std::uniform_int_distribution<std::size_t> pick{0, variables - 1};
        std::uniform_int_distribution<value_t> value{0, 99};
        for (std::size_t i = 0; i < variables; ++i) {
            solver.add_variable(0, 100);
        }
        for (std::size_t i = 0; i < constraints; ++i) {
            std::vector<CoefVar> elements;
            std::vector<bool> used(variables, false);
            while (elements.size() < size) {
                auto var = static_cast<var_id>(pick(rng));
                value_t co = coefficient(rng);
                if (co == 0 || used[var]) {
                    continue;
                }
                used[var] = true;
                elements.emplace_back(co, var);
            }
            // Right-hand sides around the middle of the sum's range keep
            // the constraints neither trivial nor hopeless.
            wide_t low = 0;
            wide_t high = 0;
            for (auto const& [co, var] : elements) {
                (co > 0 ? high : low) += static_cast<wide_t>(co) * 100;
            }
            auto rhs = static_cast<value_t>(low + (high - low) / 2);
            literal_t lit = i % 3 == 0 ? assignment.new_atom() : true_literal;
            owned.push_back(SumConstraint::create(lit, rhs, elements, true));
            solver.add_constraint(*owned.back());
            if (lit != true_literal) {
                conditions.push_back(lit);
            }
        }
        solver.fixpoint(cc, false);
        for (std::size_t i = 0; i < decisions; ++i) {
            plan.push_back({static_cast<var_id>(pick(rng)), value(rng), (i & 1U) == 0});
        }
    }

    // Adds distinct constraints over terms of one or two variables, disjoint
    // constraints and products over the variables, each of them `count`
    // times.
    void add_globals(std::uint32_t seed, std::size_t count) {
        std::mt19937 rng{seed};
        std::size_t variables = solver.num_variables();
        std::uniform_int_distribution<std::size_t> pick{0, variables - 1};
        std::uniform_int_distribution<value_t> small{1, 9};
        auto var = [&] { return static_cast<var_id>(pick(rng)); };
        for (std::size_t i = 0; i < count; ++i) {
            std::vector<DistinctConstraint::Term> terms;
            for (std::size_t t = 0; t < 8; ++t) {
                std::vector<CoefVar> elements{{small(rng) % 3 + 1, var()}};
                if (t % 3 == 0) {
                    elements.emplace_back(-1, var());
                }
                terms.emplace_back(std::move(elements), small(rng));
            }
            owned.push_back(DistinctConstraint::create(true_literal, terms, true));
            solver.add_constraint(*owned.back());
            std::vector<CoefVar> tasks;
            for (std::size_t t = 0; t < 6; ++t) {
                tasks.emplace_back(small(rng) * 3, var());
            }
            owned.push_back(DisjointConstraint::create(true_literal, tasks));
            solver.add_constraint(*owned.back());
            owned.push_back(NonlinearConstraint::create(true_literal, 4000, small(rng), var(), var(), -small(rng), var()));
            solver.add_constraint(*owned.back());
        }
        solver.fixpoint(cc, false);
    }

    // One round of decisions; returns the number of decisions propagated.
    std::size_t round() {
        std::size_t trail = assignment.trail_size();
        std::size_t made = 0;
        level_t level = 0;
        for (literal_t lit : conditions) {
            if (!decide(++level, lit)) {
                break;
            }
            ++made;
        }
        for (auto const& decision : plan) {
            auto& vs = solver.var_state(decision.var);
            literal_t lit = solver.get_literal(cc, vs, decision.value);
            if (!decision.upper) {
                lit = -lit;
            }
            if (lit == true_literal || lit == -true_literal || assignment.truth_value(lit) != 0) {
                continue;
            }
            if (!decide(++level, lit)) {
                break;
            }
            ++made;
        }
        while (solver.num_levels() > 1) {
            solver.undo();
        }
        assignment.backtrack_to(trail);
        assignment.set_decision_level(0);
        return made;
    }

    ThreadConfig config;
    ThreadStats stats;
    ScriptedAssignment assignment;
    RecordingClauseCreator cc{assignment};
    ThreadSolver solver{config, stats};
    ConstraintList owned;
    std::vector<literal_t> conditions;
    std::vector<Decision> plan;

private:
    // Decides lit and propagates it and everything it implies.
    bool decide(level_t level, literal_t lit) {
        assignment.set_decision_level(level);
        assignment.assign(lit);
        batch_.clear();
        batch_.push_back(lit);
        while (!batch_.empty()) {
            cc.implied.clear();
            if (!solver.propagate_changes(cc, batch_) || !solver.fixpoint(cc, false)) {
                return false;
            }
            implications_ += batch_.size();
            batch_.swap(cc.implied);
        }
        return true;
    }

    std::vector<literal_t> batch_;

public:
    // Literals propagated so far, decisions included.
    std::size_t implications() const { return implications_; }

private:
    std::size_t implications_ = 0;
};

} // namespace Tarvex::TestSupport
