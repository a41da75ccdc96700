#pragma once

// literal -> co_xy * x * y + co_z * z <= rhs.

#include "constraints/abstract_constraint.hpp"

namespace Tarvex {

class NonlinearConstraint final : public AbstractConstraint {
public:
    // co_xy is not 0; co_z 0 means there is no linear term.
    static UniqueConstraint create(literal_t literal, value_t rhs, value_t co_xy, var_id var_x, var_id var_y,
                                   value_t co_z, var_id var_z);

    std::unique_ptr<AbstractConstraintState> make_state() const override;
    literal_t constraint_literal() const override { return literal_; }

    literal_t literal() const { return literal_; }
    value_t rhs() const { return rhs_; }
    value_t co_xy() const { return co_xy_; }
    var_id var_x() const { return var_x_; }
    var_id var_y() const { return var_y_; }
    value_t co_z() const { return co_z_; }
    var_id var_z() const { return var_z_; }

private:
    NonlinearConstraint(literal_t literal, value_t rhs, value_t co_xy, var_id var_x, var_id var_y, value_t co_z,
                        var_id var_z)
        : literal_{literal}, rhs_{rhs}, co_xy_{co_xy}, var_x_{var_x}, var_y_{var_y}, co_z_{co_z}, var_z_{var_z} {}

    literal_t literal_;
    value_t rhs_;
    value_t co_xy_;
    var_id var_x_;
    var_id var_y_;
    value_t co_z_;
    var_id var_z_;
};

} // namespace Tarvex
