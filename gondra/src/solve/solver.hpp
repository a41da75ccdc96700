#pragma once
// One conflict-driven search over a copy of the problem. Each solver thread
// owns one; everything here is single-threaded except the shared stop flag.
#include "solve/clause_arena.hpp"
#include "solve/list_arena.hpp"
#include "solve/pod_array.hpp"
#include "solve/sparse_index.hpp"
#include "solve/literal.hpp"
#include "solve/problem.hpp"
#include "solve/propagator.hpp"
#include "solve/solver_statistics.hpp"
#include "solve/var_heap.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <vector>

namespace Gondra::Solve {

class PropagateControl;

struct SolverParams {
    uint64_t seed = 0;
    double var_decay = 0.99;
    double random_frequency = 0.0;
    bool initial_phase_positive = false;
    bool luby_restarts = false;
    uint32_t luby_unit = 100;
};

// How the variables that propagators create are decided. A propagator gives
// such a variable its meaning and its sign (an integer theory makes the
// initial phase push a value towards a preferred end of its domain), so
// saving the phase of its last assignment lets stale values linger: after a
// model, an integer keeps the value it had instead of falling back to the
// least one the constraints allow, and an objective improves in steps of one.
enum class PropagatorPhase {
    saved,   // saved on backtracking like every other variable
    initial, // always the initial phase
};

// update: shared information (bound, blocking clauses) changed and should be
// imported before the search goes on.
enum class SearchResult { sat, unsat, unknown, error, update };

class Solver {
public:
    explicit Solver(uint32_t thread_id = 0, SolverParams params = {});
    ~Solver();
    Solver(Solver const&) = delete;
    Solver& operator=(Solver const&) = delete;

    // ---- loading (level 0) -------------------------------------------------
    // Loads what was added to the problem since the last call; false when the
    // problem became inconsistent on level 0.
    bool sync(Problem const& problem);
    uint32_t problem_vars() const { return problem_vars_; }

    // ---- the assignment view ---------------------------------------------
    uint32_t thread_id() const { return thread_id_; }
    uint32_t size() const { return num_vars_; }
    uint32_t decision_level() const { return static_cast<uint32_t>(trail_lim_.size()); }
    uint32_t root_level() const { return 0; }
    bool has_conflict() const { return has_conflict_; }
    // Inline: propagators ask it for every literal they look up.
    bool has_literal(int32_t lit) const {
        if (lit == 0 || lit == std::numeric_limits<int32_t>::min()) {
            return false;
        }
        return static_cast<uint32_t>(lit < 0 ? -lit : lit) <= num_vars_;
    }
    uint32_t level(int32_t lit) const { return level_[var_of(to_lit(lit))]; }
    // 1 true, -1 false, 0 free
    int truth_value(int32_t lit) const { return value_[to_lit(lit)]; }
    bool is_true(int32_t lit) const { return value_[to_lit(lit)] > 0; }
    bool is_false(int32_t lit) const { return value_[to_lit(lit)] < 0; }
    bool is_fixed(int32_t lit) const { return value_[to_lit(lit)] != 0 && level_[var_of(to_lit(lit))] == 0; }
    bool is_total() const { return trail_.size() == num_vars_; }
    uint32_t trail_size() const { return static_cast<uint32_t>(trail_.size()); }
    int32_t trail_at(uint32_t i) const { return to_external(trail_[i]); }
    uint32_t trail_begin(uint32_t level) const {
        return level == 0 ? 0 : (level <= trail_lim_.size() ? trail_lim_[level - 1] : trail_size());
    }
    uint32_t trail_end(uint32_t level) const {
        return level < trail_lim_.size() ? trail_lim_[level] : trail_size();
    }
    int32_t decision(uint32_t level) const;

    // ---- level-0 additions (init) -----------------------------------------
    bool propagate_root();
    // The level-0 literals over problem variables, and their import into
    // another thread solver of the same problem (before begin_call).
    void root_facts(std::vector<int32_t>& out) const;
    void add_facts(std::span<int32_t const> facts);

    // ---- propagators ------------------------------------------------------
    void add_propagator(Propagator* propagator, CheckMode mode);
    uint32_t num_slots() const { return static_cast<uint32_t>(slots_.size()); }
    void set_check_mode(uint32_t slot, CheckMode mode) { slots_[slot].mode = mode; }
    void watch(uint32_t slot, int32_t lit);
    void unwatch(uint32_t slot, int32_t lit);
    bool watched(uint32_t slot, int32_t lit) const;
    PropagateControl& control(uint32_t slot);
    // Used by the controls of propagators while they run.
    int32_t add_variable();
    bool add_clause(std::span<int32_t const> lits, ClauseType type);
    bool propagate_in_callback();

