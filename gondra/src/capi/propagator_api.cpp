// The C interface of propagators: the assignment, the init object and the
// control object, backed by the solver's own classes.
#include "capi/api_guard.hpp"
#include "control/foreign_propagator.hpp"
#include "ground/theory_atoms_view.hpp"

#include <stdexcept>

using Gondra::CApi::guard;
using Gondra::Control::from_c;
using Gondra::Control::to_c;
namespace Solve = Gondra::Solve;

namespace {

template <class T> T* out(T* p) {
    if (p == nullptr) {
        throw std::invalid_argument("output argument must not be null");
    }
    return p;
}

Solve::Solver const& checked(gondra_assignment_t const* a, int32_t lit) {
    auto const& s = from_c(a);
    if (!s.has_literal(lit)) {
        throw std::invalid_argument("invalid solver literal " + std::to_string(lit));
    }
    return s;
}

} // namespace

extern "C" {

uint32_t gondra_assignment_decision_level(gondra_assignment_t const* a) {
    return from_c(a).decision_level();
}
uint32_t gondra_assignment_root_level(gondra_assignment_t const* a) {
    return from_c(a).root_level();
}
bool gondra_assignment_has_conflict(gondra_assignment_t const* a) {
    return from_c(a).has_conflict();
}
bool gondra_assignment_has_literal(gondra_assignment_t const* a, gondra_literal_t lit) {
    return from_c(a).has_literal(lit);
}
bool gondra_assignment_level(gondra_assignment_t const* a, gondra_literal_t lit, uint32_t* level) {
    return guard([&] { *out(level) = checked(a, lit).level(lit); });
}
bool gondra_assignment_decision(gondra_assignment_t const* a, uint32_t level, gondra_literal_t* lit) {
    return guard([&] {
        if (level > from_c(a).decision_level()) {
            throw std::invalid_argument("invalid decision level " + std::to_string(level));
        }
        *out(lit) = from_c(a).decision(level);
    });
}
bool gondra_assignment_is_fixed(gondra_assignment_t const* a, gondra_literal_t lit, bool* r) {
    return guard([&] { *out(r) = checked(a, lit).is_fixed(lit); });
}
bool gondra_assignment_is_true(gondra_assignment_t const* a, gondra_literal_t lit, bool* r) {
    return guard([&] { *out(r) = checked(a, lit).is_true(lit); });
}
bool gondra_assignment_is_false(gondra_assignment_t const* a, gondra_literal_t lit, bool* r) {
    return guard([&] { *out(r) = checked(a, lit).is_false(lit); });
}
bool gondra_assignment_truth_value(gondra_assignment_t const* a, gondra_literal_t lit,
                                   gondra_truth_value_t* r) {
    return guard([&] { *out(r) = checked(a, lit).truth_value(lit); });
}
size_t gondra_assignment_size(gondra_assignment_t const* a) {
    return from_c(a).size();
}
bool gondra_assignment_is_total(gondra_assignment_t const* a) {
    return from_c(a).is_total();
}
bool gondra_assignment_trail_size(gondra_assignment_t const* a, uint32_t* size) {
    return guard([&] { *out(size) = from_c(a).trail_size(); });
}
bool gondra_assignment_trail_begin(gondra_assignment_t const* a, uint32_t level, uint32_t* offset) {
    return guard([&] {
        if (level > from_c(a).decision_level()) {
            throw std::invalid_argument("invalid decision level " + std::to_string(level));
        }
        *out(offset) = from_c(a).trail_begin(level);
    });
}
bool gondra_assignment_trail_end(gondra_assignment_t const* a, uint32_t level, uint32_t* offset) {
    return guard([&] {
        if (level > from_c(a).decision_level()) {
            throw std::invalid_argument("invalid decision level " + std::to_string(level));
        }
        *out(offset) = from_c(a).trail_end(level);
    });
}
bool gondra_assignment_trail_at(gondra_assignment_t const* a, uint32_t offset, gondra_literal_t* lit) {
    return guard([&] {
        if (offset >= from_c(a).trail_size()) {
            throw std::invalid_argument("trail offset " + std::to_string(offset) + " out of range");
        }
        *out(lit) = from_c(a).trail_at(offset);
    });
}

bool gondra_propagate_init_solver_literal(gondra_propagate_init_t const* init, gondra_literal_t lit,
                                          gondra_literal_t* result) {
    return guard([&] { *out(result) = from_c(init).solver_literal(lit); });
}
bool gondra_propagate_init_add_watch(gondra_propagate_init_t* init, gondra_literal_t lit) {
    return guard([&] { from_c(init).add_watch(lit); });
}
bool gondra_propagate_init_add_watch_to_thread(gondra_propagate_init_t* init, gondra_literal_t lit,
                                               gondra_id_t thread_id) {
    return guard([&] { from_c(init).add_watch_to_thread(lit, thread_id); });
}
bool gondra_propagate_init_remove_watch(gondra_propagate_init_t* init, gondra_literal_t lit) {
    return guard([&] { from_c(init).remove_watch(lit); });
}
bool gondra_propagate_init_freeze_literal(gondra_propagate_init_t* init, gondra_literal_t lit) {
    return guard([&] { from_c(init).freeze_literal(lit); });
}
bool gondra_propagate_init_theory_atoms(gondra_propagate_init_t const* init,
                                        gondra_theory_atoms_t const** atoms) {
    return guard([&] {
        auto const* view = static_cast<gondra_theory_atoms_t const*>(from_c(init).theory_atoms());
        if (view == nullptr) {
            throw std::logic_error("no theory atoms available");
        }
        *out(atoms) = view;
    });
}
int gondra_propagate_init_number_of_threads(gondra_propagate_init_t const* init) {
    return static_cast<int>(from_c(init).number_of_threads());
}
void gondra_propagate_init_set_check_mode(gondra_propagate_init_t* init,
                                          gondra_propagator_check_mode_t mode) {
    if (mode >= 0 && mode <= 3) {
        from_c(init).set_check_mode(static_cast<Solve::CheckMode>(mode));
    }
}
gondra_propagator_check_mode_t gondra_propagate_init_get_check_mode(gondra_propagate_init_t const* init) {
    return static_cast<gondra_propagator_check_mode_t>(from_c(init).check_mode());
}
gondra_assignment_t const* gondra_propagate_init_assignment(gondra_propagate_init_t const* init) {
    return to_c(from_c(init).assignment());
}
bool gondra_propagate_init_add_literal(gondra_propagate_init_t* init, bool freeze, gondra_literal_t* result) {
    return guard([&] { *out(result) = from_c(init).add_literal(freeze); });
}
bool gondra_propagate_init_add_clause(gondra_propagate_init_t* init, gondra_literal_t const* clause,
                                      size_t size, bool* result) {
    return guard([&] {
        if (clause == nullptr && size > 0) {
            throw std::invalid_argument("clause must not be null");
        }
        *out(result) = from_c(init).add_clause({clause, size});
    });
}
bool gondra_propagate_init_add_weight_constraint(gondra_propagate_init_t* init, gondra_literal_t literal,
                                                 gondra_weighted_literal_t const* literals, size_t size,
                                                 gondra_weight_t bound, gondra_weight_constraint_type_t type,
                                                 bool compare_equal, bool* result) {
    return guard([&] {
        if (literals == nullptr && size > 0) {
            throw std::invalid_argument("literals must not be null");
        }
        if (type < -1 || type > 1) {
            throw std::invalid_argument("invalid weight constraint type " + std::to_string(type));
        }
        std::vector<Solve::WeightedLiteral> lits;
        lits.reserve(size);
        for (size_t i = 0; i < size; ++i) {
            lits.push_back({literals[i].literal, literals[i].weight});
        }
        *out(result) = from_c(init).add_weight_constraint(
            literal, lits, bound, static_cast<Solve::WeightType>(type), compare_equal);
    });
}
bool gondra_propagate_init_add_minimize(gondra_propagate_init_t* init, gondra_literal_t literal,
                                        gondra_weight_t weight, gondra_weight_t priority) {
    return guard([&] { from_c(init).add_minimize(literal, weight, priority); });
}
bool gondra_propagate_init_propagate(gondra_propagate_init_t* init, bool* result) {
    return guard([&] { *out(result) = from_c(init).propagate(); });
}

gondra_id_t gondra_propagate_control_thread_id(gondra_propagate_control_t const* control) {
    return from_c(control).thread_id();
}
gondra_assignment_t const* gondra_propagate_control_assignment(gondra_propagate_control_t const* control) {
    return to_c(from_c(control).assignment());
}
bool gondra_propagate_control_add_literal(gondra_propagate_control_t* control, gondra_literal_t* result) {
    return guard([&] { *out(result) = from_c(control).add_literal(); });
}
bool gondra_propagate_control_add_watch(gondra_propagate_control_t* control, gondra_literal_t literal) {
    return guard([&] { from_c(control).add_watch(literal); });
}
bool gondra_propagate_control_has_watch(gondra_propagate_control_t const* control, gondra_literal_t literal) {
    return from_c(control).has_watch(literal);
}
void gondra_propagate_control_remove_watch(gondra_propagate_control_t* control, gondra_literal_t literal) {
    from_c(control).remove_watch(literal);
}
bool gondra_propagate_control_add_clause(gondra_propagate_control_t* control, gondra_literal_t const* clause,
                                         size_t size, gondra_clause_type_t type, bool* result) {
    return guard([&] {
        if (clause == nullptr && size > 0) {
            throw std::invalid_argument("clause must not be null");
        }
        if (type < 0 || type > 3) {
            throw std::invalid_argument("invalid clause type " + std::to_string(type));
        }
        *out(result) = from_c(control).add_clause({clause, size}, static_cast<Solve::ClauseType>(type));
    });
}
bool gondra_propagate_control_propagate(gondra_propagate_control_t* control, bool* result) {
    return guard([&] { *out(result) = from_c(control).propagate(); });
}

} // extern "C"
