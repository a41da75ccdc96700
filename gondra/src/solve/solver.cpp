#include "solve/solver.hpp"

#include "solve/propagate_control.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Gondra::Solve {

Solver::Solver(uint32_t thread_id, SolverParams params)
    : thread_id_(thread_id), params_(params),
      seed_(params.seed * 0x9E3779B97F4A7C15ull + 88172645463325252ull), value_(2, 0), level_(1, 0),
      reason_(1, reason_none), trail_pos_(1, 0), phase_(1, 0), seen_(1, 0), activity_(1, 0.0),
      heap_(activity_) {
    watches_.resize(2);
    binaries_.resize(2);
    occ_index_.resize(2);
    occ_.emplace_back();
    watch_single_.resize(2, 0);
    level_stamp_.resize(2, 0);
    // Variable 1 is the constant: true on level 0 at trail position 0.
    Var one = new_var();
    assign(make_lit(one, false), reason_none);
    problem_vars_ = one;
}

Solver::~Solver() = default;

Var Solver::new_var(bool by_propagator) {
    Var v = ++num_vars_;
    value_.resize(2 * static_cast<size_t>(v) + 2, 0);
    level_.push_back(0);
    reason_.push_back(reason_none);
    trail_pos_.push_back(0);
    phase_.push_back(static_cast<int8_t>((params_.initial_phase_positive ? 0 : 1) | (by_propagator ? phase_fixed : 0)));
    seen_.push_back(0);
    double init = 0.0;
    if (params_.seed != 0) {
        init = static_cast<double>(next_random() % 1000) * 1e-5;
    }
    activity_.push_back(init);
    watches_.resize(2 * static_cast<size_t>(v) + 2);
    binaries_.resize(2 * static_cast<size_t>(v) + 2);
    occ_index_.resize(2 * static_cast<size_t>(v) + 2);
    watch_single_.resize(2 * static_cast<size_t>(v) + 2, 0);
    if (v > 1) {
        heap_.insert(v);
    }
    stats_.variables = v;
    return v;
}

Solver::Occurrences& Solver::occurrences(Lit l) {
    if (occ_index_[l] == 0) {
        if (!occ_free_.empty()) {
            occ_index_.set(l, occ_free_.back());
            occ_free_.pop_back();
        } else {
            occ_index_.set(l, static_cast<uint32_t>(occ_.size()));
            occ_.emplace_back();
        }
    }
    return occ_[occ_index_[l]];
}

void Solver::release_occurrences(Lit l) {
    if (uint32_t index = occ_index_[l]; index != 0) {
        occ_[index] = {};
        occ_free_.push_back(index);
        occ_index_.set(l, 0);
    }
}

int32_t Solver::decision(uint32_t level) const {
    if (level == 0 || level > decision_level()) {
        return 1;
    }
    uint32_t pos = trail_lim_[level - 1];
    if (pos >= trail_.size()) {
        return 0;
    }
    Lit l = trail_[pos];
    return level_[var_of(l)] == level && reason_[var_of(l)] == reason_none ? to_external(l) : 0;
}

// ---------------------------------------------------------------------------
// loading

bool Solver::sync(Problem const& problem) {
    backtrack(0);
    if (num_vars_ > problem_vars_ && problem.num_vars() > problem_vars_) {
        // Variables created during search would collide with the new ones.
        throw ProblemError("the problem grew while search variables exist");
    }
    while (num_vars_ < problem.num_vars()) {
        new_var(problem.by_propagator(num_vars_ + 1));
    }
    problem_vars_ = std::max(problem_vars_, problem.num_vars());
    for (; loaded_clauses_ < problem.num_clauses(); ++loaded_clauses_) {
        add_buf_.clear();
        for (auto lit : problem.clause(loaded_clauses_)) {
            add_buf_.push_back(to_lit(lit));
        }
        if (!add_root_clause(add_buf_)) {
            unsat_ = true;
        }
    }
    for (; loaded_pb_ < problem.num_pb() && !unsat_; ++loaded_pb_) {
        add_pb_row(problem.pb_terms(loaded_pb_), problem.pb_row(loaded_pb_).bound);
    }
    if (problem.minimize().size() != obj_loaded_terms_) {
        build_objective(problem.minimize());
    }
    stats_.clauses = clauses_.size();
    stats_.weight_constraints = pb_.size();
    return !unsat_ && propagate_root();
}

