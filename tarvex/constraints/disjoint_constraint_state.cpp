#include "constraints/disjoint_constraint_state.hpp"

#include "solver/thread_solver.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace Tarvex {

namespace {

constexpr value_t task_tag = 1;

// Times as one pass sees them: the mirrored pass negates the time axis, so
// that lowering ends becomes raising starts.
wide_t earliest(DisjointConstraintState::TaskRecord const& task, bool mirrored) {
    return mirrored ? -task.lct : task.est;
}
wide_t latest(DisjointConstraintState::TaskRecord const& task, bool mirrored) {
    return mirrored ? -task.est : task.lct;
}

} // namespace

DisjointConstraintState::DisjointConstraintState(DisjointConstraint const& constraint) : constraint_{&constraint} {
    // A task without positive duration occupies nothing and takes no part.
    for (auto const& [duration, var] : constraint.elements()) {
        if (duration > 0) {
            tasks_.push_back({var, duration, 0, 0, 0, 0, 0, 0, 0});
        }
    }
    by_start_.reserve(tasks_.size());
    prefix_.reserve(tasks_.size());
}

void DisjointConstraintState::attach_to_solver(ThreadSolver& solver) {
    for (auto const& task : tasks_) {
        solver.add_var_watch(task.var, task_tag, *this);
    }
    rescan_ = true;
}

void DisjointConstraintState::detach_from_solver(ThreadSolver& solver) {
    for (auto const& task : tasks_) {
        solver.remove_var_watch(task.var, task_tag, *this);
    }
}

std::pair<bool, bool> DisjointConstraintState::translate_to_clauses(TheoryConfig const& config,
                                                                     ThreadSolver& solver, InitClauseCreator& cc,
                                                                     ConstraintList& added) {
    static_cast<void>(config);
    static_cast<void>(solver);
    static_cast<void>(cc);
    static_cast<void>(added);
    return {true, false};
}

std::unique_ptr<AbstractConstraintState> DisjointConstraintState::clone_state() const {
    auto clone = std::make_unique<DisjointConstraintState>(*constraint_);
    clone->tasks_ = tasks_;
    clone->deactivation_level_ = deactivation_level_;
    clone->rescan_ = rescan_;
    clone->queued_ = queued_;
    return clone;
}

bool DisjointConstraintState::propagate_constraint(ThreadSolver& solver, AbstractClauseCreator& cc,
                                                   bool check_state) {
    static_cast<void>(check_state);
    bool force = rescan_;
    rescan_ = false;
    for (auto& task : tasks_) {
        auto const& vs = solver.var_state(task.var);
        task.est = vs.lower_bound();
        task.lct = static_cast<wide_t>(vs.upper_bound()) + task.duration - 1;
    }
    bool edge_finding = solver.config().disjoint_propagation == DisjointPropagation::EdgeFinding;
    return pass(solver, cc, false, force, edge_finding) && pass(solver, cc, true, force, edge_finding);
}

bool DisjointConstraintState::pass(ThreadSolver& solver, AbstractClauseCreator& cc, bool mirrored, bool force,
                                   bool edge_finding) {
    std::sort(tasks_.begin(), tasks_.end(), [mirrored](TaskRecord const& a, TaskRecord const& b) {
        return latest(a, mirrored) < latest(b, mirrored);
    });
    // Clusters from the right: a task joins while its window reaches the
    // earliest start of the cluster; tasks left of a cluster cannot meet it.
    std::size_t end = tasks_.size();
    while (end > 0) {
        std::size_t begin = end - 1;
        // Edge finding tracks changes per direction.
        bool const own = edge_finding && mirrored;
        wide_t start = earliest(tasks_[begin], mirrored);
        bool changed = tasks_[begin].changed(own);
        while (begin > 0 && latest(tasks_[begin - 1], mirrored) >= start) {
            --begin;
            start = std::min(start, earliest(tasks_[begin], mirrored));
            changed = changed || tasks_[begin].changed(own);
        }
        if (force || changed) {
            bool ok = edge_finding ? find_edges(solver, cc, begin, end, mirrored)
                                   : process_cluster(solver, cc, begin, end, mirrored);
            if (!ok) {
                return false;
            }
        }
        end = begin;
    }
    return true;
}

void DisjointConstraintState::push_window(ThreadSolver& solver, AbstractClauseCreator& cc, std::size_t begin,
                                          std::size_t last, wide_t from, bool mirrored) {
    auto assignment = cc.assignment();
    auto& reason = solver.temp_reason();
    for (std::size_t t = begin; t <= last; ++t) {
        if (earliest(tasks_[t], mirrored) < from) {
            continue;
        }
        auto& vs = solver.var_state(tasks_[t].var);
        literal_t after = solver.get_literal(cc, vs, vs.lower_bound() - 1);
        if (!assignment.is_fixed(after)) {
            reason.push_back(after);
        }
        literal_t before = -solver.get_literal(cc, vs, vs.upper_bound());
        if (!assignment.is_fixed(before)) {
            reason.push_back(before);
        }
    }
}

