// Propagators that enforce constraints lazily, checking the call protocol as
// they go, and whose models must match brute force.
#include "brute_force.hpp"
#include "solve/propagate_control.hpp"
#include "solve/propagate_init.hpp"
#include "solve/solver_set.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>

namespace Gondra::Solve {
namespace {

// At most `bound` of the problem variables are true, enforced only through
// clauses added when violated. Each clause goes through a fresh thread-local
// variable a: (C or a) and (C or -a), so the solver sees a unit followed by a
// conflict. Every callback checks the protocol.
class LazyAtMost : public Propagator {
public:
    LazyAtMost(uint32_t vars, uint32_t bound, CheckMode mode) : vars_(vars), bound_(bound), mode_(mode) {}

    bool init(PropagateInit& init) override {
        threads_.clear();
        threads_.resize(init.number_of_threads());
        for (auto& t : threads_) {
            t = std::make_unique<ThreadState>();
        }
        for (uint32_t v = 2; v <= vars_ + 1; ++v) {
            init.add_watch(static_cast<int32_t>(v));
        }
        init.set_check_mode(mode_);
        ++inits;
        // Literals fixed before the search are never reported as changes.
        std::vector<int32_t> fixed;
        for (uint32_t v = 2; v <= vars_ + 1; ++v) {
            if (init.assignment().is_true(static_cast<int32_t>(v))) {
                fixed.push_back(-static_cast<int32_t>(v));
            }
        }
        if (fixed.size() > bound_) {
            init.add_clause(fixed);
        }
        return true;
    }

    bool propagate(PropagateControl& ctl, std::span<int32_t const> changes) override {
        auto& t = enter(ctl);
        auto const& a = ctl.assignment();
        EXPECT_FALSE(changes.empty());
        uint32_t level = a.decision_level();
        if (t.stack.empty() || t.stack.back().first != level) {
            EXPECT_TRUE(t.stack.empty() || t.stack.back().first < level) << "levels out of order";
            t.stack.emplace_back(level, std::vector<int32_t>{});
        }
        for (auto lit : changes) {
            EXPECT_TRUE(a.is_true(lit)) << "change " << lit << " is not true";
            bool own = t.aux.count(lit) != 0;
            EXPECT_TRUE(own || (lit >= 2 && static_cast<uint32_t>(lit) <= vars_ + 1))
                << "foreign change " << lit;
            t.stack.back().second.push_back(lit);
        }
        ++t.propagates;
        // The helper variables are pinned to false, so that models differ
        // only in the problem variables (enumeration tells apart models that
        // differ in any variable of the thread).
        for (auto lit : changes) {
            if (lit > 0 && t.aux.count(lit) != 0) {
                int32_t unit[] = {-lit};
                if (!ctl.add_clause(unit, ClauseType::static_)) {
                    leave(t);
                    return true;
                }
            }
        }
        bool ok = mode_ == CheckMode::total || enforce(ctl, t);
        leave(t);
        return ok;
    }

    void undo(PropagateControl const& ctl, std::span<int32_t const> changes) override {
        auto& t = *threads_[ctl.thread_id()];
        EXPECT_EQ(t.busy.fetch_add(1), 0) << "two calls for one thread";
        EXPECT_FALSE(t.stack.empty()) << "undo without propagate";
        if (!t.stack.empty()) {
            EXPECT_EQ(std::vector<int32_t>(changes.begin(), changes.end()), t.stack.back().second);
            EXPECT_GT(t.stack.back().first, 0u);
            t.stack.pop_back();
        }
        ++t.undos;
        t.busy.fetch_sub(1);
    }

    bool check(PropagateControl& ctl) override {
        auto& t = enter(ctl);
        auto m = static_cast<int>(mode_);
        EXPECT_NE(m, 0) << "check with mode none";
        if (m == 1) {
            EXPECT_TRUE(ctl.assignment().is_total()) << "check in total mode on a partial assignment";
        }
        ++t.checks;
        bool ok = enforce(ctl, t);
        leave(t);
        return ok;
    }

    std::atomic<int> inits{0};
    uint64_t propagates() const {
        uint64_t n = 0;
        for (auto const& t : threads_) {
            n += t->propagates;
        }
        return n;
    }
    uint64_t checks() const {
        uint64_t n = 0;
        for (auto const& t : threads_) {
            n += t->checks;
        }
        return n;
    }
    // After a solve call every propagated level above 0 must be undone.
    bool balanced() const {
        for (auto const& t : threads_) {
            for (auto const& entry : t->stack) {
                if (entry.first != 0) {
                    return false;
                }
            }
        }
        return true;
    }

private:
    struct ThreadState {
        std::atomic<int> busy{0};
        std::vector<std::pair<uint32_t, std::vector<int32_t>>> stack;
        std::set<int32_t> aux;
        uint64_t propagates = 0;
        uint64_t undos = 0;
        uint64_t checks = 0;
    };