bool Solver::add_root_clause(std::vector<Lit>& lits) {
    size_t j = 0;
    for (size_t i = 0; i < lits.size(); ++i) {
        Lit l = lits[i];
        if (value(l) > 0 && level_[var_of(l)] == 0) {
            for (size_t k = 0; k < j; ++k) {
                seen_[var_of(lits[k])] = 0;
            }
            return true;
        }
        if (value(l) < 0 && level_[var_of(l)] == 0) {
            continue;
        }
        if (seen_[var_of(l)] != 0) {
            bool tautology = std::find(lits.begin(), lits.begin() + static_cast<ptrdiff_t>(j), negate(l)) !=
                             lits.begin() + static_cast<ptrdiff_t>(j);
            if (tautology) {
                for (size_t k = 0; k < j; ++k) {
                    seen_[var_of(lits[k])] = 0;
                }
                return true;
            }
            continue;
        }
        seen_[var_of(l)] = 1;
        lits[j++] = l;
    }
    lits.resize(j);
    for (auto l : lits) {
        seen_[var_of(l)] = 0;
    }
    if (lits.empty()) {
        return false;
    }
    if (lits.size() == 1) {
        if (value(lits[0]) < 0) {
            return false;
        }
        if (value(lits[0]) == 0) {
            assign(lits[0], reason_none);
        }
        return true;
    }
    if (lits.size() == 2) {
        add_binary(lits[0], lits[1], false);
        ++stats_.binary_clauses;
        return true;
    }
    ClauseRef c = arena_.alloc(lits, 0, 0);
    clauses_.push_back(c);
    attach_long(c);
    return true;
}

void Solver::add_binary(Lit a, Lit b, bool removable) {
    Lit tag = removable ? binary_removable : 0;
    binaries_.push(negate(a), b | tag);
    binaries_.push(negate(b), a | tag);
}

void Solver::attach_long(ClauseRef c) {
    Lit const* lits = arena_.lits(c);
    watches_.push(negate(lits[0]), {c, lits[1]});
    watches_.push(negate(lits[1]), {c, lits[0]});
}

void Solver::add_pb_row(std::span<PbTerm const> terms, int64_t bound) {
    auto row = static_cast<uint32_t>(pb_.size());
    PbState state{static_cast<uint32_t>(pb_lits_.size()), 0, bound, -bound};
    for (auto const& t : terms) {
        Lit l = to_lit(t.literal);
        pb_lits_.push_back({l, t.coefficient});
        occurrences(negate(l)).pb.push_back({row, t.coefficient});
        bool processed_false = value(l) < 0 && trail_pos_[var_of(l)] < qhead_;
        if (!processed_false) {
            state.slack += t.coefficient;
        }
    }
    state.end = static_cast<uint32_t>(pb_lits_.size());
    pb_.push_back(state);
    has_counters_ = true;
    auto& r = pb_.back();
    if (r.slack < 0) {
        unsat_ = true;
        return;
    }
    for (uint32_t k = r.begin; k < r.end && pb_lits_[k].coefficient > r.slack; ++k) {
        if (value(pb_lits_[k].lit) == 0) {
            assign(pb_lits_[k].lit, (row << 2) | reason_lazy);
        }
    }
}

void Solver::build_objective(std::vector<MinimizeTerm> const& terms) {
    for (auto const& t : obj_terms_) {
        occurrences(t.lit).obj.clear();
    }
    obj_levels_.clear();
    obj_terms_.clear();
    obj_priorities_.clear();
    obj_loaded_terms_ = terms.size();
    std::vector<MinimizeTerm> sorted(terms.begin(), terms.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](auto const& a, auto const& b) { return a.priority > b.priority; });
    for (size_t i = 0; i < sorted.size();) {
        size_t k = i;
        ObjLevel level{static_cast<uint32_t>(obj_terms_.size()), 0, 0, 0, 0};
        std::vector<ObjTerm> collected;
        for (; k < sorted.size() && sorted[k].priority == sorted[i].priority; ++k) {
            auto lit = sorted[k].literal;
            int64_t w = sorted[k].weight;
            if (lit == 1) {
                level.offset += w;
                continue;
            }
            if (lit == -1 || w == 0) {
                continue;
            }
            if (w < 0) {
                level.offset += w;
                lit = -lit;
                w = -w;
            }
            collected.push_back({to_lit(lit), w});
        }
        std::sort(collected.begin(), collected.end(),
                  [](auto const& a, auto const& b) { return a.weight > b.weight; });
        auto index = static_cast<uint32_t>(obj_levels_.size());
        for (auto const& t : collected) {
            obj_terms_.push_back(t);
            occurrences(t.lit).obj.push_back({index, t.weight});
            if (value(t.lit) > 0 && trail_pos_[var_of(t.lit)] < qhead_) {
                level.sum += t.weight;
            }
        }
        level.end = static_cast<uint32_t>(obj_terms_.size());
        obj_levels_.push_back(level);
        obj_priorities_.push_back(sorted[i].priority);
        i = k;
    }
    if (!obj_levels_.empty()) {
        has_counters_ = true;
    }
}

