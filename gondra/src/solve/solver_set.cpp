#include "solve/solver_set.hpp"

#include "solve/propagate_init.hpp"

#include <algorithm>
#include <chrono>
#include <exception>
#include <new>
#include <thread>
#include <unordered_map>

namespace Gondra::Solve {

SolverSet::SolverSet() = default;
SolverSet::~SolverSet() = default;

uint32_t SolverSet::add_propagator(Propagator* propagator) {
    propagators_.push_back({propagator, CheckMode::none, {}, {}, {}, {}, {}});
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
    restart_on_model_ = !optimize_ && options.application_objective && options.restart_on_model;
    block_on_restart_ = options.block_on_restart;
    model_limit_ = options.models > 0 ? static_cast<uint64_t>(options.models)
                                      : (options.models == 0 || optimize_ ? 0 : 1);
    auto start = std::chrono::steady_clock::now();
    start_stats_.clear();
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
        s->set_propagator_phase(options.propagator_phase);
        s->set_drop_propagator_reasons(options.drop_propagator_reasons);
        start_stats_.push_back(s->statistics());
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
// per model that excludes it for the rest of the call, this keeps memory and
// propagation costs from growing with the number of models.
class DecisionPath {
public:
    // reset: whether the solver may go back to level 0 for the next subspace
    // (without propagators that is the cheapest way).
    DecisionPath(std::vector<int32_t> const& base, bool reset) : base_(base), reset_(reset) {}

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
    //
    // The solver has to leave the level of the step it flips. With
    // propagators it is not reset to level 0: that would undo the call level,
    // on which propagators hold the facts of the call, and make them repeat
    // their work on every level above. Instead a clause over the decisions up
    // to that step makes a conflict, from which the solver backjumps as from
    // any other. The clause is a learnt one that the solver may forget (the
    // assumptions keep the branch apart), and it holds for this call only, as
    // it contains the call literal (level 1).
    bool next(Solver& solver) {
        while (!path_.empty() && !path_.back().second) {
            path_.pop_back();
        }
        if (path_.empty()) {
            return false;
        }
        auto level = static_cast<uint32_t>(1 + base_.size() + path_.size());
        if (reset_) {
            solver.reset_search();
        } else if (solver.decision_level() >= level) {
            clause_.clear();
            for (uint32_t l = 1; l <= level; ++l) {
                if (int32_t d = solver.decision(l); d != 0) {
                    clause_.push_back(-d);
                }
            }
            if (clause_.size() < 2) {
                // Everything up to the step follows from the call literal:
                // its other branch, and those of the steps before, are empty.
                return false;
            }
            solver.add_clause(clause_, ClauseType::learnt);
        }
        path_.back() = {-path_.back().first, false};
        assumptions_ = base_;
        for (auto const& step : path_) {
            assumptions_.push_back(step.first);
        }
        solver.set_assumptions(assumptions_);
        return true;
    }

private:
    std::vector<int32_t> const& base_;
    bool reset_;
    // decisions below the base, each with whether its other branch is still open
    std::vector<std::pair<int32_t, bool>> path_;
    std::vector<int32_t> assumptions_;
    std::vector<int32_t> clause_;
};

} // namespace

// The models one thread found in a call, kept whole so that one found once
// more is told exactly; hashed over the problem's variables, which every
// later model has as well.
class SeenModels {
public:
    // Whether the solver's (total) assignment agrees with a recorded model on
    // every variable both have; records it otherwise.
    bool repeated(Solver const& solver) {
        std::vector<uint64_t> bits((static_cast<size_t>(solver.size()) + 64) / 64, 0);
        for (uint32_t v = 1; v <= solver.size(); ++v) {
            if (solver.is_true(static_cast<int32_t>(v))) {
                bits[v / 64] |= uint64_t{1} << (v % 64);
            }
        }
        uint64_t key = hash(bits, solver.problem_vars());
        auto [begin, end] = models_.equal_range(key);
        for (auto it = begin; it != end; ++it) {
            if (agrees(it->second, bits)) {
                return true;
            }
        }
        models_.emplace(key, std::move(bits));
        return false;
    }

private:
    static uint64_t hash(std::vector<uint64_t> const& bits, uint32_t vars) {
        size_t words = std::min(bits.size(), static_cast<size_t>(vars) / 64);
        uint64_t h = 0x9E3779B97F4A7C15ull;
        for (size_t k = 0; k < words; ++k) {
            h = (h ^ bits[k]) * 0x100000001B3ull;
        }
        // The word holding variable vars, up to it.
        if (words < bits.size()) {
            uint32_t top = vars % 64;
            uint64_t mask = top == 63 ? ~uint64_t{0} : (uint64_t{1} << (top + 1)) - 1;
            h = (h ^ (bits[words] & mask)) * 0x100000001B3ull;
        }
        return h;
    }
    // Equal on the variables of the shorter: variables made after a model
    // are free in it, and one that agrees everywhere else counts as found.
    static bool agrees(std::vector<uint64_t> const& a, std::vector<uint64_t> const& b) {
        size_t n = std::min(a.size(), b.size());
        return std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(n), b.begin());
    }

    std::unordered_multimap<uint64_t, std::vector<uint64_t>> models_;
};

// Searches under the assumptions base (which the solver has been given);
// true when that space holds no further model, false when the call ends
// otherwise.
bool SolverSet::run_search(Solver& solver, std::vector<int32_t> const& base, ModelHandler const& handler) {
    DecisionPath path(base, propagators_.empty());
    SeenModels seen;
    for (;;) {
        switch (solver.search()) {
        case SearchResult::update:
            import_shared(solver);
            break;
        case SearchResult::sat:
            if (restart_on_model_ && !block_on_restart_ && seen.repeated(solver)) {
                // Reported already: only now are its decisions excluded.
                solver.block_model();
                solver.request_restart();
                break;
            }
            if (!on_model(solver, handler)) {
                return false;
            }
            if (optimize_) {
                break;
            }
            if (restart_on_model_) {
                // The propagator's stronger bound excludes this model and
                // everything no better, so the rest of the space is searched
                // afresh from the assumptions. Should the propagator admit
                // the model once more, the clause over its decisions keeps
                // the search finite, added now or when it is found again
                // (then the restart is not pushed away from the decisions
                // that led to it, which on job shop halves the work).
                if (block_on_restart_) {
                    solver.block_model();
                }
                solver.request_restart();
                break;
            }
            if (!path.add_model(solver)) {
                solver.block_model();
            } else if (!path.next(solver)) {
                return true;
            }
            break;
        case SearchResult::unsat:
            if (optimize_ || solver.proven_unsat() || !path.next(solver)) {
                return true;
            }
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
