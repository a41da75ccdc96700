// Header-only C++ layer over the C interface of gondra: propagator and
// heuristic base classes and thin wrappers of the objects they work with.
#pragma once

#include "gondra.h"

#include <cstdint>
#include <new>
#include <span>
#include <stdexcept>
#include <string>

namespace Gondra {

using literal_t = gondra_literal_t;
using id_t = gondra_id_t;
using weight_t = gondra_weight_t;

// Turns the error state of a failed C call into an exception.
[[noreturn]] inline void raise_error() {
    char const* message = gondra_error_message();
    std::string text = message != nullptr ? message : "no message";
    switch (gondra_error_code()) {
    case gondra_error_logic:
        throw std::logic_error(text);
    case gondra_error_bad_alloc:
        throw std::bad_alloc();
    default:
        throw std::runtime_error(text);
    }
}

inline void handle_error(bool ok) {
    if (!ok) raise_error();
}

// The assignment of one solver thread.
class Assignment {
public:
    explicit Assignment(gondra_assignment_t const* assignment) : assignment_{assignment} {}
    gondra_assignment_t const* to_c() const { return assignment_; }

    uint32_t decision_level() const { return gondra_assignment_decision_level(assignment_); }
    bool has_conflict() const { return gondra_assignment_has_conflict(assignment_); }
    bool has_literal(literal_t lit) const { return gondra_assignment_has_literal(assignment_, lit); }
    uint32_t level(literal_t lit) const {
        uint32_t ret = 0;
        handle_error(gondra_assignment_level(assignment_, lit, &ret));
        return ret;
    }
    bool is_fixed(literal_t lit) const {
        bool ret = false;
        handle_error(gondra_assignment_is_fixed(assignment_, lit, &ret));
        return ret;
    }
    bool is_true(literal_t lit) const {
        bool ret = false;
        handle_error(gondra_assignment_is_true(assignment_, lit, &ret));
        return ret;
    }
    bool is_false(literal_t lit) const {
        bool ret = false;
        handle_error(gondra_assignment_is_false(assignment_, lit, &ret));
        return ret;
    }
    gondra_truth_value_t truth_value(literal_t lit) const {
        gondra_truth_value_t ret = 0;
        handle_error(gondra_assignment_truth_value(assignment_, lit, &ret));
        return ret;
    }
    std::size_t size() const { return gondra_assignment_size(assignment_); }
    bool is_total() const { return gondra_assignment_is_total(assignment_); }
    uint32_t trail_size() const {
        uint32_t ret = 0;
        handle_error(gondra_assignment_trail_size(assignment_, &ret));
        return ret;
    }
    literal_t trail_at(uint32_t offset) const {
        literal_t ret = 0;
        handle_error(gondra_assignment_trail_at(assignment_, offset, &ret));
        return ret;
    }

private:
    gondra_assignment_t const* assignment_;
};

// What a propagator's init works with.
class PropagateInit {
public:
    explicit PropagateInit(gondra_propagate_init_t* init) : init_{init} {}
    gondra_propagate_init_t* to_c() const { return init_; }

    literal_t solver_literal(literal_t lit) const {
        literal_t ret = 0;
        handle_error(gondra_propagate_init_solver_literal(init_, lit, &ret));
        return ret;
    }
    void add_watch(literal_t lit) { handle_error(gondra_propagate_init_add_watch(init_, lit)); }
    void add_watch(literal_t lit, id_t thread_id) {
        handle_error(gondra_propagate_init_add_watch_to_thread(init_, lit, thread_id));
    }
    literal_t add_literal(bool freeze = true) {
        literal_t ret = 0;
        handle_error(gondra_propagate_init_add_literal(init_, freeze, &ret));
        return ret;
    }
    bool add_clause(std::span<literal_t const> clause) {
        bool ret = false;
        handle_error(gondra_propagate_init_add_clause(init_, clause.data(), clause.size(), &ret));
        return ret;
    }
    bool add_weight_constraint(literal_t lit, std::span<gondra_weighted_literal_t const> lits, weight_t bound,
                               gondra_weight_constraint_type_t type, bool compare_equal = false) {
        bool ret = false;
        handle_error(gondra_propagate_init_add_weight_constraint(init_, lit, lits.data(), lits.size(), bound, type,
                                                                 compare_equal, &ret));
        return ret;
    }
    void add_minimize(literal_t lit, weight_t weight, weight_t priority = 0) {
        handle_error(gondra_propagate_init_add_minimize(init_, lit, weight, priority));
    }
    bool propagate() {
        bool ret = false;
        handle_error(gondra_propagate_init_propagate(init_, &ret));
        return ret;
    }
    gondra_theory_atoms_t const* theory_atoms() const {
        gondra_theory_atoms_t const* ret = nullptr;
        handle_error(gondra_propagate_init_theory_atoms(init_, &ret));
        return ret;
    }
    int number_of_threads() const { return gondra_propagate_init_number_of_threads(init_); }
    Assignment assignment() const { return Assignment{gondra_propagate_init_assignment(init_)}; }
    void set_check_mode(gondra_propagator_check_mode_t mode) { gondra_propagate_init_set_check_mode(init_, mode); }
    gondra_propagator_check_mode_t get_check_mode() const { return gondra_propagate_init_get_check_mode(init_); }

private:
    gondra_propagate_init_t* init_;
};

// What a propagator's search callbacks work with; one per solver thread.
class PropagateControl {
public:
    explicit PropagateControl(gondra_propagate_control_t* control) : control_{control} {}
    gondra_propagate_control_t* to_c() const { return control_; }