    // ---- search -----------------------------------------------------------
    void set_stop(std::atomic<bool> const* stop) { stop_ = stop; }
    // search() returns update at the next restart once *version differs from
    // the value last acknowledged.
    void set_shared_version(std::atomic<uint64_t> const* version) { shared_version_ = version; }
    void acknowledge_version(uint64_t version) { seen_version_ = version; }
    void set_deadline(std::chrono::steady_clock::time_point deadline) {
        deadline_ = deadline;
        has_deadline_ = true;
    }
    void set_assumptions(std::span<int32_t const> assumptions);
    void set_propagator_phase(PropagatorPhase mode) {
        phase_keep_mask_ = mode == PropagatorPhase::initial ? phase_fixed : 0;
    }
    // See SolveOptions::drop_propagator_reasons.
    void set_drop_propagator_reasons(bool drop) { drop_reasons_ = drop; }
    // Searches until a model (the assignment then holds it), a proof that no
    // (further) model exists, a stop, or a failed propagator.
    SearchResult search();
    // True when the last unsat answer holds without the assumptions.
    bool proven_unsat() const { return unsat_; }
    // Tightens the objective bound for the rest of the solve call.
    void set_objective_bound(std::span<int64_t const> bound);
    // Excludes the model the assignment holds, for the rest of the solve call,
    // by a volatile clause over its decisions and the assumptions. The
    // decisions cover every variable of this thread, the ones propagators
    // created during search included; the rest is implied.
    void block_model();
    // Backtracks to level 0, calling undo for every propagated level.
    void reset_search();
    // Makes the search restart before its next decision (as by the restart
    // policy: the call level and the saved phases stay).
    void request_restart() { restart_requested_ = true; }
    Failure const& failure() const { return failure_; }

    // ---- solve calls ------------------------------------------------------
    // Marks the level-0 state after loading and init as the one the solve
    // call starts from and creates the call literal.
    void begin_call();
    // Ends a solve call: drops the variables created during search (the call
    // literal among them) with every clause over them, and volatile clauses.
    // Per-call information (blocking clauses, objective bounds, volatile
    // clauses) rests on the call literal, so what was learnt without it holds
    // in later calls and stays.
    void end_call();

    // ---- objective ----------------------------------------------------------
    bool has_objective() const { return !obj_levels_.empty(); }
    // Cost per priority (highest first) of the current assignment.
    std::vector<int64_t> cost() const;
    std::vector<int32_t> const& priorities() const { return obj_priorities_; }

    SolverStatistics const& statistics() const { return stats_; }
    SolverStatistics& statistics() { return stats_; }

private:
    friend class PropagateControl;
    // A reason is tagged in its two low bits: none, binary, clause, lazy.
    using Reason = uint32_t;
    static constexpr uint32_t reason_none = 0;
    static constexpr uint32_t reason_binary = 1;
    static constexpr uint32_t reason_clause = 2;
    static constexpr uint32_t reason_lazy = 3;
    static constexpr uint32_t objective_id = (1u << 29);

    struct Watch {
        ClauseRef clause;
        Lit blocker;
    };
    struct PbOcc {
        uint32_t row;
        int64_t coefficient;
    };
    struct ObjOcc {
        uint32_t level;
        int64_t weight;
    };
    struct PbState {
        uint32_t begin;
        uint32_t end;
        int64_t bound;
        int64_t slack; // sum of coefficients of non-false literals minus bound
    };
    struct PbLit {
        Lit lit;
        int64_t coefficient;
    };
    struct ObjTerm {
        Lit lit;
        int64_t weight;
    };
    struct ObjLevel {
        uint32_t begin;
        uint32_t end;
        int64_t offset;
        int64_t sum;   // weights of true literals processed so far
        int64_t bound; // required: cost < bound lexicographically
    };
    struct Slot {
        Propagator* propagator;
        CheckMode mode;
        std::unique_ptr<PropagateControl> control;
        std::vector<int32_t> pending;
        std::vector<int32_t> delivered;
        std::vector<std::pair<uint32_t, uint32_t>> marks; // (level, start in delivered)
    };

