#include "solve/solver_set.hpp"

#include "solve/propagate_init.hpp"

#include <chrono>
#include <exception>
#include <new>
#include <thread>

namespace Gondra::Solve {

SolverSet::SolverSet() = default;
SolverSet::~SolverSet() = default;

uint32_t SolverSet::add_propagator(Propagator* propagator) {
    propagators_.push_back({propagator, CheckMode::none, {}, {}});
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

std::vector<int32_t> model_clause(Solver const& solver) {
    std::vector<int32_t> clause;
    for (uint32_t v = 2; v <= solver.problem_vars(); ++v) {
        auto lit = static_cast<int32_t>(v);
        clause.push_back(solver.is_true(lit) ? -lit : lit);
    }
    return clause;
}

std::string model_key(std::vector<int32_t> const& clause) {
    std::string key((clause.size() + 7) / 8, '\0');
    for (size_t i = 0; i < clause.size(); ++i) {
        if (clause[i] < 0) {
            key[i / 8] = static_cast<char>(key[i / 8] | (1 << (i % 8)));
        }
    }
    return key;
}

} // namespace

SolveSummary SolverSet::solve(SolveOptions const& options, ModelHandler const& handler) {
    SolveSummary summary;
    threads_ = std::max<uint32_t>(1, options.threads);
    stop_.store(false);
    interrupted_.store(false);
    version_.store(0);
    done_ = false;
    proven_ = false;
    failed_ = false;
    failure_ = {};
    models_ = 0;
    has_best_ = false;
    best_.clear();
    shared_blocking_.clear();
    seen_models_.clear();
    solvers_.clear();

    for (uint32_t i = 0; i < threads_; ++i) {
        solvers_.push_back(std::make_unique<Solver>(i, params_for(i, options.seed)));
    }
    Solver& master = *solvers_[0];
    master.sync(problem_);
    for (uint32_t slot = 0; slot < propagators_.size(); ++slot) {
        master.add_propagator(propagators_[slot].propagator, propagators_[slot].mode);
        for (auto lit : propagators_[slot].watches) {
            master.watch(slot, lit);
        }
    }
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
            solvers_.clear();
            return summary;
        }
    }
    optimize_ = problem_.has_objective();
    model_limit_ = options.models > 0 ? static_cast<uint64_t>(options.models)
                                      : (options.models == 0 || optimize_ ? 0 : 1);
    for (uint32_t i = 1; i < threads_; ++i) {
        Solver& s = *solvers_[i];
        s.sync(problem_);
        for (uint32_t slot = 0; slot < propagators_.size(); ++slot) {
            s.add_propagator(propagators_[slot].propagator, propagators_[slot].mode);
            for (auto lit : propagators_[slot].watches) {
                s.watch(slot, lit);
            }
        }
    }
    for (uint32_t slot = 0; slot < propagators_.size(); ++slot) {
        for (auto [thread, lit] : propagators_[slot].thread_watches) {
            if (thread != 0 && thread < threads_) {
                solvers_[thread]->watch(slot, lit);
            }
        }
    }
    auto start = std::chrono::steady_clock::now();
    for (auto& s : solvers_) {
        s->set_stop(&stop_);
        s->set_shared_version(&version_);
        if (options.time_limit > 0) {
            s->set_deadline(start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                        std::chrono::duration<double>(options.time_limit)));
        }
        s->set_assumptions(options.assumptions);
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
    for (auto& s : solvers_) {
        thread_stats_.push_back(s->statistics());
        summary.statistics.add(s->statistics());
    }
    if (!solvers_.empty()) {
        auto const& first = solvers_[0]->statistics();
        summary.statistics.variables = first.variables;
        summary.statistics.clauses = first.clauses;
        summary.statistics.binary_clauses = first.binary_clauses;
        summary.statistics.weight_constraints = first.weight_constraints;
    }
    summary.models = models_;
    summary.exhausted = proven_;
    summary.interrupted = interrupted_.load();
    summary.best_cost = best_;
    if (failed_) {
        summary.status = SolveStatus::error;
        summary.failure = failure_;
    } else if (models_ == 0) {
        summary.status = proven_ ? SolveStatus::unsatisfiable : SolveStatus::unknown;
    } else {
        summary.status = optimize_ && proven_ ? SolveStatus::optimum : SolveStatus::satisfiable;
    }
    solvers_.clear();
    return summary;
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
// model is new (and better), reports it, and prepares its exclusion.
bool SolverSet::on_model(Solver& solver, ModelHandler const& handler, std::vector<int32_t>& blocking) {
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
    } else {
        blocking = model_clause(solver);
        if (threads_ > 1) {
            report = seen_models_.insert(model_key(blocking)).second;
        }
    }
    if (report) {
        ++models_;
        if (optimize_) {
            best_ = cost;
            has_best_ = true;
        } else if (threads_ > 1) {
            shared_blocking_.push_back(blocking);
        }
        version_.fetch_add(1, std::memory_order_release);
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
        blocking.clear();
        cost = best_;
        solver.acknowledge_version(version_.load(std::memory_order_acquire));
        solver.set_objective_bound(cost);
    }
    return true;
}

void SolverSet::import_shared(Solver& solver, size_t& imported) {
    std::lock_guard<std::mutex> lock(mutex_);
    solver.acknowledge_version(version_.load(std::memory_order_acquire));
    if (optimize_) {
        if (has_best_) {
            solver.set_objective_bound(best_);
        }
        return;
    }
    for (; imported < shared_blocking_.size(); ++imported) {
        solver.add_blocking_clause(shared_blocking_[imported]);
    }
}

void SolverSet::run(uint32_t index, SolveOptions const&, ModelHandler const& handler) {
    Solver& solver = *solvers_[index];
    size_t imported = 0;
    std::vector<int32_t> blocking;
    try {
        for (;;) {
            auto result = solver.search();
            if (result == SearchResult::update) {
                import_shared(solver, imported);
                continue;
            }
            if (result == SearchResult::sat) {
                if (!on_model(solver, handler, blocking)) {
                    break;
                }
                if (!optimize_) {
                    solver.add_blocking_clause(blocking);
                    if (threads_ > 1) {
                        import_shared(solver, imported);
                    }
                }
                continue;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            if (result == SearchResult::unsat) {
                finish(true);
            } else if (result == SearchResult::error) {
                record_failure(solver.failure());
            }
            break;
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
