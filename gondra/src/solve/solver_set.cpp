#include "solve/solver_set.hpp"

#include "solve/propagate_init.hpp"

#include <algorithm>
#include <chrono>
#include <exception>
#include <new>
#include <thread>

namespace Gondra::Solve {

SolverSet::SolverSet() = default;
SolverSet::~SolverSet() = default;

uint32_t SolverSet::add_propagator(Propagator* propagator) {
    propagators_.push_back({propagator, CheckMode::none, {}, {}, {}, {}});
    return static_cast<uint32_t>(propagators_.size() - 1);
}

namespace {

SolverParams params_for(uint32_t index, uint64_t seed) {
    SolverParams p;
    p.seed = seed + index;
    if (index == 0) {
        p.seed = seed;
        return p;
    }
    // Diversify the portfolio: phases, restarts, decay and some randomness.
    p.initial_phase_positive = index % 2 == 1;
    p.luby_restarts = index % 3 == 2;
    p.var_decay = index % 4 == 3 ? 0.95 : 0.99;
    p.random_frequency = index % 2 == 0 ? 0.01 : 0.0;
    if (p.seed == 0) {
        p.seed = index;
    }
    return p;
}

} // namespace

void SolverSet::prepare_solvers(SolveOptions const& options) {
    if (solvers_.size() > threads_) {
        solvers_.resize(threads_);
    }
    while (solvers_.size() < threads_) {
        auto index = static_cast<uint32_t>(solvers_.size());
        solvers_.push_back(std::make_unique<Solver>(index, params_for(index, options.seed)));
    }
    for (auto& s : solvers_) {
        for (auto slot = s->num_slots(); slot < propagators_.size(); ++slot) {
            s->add_propagator(propagators_[slot].propagator, propagators_[slot].mode);
        }
    }
    for (auto& reg : propagators_) {
        reg.removed.clear();
    }
}

void SolverSet::apply_registrations(Solver& solver) {
    for (uint32_t slot = 0; slot < propagators_.size(); ++slot) {
        auto const& reg = propagators_[slot];
        for (auto lit : reg.removed) {
            solver.unwatch(slot, lit);
        }
        for (auto lit : reg.watches) {
            solver.watch(slot, lit);
        }
        for (auto [thread, lit] : reg.thread_watches) {
            if (thread == solver.thread_id()) {
                solver.watch(slot, lit);
            }
        }
        solver.set_check_mode(slot, reg.mode);
    }
}

// Splits on the free problem variables that occur most often, enough of them
// for several cubes per thread so that the load balances.
void SolverSet::make_cubes(std::vector<int32_t> const& assumptions) {
    Solver const& master = *solvers_[0];
    uint32_t vars = problem_.num_vars();
    std::vector<uint32_t> score(static_cast<size_t>(vars) + 1, 0);
    for (size_t i = 0; i < problem_.num_clauses(); ++i) {
        for (auto lit : problem_.clause(i)) {
            ++score[static_cast<uint32_t>(lit < 0 ? -lit : lit)];
        }
    }
    for (size_t i = 0; i < problem_.num_pb(); ++i) {
        for (auto const& t : problem_.pb_terms(i)) {
            ++score[static_cast<uint32_t>(t.literal < 0 ? -t.literal : t.literal)];
        }
    }
    for (auto a : assumptions) {
        score[static_cast<uint32_t>(a < 0 ? -a : a)] = 0;
    }
    std::vector<int32_t> candidates;
    for (uint32_t v = 2; v <= vars; ++v) {
        if (score[v] > 0 && master.truth_value(static_cast<int32_t>(v)) == 0) {
            candidates.push_back(static_cast<int32_t>(v));
        }
    }
    size_t bits = 0;
    while ((size_t{1} << bits) < 8 * static_cast<size_t>(threads_)) {
        ++bits;
    }
    bits = std::min(bits, candidates.size());
    std::partial_sort(candidates.begin(), candidates.begin() + static_cast<ptrdiff_t>(bits), candidates.end(),
                      [&](int32_t a, int32_t b) { return score[a] > score[b] || (score[a] == score[b] && a < b); });
    cubes_.clear();
    for (size_t mask = 0; mask < (size_t{1} << bits); ++mask) {
        std::vector<int32_t> cube;
        for (size_t j = 0; j < bits; ++j) {
            cube.push_back(((mask >> j) & 1u) != 0 ? candidates[j] : -candidates[j]);
        }
        cubes_.push_back(std::move(cube));
    }
}

SolveSummary SolverSet::solve(SolveOptions const& options, ModelHandler const& handler,
                              StartHandler const& started) {
    SolveSummary summary;
    for (auto a : options.assumptions) {
        problem_.check_literal(a);
    }
    threads_ = std::max<uint32_t>(1, options.threads);
    // Reset first, then honour a request made before the call.
    stop_.store(false);
    if (interrupted_.load()) {
        stop_.store(true);
    }
    version_.store(0);
    done_ = false;
    proven_ = false;
    failed_ = false;
    failure_ = {};
    models_ = 0;
    has_best_ = false;
    best_.clear();
    cubes_.clear();
    next_cube_.store(0);
    cubes_done_ = 0;

    prepare_solvers(options);
    Solver& master = *solvers_[0];
    master.sync(problem_);
    for (uint32_t slot = 0; slot < propagators_.size(); ++slot) {
        PropagateInit init(*this, master, slot);
        bool ok = false;
        try {
            ok = propagators_[slot].propagator->init(init);
            if (!ok) {
                failure_ = propagators_[slot].propagator->failure();
            }
        } catch (std::bad_alloc const&) {
            failure_ = {3, "bad allocation"};
        } catch (std::exception const& e) {
            failure_ = {1, e.what()};
        }
        if (!ok) {
            summary.status = SolveStatus::error;
            summary.failure = failure_;
            summary.interrupted = interrupted_.exchange(false);
            end_call();
            return summary;
        }
    }
    if (started) {
        bool go_on = false;
        try {
            go_on = started();
        } catch (...) {
            end_call();
            throw;
        }
        if (!go_on) {
            summary.interrupted = interrupted_.exchange(false);
            end_call();
            return summary;
        }
    }
    optimize_ = problem_.has_objective();
    model_limit_ = options.models > 0 ? static_cast<uint64_t>(options.models)
                                      : (options.models == 0 || optimize_ ? 0 : 1);
    auto start = std::chrono::steady_clock::now();
    start_stats_.clear();
    call_facts_.clear();
    // All threads start from thread 0's level 0: propagators build the other
    // threads' state from thread 0's, and facts it learnt in earlier calls
    // hold everywhere (level 0 never rests on per-call information).
    std::vector<int32_t> facts;
    for (auto& s : solvers_) {
        s->sync(problem_);
        apply_registrations(*s);
        if (s.get() != &master) {
            s->add_facts(facts);
        }
        s->begin_call();
        if (s.get() == &master) {
            master.root_facts(facts);
        }
        s->set_stop(&stop_);
        s->set_shared_version(&version_);
        if (options.time_limit > 0) {
            s->set_deadline(start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                        std::chrono::duration<double>(options.time_limit)));
        }
        s->set_assumptions(options.assumptions);
        start_stats_.push_back(s->statistics());
        call_facts_.push_back(s->trail_size());
    }
    // For one model the threads race as they do when optimising; the first
    // model ends the call, so none is reported twice.
    if (!optimize_ && threads_ > 1 && model_limit_ != 1) {
        make_cubes(options.assumptions);
    }
    std::vector<std::thread> workers;
    for (uint32_t i = 1; i < threads_; ++i) {
        workers.emplace_back([this, i, &options, &handler] { run(i, options, handler); });
    }
    run(0, options, handler);
    for (auto& w : workers) {
        w.join();
    }

