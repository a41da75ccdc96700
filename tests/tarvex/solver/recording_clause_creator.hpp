#pragma once

// An assignment held in the test itself and a clause creator that records
// what the engine asks for, to check exact literals and clauses.

#include "host/assignment_source.hpp"
#include "solver/abstract_clause_creator.hpp"

#include <cstdlib>
#include <vector>

namespace Tarvex::TestSupport {

class ScriptedAssignment final : public Host::AssignmentSource {
public:
    ScriptedAssignment() {
        new_atom();
        assign(true_literal);
    }

    literal_t new_atom() {
        truth_.push_back(0);
        level_.push_back(0);
        return static_cast<literal_t>(truth_.size());
    }
    // Makes lit true on the current decision level.
    void assign(literal_t lit) {
        auto i = index(lit);
        truth_[i] = lit > 0 ? 1 : -1;
        level_[i] = decision_level_;
        trail_.push_back(lit);
    }
    void unassign(literal_t lit) { truth_[index(lit)] = 0; }
    // Unassigns the newest literals until the trail has `size` entries.
    void backtrack_to(std::size_t size) {
        while (trail_.size() > size) {
            unassign(trail_.back());
            trail_.pop_back();
        }
    }
    void set_decision_level(level_t level) { decision_level_ = level; }

    level_t decision_level() const override { return decision_level_; }
    gondra_truth_value_t truth_value(literal_t lit) const override {
        auto i = index(lit);
        if (i >= truth_.size()) {
            return gondra_truth_value_free;
        }
        return lit > 0 ? truth_[i] : -truth_[i];
    }
    level_t level(literal_t lit) const override { return level_[index(lit)]; }
    std::size_t size() const override { return truth_.size(); }
    std::uint32_t trail_size() const override { return static_cast<std::uint32_t>(trail_.size()); }
    literal_t trail_at(std::uint32_t offset) const override { return trail_[offset]; }

private:
    static std::size_t index(literal_t lit) { return static_cast<std::size_t>(std::abs(lit)) - 1; }

    std::vector<int> truth_;
    std::vector<level_t> level_;
    std::vector<literal_t> trail_;
    level_t decision_level_ = 0;
};

class RecordingClauseCreator final : public AbstractClauseCreator {
public:
    struct Clause {
        std::vector<literal_t> literals;
        clause_type_t type;
    };

    explicit RecordingClauseCreator(ScriptedAssignment& assignment) : assignment_{&assignment} {}

    literal_t add_literal() override {
        ++literals_added;
        return assignment_->new_atom();
    }
    void add_watch(literal_t lit) override { watches.push_back(lit); }
    bool propagate() override { return true; }
    bool add_clause(std::span<literal_t const> clause, clause_type_t type) override {
        if (record) {
            clauses.push_back({{clause.begin(), clause.end()}, type});
        }
        ++clauses_added;
        if (!accept) {
            return false;
        }
        if (unit_propagate) {
            // Assign the last open literal of a clause whose others are false.
            literal_t open = 0;
            for (literal_t lit : clause) {
                auto truth = assignment_->truth_value(lit);
                if (truth == gondra_truth_value_true) {
                    return true;
                }
                if (truth == gondra_truth_value_free) {
                    if (open != 0 && open != lit) {
                        return true;
                    }
                    open = lit;
                }
            }
            if (open == 0) {
                return false;
            }
            assignment_->assign(open);
            implied.push_back(open);
        }
        return true;
    }
    Host::Assignment assignment() override { return Host::Assignment{*assignment_}; }

    std::vector<Clause> clauses;
    std::vector<literal_t> watches;
    std::size_t literals_added = 0;
    std::size_t clauses_added = 0;
    bool accept = true;
    // Off where recording would allocate.
    bool record = true;
    // Unit clauses assign their literal, collected in implied; a clause with
    // every literal false is refused.
    bool unit_propagate = false;
    std::vector<literal_t> implied;

private:
    ScriptedAssignment* assignment_;
};

} // namespace Tarvex::TestSupport
