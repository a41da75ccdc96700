#pragma once
// A propagator that keeps an integer x in [0, size) in order literals
// "x <= k" it creates only during search, at total assignments, and enforces
// x <= (number of true problem variables). Models differ in x only through
// those search-time variables, which is what enumeration has to tell apart.
#include "solve/propagate_control.hpp"
#include "solve/propagate_init.hpp"
#include "solve/propagator.hpp"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace Gondra::Solve::Testing {

class LazyInteger : public Propagator {
public:
    LazyInteger(uint32_t vars, int32_t size) : vars_(vars), size_(size) {}

    // Problem variables counted by the constraint; may grow between calls.
    void set_vars(uint32_t vars) { vars_ = vars; }

    bool init(PropagateInit& init) override {
        // Order literals of earlier calls are forgotten; their numbers may be
        // handed out again.
        threads_.clear();
        for (uint32_t i = 0; i < init.number_of_threads(); ++i) {
            threads_.push_back(std::make_unique<std::map<int32_t, int32_t>>());
        }
        init.set_check_mode(CheckMode::total);
        return true;
    }

    bool check(PropagateControl& ctl) override {
        check_total(ctl.assignment());
        auto& order = *threads_[ctl.thread_id()];
        auto const& a = ctl.assignment();
        auto [lo, hi] = bounds(order, a);
        if (lo < hi) {
            order_literal(ctl, order, lo + (hi - lo) / 2);
            return true;
        }
        int32_t count = 0;
        std::vector<int32_t> clause;
        for (uint32_t v = 2; v <= vars_ + 1; ++v) {
            if (a.is_true(static_cast<int32_t>(v))) {
                ++count;
            } else {
                clause.push_back(static_cast<int32_t>(v));
            }
        }
        if (lo > count) {
            // Unless another variable becomes true, x <= count.
            int32_t lit = order_literal(ctl, order, count);
            if (lit == 0) {
                return true;
            }
            clause.push_back(lit);
            ctl.add_clause(clause, ClauseType::learnt);
        }
        return true;
    }

    // x in the model the thread holds.
    int32_t value(uint32_t thread, Solver const& a) const { return bounds(*threads_[thread], a).first; }
    uint32_t vars() const { return vars_; }
    int32_t size() const { return size_; }

private:
    static void check_total(Solver const& a) {
        ASSERT_TRUE(a.is_total());
        for (uint32_t v = 1; v <= a.size(); ++v) {
            ASSERT_NE(a.truth_value(static_cast<int32_t>(v)), 0) << "check on a partial assignment";
        }
    }

    std::pair<int32_t, int32_t> bounds(std::map<int32_t, int32_t> const& order, Solver const& a) const {
        int32_t lo = 0;
        int32_t hi = size_ - 1;
        for (auto [k, lit] : order) {
            if (a.is_true(lit)) {
                hi = std::min(hi, k);
            } else if (a.is_false(lit)) {
                lo = std::max(lo, k + 1);
            }
        }
        return {lo, hi};
    }

    // The literal of x <= k, created with the clauses that order it against
    // the existing ones; 0 when a clause conflicts.
    int32_t order_literal(PropagateControl& ctl, std::map<int32_t, int32_t>& order, int32_t k) {
        if (auto it = order.find(k); it != order.end()) {
            return it->second;
        }
        int32_t lit = ctl.add_literal();
        order.emplace(k, lit);
        for (auto [j, other] : order) {
            if (j < k) {
                int32_t c[] = {-other, lit};
                if (!ctl.add_clause(c, ClauseType::static_)) {
                    return 0;
                }
            } else if (j > k) {
                int32_t c[] = {-lit, other};
                if (!ctl.add_clause(c, ClauseType::static_)) {
                    return 0;
                }
            }
        }
        return ctl.propagate() ? lit : 0;
    }

    uint32_t vars_;
    int32_t size_;
    std::vector<std::unique_ptr<std::map<int32_t, int32_t>>> threads_;
};

} // namespace Gondra::Solve::Testing