    thread_stats_.clear();
    for (size_t i = 0; i < solvers_.size(); ++i) {
        thread_stats_.push_back(solvers_[i]->statistics().since(start_stats_[i]));
        summary.statistics.add(thread_stats_.back());
    }
    auto const& first = thread_stats_[0];
    summary.statistics.variables = first.variables;
    summary.statistics.clauses = first.clauses;
    summary.statistics.binary_clauses = first.binary_clauses;
    summary.statistics.weight_constraints = first.weight_constraints;
    end_call();

    summary.models = models_;
    summary.exhausted = proven_;
    summary.interrupted = interrupted_.exchange(false);
    summary.best_cost = best_;
    if (failed_) {
        summary.status = SolveStatus::error;
        summary.failure = failure_;
    } else if (models_ == 0) {
        summary.status = proven_ ? SolveStatus::unsatisfiable : SolveStatus::unknown;
    } else {
        summary.status = optimize_ && proven_ ? SolveStatus::optimum : SolveStatus::satisfiable;
    }
    return summary;
}

void SolverSet::end_call() {
    try {
        for (auto& s : solvers_) {
            s->end_call();
        }
    } catch (...) {
        // A thread solver in an unknown state must not carry over.
        solvers_.clear();
    }
}

void SolverSet::finish(bool proven) {
    if (!done_) {
        done_ = true;
        proven_ = proven;
    }
    stop_.store(true);
}