    // by_propagator: the variable's phase is the propagator's (see PropagatorPhase).
    Var new_var(bool by_propagator = false);
    int value(Lit l) const { return value_[l]; }
    void assign(Lit l, Reason r) {
        Var v = var_of(l);
        value_[l] = 1;
        value_[negate(l)] = -1;
        level_[v] = decision_level();
        reason_[v] = r;
        trail_pos_[v] = static_cast<uint32_t>(trail_.size());
        trail_.push_back(l);
        // Propagating l reads these; the trail ahead of it usually leaves
        // time for them to arrive.
        binaries_.prefetch(l);
        watches_.prefetch(l);
        __builtin_prefetch(watch_single_.data() + l);
    }
    void new_level() {
        trail_lim_.push_back(static_cast<uint32_t>(trail_.size()));
        if (level_stamp_.size() <= trail_lim_.size()) {
            level_stamp_.resize(2 * trail_lim_.size() + 2, 0);
        }
    }
    void backtrack(uint32_t level);
    void attach_long(ClauseRef c);
    bool add_root_clause(std::vector<Lit>& lits);
    void add_pb_row(std::span<PbTerm const> terms, int64_t bound);
    void build_objective(std::vector<MinimizeTerm> const& terms);
    void add_binary(Lit a, Lit b, bool removable);
    void truncate_root(uint32_t mark);
    void drop_variables_above(uint32_t vars);
    void drop_removable_binaries();

    // propagation
    bool unit_propagate();
    bool propagate_counters(Lit p);
    bool check_objective(uint32_t limit_pos);
    // Per-call information (an objective bound, clauses of propagators) acts
    // only once the call literal holds, or outside solve calls.
    bool call_active() const { return step_ == lit_undef || value_[step_] > 0; }
    bool bound_active() const { return obj_has_bound_ && call_active(); }
    bool propagate_all();
    bool call_propagators();
    bool call_check(bool total);
    template <class F> bool guarded(uint32_t slot, F&& call);

    // conflicts
    void set_conflict_clause(ClauseRef c);
    void set_conflict_lits(std::span<Lit const> lits);
    std::span<Lit const> reason_lits(Var v);
    void explain_lazy(uint32_t id, uint32_t pos, Lit implied, std::vector<Lit>& out);
    bool resolve_conflict(); // false when the conflict is on level 0
    void analyze(uint32_t& bt_level, uint32_t& lbd);
    bool lit_redundant(Lit p, uint32_t abstract_levels);
    uint32_t abstract_level(Var v) const { return 1u << (level_[v] & 31); }
    void bump_var(Var v);
    void bump_clause(ClauseRef c);
    void learn(uint32_t lbd);

    // decisions, restarts, clause database
    Lit pick_branch();
    bool should_restart();
    void reduce_db();
    void collect_garbage();
    uint64_t next_random() {
        seed_ ^= seed_ << 13;
        seed_ ^= seed_ >> 7;
        seed_ ^= seed_ << 17;
        return seed_;
    }
    bool stopped();
    bool fail(uint32_t slot);

    uint32_t thread_id_;
    SolverParams params_;
    uint64_t seed_;
    uint32_t num_vars_ = 0;
    uint32_t problem_vars_ = 0;

    // assignment
    PodArray<int8_t> value_; // per literal
    PodArray<uint32_t> level_;
    PodArray<Reason> reason_;
    PodArray<uint32_t> trail_pos_;
    PodArray<Lit> trail_;
    std::vector<uint32_t> trail_lim_;
    uint32_t qhead_ = 0;
    // Bit 0: the negative literal is preferred; phase_fixed: created by a
    // propagator, the phase is not saved while phase_keep_mask_ says so.
    static constexpr int8_t phase_fixed = 2;
    PodArray<int8_t> phase_;
    int8_t phase_keep_mask_ = 0;

    // clauses
    ClauseArena arena_;
    // By the literal that became true. Propagation pushes watches onto other
    // lists while it walks one, so this arena compacts only between walks.
    ListArena<Watch> watches_{false};
    // p true implies each listed literal. Entries of learnt and volatile
    // clauses carry binary_removable, so that no separate record of them is
    // needed to drop them; reasons keep literals below 2^30, so the bit is free.
    ListArena<Lit, true> binaries_;
    static constexpr Lit binary_removable = 0x80000000u;
    std::vector<ClauseRef> clauses_;
    std::vector<ClauseRef> learnts_;
    bool has_counters_ = false;

    // pseudo-Boolean rows
    std::vector<PbState> pb_;
    std::vector<PbLit> pb_lits_;