    id_t thread_id() const { return gondra_propagate_control_thread_id(control_); }
    Assignment assignment() const { return Assignment{gondra_propagate_control_assignment(control_)}; }
    literal_t add_literal() {
        literal_t ret = 0;
        handle_error(gondra_propagate_control_add_literal(control_, &ret));
        return ret;
    }
    void add_watch(literal_t lit) { handle_error(gondra_propagate_control_add_watch(control_, lit)); }
    bool has_watch(literal_t lit) const { return gondra_propagate_control_has_watch(control_, lit); }
    void remove_watch(literal_t lit) { gondra_propagate_control_remove_watch(control_, lit); }
    bool add_clause(std::span<literal_t const> clause, gondra_clause_type_t type = gondra_clause_type_learnt) {
        bool ret = false;
        handle_error(gondra_propagate_control_add_clause(control_, clause.data(), clause.size(), type, &ret));
        return ret;
    }
    bool propagate() {
        bool ret = false;
        handle_error(gondra_propagate_control_propagate(control_, &ret));
        return ret;
    }

private:
    gondra_propagate_control_t* control_;
};

// A propagator implemented in C++; register it with register_propagator.
class Propagator {
public:
    virtual void init(PropagateInit& init) { static_cast<void>(init); }
    virtual void propagate(PropagateControl& control, std::span<literal_t const> changes) {
        static_cast<void>(control);
        static_cast<void>(changes);
    }
    virtual void undo(PropagateControl const& control, std::span<literal_t const> changes) noexcept {
        static_cast<void>(control);
        static_cast<void>(changes);
    }
    virtual void check(PropagateControl& control) { static_cast<void>(control); }
    virtual ~Propagator() = default;
};

// A propagator that may also replace the solver's decisions.
class Heuristic : public Propagator {
public:
    // Returns the literal to decide instead of fallback, or 0 to keep it.
    virtual literal_t decide(id_t thread_id, Assignment const& assignment, literal_t fallback) = 0;
};

namespace Detail {

template <class F> bool guard(F&& f) noexcept {
    try {
        f();
        return true;
    } catch (std::bad_alloc const&) {
        gondra_set_error(gondra_error_bad_alloc, "bad allocation");
    } catch (std::runtime_error const& e) {
        gondra_set_error(gondra_error_runtime, e.what());
    } catch (std::logic_error const& e) {
        gondra_set_error(gondra_error_logic, e.what());
    } catch (...) {
        gondra_set_error(gondra_error_unknown, "unknown error");
    }
    return false;
}

inline bool propagator_init(gondra_propagate_init_t* init, void* data) {
    return guard([&] {
        PropagateInit wrapper{init};
        static_cast<Propagator*>(data)->init(wrapper);
    });
}

inline bool propagator_propagate(gondra_propagate_control_t* control, literal_t const* changes, std::size_t size,
                                 void* data) {
    return guard([&] {
        PropagateControl wrapper{control};
        static_cast<Propagator*>(data)->propagate(wrapper, {changes, size});
    });
}

inline void propagator_undo(gondra_propagate_control_t const* control, literal_t const* changes, std::size_t size,
                            void* data) {
    PropagateControl wrapper{const_cast<gondra_propagate_control_t*>(control)};
    static_cast<Propagator*>(data)->undo(wrapper, {changes, size});
}

inline bool propagator_check(gondra_propagate_control_t* control, void* data) {
    return guard([&] {
        PropagateControl wrapper{control};
        static_cast<Propagator*>(data)->check(wrapper);
    });
}

inline bool heuristic_decide(id_t thread_id, gondra_assignment_t const* assignment, literal_t fallback, void* data,
                             literal_t* decision) {
    return guard([&] {
        Assignment wrapper{assignment};
        *decision = static_cast<Heuristic*>(static_cast<Propagator*>(data))->decide(thread_id, wrapper, fallback);
    });
}

} // namespace Detail

// Registers a C++ propagator (it must outlive the control's solve calls).
inline void register_propagator(gondra_control_t* control, Propagator& propagator, bool sequential = false) {
    static gondra_propagator_t const record{Detail::propagator_init, Detail::propagator_propagate,
                                            Detail::propagator_undo, Detail::propagator_check, nullptr};
    handle_error(gondra_control_register_propagator(control, &record, &propagator, sequential));
}

// Registers a C++ heuristic: a propagator whose decide is called too.
inline void register_heuristic(gondra_control_t* control, Heuristic& heuristic, bool sequential = false) {
    static gondra_propagator_t const record{Detail::propagator_init, Detail::propagator_propagate,
                                            Detail::propagator_undo, Detail::propagator_check,
                                            Detail::heuristic_decide};
    handle_error(gondra_control_register_propagator(control, &record, static_cast<Propagator*>(&heuristic),
                                                    sequential));
}

} // namespace Gondra