std::vector<int64_t> Solver::cost() const {
    std::vector<int64_t> out;
    for (auto const& level : obj_levels_) {
        int64_t c = level.offset;
        for (uint32_t k = level.begin; k < level.end; ++k) {
            if (value_[obj_terms_[k].lit] > 0) {
                c += obj_terms_[k].weight;
            }
        }
        out.push_back(c);
    }
    return out;
}

void Solver::set_objective_bound(std::span<int64_t const> bound) {
    for (size_t i = 0; i < obj_levels_.size() && i < bound.size(); ++i) {
        obj_levels_[i].bound = bound[i] - obj_levels_[i].offset;
    }
    obj_has_bound_ = !obj_levels_.empty();
    tainted_ = tainted_ || (obj_has_bound_ && step_ == lit_undef);
    if (!has_conflict_ && bound_active() && !check_objective(std::numeric_limits<uint32_t>::max())) {
        has_conflict_ = true;
    }
}

void Solver::block_model() {
    std::vector<int32_t> clause;
    clause.reserve(assumptions_.size() + decision_level());
    for (Lit a : assumptions_) {
        clause.push_back(to_external(negate(a)));
    }
    for (auto level = static_cast<uint32_t>(assumptions_.size()) + 1; level <= decision_level(); ++level) {
        if (int32_t d = decision(level); d != 0) {
            clause.push_back(-d);
        }
    }
    add_clause(clause, ClauseType::volatile_);
}

