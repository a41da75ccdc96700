#pragma once

// Thin wrapper of the object the propagator's initialisation works with.

#include "core/integer_types.hpp"
#include "host/assignment.hpp"
#include "host/host_error.hpp"

#include <span>

namespace Tarvex::Host {

class PropagateInit {
public:
    explicit PropagateInit(gondra_propagate_init_t* init) : init_{init} {}

    gondra_propagate_init_t* to_c() const { return init_; }

    gondra_theory_atoms_t const* theory_atoms() const {
        gondra_theory_atoms_t const* result = nullptr;
        check(gondra_propagate_init_theory_atoms(init_, &result));
        return result;
    }
    literal_t solver_literal(literal_t program_literal) const {
        literal_t result = 0;
        check(gondra_propagate_init_solver_literal(init_, program_literal, &result));
        return result;
    }
    literal_t add_literal(bool freeze) {
        literal_t result = 0;
        check(gondra_propagate_init_add_literal(init_, freeze, &result));
        return result;
    }
    void add_watch(literal_t lit) { check(gondra_propagate_init_add_watch(init_, lit)); }
    // False when the clause conflicts on level 0.
    bool add_clause(std::span<literal_t const> clause) {
        bool result = false;
        check(gondra_propagate_init_add_clause(init_, clause.data(), clause.size(), &result));
        return result;
    }
    // Relates lit to (sum of the weights of the true literals >= bound, or =
    // bound with compare_equal); false on conflict. An empty span passes null.
    bool add_weight_constraint(literal_t lit, std::span<gondra_weighted_literal_t const> literals,
                               value_t bound, gondra_weight_constraint_type_t type, bool compare_equal) {
        bool result = false;
        check(gondra_propagate_init_add_weight_constraint(
            init_, lit, literals.empty() ? nullptr : literals.data(), literals.size(), bound, type,
            compare_equal, &result));
        return result;
    }
    void add_minimize(literal_t lit, value_t weight, value_t priority) {
        check(gondra_propagate_init_add_minimize(init_, lit, weight, priority));
    }
    // Unit propagation on level 0; false on conflict.
    bool propagate() {
        bool result = false;
        check(gondra_propagate_init_propagate(init_, &result));
        return result;
    }
    Assignment assignment() const { return Assignment{gondra_propagate_init_assignment(init_)}; }
    int number_of_threads() const { return gondra_propagate_init_number_of_threads(init_); }
    void set_check_mode(gondra_propagator_check_mode_t mode) {
        gondra_propagate_init_set_check_mode(init_, mode);
    }

private:
    gondra_propagate_init_t* init_;
};

} // namespace Tarvex::Host