    ThreadState& enter(PropagateControl& ctl) {
        auto& t = *threads_[ctl.thread_id()];
        EXPECT_EQ(t.busy.fetch_add(1), 0) << "two calls for one thread";
        return t;
    }
    void leave(ThreadState& t) { t.busy.fetch_sub(1); }

    bool enforce(PropagateControl& ctl, ThreadState& t) {
        auto const& a = ctl.assignment();
        std::vector<int32_t> clause;
        for (uint32_t v = 2; v <= vars_ + 1 && clause.size() <= bound_; ++v) {
            if (a.is_true(static_cast<int32_t>(v))) {
                clause.push_back(-static_cast<int32_t>(v));
            }
        }
        if (clause.size() <= bound_) {
            return true;
        }
        int32_t aux = ctl.add_literal();
        t.aux.insert(aux);
        t.aux.insert(-aux);
        ctl.add_watch(aux);
        EXPECT_TRUE(ctl.has_watch(aux));
        clause.push_back(aux);
        auto type = static_cast<ClauseType>(t.propagates % 4);
        if (!ctl.add_clause(clause, type)) {
            return true;
        }
        clause.back() = -aux;
        if (!ctl.add_clause(clause, type)) {
            return true;
        }
        ctl.propagate();
        return true;
    }

    uint32_t vars_;
    uint32_t bound_;
    CheckMode mode_;
    std::vector<std::unique_ptr<ThreadState>> threads_;
};

uint32_t popcount_le(uint32_t bits, uint32_t bound) {
    return static_cast<uint32_t>(__builtin_popcount(bits)) <= bound;
}

class LazyPropagatorTest : public ::testing::TestWithParam<std::tuple<int, uint32_t>> {};

TEST_P(LazyPropagatorTest, LazyClausesGiveTheBruteForceModels) {
    auto mode = static_cast<CheckMode>(std::get<0>(GetParam()));
    uint32_t threads = std::get<1>(GetParam());
    std::mt19937 rng(5 + static_cast<uint32_t>(mode) * 10 + threads);
    for (int round = 0; round < 25; ++round) {
        uint32_t vars = 4 + rng() % 7;
        uint32_t bound = rng() % 4;
        auto p = Testing::random_cnf(rng, vars, vars / 2, 4);
        std::set<uint32_t> expected;
        for (auto bits : Testing::all_models(p)) {
            if (popcount_le(bits, bound)) {
                expected.insert(bits);
            }
        }
        SolverSet set;
        p.load(set.problem());
        LazyAtMost prop(vars, bound, mode);
        set.add_propagator(&prop);
        SolveOptions options;
        options.threads = threads;
        options.models = 0;
        std::set<uint32_t> got;
        std::mutex guard;
        auto summary = set.solve(options, [&](Model const& m) {
            std::lock_guard<std::mutex> lock(guard);
            uint32_t bits = 0;
            for (uint32_t v = 0; v < vars; ++v) {
                bits |= m.is_true(static_cast<int32_t>(v + 2)) ? 1u << v : 0u;
            }
            EXPECT_TRUE(m.assignment().is_total());
            EXPECT_TRUE(got.insert(bits).second) << "model reported twice";
            return true;
        });
        ASSERT_EQ(got, expected) << "round " << round;
        EXPECT_EQ(summary.status, expected.empty() ? SolveStatus::unsatisfiable : SolveStatus::satisfiable);
        EXPECT_EQ(prop.inits.load(), 1);
        EXPECT_TRUE(prop.balanced()) << "an undo is missing";
        if (mode == CheckMode::none) {
            EXPECT_EQ(prop.checks(), 0u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, LazyPropagatorTest,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3), ::testing::Values(1u, 4u)));

// No two pigeons in one hole, enforced by adding the binary clause only when
// the conflict is there.
class LazyPigeons : public Propagator {
public:
    LazyPigeons(uint32_t pigeons, uint32_t holes) : pigeons_(pigeons), holes_(holes) {}
    int32_t var(uint32_t p, uint32_t h) const { return static_cast<int32_t>(2 + p * holes_ + h); }

    bool init(PropagateInit& init) override {
        for (uint32_t p = 0; p < pigeons_; ++p) {
            for (uint32_t h = 0; h < holes_; ++h) {
                init.add_watch(var(p, h));
            }
        }
        return true;
    }
    bool propagate(PropagateControl& ctl, std::span<int32_t const> changes) override {
        for (auto lit : changes) {
            auto h = static_cast<uint32_t>(lit - 2) % holes_;
            auto p = static_cast<uint32_t>(lit - 2) / holes_;
            for (uint32_t q = 0; q < pigeons_; ++q) {
                if (q != p && ctl.assignment().is_true(var(q, h))) {
                    int32_t clause[] = {-var(p, h), -var(q, h)};
                    ++added;
                    if (!ctl.add_clause(clause, ClauseType::learnt) || !ctl.propagate()) {
                        return true;
                    }
                }
            }
        }
        return true;
    }
    std::atomic<uint64_t> added{0};

private:
    uint32_t pigeons_;
    uint32_t holes_;
};

uint64_t solve_pigeons(uint32_t pigeons, uint32_t holes, uint32_t threads, SolveStatus& status) {
    SolverSet set;
    LazyPigeons prop(pigeons, holes);
    set.problem().reserve_variables(1 + pigeons * holes);
    for (uint32_t p = 0; p < pigeons; ++p) {
        std::vector<int32_t> c;
        for (uint32_t h = 0; h < holes; ++h) {
            c.push_back(prop.var(p, h));
        }
        set.problem().add_clause(c);
    }
    set.add_propagator(&prop);
    SolveOptions options;
    options.models = 0;
    options.threads = threads;
    auto summary = set.solve(options, nullptr);
    status = summary.status;
    EXPECT_GT(prop.added.load(), 0u);
    return summary.models;
}

TEST(LazyPigeonsTest, CountsPermutationsAndRefutesOneTooMany) {
    for (uint32_t threads : {1u, 4u}) {
        SolveStatus status{};
        EXPECT_EQ(solve_pigeons(5, 5, threads, status), 120u);
        EXPECT_EQ(status, SolveStatus::satisfiable);
        EXPECT_EQ(solve_pigeons(6, 5, threads, status), 0u);
        EXPECT_EQ(status, SolveStatus::unsatisfiable);
    }
}

class Failing : public Propagator {
public:
    explicit Failing(bool throws) : throws_(throws) {}
    bool init(PropagateInit& init) override {
        init.add_watch(2);
        init.add_watch(-2);
        return true;
    }
    bool propagate(PropagateControl&, std::span<int32_t const>) override {
        if (throws_) {
            throw std::runtime_error("thrown in propagate");
        }
        return false;
    }
    Failure failure() const override { return {2, "propagate refused"}; }

private:
    bool throws_;
};

TEST(PropagatorFailureTest, FailureEndsTheSolveCallWithItsError) {
    for (bool throws : {false, true}) {
        SolverSet set;
        set.problem().reserve_variables(3);
        Failing prop(throws);
        set.add_propagator(&prop);
        bool reported = false;
        auto summary = set.solve({}, [&](Model const&) { return reported = true; });
        EXPECT_FALSE(reported);
        EXPECT_EQ(summary.status, SolveStatus::error);
        EXPECT_EQ(summary.failure.message, throws ? "thrown in propagate" : "propagate refused");
        EXPECT_EQ(summary.failure.code, throws ? 1 : 2);
    }
}

// Replaces every decision with the positive literal of the highest free
// variable; the first model is then all true.
class Decider : public Propagator {
public:
    bool has_decide() const override { return true; }
    bool decide(uint32_t, Solver const& a, int32_t fallback, int32_t& decision) override {
        EXPECT_EQ(a.truth_value(fallback), 0);
        decision = 0;
        for (auto v = static_cast<int32_t>(a.size()); v >= 2; --v) {
            if (a.truth_value(v) == 0) {
                decision = v;
                break;
            }
        }
        ++calls;
        return true;
    }
    int calls = 0;
};

TEST(DecideTest, DecisionReplacesFallback) {
    SolverSet set;
    set.problem().reserve_variables(7);
    Decider prop;
    set.add_propagator(&prop);
    bool all_true = false;
    set.solve({}, [&](Model const& m) {
        all_true = true;
        for (int32_t v = 2; v <= 7; ++v) {
            all_true = all_true && m.is_true(v);
        }
        return true;
    });
    EXPECT_TRUE(all_true);
    EXPECT_EQ(prop.calls, 6);
}

} // namespace
} // namespace Gondra::Solve

namespace Gondra::Solve {
namespace {

// Watches every literal and keeps, per thread, the changes delivered and not
// undone. On a total assignment each true literal must be among them or have
// been true when init ran: a propagator never misses a change, also not a
// level-0 fact learnt during search (then handed over above level 0).
class DeliveryCheck : public Propagator {
public:
    explicit DeliveryCheck(uint32_t vars) : vars_(vars) {}

