// The objective handed to the host as minimize terms: per element the weight
// of its lowest value plus one literal per step above it.

#include "constraints/constraint_translation.hpp"
#include "core/checked_arithmetic.hpp"
#include "solver/init_clause_creator.hpp"
#include "solver/thread_solver.hpp"

#include <limits>

namespace Tarvex {

std::pair<bool, bool> translate_objective(TheoryConfig const& config, ThreadSolver& solver, InitClauseCreator& cc,
                                          MinimizeConstraint const& objective) {
    constexpr std::uint32_t always = std::numeric_limits<std::uint32_t>::max();
    // Once the host optimises the objective, the terms of later steps must
    // go to it as well, whatever they cost.
    if (!solver.objective_translated() && config.minimize_limit != always) {
        // One less per element than the literals needed, so that a fixed
        // variable counts -1.
        wide_t estimate = 0;
        for (auto const& [c, x] : objective.elements()) {
            auto const& vs = solver.var_state(x);
            estimate += wide_t{vs.max_bound()} - vs.min_bound() - 1;
        }
        if (wide_t{config.minimize_limit} <= estimate) {
            return {true, false};
        }
    }
    solver.set_objective_translated();
    cc.add_minimize(true_literal, checked_sub(value_t{0}, objective.adjust()), 0);
    for (auto const& [c, x] : objective.elements()) {
        auto& vs = solver.var_state(x);
        value_t min = vs.min_bound();
        value_t max = vs.max_bound();
        cc.add_minimize(true_literal, checked_mul(c, min), 0);
        for (value_t v = min; v < max; ++v) {
            cc.add_minimize(-solver.get_literal(cc, vs, v), c, 0);
        }
    }
    return {true, true};
}

} // namespace Tarvex
