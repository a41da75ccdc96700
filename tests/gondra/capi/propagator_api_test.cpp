// Propagators written against the C interface: the protocol as seen through
// the assignment functions, lazily added clauses, and errors of callbacks.
#include "gondra.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Control {
    gondra_control_t* ctl = nullptr;
    explicit Control(std::vector<char const*> args) {
        EXPECT_TRUE(gondra_control_new(args.data(), args.size(), nullptr, nullptr, 0, &ctl))
            << gondra_error_message();
    }
    ~Control() { gondra_control_free(ctl); }
    bool load(char const* text) {
        gondra_part_t part{"base", nullptr, 0};
        return gondra_control_add(ctl, "base", nullptr, 0, text) && gondra_control_ground(ctl, &part, 1);
    }
};

bool count_models(gondra_solve_event_type_t type, void*, void* data, bool* goon) {
    if (type == gondra_solve_event_type_model) {
        ++*static_cast<std::atomic<int>*>(data);
    }
    *goon = true;
    return true;
}

// Enforces "at most one of the watched variables is true" by clauses added
// when it is violated, and checks the protocol through the C functions.
struct AtMostOne {
    struct Thread {
        std::vector<std::pair<uint32_t, std::vector<int32_t>>> stack;
        std::atomic<int> busy{0};
    };
    std::vector<int32_t> vars;
    Thread threads[8];
    std::atomic<int> errors{0};

    void expect(bool ok) {
        if (!ok) {
            ++errors;
        }
    }

    static bool init(gondra_propagate_init_t* init, void* data) {
        auto& self = *static_cast<AtMostOne*>(data);
        gondra_assignment_t const* a = gondra_propagate_init_assignment(init);
        self.vars.clear();
        for (auto v = 2; v <= static_cast<int32_t>(gondra_assignment_size(a)); ++v) {
            bool fixed = false;
            if (!gondra_assignment_is_fixed(a, v, &fixed) || fixed) {
                continue;
            }
            self.vars.push_back(v);
            if (!gondra_propagate_init_add_watch(init, v)) {
                return false;
            }
        }
        gondra_propagate_init_set_check_mode(init, gondra_propagator_check_mode_total);
        return gondra_propagate_init_number_of_threads(init) <= 8;
    }

    static bool propagate(gondra_propagate_control_t* ctl, gondra_literal_t const* changes, size_t size,
                          void* data) {
        auto& self = *static_cast<AtMostOne*>(data);
        auto& t = self.threads[gondra_propagate_control_thread_id(ctl)];
        self.expect(t.busy.fetch_add(1) == 0);
        gondra_assignment_t const* a = gondra_propagate_control_assignment(ctl);
        uint32_t level = gondra_assignment_decision_level(a);
        if (t.stack.empty() || t.stack.back().first != level) {
            t.stack.emplace_back(level, std::vector<int32_t>{});
        }
        for (size_t i = 0; i < size; ++i) {
            bool is_true = false;
            uint32_t lit_level = 0;
            self.expect(gondra_assignment_is_true(a, changes[i], &is_true) && is_true);
            self.expect(gondra_assignment_level(a, changes[i], &lit_level) && lit_level <= level);
            t.stack.back().second.push_back(changes[i]);
        }
        std::vector<int32_t> clause;
        for (auto v : self.vars) {
            bool is_true = false;
            gondra_assignment_is_true(a, v, &is_true);
            if (is_true) {
                clause.push_back(-v);
            }
        }
        bool ok = true;
        if (clause.size() > 1) {
            clause.resize(2);
            bool result = true;
            ok = gondra_propagate_control_add_clause(ctl, clause.data(), clause.size(),
                                                     gondra_clause_type_learnt, &result);
            if (ok && result) {
                ok = gondra_propagate_control_propagate(ctl, &result);
            }
        }
        t.busy.fetch_sub(1);
        return ok;
    }

    static void undo(gondra_propagate_control_t const* ctl, gondra_literal_t const* changes, size_t size,
                     void* data) {
        auto& self = *static_cast<AtMostOne*>(data);
        auto& t = self.threads[gondra_propagate_control_thread_id(ctl)];
        self.expect(!t.stack.empty() &&
                    t.stack.back().second == std::vector<int32_t>(changes, changes + size));
        if (!t.stack.empty()) {
            t.stack.pop_back();
        }
    }