bool Solver::propagate_root() {
    if (unsat_) {
        return false;
    }
    if (!unit_propagate()) {
        unsat_ = true;
        has_conflict_ = false;
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// propagation

bool Solver::unit_propagate() {
    watches_.compact_if_wasteful();
    while (qhead_ < trail_.size()) {
        Lit p = trail_[qhead_++];
        ++stats_.propagations;
        if (has_counters_ && !propagate_counters(p)) {
            return false;
        }
        for (Lit entry : binaries_[p]) {
            Lit q = entry & ~binary_removable;
            int v = value_[q];
            if (v == 0) {
                assign(q, (negate(p) << 2) | reason_binary);
            } else if (v < 0) {
                Lit lits[2] = {q, negate(p)};
                set_conflict_lits(lits);
                return false;
            }
        }
        // Positions, not pointers: pushing onto another list may move the
        // arena (never this list).
        uint32_t start = watches_.start(p);
        uint32_t end = start + watches_.size(p);
        uint32_t i = start;
        uint32_t j = start;
        Watch* ws = watches_.data();
        Lit false_lit = negate(p);
        while (i != end) {
            Lit blocker = ws[i].blocker;
            if (value_[blocker] > 0) {
                ws[j++] = ws[i++];
                continue;
            }
            ClauseRef cr = ws[i].clause;
            Lit* c = arena_.lits(cr);
            if (c[0] == false_lit) {
                c[0] = c[1];
                c[1] = false_lit;
            }
            ++i;
            Lit first = c[0];
            Watch w{cr, first};
            if (first != blocker && value_[first] > 0) {
                ws[j++] = w;
                continue;
            }
            uint32_t size = arena_.size(cr);
            Lit* k = c + 2;
            Lit* stop = c + size;
            for (; k != stop; ++k) {
                if (value_[*k] >= 0) {
                    break;
                }
            }
            if (k != stop) {
                c[1] = *k;
                *k = false_lit;
                watches_.push(negate(c[1]), w);
                ws = watches_.data();
                continue;
            }
            ws[j++] = w;
            if (value_[first] < 0) {
                while (i != end) {
                    ws[j++] = ws[i++];
                }
                watches_.truncate(p, j - start);
                set_conflict_clause(cr);
                return false;
            }
            assign(first, (cr << 2) | reason_clause);
        }
        watches_.truncate(p, j - start);
    }
    return true;
}

// Counters are updated for every processed literal in full, even when a
// conflict follows, so that backtracking can undo them symmetrically.
bool Solver::propagate_counters(Lit p) {
    // Dense per-literal summaries spare the lists of most literals.
    if (has_propagators_) {
        queue_change(p);
    }
    if (occ_index_[p] == 0) {
        return true;
    }
    auto const& occ = occ_[occ_index_[p]].pb;
    for (auto const& o : occ) {
        pb_[o.row].slack -= o.coefficient;
    }
    auto const& oocc = occ_[occ_index_[p]].obj;
    for (auto const& o : oocc) {
        obj_levels_[o.level].sum += o.weight;
    }
    for (auto const& o : occ) {
        auto& r = pb_[o.row];
        if (r.slack < 0) {
            explain_lazy(o.row, std::numeric_limits<uint32_t>::max(), lit_undef, conflict_);
            has_conflict_ = true;
            conflict_is_clause_ = false;
            return false;
        }
        for (uint32_t k = r.begin; k < r.end && pb_lits_[k].coefficient > r.slack; ++k) {
            if (value_[pb_lits_[k].lit] == 0) {
                assign(pb_lits_[k].lit, (o.row << 2) | reason_lazy);
            }
        }
    }
    if (!oocc.empty() && bound_active()) {
        return check_objective(std::numeric_limits<uint32_t>::max());
    }
    return true;
}

// The cost must stay lexicographically below the bound. Sums only grow, so a
// prefix that already reaches the bound is a conflict, and literals that would
// make it reach the bound are forced false.
bool Solver::check_objective(uint32_t) {
    size_t n = obj_levels_.size();
    size_t i = 0;
    while (i < n && obj_levels_[i].sum == obj_levels_[i].bound) {
        ++i;
    }
    if (i == n || obj_levels_[i].sum > obj_levels_[i].bound) {
        explain_lazy(objective_id, std::numeric_limits<uint32_t>::max(), lit_undef, conflict_);
        has_conflict_ = true;
        conflict_is_clause_ = false;
        return false;
    }
    for (size_t t = 0; t < i; ++t) {
        for (uint32_t k = obj_levels_[t].begin; k < obj_levels_[t].end; ++k) {
            if (value_[obj_terms_[k].lit] == 0) {
                assign(negate(obj_terms_[k].lit), (objective_id << 2) | reason_lazy);
            }
        }
    }
    size_t after = i + 1;
    while (after < n && obj_levels_[after].sum == obj_levels_[after].bound) {
        ++after;
    }
    bool tie_loses = after == n || obj_levels_[after].sum > obj_levels_[after].bound;
    int64_t slack = obj_levels_[i].bound - obj_levels_[i].sum;
    for (uint32_t k = obj_levels_[i].begin; k < obj_levels_[i].end; ++k) {
        int64_t w = obj_terms_[k].weight;
        if (w < slack || (w == slack && !tie_loses)) {
            break;
        }
        if (value_[obj_terms_[k].lit] == 0) {
            assign(negate(obj_terms_[k].lit), (objective_id << 2) | reason_lazy);
        }
    }
    return true;
}

void Solver::explain_lazy(uint32_t id, uint32_t pos, Lit implied, std::vector<Lit>& out) {
    (void)implied;
    out.clear();
    if (id == objective_id) {
        for (auto const& t : obj_terms_) {
            if (value_[t.lit] > 0 && trail_pos_[var_of(t.lit)] < pos) {
                out.push_back(negate(t.lit));
            }
        }
        // The bound holds for this call only.
        if (step_ != lit_undef) {
            out.push_back(negate(step_));
        }
        return;
    }
    auto const& r = pb_[id];
    for (uint32_t k = r.begin; k < r.end; ++k) {
        Lit l = pb_lits_[k].lit;
        if (value_[l] < 0 && trail_pos_[var_of(l)] < pos) {
            out.push_back(l);
        }
    }
}

void Solver::set_conflict_clause(ClauseRef c) {
    conflict_.assign(arena_.lits(c), arena_.lits(c) + arena_.size(c));
    conflict_clause_ = c;
    conflict_is_clause_ = true;
    has_conflict_ = true;
}

void Solver::set_conflict_lits(std::span<Lit const> lits) {
    conflict_.assign(lits.begin(), lits.end());
    conflict_is_clause_ = false;
    has_conflict_ = true;
}

std::span<Lit const> Solver::reason_lits(Var v) {
    Reason r = reason_[v];
    switch (r & 3u) {
    case reason_binary:
        reason_buf_.assign(1, r >> 2);
        return reason_buf_;
    case reason_clause: {
        ClauseRef c = r >> 2;
        if (arena_.learnt(c)) {
            bump_clause(c);
        }
        return {arena_.lits(c) + 1, arena_.size(c) - 1};
    }
    case reason_lazy:
        explain_lazy(r >> 2, trail_pos_[v], lit_undef, reason_buf_);
        return reason_buf_;
    default:
        return {};
    }
}

// ---------------------------------------------------------------------------
// backtracking

void Solver::backtrack(uint32_t level) {
    if (decision_level() > level) {
        if (has_propagators_) {
            for (uint32_t s = static_cast<uint32_t>(slots_.size()); s-- > 0;) {
                auto& slot = slots_[s];
                while (!slot.marks.empty() && slot.marks.back().first > level) {
                    uint32_t start = slot.marks.back().second;
                    std::span<int32_t const> changes(slot.delivered.data() + start,
                                                     slot.delivered.size() - start);
                    bool saved = in_callback_;
                    in_callback_ = true;
                    try {
                        slot.propagator->undo(*slot.control, changes);
                    } catch (...) {
                        // undo cannot report failure; the solve call goes on
                    }
                    in_callback_ = saved;
                    // Level-0 literals delivered above level 0 (see
                    // propagate_all) are delivered again.
                    for (int32_t lit : changes) {
                        if (level_[var_of(to_lit(lit))] <= level) {
                            slot.pending.push_back(lit);
                        }
                    }
                    slot.delivered.resize(start);
                    slot.marks.pop_back();
                }
            }
        }
        uint32_t lim = trail_lim_[level];
        for (size_t k = trail_.size(); k-- > lim;) {
            Lit p = trail_[k];
            Var v = var_of(p);
            if (has_counters_ && k < qhead_ && occ_index_[p] != 0) {
                auto const& occ = occ_[occ_index_[p]];
                for (auto const& o : occ.pb) {
                    pb_[o.row].slack += o.coefficient;
                }
                for (auto const& o : occ.obj) {
                    obj_levels_[o.level].sum -= o.weight;
                }
            }
            value_[p] = 0;
            value_[negate(p)] = 0;
            if ((phase_[v] & phase_keep_mask_) == 0) {
                phase_[v] = static_cast<int8_t>((phase_[v] & phase_fixed) | static_cast<int8_t>(p & 1u));
            }
            heap_.insert(v);
        }
        trail_.resize(lim);
        trail_lim_.resize(level);
        qhead_ = std::min<uint32_t>(qhead_, lim);
        if (has_propagators_) {
            for (auto& slot : slots_) {
                auto& pend = slot.pending;
                pend.erase(std::remove_if(pend.begin(), pend.end(),
                                          [&](int32_t l) { return value_[to_lit(l)] <= 0; }),
                           pend.end());
            }
        }
    }
    if (level == 0 && !pending_units_.empty()) {
        for (Lit l : pending_units_) {
            if (value(l) == 0) {
                assign(l, reason_none);
            } else if (value(l) < 0) {
                unsat_ = true;
            }
        }
        pending_units_.clear();
    }
}

void Solver::reset_search() {
    has_conflict_ = false;
    backtrack(0);
}

// ---------------------------------------------------------------------------
// conflict analysis

void Solver::bump_var(Var v) {
    if ((activity_[v] += var_inc_) > 1e100) {
        for (auto& a : activity_) {
            a *= 1e-100;
        }
        var_inc_ *= 1e-100;
    }
    heap_.increased(v);
}

void Solver::bump_clause(ClauseRef c) {
    float a = arena_.activity(c) + static_cast<float>(cla_inc_);
    arena_.set_activity(c, a);
    arena_.set_flag(c, ClauseArena::flag_used);
    if (a > 1e20f) {
        for (auto l : learnts_) {
            arena_.set_activity(l, arena_.activity(l) * 1e-20f);
        }
        cla_inc_ *= 1e-20;
    }
}

bool Solver::resolve_conflict() {
    ++stats_.conflicts;
    uint32_t max_level = 0;
    for (Lit l : conflict_) {
        max_level = std::max(max_level, level_[var_of(l)]);
    }
    if (max_level == 0) {
        unsat_ = true;
        has_conflict_ = false;
        return false;
    }
    if (conflict_is_clause_ && arena_.learnt(conflict_clause_)) {
        bump_clause(conflict_clause_);
    }
    if (max_level < decision_level()) {
        backtrack(max_level);
    }
    uint32_t bt_level = 0;
    uint32_t lbd = 0;
    analyze(bt_level, lbd);
    has_conflict_ = false;
    backtrack(bt_level);
    learn(lbd);
    var_inc_ /= params_.var_decay;
    cla_inc_ /= 0.999;
    return true;
}

void Solver::analyze(uint32_t& bt_level, uint32_t& lbd) {
    learnt_.clear();
    learnt_.push_back(lit_undef);
    uint32_t path = 0;
    Lit p = lit_undef;
    size_t index = trail_.size();
    uint32_t current = decision_level();
    std::span<Lit const> reason(conflict_);
    for (;;) {
        for (Lit q : reason) {
            Var v = var_of(q);
            if (seen_[v] == 0 && level_[v] > 0) {
                seen_[v] = 1;
                bump_var(v);
                if (level_[v] >= current) {
                    ++path;
                } else {
                    learnt_.push_back(q);
                }
            }
        }
        do {
            --index;
        } while (seen_[var_of(trail_[index])] == 0);
        p = trail_[index];
        seen_[var_of(p)] = 0;
        if (--path == 0) {
            break;
        }
        reason = reason_lits(var_of(p));
    }
    learnt_[0] = negate(p);

    // Drop literals implied by the others (recursive minimisation).
    analyze_clear_.assign(learnt_.begin(), learnt_.end());
    uint32_t abstract_levels = 0;
    for (size_t k = 1; k < learnt_.size(); ++k) {
        abstract_levels |= abstract_level(var_of(learnt_[k]));
    }
    size_t j = 1;
    for (size_t k = 1; k < learnt_.size(); ++k) {
        Var v = var_of(learnt_[k]);
        if (reason_[v] == reason_none || !lit_redundant(learnt_[k], abstract_levels)) {
            learnt_[j++] = learnt_[k];
        }
    }
    learnt_.resize(j);
    for (Lit l : analyze_clear_) {
        seen_[var_of(l)] = 0;
    }

    bt_level = 0;
    if (learnt_.size() > 1) {
        size_t max_i = 1;
        for (size_t k = 2; k < learnt_.size(); ++k) {
            if (level_[var_of(learnt_[k])] > level_[var_of(learnt_[max_i])]) {
                max_i = k;
            }
        }
        std::swap(learnt_[1], learnt_[max_i]);
        bt_level = level_[var_of(learnt_[1])];
    }
    ++stamp_;
    lbd = 0;
    for (Lit l : learnt_) {
        uint32_t lv = level_[var_of(l)];
        if (level_stamp_[lv] != stamp_) {
            level_stamp_[lv] = stamp_;
            ++lbd;
        }
    }
}

bool Solver::lit_redundant(Lit p, uint32_t abstract_levels) {
    analyze_stack_.clear();
    analyze_stack_.push_back(p);
    size_t top = analyze_clear_.size();
    while (!analyze_stack_.empty()) {
        Var v = var_of(analyze_stack_.back());
        analyze_stack_.pop_back();
        auto reason = reason_lits(v);
        for (Lit q : reason) {
            Var u = var_of(q);
            if (seen_[u] != 0 || level_[u] == 0) {
                continue;
            }
            if (reason_[u] != reason_none && (abstract_level(u) & abstract_levels) != 0) {
                seen_[u] = 1;
                analyze_stack_.push_back(q);
                analyze_clear_.push_back(q);
            } else {
                for (size_t k = top; k < analyze_clear_.size(); ++k) {
                    seen_[var_of(analyze_clear_[k])] = 0;
                }
                analyze_clear_.resize(top);
                return false;
            }
        }
    }
    return true;
}

void Solver::learn(uint32_t lbd) {
    ++stats_.learnt_clauses;
    stats_.learnt_literals += learnt_.size();
    if (conflicts_since_restart_ == 0 && lbd_slow_ == 0) {
        lbd_fast_ = lbd_slow_ = lbd;
    }
    lbd_fast_ += (lbd - lbd_fast_) / 32.0;
    lbd_slow_ += (lbd - lbd_slow_) / 4096.0;
    ++conflicts_since_restart_;
    if (learnt_.size() == 1) {
        // Backtracking to level 0 may have fixed it already as a pending unit.
        if (value(learnt_[0]) == 0) {
            assign(learnt_[0], reason_none);
        } else if (value(learnt_[0]) < 0) {
            unsat_ = true;
        }
        return;
    }
    if (learnt_.size() == 2) {
        add_binary(learnt_[0], learnt_[1], true);
        assign(learnt_[0], (learnt_[1] << 2) | reason_binary);
        return;
    }
    ClauseRef c = arena_.alloc(learnt_, ClauseArena::flag_learnt, lbd);
    arena_.set_activity(c, static_cast<float>(cla_inc_));
    learnts_.push_back(c);
    attach_long(c);
    assign(learnt_[0], (c << 2) | reason_clause);
}

// ---------------------------------------------------------------------------
// clause database

void Solver::reduce_db() {
    std::vector<ClauseRef> candidates;
    candidates.reserve(learnts_.size());
    for (ClauseRef c : learnts_) {
        if (arena_.deleted(c)) {
            continue;
        }
        Lit first = arena_.lits(c)[0];
        bool locked = value(first) > 0 && reason_[var_of(first)] == ((c << 2) | reason_clause);
        // Measured on the benchmark set: protecting low-LBD or recently used
        // clauses keeps the database too large for small hard instances.
        if (locked) {
            continue;
        }
        if ((arena_.flags(c) & ClauseArena::flag_transient) != 0) {
            arena_.mark_deleted(c);
            ++stats_.deleted_clauses;
            continue;
        }
        candidates.push_back(c);
    }
    std::sort(candidates.begin(), candidates.end(), [&](ClauseRef a, ClauseRef b) {
        if (arena_.lbd(a) != arena_.lbd(b)) {
            return arena_.lbd(a) > arena_.lbd(b);
        }
        return arena_.activity(a) < arena_.activity(b);
    });
    for (size_t k = 0; k < candidates.size() / 2; ++k) {
        arena_.mark_deleted(candidates[k]);
        ++stats_.deleted_clauses;
    }
    collect_garbage();
    next_reduce_ = stats_.conflicts + 2000 + reduce_inc_ * (stats_.deleted_clauses > 0 ? 1 : 0);
    reduce_inc_ += 300;
    next_reduce_ += reduce_inc_;
}

void Solver::collect_garbage() {
    ClauseArena to;
    auto move_list = [&](std::vector<ClauseRef>& list) {
        size_t j = 0;
        for (ClauseRef c : list) {
            if (!arena_.deleted(c)) {
                list[j++] = arena_.move_to(c, to);
            }
        }
        list.resize(j);
    };
    // Reasons first need the old positions: remember which trail entries hold
    // clause reasons before moving.
    move_list(clauses_);
    move_list(learnts_);
    for (Lit l : trail_) {
        Var v = var_of(l);
        if ((reason_[v] & 3u) == reason_clause) {
            reason_[v] = (arena_.forward(reason_[v] >> 2) << 2) | reason_clause;
        }
    }
    arena_.swap(to);
    watches_.clear_lists();
    for (ClauseRef c : clauses_) {
        attach_long(c);
    }
    for (ClauseRef c : learnts_) {
        if ((arena_.flags(c) & ClauseArena::flag_transient) == 0) {
            attach_long(c);
        }
    }
}

// ---------------------------------------------------------------------------
// search

void Solver::set_assumptions(std::span<int32_t const> assumptions) {
    assumptions_.clear();
    if (step_ != lit_undef) {
        assumptions_.push_back(step_);
    }
    for (auto a : assumptions) {
        if (!has_literal(a)) {
            throw ProblemError("invalid assumption literal " + std::to_string(a));
        }
        assumptions_.push_back(to_lit(a));
    }
}

Lit Solver::pick_branch() {
    if (params_.random_frequency > 0 && !heap_.empty() &&
        static_cast<double>(next_random() % 1000000) < params_.random_frequency * 1e6) {
        Var v = 2 + static_cast<Var>(next_random() % (num_vars_ - 1));
        if (value(make_lit(v, false)) == 0) {
            return make_lit(v, (phase_[v] & 1) != 0);
        }
    }
    while (!heap_.empty()) {
        Var v = heap_.pop();
        if (value(make_lit(v, false)) == 0) {
            return make_lit(v, (phase_[v] & 1) != 0);
        }
    }
    return lit_undef;
}

bool Solver::should_restart() {
    if (restart_requested_) {
        restart_requested_ = false;
        return true;
    }
    if (params_.luby_restarts) {
        if (conflicts_since_restart_ < luby_limit_) {
            return false;
        }
        // luby(i): 1 1 2 1 1 2 4 ...
        uint64_t i = ++luby_index_;
        uint64_t size = 1;
        uint64_t seq = 0;
        while (size < i + 1) {
            ++seq;
            size = 2 * size + 1;
        }
        uint64_t x = i;
        while (size - 1 != x) {
            size = (size - 1) >> 1;
            --seq;
            x = x % size;
        }
        luby_limit_ = params_.luby_unit * (uint64_t{1} << seq);
        return true;
    }
    return conflicts_since_restart_ >= 50 && lbd_fast_ > 1.2 * lbd_slow_;
}

bool Solver::stopped() {
    if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) {
        return true;
    }
    if (has_deadline_ && (++stop_counter_ & 255u) == 0 && std::chrono::steady_clock::now() >= deadline_) {
        return true;
    }
    return false;
}

SearchResult Solver::search() {
    if (failed_) {
        return SearchResult::error;
    }
    if (unsat_) {
        return SearchResult::unsat;
    }
    if (has_propagators_ && step_ == lit_undef) {
        // Outside solve calls, literals fixed before the search are not
        // changes (within a call, begin_call drops them once: level-0 facts
        // learnt later must still reach the propagators).
        for (auto& slot : slots_) {
            if (decision_level() == 0 && slot.marks.empty()) {
                slot.pending.clear();
            }
        }
    }
    if (luby_limit_ == 0) {
        luby_limit_ = params_.luby_unit;
    }
    for (;;) {
        if (has_conflict_) {
            if (!resolve_conflict()) {
                return SearchResult::unsat;
            }
            continue;
        }
        if (!propagate_all()) {
            if (failed_) {
                return SearchResult::error;
            }
            if (!resolve_conflict()) {
                return SearchResult::unsat;
            }
            if (unsat_) {
                return SearchResult::unsat;
            }
            // Long runs of conflicts must not delay a stop request.
            if ((stats_.conflicts & 1023u) == 0 && stopped()) {
                return SearchResult::unknown;
            }
            continue;
        }
        if (unsat_) {
            return SearchResult::unsat;
        }
        if (stopped()) {
            return SearchResult::unknown;
        }
        if (should_restart()) {
            ++stats_.restarts;
            conflicts_since_restart_ = 0;
            lbd_fast_ = lbd_slow_;
            // The call level stays unless units wait for level 0: leaving it
            // would hand its level-0 changes to the propagators once more.
            backtrack(step_ != lit_undef && pending_units_.empty() && decision_level() > 0 ? 1 : 0);
            continue;
        }
        if (stats_.conflicts >= next_reduce_) {
            reduce_db();
        }
        // Another thread changed what all share (a better bound): take it up
        // before the next decision rather than at the next restart.
        if (shared_version_ != nullptr &&
            shared_version_->load(std::memory_order_relaxed) != seen_version_) {
            return SearchResult::update;
        }
        Lit next = lit_undef;
        while (decision_level() < assumptions_.size()) {
            Lit a = assumptions_[decision_level()];
            if (value(a) > 0) {
                new_level();
            } else if (value(a) < 0) {
                return SearchResult::unsat;
            } else {
                next = a;
                break;
            }
        }
        if (next == lit_undef) {
            next = pick_branch();
            if (next == lit_undef) {
                ++stats_.models;
                return SearchResult::sat;
            }
            if (has_decide_) {
                for (uint32_t s = 0; s < slots_.size(); ++s) {
                    auto& slot = slots_[s];
                    if (!slot.propagator->has_decide()) {
                        continue;
                    }
                    int32_t choice = 0;
                    bool ok = false;
                    try {
                        ok = slot.propagator->decide(thread_id_, *this, to_external(next), choice);
                    } catch (std::exception const& e) {
                        failure_ = {1, e.what()};
                        failed_ = true;
                        return SearchResult::error;
                    }
                    if (!ok) {
                        fail(s);
                        return SearchResult::error;
                    }
                    if (choice != 0 && has_literal(choice) && value(to_lit(choice)) == 0) {
                        heap_.insert(var_of(next));
                        next = to_lit(choice);
                        break;
                    }
                }
            }
            ++stats_.choices;
        }
        new_level();
        assign(next, reason_none);
    }
}

} // namespace Gondra::Solve
