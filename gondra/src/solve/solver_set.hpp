#pragma once
// The entry point of solving: holds the problem and the registered
// propagators, runs one or more solver threads over copies of the problem, and
// delivers models one at a time while the finding thread waits on them.
//
// The thread solvers live from one solve call to the next (multi-shot): the
// problem may grow in between (append only; each thread loads what is new),
// propagators may be added, init runs again on thread 0 at every call, and
// what a thread learnt survives as far as it holds beyond the call (see
// Solver::end_call).
#include "solve/problem.hpp"
#include "solve/propagator.hpp"
#include "solve/solver.hpp"
#include "solve/solver_statistics.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace Gondra::Solve {

struct SolveOptions {
    uint32_t threads = 1;
    // 0 all models, n at most n, -1 one model or, with an objective, until the
    // optimum is proven.
    int64_t models = -1;
    double time_limit = 0; // seconds, 0 = none
    uint64_t seed = 0;
    PropagatorPhase propagator_phase = PropagatorPhase::saved;
    // A propagator enforces an objective of its own: it admits only models
    // better than the last one it saw, so no model can be found twice.
    bool application_objective = false;
    // With such an objective, a model is followed by a restart (the saved
    // phases lead the search back towards it) instead of a walk through the
    // subspaces next to its decisions.
    bool restart_on_model = true;
    // With the restart, also a clause over the model's decisions. Without it
    // a model found once more (the propagator failed to refute it) is told
    // by its assignment and only then blocked.
    bool block_on_restart = false;
    // Clauses that propagators explain inferences among their own variables
    // with are kept only while they are reasons (see
    // Solver::is_propagator_reason).
    bool drop_propagator_reasons = true;
    std::vector<int32_t> assumptions;
};

enum class SolveStatus { satisfiable, unsatisfiable, optimum, unknown, error };

struct SolveSummary {
    SolveStatus status = SolveStatus::unknown;
    uint64_t models = 0;
    bool exhausted = false; // the search space was proven empty
    bool interrupted = false;
    std::vector<int64_t> best_cost;
    Failure failure;
    SolverStatistics statistics;
};

// A model as handed to the model handler; valid during the call only.
class Model {
public:
    Model(Solver const& solver, std::vector<int64_t> const& cost, uint64_t number)
        : solver_(solver), cost_(cost), number_(number) {}
    uint32_t thread_id() const { return solver_.thread_id(); }
    Solver const& assignment() const { return solver_; }
    bool is_true(int32_t lit) const { return solver_.is_true(lit); }
    std::vector<int64_t> const& cost() const { return cost_; }
    std::vector<int32_t> const& priorities() const { return solver_.priorities(); }
    uint64_t number() const { return number_; }

private:
    Solver const& solver_;
    std::vector<int64_t> const& cost_;
    uint64_t number_;
};

// Returns false to end the search (for instance after an error).
using ModelHandler = std::function<bool(Model const&)>;
// Called once the propagators are initialised, just before the search, on the
// thread of the solve call; false skips the search (the call ends unknown).
using StartHandler = std::function<bool()>;

class SolverSet {
public:
    SolverSet();
    ~SolverSet();

    Problem& problem() { return problem_; }
    Problem const& problem() const { return problem_; }

    // Registration of propagators; they stay registered for later calls.
    uint32_t add_propagator(Propagator* propagator);
    // Maps program literals to solver literals during init (identity when unset).
    void set_literal_mapper(std::function<int32_t(int32_t)> mapper) { mapper_ = std::move(mapper); }
    void set_theory_atoms(void const* atoms) { theory_atoms_ = atoms; }

    SolveSummary solve(SolveOptions const& options, ModelHandler const& handler,
                       StartHandler const& started = {});
    // Safe from a signal handler: ends the search of the running solve call,
    // or, between calls, of the next one. Each call consumes the request.
    void interrupt() {
        interrupted_.store(true);
        stop_.store(true);
    }
    // Withdraws an interrupt that no solve call consumed yet.
    void clear_interrupt() { interrupted_.store(false); }

    // Statistics of the threads of the last solve call.
    std::vector<SolverStatistics> const& thread_statistics() const { return thread_stats_; }
    // Number of thread solvers kept for the next call.
    uint32_t num_solvers() const { return static_cast<uint32_t>(solvers_.size()); }
    // Drops all thread solvers: the next call starts from the problem alone
    // (learnt clauses and static clauses added during search are lost).
    void reset_solvers() { solvers_.clear(); }

private:
    friend class PropagateInit;
    struct Registration {
        Propagator* propagator;
        CheckMode mode = CheckMode::none;
        std::vector<int32_t> watches;
        std::vector<std::pair<uint32_t, int32_t>> thread_watches;
        std::vector<int32_t> removed; // in this call's init, for the other threads
        // Dedup the two lists above across calls: a bit per literal for the
        // watches of all threads (a propagator may watch every literal of the
        // problem), a set for the rarer watches of one thread.
        std::vector<bool> watched;
        std::unordered_set<int64_t> thread_known;
    };

    void prepare_solvers(SolveOptions const& options);
    void apply_registrations(Solver& solver);
    void make_cubes(std::vector<int32_t> const& assumptions);
    bool run_search(Solver& solver, std::vector<int32_t> const& base, ModelHandler const& handler);
    void run(uint32_t index, SolveOptions const& options, ModelHandler const& handler);
    void run_cubes(Solver& solver, SolveOptions const& options, ModelHandler const& handler);
    bool on_model(Solver& solver, ModelHandler const& handler);
    void import_shared(Solver& solver);
    void finish(bool proven);
    void record_failure(Failure const& failure);
    void end_call();

    Problem problem_;
    std::vector<Registration> propagators_;
    std::function<int32_t(int32_t)> mapper_;
    void const* theory_atoms_ = nullptr;
    uint32_t threads_ = 1;

    // thread solvers, kept across calls, with their counters at call start
    std::vector<std::unique_ptr<Solver>> solvers_;
    std::vector<SolverStatistics> start_stats_;
    std::vector<SolverStatistics> thread_stats_;

    // state of one solve call
    std::atomic<bool> stop_{false};
    std::atomic<bool> interrupted_{false};
    std::atomic<uint64_t> version_{0};
    std::mutex mutex_;
    bool done_ = false;
    bool proven_ = false;
    bool failed_ = false;
    Failure failure_;
    uint64_t models_ = 0;
    uint64_t model_limit_ = 0;
    bool optimize_ = false;
    bool restart_on_model_ = false;
    bool block_on_restart_ = false;
    bool has_best_ = false;
    std::vector<int64_t> best_;
    // Enumeration with several threads: the search space is split into cubes
    // over problem variables, which every thread numbers alike, so no two
    // threads can find the same model. Threads take cubes in turn.
    std::vector<std::vector<int32_t>> cubes_;
    std::atomic<size_t> next_cube_{0};
    size_t cubes_done_ = 0;
};

} // namespace Gondra::Solve