    static bool check(gondra_propagate_control_t* ctl, void* data) {
        auto& self = *static_cast<AtMostOne*>(data);
        self.expect(gondra_assignment_is_total(gondra_propagate_control_assignment(ctl)));
        uint32_t trail = 0;
        gondra_literal_t first = 0;
        self.expect(gondra_assignment_trail_size(gondra_propagate_control_assignment(ctl), &trail) &&
                    trail == gondra_assignment_size(gondra_propagate_control_assignment(ctl)));
        self.expect(gondra_assignment_trail_at(gondra_propagate_control_assignment(ctl), 0, &first) &&
                    first == 1);
        return true;
    }
};

TEST(PropagatorApiTest, LazyAtMostOneThroughTheCInterface) {
    for (char const* threads : {"1", "3"}) {
        Control c({"-n", "0", "-t", threads});
        ASSERT_TRUE(c.load("{a; b; c; d}.")) << gondra_error_message();
        AtMostOne prop;
        gondra_propagator_t record{AtMostOne::init, AtMostOne::propagate, AtMostOne::undo, AtMostOne::check,
                                   nullptr};
        ASSERT_TRUE(gondra_control_register_propagator(c.ctl, &record, &prop, false))
            << gondra_error_message();
        std::atomic<int> models{0};
        gondra_solve_result_bitset_t result = 0;
        ASSERT_TRUE(gondra_control_solve(c.ctl, nullptr, 0, count_models, &models, &result))
            << gondra_error_message();
        EXPECT_EQ(prop.vars.size(), 4u);
        EXPECT_EQ(models.load(), 5); // none or exactly one atom
        EXPECT_TRUE((result & gondra_solve_result_exhausted) != 0);
        EXPECT_EQ(prop.errors.load(), 0);
        for (auto& t : prop.threads) {
            for (auto const& entry : t.stack) {
                EXPECT_EQ(entry.first, 0u) << "a propagated level was never undone";
            }
        }
    }
}

bool failing_propagate(gondra_propagate_control_t*, gondra_literal_t const*, size_t, void*) {
    gondra_set_error(gondra_error_runtime, "refused by the propagator");
    return false;
}

bool watch_everything(gondra_propagate_init_t* init, void*) {
    gondra_assignment_t const* a = gondra_propagate_init_assignment(init);
    for (auto v = 2; v <= static_cast<int32_t>(gondra_assignment_size(a)); ++v) {
        if (!gondra_propagate_init_add_watch(init, v) || !gondra_propagate_init_add_watch(init, -v)) {
            return false;
        }
    }
    return true;
}

bool watch_invalid(gondra_propagate_init_t* init, void*) {
    return gondra_propagate_init_add_watch(init, 1 << 28);
}

TEST(PropagatorApiTest, CallbackErrorsEndTheSolveCallAndAreKept) {
    {
        Control c({"-t", "2"});
        ASSERT_TRUE(c.load("{a; b}."));
        gondra_propagator_t record{watch_everything, failing_propagate, nullptr, nullptr, nullptr};
        ASSERT_TRUE(gondra_control_register_propagator(c.ctl, &record, nullptr, false));
        EXPECT_FALSE(gondra_control_solve(c.ctl, nullptr, 0, nullptr, nullptr, nullptr));
        EXPECT_EQ(gondra_error_code(), gondra_error_runtime);
        ASSERT_NE(gondra_error_message(), nullptr);
        EXPECT_STREQ(gondra_error_message(), "refused by the propagator");
    }
    {
        Control c({});
        ASSERT_TRUE(c.load("{a}."));
        gondra_propagator_t record{watch_invalid, nullptr, nullptr, nullptr, nullptr};
        ASSERT_TRUE(gondra_control_register_propagator(c.ctl, &record, nullptr, false));
        EXPECT_FALSE(gondra_control_solve(c.ctl, nullptr, 0, nullptr, nullptr, nullptr));
        ASSERT_NE(gondra_error_message(), nullptr);
        EXPECT_NE(std::string(gondra_error_message()).find("268435456"), std::string::npos)
            << gondra_error_message();
    }
}

} // namespace
