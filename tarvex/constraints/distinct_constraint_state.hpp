#pragma once

// Per-thread state of literal -> the terms of a distinct constraint take
// pairwise different values. Every term's interval [low, high] under the
// thread's bounds is kept, ordered by low and by high; a term fixed to v
// pushes every other term whose low or high equals v off v.

#include "constraints/abstract_constraint_state.hpp"
#include "constraints/distinct_constraint.hpp"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace Tarvex {

class DistinctConstraintState final : public AbstractConstraintState {
public:
    struct TermBounds {
        wide_t low;
        wide_t high;
    };

    // Entries (bound, term) ordered by bound, then term, in one flat array:
    // moving an entry shifts its neighbours instead of allocating a node.
    class TermOrder {
    public:
        using Entry = std::pair<wide_t, std::uint32_t>;

        void clear() { entries_.clear(); }
        void reserve(std::size_t size) { entries_.reserve(size); }
        void insert(Entry entry);
        // Replaces (old_bound, term) by (new_bound, term).
        void move(std::uint32_t term, wide_t old_bound, wide_t new_bound);
        // The entries whose bound is exactly `bound`, in order.
        std::span<Entry const> equal_range(wide_t bound) const;
        std::span<Entry const> entries() const { return entries_; }

    private:
        std::vector<Entry> entries_;
    };

    // Term indices without repetition, in order of insertion.
    class TermList {
    public:
        void resize(std::size_t terms) {
            member_.assign(terms, false);
            list_.clear();
            list_.reserve(terms);
        }
        bool contains(std::uint32_t term) const { return member_[term]; }
        void add(std::uint32_t term) {
            if (!member_[term]) {
                member_[term] = true;
                list_.push_back(term);
            }
        }
        void clear() {
            for (auto term : list_) {
                member_[term] = false;
            }
            list_.clear();
        }
        std::vector<std::uint32_t> const& list() const { return list_; }

    private:
        std::vector<std::uint32_t> list_;
        std::vector<bool> member_;
    };

    explicit DistinctConstraintState(DistinctConstraint const& constraint);

    AbstractConstraint const& owner_constraint() const override { return *constraint_; }
    void attach_to_solver(ThreadSolver& solver) override;
    void detach_from_solver(ThreadSolver& solver) override;
    std::pair<bool, bool> translate_to_clauses(TheoryConfig const& config, ThreadSolver& solver,
                                               InitClauseCreator& cc, ConstraintList& added) override;
    std::unique_ptr<AbstractConstraintState> clone_state() const override;
    bool on_bound_change(value_t tag, value_t delta) override;
    void revert_bound_change(value_t tag, value_t delta) override;
    bool propagate_constraint(ThreadSolver& solver, AbstractClauseCreator& cc, bool check_state) override;
    void check_assignment(ThreadSolver& solver) const override;
    bool set_in_queue(bool queued) override {
        bool previous = queued_;
        queued_ = queued;
        return previous;
    }
    bool in_queue() const override { return queued_; }
    bool may_deactivate() const override { return true; }
    level_t deactivation_level() const override { return deactivation_level_; }
    void set_deactivation_level(level_t level) override { deactivation_level_ = level; }

    DistinctConstraint const& constraint() const { return *constraint_; }
    std::vector<TermBounds> const& term_bounds() const { return term_bounds_; }
    TermOrder const& lows() const { return lows_; }
    TermOrder const& highs() const { return highs_; }

private:
    TermBounds compute_bounds(ThreadSolver const& solver, DistinctTerm const& term) const;
    // Recomputes the terms whose bounds changed since the last propagation.
    void refresh(ThreadSolver const& solver);
    // Term j was touched through its low (upward) or its high.
    bool propagate_touched(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t j, bool upward);
    // Term j is fixed to its low: every other term moves off that value.
    bool propagate_fixed(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t j, bool inner);
    // A non-fixed term j whose low (upward) or high equals the value of a
    // fixed term that is not examined itself moves off it.
    bool propagate_end(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t j, bool upward);
    // Cuts w out of the domain of x, the one variable of a term that would
    // take the fixed term's value at w.
    bool exclude_inner(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t fixed, var_id x, value_t w);
    void push_fixed_reason(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t fixed);
    // Appends the bound literals of every element of term t.
    void push_term_bounds(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t t);
    // Finds intervals [a, b] that the terms lying inside them fill (Hall
    // intervals) or overfill, and moves the one-variable terms that reach
    // into a filled interval out of it.
    bool propagate_hall(ThreadSolver& solver, AbstractClauseCreator& cc);
    bool push_out_of(ThreadSolver& solver, AbstractClauseCreator& cc, wide_t a, wide_t b, std::uint32_t r,
                     bool upward);
    void clear_touched();
    // Explains that term `restricted` must leave the value of the fixed term,
    // upward or downward, and hands the clause to the host.
    bool exclude_value(ThreadSolver& solver, AbstractClauseCreator& cc, std::uint32_t fixed,
                       std::uint32_t restricted, bool upward);

    DistinctConstraint const* constraint_;
    std::vector<TermBounds> term_bounds_;
    TermOrder lows_;
    TermOrder highs_;
    TermList dirty_terms_;
    TermList up_touched_;
    TermList down_touched_;
    // Per touched term: bit 1 when its low moved, bit 2 when its high moved.
    std::vector<std::uint8_t> moved_;
    // Values of the terms during a check.
    mutable std::vector<wide_t> check_values_;
    level_t deactivation_level_ = 0;
    bool queued_ = false;
};

} // namespace Tarvex
