#pragma once

// Per-thread state of literal -> the tasks [start, start + duration) of a
// disjoint constraint do not overlap. Each task is reasoned about through
// its window [est, lct] (earliest start, latest occupied point): a set of
// tasks that must fit into a shorter window than their total duration is an
// overload, and a window that a set of tasks fills exactly pushes every other
// task that could only start inside it past its end (and, mirrored, before
// its start). Work is limited to clusters of overlapping windows in which a
// task changed since it was last looked at.

#include "constraints/abstract_constraint_state.hpp"
#include "constraints/disjoint_constraint.hpp"

#include <utility>
#include <vector>

namespace Tarvex {

class DisjointConstraintState final : public AbstractConstraintState {
public:
    struct TaskRecord {
        var_id var;
        value_t duration;
        // Times are 64 bits wide so that sums of durations cannot overflow.
        wide_t est;
        wide_t lct;
        wide_t seen_est;
        wide_t seen_lct;
        wide_t scratch;
        // The window as the mirrored pass of edge finding last saw it.
        wide_t mirror_est;
        wide_t mirror_lct;

        bool changed() const { return est != seen_est || lct != seen_lct; }
        bool changed(bool mirrored) const {
            return mirrored ? est != mirror_est || lct != mirror_lct : changed();
        }
    };

    explicit DisjointConstraintState(DisjointConstraint const& constraint);

    AbstractConstraint const& owner_constraint() const override { return *constraint_; }
    void attach_to_solver(ThreadSolver& solver) override;
    void detach_from_solver(ThreadSolver& solver) override;
    std::pair<bool, bool> translate_to_clauses(TheoryConfig const& config, ThreadSolver& solver,
                                               InitClauseCreator& cc, ConstraintList& added) override;
    std::unique_ptr<AbstractConstraintState> clone_state() const override;
    bool on_bound_change(value_t coefficient, value_t delta) override {
        static_cast<void>(coefficient);
        static_cast<void>(delta);
        return true;
    }
    // After backtracking the remembered windows say nothing: look at all.
    void revert_bound_change(value_t coefficient, value_t delta) override {
        static_cast<void>(coefficient);
        static_cast<void>(delta);
        rescan_ = true;
    }
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

    std::vector<TaskRecord> const& tasks() const { return tasks_; }

private:
    // One direction over every cluster of the tasks sorted for it; mirrored
    // works on negated times.
    bool pass(ThreadSolver& solver, AbstractClauseCreator& cc, bool mirrored, bool force, bool edge_finding);
    bool process_cluster(ThreadSolver& solver, AbstractClauseCreator& cc, std::size_t begin, std::size_t end,
                         bool mirrored);
    // Appends the bound literals of the tasks in [begin, last] whose window
    // starts (in the pass's direction) no earlier than `from`.
    void push_window(ThreadSolver& solver, AbstractClauseCreator& cc, std::size_t begin, std::size_t last,
                     wide_t from, bool mirrored);
    bool report_overload(ThreadSolver& solver, AbstractClauseCreator& cc, std::size_t begin, std::size_t last,
                         wide_t from, bool mirrored);
    // Edge finding over one cluster: a task that cannot come before or
    // inside a set of tasks, nor end with them, starts after all of them.
    bool find_edges(ThreadSolver& solver, AbstractClauseCreator& cc, std::size_t begin, std::size_t end,
                    bool mirrored);
    // Appends the bound literals of the first `count` tasks of prefix_.
    void push_prefix(ThreadSolver& solver, AbstractClauseCreator& cc, std::size_t count);

    DisjointConstraint const* constraint_;
    std::vector<TaskRecord> tasks_;
    // Edge finding: cluster positions by decreasing earliest start, and per
    // prefix of the tasks inside the current window its total duration,
    // earliest start plus that, and the largest such value so far.
    struct PrefixEntry {
        std::size_t task;
        wide_t est;
        wide_t duration;
        wide_t value;
        wide_t completion;
    };
    std::vector<std::size_t> by_start_;
    std::vector<PrefixEntry> prefix_;
    // Occupied intervals during a check.
    mutable std::vector<std::pair<wide_t, wide_t>> check_intervals_;
    level_t deactivation_level_ = 0;
    bool rescan_ = true;
    bool queued_ = false;
};

} // namespace Tarvex
