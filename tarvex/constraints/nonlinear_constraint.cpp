#include "constraints/nonlinear_constraint.hpp"

#include "constraints/nonlinear_constraint_state.hpp"

#include <memory>

namespace Tarvex {

UniqueConstraint NonlinearConstraint::create(literal_t literal, value_t rhs, value_t co_xy, var_id var_x,
                                             var_id var_y, value_t co_z, var_id var_z) {
    return UniqueConstraint{new NonlinearConstraint(literal, rhs, co_xy, var_x, var_y, co_z, var_z)};
}

std::unique_ptr<AbstractConstraintState> NonlinearConstraint::make_state() const {
    return std::make_unique<NonlinearConstraintState>(*this);
}

} // namespace Tarvex