bool DisjointConstraintState::report_overload(ThreadSolver& solver, AbstractClauseCreator& cc, std::size_t begin,
                                              std::size_t last, wide_t from, bool mirrored) {
    auto assignment = cc.assignment();
    auto& reason = solver.temp_reason();
    reason.clear();
    literal_t off = -constraint_->literal();
    if (!assignment.is_fixed(off)) {
        reason.push_back(off);
    }
    push_window(solver, cc, begin, last, from, mirrored);
    return cc.add_clause(reason, clause_type_learnt);
}

bool DisjointConstraintState::process_cluster(ThreadSolver& solver, AbstractClauseCreator& cc, std::size_t begin,
                                              std::size_t end, bool mirrored) {
    auto assignment = cc.assignment();
    auto& reason = solver.temp_reason();
    literal_t const off = -constraint_->literal();
    // Tasks in order of their latest point; the scratch of task i is its
    // earliest start minus one plus the durations of the tasks seen so far
    // that cannot start before it: the last point they occupy at least.
    for (std::size_t c = begin; c < end; ++c) {
        auto& task_c = tasks_[c];
        task_c.seen_est = task_c.est;
        task_c.seen_lct = task_c.lct;
        wide_t const est_c = earliest(task_c, mirrored);
        wide_t const lct_c = latest(task_c, mirrored);
        task_c.scratch = est_c + task_c.duration - 1;
        std::size_t tight = end;
        bool overloaded = false;
        for (std::size_t i = begin; i < c; ++i) {
            auto& task_i = tasks_[i];
            wide_t const est_i = earliest(task_i, mirrored);
            if (est_i < est_c) {
                task_i.scratch += task_c.duration;
                if (task_i.scratch > lct_c) {
                    if (!report_overload(solver, cc, begin, c, est_i, mirrored)) {
                        return false;
                    }
                    overloaded = true;
                    break;
                }
                if (task_i.scratch == lct_c && (tight == end || earliest(tasks_[tight], mirrored) > est_i)) {
                    tight = i;
                }
            } else {
                task_c.scratch += task_i.duration;
            }
        }
        if (overloaded) {
            continue;
        }
        if (task_c.scratch > lct_c) {
            if (!report_overload(solver, cc, begin, c, est_c, mirrored)) {
                return false;
            }
            continue;
        }
        if (task_c.scratch == lct_c && (tight == end || est_c < earliest(tasks_[tight], mirrored))) {
            tight = c;
        }
        if (tight == end) {
            continue;
        }
        // The tasks of the window [est_t, lct_c] fill it: a later task that
        // cannot start before it must start after it.
        wide_t const est_t = earliest(tasks_[tight], mirrored);
        bool based = false;
        for (std::size_t u = c + 1; u < end; ++u) {
            auto& task_u = tasks_[u];
            wide_t const est_u = earliest(task_u, mirrored);
            if (est_u < est_t || est_u > lct_c) {
                continue;
            }
            if (!based) {
                reason.clear();
                if (!assignment.is_fixed(off)) {
                    reason.push_back(off);
                }
                push_window(solver, cc, begin, c, est_t, mirrored);
                based = true;
            }
            std::size_t base = reason.size();
            auto& vs = solver.var_state(task_u.var);
            literal_t derived = 0;
            if (!mirrored) {
                literal_t after = solver.get_literal(cc, vs, vs.lower_bound() - 1);
                if (!assignment.is_fixed(after)) {
                    reason.push_back(after);
                }
                auto bound = static_cast<value_t>(std::min<wide_t>(vs.upper_bound(), lct_c));
                derived = -solver.update_literal(cc, vs, bound, 0);
                task_u.seen_est = lct_c + 1;
            } else {
                literal_t before = -solver.get_literal(cc, vs, vs.upper_bound());
                if (!assignment.is_fixed(before)) {
                    reason.push_back(before);
                }
                // lct_c is the negated earliest start of c: u ends before it.
                wide_t latest_start = -lct_c - task_u.duration;
                auto bound = static_cast<value_t>(std::max<wide_t>(latest_start, wide_t{vs.lower_bound()} - 1));
                derived = solver.update_literal(cc, vs, bound, 0);
                task_u.seen_lct = -lct_c - 1;
            }
            reason.push_back(derived);
            if (!cc.add_clause(reason, clause_type_learnt)) {
                return false;
            }
            reason.resize(base);
        }
    }
    return true;
}

void DisjointConstraintState::push_prefix(ThreadSolver& solver, AbstractClauseCreator& cc, std::size_t count) {
    auto assignment = cc.assignment();
    auto& reason = solver.temp_reason();
    for (std::size_t q = 0; q < count; ++q) {
        auto& vs = solver.var_state(tasks_[prefix_[q].task].var);
        literal_t after = solver.get_literal(cc, vs, vs.lower_bound() - 1);
        if (!assignment.is_fixed(after)) {
            reason.push_back(after);
        }
        literal_t before = -solver.get_literal(cc, vs, vs.upper_bound());
        if (!assignment.is_fixed(before)) {
            reason.push_back(before);
        }
    }
}