    // objective
    std::vector<ObjLevel> obj_levels_;
    std::vector<ObjTerm> obj_terms_;
    std::vector<int32_t> obj_priorities_;
    size_t obj_loaded_terms_ = 0;
    bool obj_has_bound_ = false;
    uint32_t obj_processed_ = 0; // trail positions below this are in the sums

    // propagators
    std::vector<Slot> slots_;
    // Most literals occur in no weight constraint and no objective and are
    // watched by at most one propagator, so per literal there are only two
    // dense summaries, read for every propagated literal: the one watching
    // slot plus 1 (0 none, watch_several: the slots are in the literal's
    // occurrences), and the index of the literal's occurrences in occ_ (0
    // none). Records of dropped literals are reused.
    struct Occurrences {
        std::vector<PbOcc> pb; // rows in which the literal's truth falsifies a term
        std::vector<ObjOcc> obj;
        std::vector<uint32_t> slots; // watching propagators, when several
    };
    static constexpr uint16_t watch_several = UINT16_MAX;
    static constexpr uint32_t max_slots = UINT16_MAX - 1;
    PodArray<uint16_t> watch_single_;
    SparseIndex occ_index_;
    std::vector<Occurrences> occ_; // entry 0 unused
    std::vector<uint32_t> occ_free_;
    Occurrences& occurrences(Lit l);
    // Queues p as a change for every propagator that watches it.
    void queue_change(Lit p) {
        uint16_t single = watch_single_[p];
        if (single == watch_several) {
            for (auto slot : occ_[occ_index_[p]].slots) {
                slots_[slot].pending.push_back(to_external(p));
            }
        } else if (single != 0) {
            slots_[single - 1].pending.push_back(to_external(p));
        }
    }
    Occurrences const* find_occurrences(Lit l) const {
        uint32_t index = occ_index_[l];
        return index == 0 ? nullptr : &occ_[index];
    }
    void release_occurrences(Lit l);
    bool has_propagators_ = false;
    bool restart_requested_ = false;
    bool has_decide_ = false;
    bool in_callback_ = false;
    bool drop_reasons_ = true;
    // Whether the clause being added (a propagator's learnt one, unit or
    // conflicting) is kept only while it is a reason: more than two literals
    // besides the constant, all of variables that propagators created.
    bool is_propagator_reason(Lit implied, Lit highest_false) const;

    // conflict state
    bool has_conflict_ = false;
    uint64_t change_stamp_ = 0;
    std::vector<Lit> pending_units_; // units learnt above level 0, fixed at the next restart
    std::vector<Lit> conflict_;
    ClauseRef conflict_clause_ = 0;
    bool conflict_is_clause_ = false;
    bool unsat_ = false;
    bool failed_ = false;
    Failure failure_;

    // analysis buffers
    PodArray<int8_t> seen_;
    std::vector<Lit> learnt_;
    std::vector<Lit> analyze_stack_;
    std::vector<Lit> analyze_clear_;
    std::vector<Lit> reason_buf_;
    std::vector<uint32_t> level_stamp_; // per decision level, grown with the levels
    uint32_t stamp_ = 0;
    std::vector<Lit> add_buf_;

    // heuristic
    PodArray<double> activity_;
    VarHeap heap_;
    double var_inc_ = 1.0;
    double cla_inc_ = 1.0;

    // restarts and reduction
    double lbd_fast_ = 0;
    double lbd_slow_ = 0;
    uint64_t conflicts_since_restart_ = 0;
    uint64_t luby_index_ = 0;
    uint64_t luby_limit_ = 0;
    uint64_t next_reduce_ = 2000;
    uint64_t reduce_inc_ = 300;

    // assumptions, stopping
    std::vector<Lit> assumptions_;
    std::atomic<bool> const* stop_ = nullptr;
    std::atomic<uint64_t> const* shared_version_ = nullptr;
    uint64_t seen_version_ = 0;
    std::chrono::steady_clock::time_point deadline_{};
    bool has_deadline_ = false;
    uint32_t stop_counter_ = 0;

    // what was loaded from the problem
    size_t loaded_clauses_ = 0;
    size_t loaded_pb_ = 0;

    // multi-shot bookkeeping
    uint32_t root_mark_ = 1; // level-0 trail entries below hold beyond the call
    // The call literal: assumed first in every search of a solve call, and part
    // of every clause and explanation that rests on per-call information, so
    // that nothing derived from such information reaches level 0.
    Lit step_ = lit_undef;
    bool tainted_ = false; // per-call information entered without a call literal

    SolverStatistics stats_;
};

} // namespace Gondra::Solve