void SolverSet::record_failure(Failure const& failure) {
    if (!failed_) {
        failed_ = true;
        failure_ = failure;
    }
    finish(false);
}

// Called with the solver holding a model. Decides under the lock whether the
// model is to be reported (with an objective: whether it is still better than
// the best so far), reports it, and bounds the objective by the best cost.
bool SolverSet::on_model(Solver& solver, ModelHandler const& handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (done_) {
        return false;
    }
    std::vector<int64_t> cost;
    bool report = true;
    if (optimize_) {
        cost = solver.cost();
        if (has_best_ && !(cost < best_)) {
            report = false;
        }
    }
    if (report) {
        ++models_;
        if (optimize_) {
            best_ = cost;
            has_best_ = true;
            version_.fetch_add(1, std::memory_order_release);
        }
        bool go_on = true;
        try {
            go_on = handler ? handler(Model(solver, cost, models_)) : true;
        } catch (std::bad_alloc const&) {
            failed_ = true;
            failure_ = {3, "bad allocation"};
            go_on = false;
        } catch (std::exception const& e) {
            failed_ = true;
            failure_ = {1, e.what()};
            go_on = false;
        }
        if (!go_on) {
            finish(false);
            return false;
        }
        if (model_limit_ != 0 && models_ >= model_limit_) {
            finish(false);
            return false;
        }
    }
    if (optimize_) {
        solver.acknowledge_version(version_.load(std::memory_order_acquire));
        solver.set_objective_bound(best_);
    }
    return true;
}

void SolverSet::import_shared(Solver& solver) {
    std::lock_guard<std::mutex> lock(mutex_);
    solver.acknowledge_version(version_.load(std::memory_order_acquire));
    if (optimize_ && has_best_) {
        solver.set_objective_bound(best_);
    }
}

namespace {

// The walk over the decision tree by which a thread enumerates the models of
// the space that its assumptions describe. After a model with the decisions
// d1..dk the rest of the space is the union of the disjoint subspaces
// (d1..di-1, -di), each searched under assumptions in turn. Unlike a clause
// per model that excludes it, this keeps memory and propagation costs from
// growing with the number of models.
class DecisionPath {
public:
    explicit DecisionPath(std::vector<int32_t> const& base) : base_(base) {}

    // Takes the decisions of the model the solver holds. A solve call assumes
    // its call literal first, then the given assumptions, one level each, so
    // the decisions are on the levels above. False when the levels do not
    // read as expected; the caller then excludes the model otherwise.
    bool add_model(Solver const& solver) {
        auto assumed = static_cast<uint32_t>(1 + base_.size() + path_.size());
        if (solver.decision_level() < assumed) {
            return false;
        }
        for (uint32_t level = 2; level <= assumed; ++level) {
            int32_t d = solver.decision(level);
            int32_t expected =
                level - 2 < base_.size() ? base_[level - 2] : path_[level - 2 - base_.size()].first;
            if (d != 0 && d != expected) {
                return false;
            }
        }
        for (uint32_t level = assumed + 1; level <= solver.decision_level(); ++level) {
            if (int32_t d = solver.decision(level); d != 0) {
                path_.emplace_back(d, true);
            }
        }
        return true;
    }

    // Moves to the next subspace and sets it as the solver's assumptions;
    // false when none is left.
    bool next(Solver& solver) {
        while (!path_.empty() && !path_.back().second) {
            path_.pop_back();
        }
        if (path_.empty()) {
            return false;
        }
        path_.back() = {-path_.back().first, false};
        set_assumptions(solver, path_.size());
        solver.reset_search();
        return true;
    }

    // Whether a subspace is left to search.
    bool has_next() const {
        return std::any_of(path_.begin(), path_.end(), [](auto const& step) { return step.second; });
    }

    // Ends the walk: the subspaces searched so far (the current one too when
    // it is exhausted) are excluded by clauses, and the search goes on under
    // the base assumptions alone, from the levels it is on.
    void abandon(Solver& solver, bool current_exhausted) {
        std::vector<std::vector<int32_t>> clauses;
        auto exclude = [&](size_t prefix, int32_t last) {
            auto& clause = clauses.emplace_back();
            for (int32_t b : base_) {
                clause.push_back(-b);
            }
            for (size_t i = 0; i < prefix; ++i) {
                clause.push_back(-path_[i].first);
            }
            if (last != 0) {
                clause.push_back(last);
            }
        };
        // A flipped step has searched the branch of the decision it flipped.
        for (size_t i = 0; i < path_.size(); ++i) {
            if (!path_[i].second) {
                exclude(i, path_[i].first);
            }
        }
        if (current_exhausted) {
            exclude(path_.size(), 0);
        }
        // At most one of them is false under the assignment (each needs the
        // steps before its last literal to hold, and that one to fail); it
        // goes last, as a conflict ends what the solver accepts.
        auto is_false = [&](std::vector<int32_t> const& clause) {
            return std::all_of(clause.begin(), clause.end(),
                               [&](int32_t l) { return solver.truth_value(l) < 0; });
        };
        std::stable_partition(clauses.begin(), clauses.end(),
                              [&](auto const& clause) { return !is_false(clause); });
        for (auto const& clause : clauses) {
            solver.add_clause(clause, ClauseType::volatile_);
        }
        path_.clear();
        set_assumptions(solver, 0);
    }

private:
    void set_assumptions(Solver& solver, size_t steps) {
        assumptions_ = base_;
        for (size_t i = 0; i < steps; ++i) {
            assumptions_.push_back(path_[i].first);
        }
        solver.set_assumptions(assumptions_);
    }