bool DisjointConstraintState::find_edges(ThreadSolver& solver, AbstractClauseCreator& cc, std::size_t begin,
                                         std::size_t end, bool mirrored) {
    auto assignment = cc.assignment();
    auto& reason = solver.temp_reason();
    literal_t const off = -constraint_->literal();
    by_start_.clear();
    for (std::size_t t = begin; t < end; ++t) {
        auto& task = tasks_[t];
        (mirrored ? task.mirror_est : task.seen_est) = task.est;
        (mirrored ? task.mirror_lct : task.seen_lct) = task.lct;
        by_start_.push_back(t);
    }
    std::sort(by_start_.begin(), by_start_.end(), [&](std::size_t a, std::size_t b) {
        return earliest(tasks_[a], mirrored) > earliest(tasks_[b], mirrored);
    });
    // Windows end at the latest point of a task c; ties of that point are
    // taken together.
    for (std::size_t c = begin; c < end; ++c) {
        wide_t const bound = latest(tasks_[c], mirrored);
        if (c + 1 < end && latest(tasks_[c + 1], mirrored) == bound) {
            continue;
        }
        // Prefixes, by decreasing earliest start, of the tasks that end by
        // the bound: together they occupy at least up to `completion`.
        prefix_.clear();
        wide_t duration = 0;
        wide_t completion = std::numeric_limits<wide_t>::min();
        for (std::size_t t : by_start_) {
            if (t > c) {
                continue;
            }
            wide_t const est = earliest(tasks_[t], mirrored);
            duration += tasks_[t].duration;
            wide_t const value = est + duration;
            completion = std::max(completion, value);
            prefix_.push_back({t, est, duration, value, completion});
            if (value > bound + 1) {
                // More work than room between est and the bound.
                reason.clear();
                if (!assignment.is_fixed(off)) {
                    reason.push_back(off);
                }
                push_prefix(solver, cc, prefix_.size());
                return cc.add_clause(reason, clause_type_learnt);
            }
        }
        // A task i that ends later: if it cannot fit with a prefix into
        // [min(est of both), bound], it comes after the whole prefix.
        for (std::size_t i = c + 1; i < end; ++i) {
            auto& task_i = tasks_[i];
            wide_t const est_i = earliest(task_i, mirrored);
            wide_t const limit = bound + 1 - task_i.duration;
            // Prefixes starting before i, longest first.
            std::size_t best = prefix_.size();
            std::size_t q = prefix_.size();
            while (q > 0 && prefix_[q - 1].est < est_i) {
                --q;
                if (prefix_[q].value > limit) {
                    best = q;
                    break;
                }
            }
            // Of the prefixes starting no earlier than i (the first q), the
            // longest decides.
            if (best == prefix_.size() && q > 0 && est_i + prefix_[q - 1].duration > limit) {
                best = q - 1;
            }
            if (best == prefix_.size() || prefix_[best].completion <= est_i) {
                continue;
            }
            wide_t const start = prefix_[best].completion;
            reason.clear();
            if (!assignment.is_fixed(off)) {
                reason.push_back(off);
            }
            push_prefix(solver, cc, best + 1);
            auto& vs = solver.var_state(task_i.var);
            literal_t derived = 0;
            if (!mirrored) {
                literal_t after = solver.get_literal(cc, vs, vs.lower_bound() - 1);
                if (!assignment.is_fixed(after)) {
                    reason.push_back(after);
                }
                auto value = static_cast<value_t>(std::min<wide_t>(vs.upper_bound(), start - 1));
                derived = -solver.get_literal(cc, vs, value);
            } else {
                // start is a negated last point: i must end before -start.
                literal_t before = -solver.get_literal(cc, vs, vs.upper_bound());
                if (!assignment.is_fixed(before)) {
                    reason.push_back(before);
                }
                wide_t latest_start = -start - task_i.duration + 1;
                auto value = static_cast<value_t>(std::max<wide_t>(latest_start, wide_t{vs.lower_bound()} - 1));
                derived = solver.get_literal(cc, vs, value);
            }
            reason.push_back(derived);
            if (!cc.add_clause(reason, clause_type_learnt)) {
                return false;
            }
        }
    }
    return true;
}

void DisjointConstraintState::check_assignment(ThreadSolver& solver) const {
    check_intervals_.clear();
    for (auto const& [duration, var] : constraint_->elements()) {
        if (duration <= 0) {
            continue;
        }
        auto const& vs = solver.var_state(var);
        wide_t start = vs.lower_bound();
        check_intervals_.emplace_back(start, start + duration);
    }
    std::sort(check_intervals_.begin(), check_intervals_.end());
    for (std::size_t i = 1; i < check_intervals_.size(); ++i) {
        if (check_intervals_[i].first < check_intervals_[i - 1].second) {
            throw std::logic_error("invalid assignment to distinct constraint");
        }
    }
}

} // namespace Tarvex