    bool init(PropagateInit& init) override {
        threads_.clear();
        for (uint32_t t = 0; t < init.number_of_threads(); ++t) {
            threads_.push_back(std::make_unique<Thread>());
        }
        initial_.clear();
        for (uint32_t v = 2; v <= vars_ + 1; ++v) {
            for (int32_t lit : {static_cast<int32_t>(v), -static_cast<int32_t>(v)}) {
                init.add_watch(lit);
                if (init.assignment().is_true(lit)) {
                    initial_.insert(lit);
                }
            }
        }
        init.set_check_mode(CheckMode::total);
        return true;
    }
    bool propagate(PropagateControl& ctl, std::span<int32_t const> changes) override {
        auto& t = *threads_[ctl.thread_id()];
        t.levels.push_back(t.delivered.size());
        t.delivered.insert(t.delivered.end(), changes.begin(), changes.end());
        return true;
    }
    void undo(PropagateControl const& ctl, std::span<int32_t const>) override {
        auto& t = *threads_[ctl.thread_id()];
        t.delivered.resize(t.levels.back());
        t.levels.pop_back();
    }
    bool check(PropagateControl& ctl) override {
        auto& t = *threads_[ctl.thread_id()];
        std::set<int32_t> known(t.delivered.begin(), t.delivered.end());
        for (uint32_t v = 2; v <= vars_ + 1; ++v) {
            auto lit = static_cast<int32_t>(v);
            lit = ctl.assignment().is_true(lit) ? lit : -lit;
            if (!known.contains(lit) && !initial_.contains(lit)) {
                missed.fetch_add(1);
            }
        }
        checks.fetch_add(1);
        return true;
    }