    std::vector<int32_t> const& base_;
    // decisions below the base, each with whether its other branch is still open
    std::vector<std::pair<int32_t, bool>> path_;
    std::vector<int32_t> assumptions_;
};

} // namespace

// Whether the walk over the decision tree may take the solver back to level
// 0 for the next subspace. Propagators receive the facts of level 0 on level
// 1 of a solve call, and leaving level 1 hands them over once more; facts
// found during the call (and what propagators derived from them as facts of
// their own) are not safe to take back that way, so once there are any, the
// thread excludes its further models by clauses.
bool SolverSet::may_restart_call(Solver const& solver) const {
    if (propagators_.empty()) {
        return true;
    }
    // Level 0 is the start of the trail; its levels do not decrease.
    uint32_t low = 0;
    uint32_t high = solver.trail_size();
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        if (solver.level(solver.trail_at(middle)) == 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low == call_facts_[solver.thread_id()];
}

// Searches under the assumptions base (which the solver has been given);
// true when that space holds no further model, false when the call ends
// otherwise.
bool SolverSet::run_search(Solver& solver, std::vector<int32_t> const& base, ModelHandler const& handler) {
    DecisionPath path(base);
    bool walking = !optimize_;
    for (;;) {
        switch (solver.search()) {
        case SearchResult::update:
            import_shared(solver);
            break;
        case SearchResult::sat:
            if (!on_model(solver, handler)) {
                return false;
            }
            if (optimize_) {
                break;
            }
            if (walking && may_restart_call(solver) && path.add_model(solver)) {
                if (!path.next(solver)) {
                    return true;
                }
                break;
            }
            if (walking) {
                path.abandon(solver, false);
                walking = false;
            }
            solver.block_model();
            break;
        case SearchResult::unsat:
            if (!walking || solver.proven_unsat() || !path.has_next()) {
                return true;
            }
            if (!may_restart_call(solver)) {
                path.abandon(solver, true);
                walking = false;
                break;
            }
            path.next(solver);
            break;
        case SearchResult::error: {
            std::lock_guard<std::mutex> lock(mutex_);
            record_failure(solver.failure());
            return false;
        }
        case SearchResult::unknown:
            return false;
        }
    }
}

void SolverSet::run_cubes(Solver& solver, SolveOptions const& options, ModelHandler const& handler) {
    std::vector<int32_t> assumptions;
    for (;;) {
        size_t cube = next_cube_.fetch_add(1);
        if (cube >= cubes_.size() || stop_.load()) {
            return;
        }
        solver.reset_search();
        assumptions = options.assumptions;
        assumptions.insert(assumptions.end(), cubes_[cube].begin(), cubes_[cube].end());
        solver.set_assumptions(assumptions);
        if (!run_search(solver, assumptions, handler)) {
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        // Unsat without assumptions: this thread's clauses exclude only its
        // own models, so it found every model there is.
        if (solver.proven_unsat() || ++cubes_done_ == cubes_.size()) {
            finish(true);
            return;
        }
    }
}

void SolverSet::run(uint32_t index, SolveOptions const& options, ModelHandler const& handler) {
    Solver& solver = *solvers_[index];
    try {
        if (!cubes_.empty()) {
            run_cubes(solver, options, handler);
        } else if (run_search(solver, options.assumptions, handler)) {
            std::lock_guard<std::mutex> lock(mutex_);
            finish(true);
        }
    } catch (std::bad_alloc const&) {
        std::lock_guard<std::mutex> lock(mutex_);
        record_failure({3, "bad allocation"});
    } catch (std::exception const& e) {
        std::lock_guard<std::mutex> lock(mutex_);
        record_failure({1, e.what()});
    }
    solver.reset_search();
}

} // namespace Gondra::Solve
