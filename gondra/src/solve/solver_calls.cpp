// The life of a thread solver across solve calls: what a call starts from and
// what of it survives into the next one.
//
// Every call creates a call literal that its searches assume first (decision
// level 1). Blocking clauses, volatile clauses and objective bounds hold for
// one call only; each of them carries the negated call literal, so whatever is
// derived from them carries it too and never becomes a level-0 fact. Level 0
// therefore only ever grows with consequences that hold in every later call,
// and propagators, which never see level 0 undone, stay consistent.
//
// Kept: the problem, static clauses (also those propagators added during
// search, unless they mention a search variable), learnt clauses without
// search variables and the level-0 facts derived during the call. Dropped:
// variables created during search (the call literal among them; their numbers
// are handed out again, after any variables the problem gains), every clause
// over them and volatile clauses.
#include "solve/propagate_control.hpp"
#include "solve/solver.hpp"

#include <algorithm>

namespace Gondra::Solve {

void Solver::begin_call() {
    has_conflict_ = false;
    backtrack(0);
    failed_ = false;
    failure_ = {};
    if (!unsat_) {
        propagate_root();
    }
    root_mark_ = trail_size();
    // Literals fixed before the search are not changes: init has read them,
    // but only in thread 0. The propagators' state of the other threads is
    // built from thread 0's, so the facts this thread holds beyond those are
    // handed over as changes.
    for (auto& slot : slots_) {
        slot.pending.clear();
    }
    if (thread_id_ != 0 && has_propagators_) {
        for (uint32_t k = 0; k < trail_end(0); ++k) {
            queue_change(trail_[k]);
        }
    }
    tainted_ = false;
    step_ = make_lit(new_var(), false);
    if (has_objective()) {
        // Assigning the call literal enforces a bound set before it was
        // assumed (a zero weight changes no sum).
        occurrences(step_).obj.push_back({0, 0});
    }
    seen_version_ = 0;
    stop_counter_ = 0;
    has_deadline_ = false;
}

void Solver::root_facts(std::vector<int32_t>& out) const {
    out.clear();
    for (uint32_t k = 0; k < trail_end(0); ++k) {
        if (var_of(trail_[k]) <= problem_vars_) {
            out.push_back(to_external(trail_[k]));
        }
    }
}

void Solver::add_facts(std::span<int32_t const> facts) {
    backtrack(0);
    for (int32_t lit : facts) {
        Lit l = to_lit(lit);
        if (value(l) == 0) {
            assign(l, reason_none);
        } else if (value(l) < 0) {
            unsat_ = true;
        }
    }
}

void Solver::end_call() {
    has_conflict_ = false;
    backtrack(0);
    step_ = lit_undef;
    for (auto& slot : slots_) {
        // Level 0 is never undone; propagators read it again in init.
        slot.pending.clear();
        slot.delivered.clear();
        slot.marks.clear();
    }
    std::vector<Lit> keep;
    if (!tainted_) {
        for (uint32_t k = root_mark_; k < trail_.size(); ++k) {
            if (var_of(trail_[k]) <= problem_vars_) {
                keep.push_back(trail_[k]);
            }
        }
    } else {
        unsat_ = false;
    }
    truncate_root(std::min<uint32_t>(root_mark_, trail_size()));

    bool drop_vars = num_vars_ > problem_vars_;
    auto mentions_dropped = [&](ClauseRef c) {
        if (!drop_vars) {
            return false;
        }
        Lit const* lits = arena_.lits(c);
        for (uint32_t k = 0; k < arena_.size(c); ++k) {
            if (var_of(lits[k]) > problem_vars_) {
                return true;
            }
        }
        return false;
    };
    bool deleted = false;
    for (ClauseRef c : clauses_) {
        if ((arena_.flags(c) & ClauseArena::flag_volatile) != 0 || mentions_dropped(c)) {
            arena_.mark_deleted(c);
            deleted = true;
        }
    }
    for (ClauseRef c : learnts_) {
        if (!arena_.deleted(c) &&
            (tainted_ || (arena_.flags(c) & ClauseArena::flag_volatile) != 0 || mentions_dropped(c))) {
            arena_.mark_deleted(c);
            deleted = true;
        }
    }
    if (deleted) {
        collect_garbage();
    }
    // Without taint, the learnt ones over problem variables hold in later
    // calls; those over dropped variables go with them.
    if (tainted_) {
        drop_removable_binaries();
    }
    if (drop_vars) {
        drop_variables_above(problem_vars_);
    }
    for (Lit l : keep) {
        if (value(l) == 0) {
            assign(l, reason_none);
        } else if (value(l) < 0) {
            unsat_ = true;
        }
    }
    for (auto& level : obj_levels_) {
        level.bound = 0;
    }
    obj_has_bound_ = false;
    assumptions_.clear();
    // Propagate level 0 again from its start: a clause watched by a literal
    // false on level 0 may have lost the literal that satisfied it.
    if (has_counters_) {
        for (uint32_t k = 0; k < qhead_; ++k) {
            Lit p = trail_[k];
            if (auto const* occ = find_occurrences(p)) {
                for (auto const& o : occ->pb) {
                    pb_[o.row].slack += o.coefficient;
                }
                for (auto const& o : occ->obj) {
                    obj_levels_[o.level].sum -= o.weight;
                }
            }
        }
    }
    qhead_ = 0;
    if (!unsat_) {
        propagate_root();
    }
    for (auto& slot : slots_) {
        slot.pending.clear();
    }
    tainted_ = false;
    root_mark_ = trail_size();
    stats_.clauses = clauses_.size();
}

// Unassigns level-0 entries from position mark on; level-0 reasons are
// cleared for all, as the clauses behind them may go.
void Solver::truncate_root(uint32_t mark) {
    for (size_t k = trail_.size(); k-- > mark;) {
        Lit p = trail_[k];
        Var v = var_of(p);
        if (has_counters_ && k < qhead_) {
            if (auto const* occ = find_occurrences(p)) {
                for (auto const& o : occ->pb) {
                    pb_[o.row].slack += o.coefficient;
                }
                for (auto const& o : occ->obj) {
                    obj_levels_[o.level].sum -= o.weight;
                }
            }
        }
        value_[p] = 0;
        value_[negate(p)] = 0;
        reason_[v] = reason_none;
        heap_.insert(v);
    }
    trail_.resize(mark);
    qhead_ = std::min<uint32_t>(qhead_, mark);
    for (Lit l : trail_) {
        reason_[var_of(l)] = reason_none;
    }
}

// Removes learnt and volatile binary clauses. One list entry goes per
// removable entry, so a clause that is also a problem clause stays.
void Solver::drop_removable_binaries() {
    for (size_t l = 2; l < binaries_.lists(); ++l) {
        binaries_.filter(l, [](Lit x) { return (x & binary_removable) == 0; });
    }
}

void Solver::drop_variables_above(uint32_t vars) {
    size_t lits = 2 * static_cast<size_t>(vars) + 2;
    for (size_t l = 2; l < lits; ++l) {
        binaries_.filter(l, [vars](Lit x) { return var_of(x & ~binary_removable) <= vars; });
    }
    for (size_t l = lits; l < occ_index_.size(); ++l) {
        release_occurrences(static_cast<Lit>(l));
    }
    value_.resize(lits);
    watches_.resize(lits);
    binaries_.resize(lits);
    occ_index_.resize(lits);
    watch_single_.resize(lits);
    level_.resize(vars + 1);
    reason_.resize(vars + 1);
    trail_pos_.resize(vars + 1);
    phase_.resize(vars + 1);
    seen_.resize(vars + 1);
    activity_.resize(vars + 1);
    num_vars_ = vars;
    heap_.clear();
    for (Var v = 2; v <= vars; ++v) {
        if (value(make_lit(v, false)) == 0) {
            heap_.insert(v);
        }
    }
    stats_.variables = vars;
}

} // namespace Gondra::Solve