    std::atomic<uint64_t> missed{0};
    std::atomic<uint64_t> checks{0};

private:
    struct Thread {
        std::vector<int32_t> delivered;
        std::vector<size_t> levels;
    };
    uint32_t vars_;
    std::set<int32_t> initial_;
    std::vector<std::unique_ptr<Thread>> threads_;
};

TEST(PropagatorProtocol, EveryTrueWatchedLiteralIsDeliveredBeforeATotalCheck) {
    std::mt19937 rng(17);
    uint64_t checked = 0;
    for (int round = 0; round < 20; ++round) {
        // Near the threshold, so that searches learn units; enumerating with
        // several threads splits the search into cubes.
        Testing::SmallProblem p;
        p.vars = 30;
        for (int c = 0; c < 126; ++c) {
            p.clauses.push_back({Testing::random_lit(rng, p.vars), Testing::random_lit(rng, p.vars),
                                 Testing::random_lit(rng, p.vars)});
        }
        SolverSet set;
        p.load(set.problem());
        DeliveryCheck prop(p.vars);
        set.add_propagator(&prop);
        for (uint32_t threads : {1u, 3u}) {
            SolveOptions options;
            options.threads = threads;
            options.models = 0;
            set.solve(options, nullptr);
            EXPECT_EQ(prop.missed.load(), 0u) << "round " << round << " threads " << threads;
        }
        checked += prop.checks.load();
    }
    EXPECT_GT(checked, 100u);
}

// Watches added twice count once, removed ones stop, and a literal removed in
// one call may be watched again in the next, in every thread.
class WatchSet : public Propagator {
public:
    bool init(PropagateInit& init) override {
        ++calls;
        if (calls == 1) {
            for (int32_t lit : {2, 2, -3, 3, -2}) {
                init.add_watch(lit);
            }
            init.remove_watch(3);
            init.remove_watch(-2);
        } else {
            init.add_watch(3);
            init.add_watch(2);
        }
        return true;
    }
    bool propagate(PropagateControl&, std::span<int32_t const> changes) override {
        std::lock_guard<std::mutex> lock(mutex);
        std::set<int32_t> once(changes.begin(), changes.end());
        if (once.size() != changes.size()) {
            ++duplicates;
        }
        seen.insert(changes.begin(), changes.end());
        return true;
    }

    int calls = 0;
    int duplicates = 0;
    std::set<int32_t> seen;
    std::mutex mutex;
};

TEST(PropagatorWatches, DuplicatesCountOnceAndRemovedWatchesStop) {
    for (uint32_t threads : {1u, 3u}) {
        Testing::SmallProblem p;
        p.vars = 2;
        SolverSet set;
        p.load(set.problem());
        WatchSet prop;
        set.add_propagator(&prop);
        SolveOptions options;
        options.threads = threads;
        options.models = 0;
        set.solve(options, nullptr);
        EXPECT_EQ(prop.seen, (std::set<int32_t>{2, -3})) << threads << " threads";
        prop.seen.clear();
        set.solve(options, nullptr);
        EXPECT_EQ(prop.seen, (std::set<int32_t>{2, 3, -3})) << threads << " threads";
        EXPECT_EQ(prop.duplicates, 0);
    }
}

} // namespace
} // namespace Gondra::Solve
