#pragma once

// Translation of constraints into what the host handles natively, run once
// per initialisation on thread 0's solver at decision level 0. Each returns
// (consistent, remove) as translate_to_clauses does.

#include "constraints/distinct_constraint_state.hpp"
#include "constraints/minimize_constraint.hpp"
#include "constraints/sum_constraint.hpp"
#include "core/integer_types.hpp"
#include "core/theory_config.hpp"

#include <span>
#include <utility>

namespace Tarvex {

class ThreadSolver;
class InitClauseCreator;

// literal -> sum <= rhs as one weight constraint or as clauses, within the
// configured limits; lower_sum and upper_sum are the state's current sums.
std::pair<bool, bool> translate_sum(TheoryConfig const& config, ThreadSolver& solver, InitClauseCreator& cc,
                                    SumConstraint const& constraint, wide_t lower_sum, wide_t upper_sum);

// The objective as minimize terms of the host, when it needs few enough
// literals (or the objective of an earlier step was handed over already).
std::pair<bool, bool> translate_objective(TheoryConfig const& config, ThreadSolver& solver, InitClauseCreator& cc,
                                          MinimizeConstraint const& objective);

// literal -> distinct as one weight constraint per value shared by two or
// more terms, when the terms cover fewer values than distinct_limit; bounds
// are the terms' current bounds. Terms of several elements that share a value
// get an auxiliary variable, tied to them by two sums appended to added.
std::pair<bool, bool> translate_distinct(TheoryConfig const& config, ThreadSolver& solver, InitClauseCreator& cc,
                                         DistinctConstraint const& constraint,
                                         std::span<DistinctConstraintState::TermBounds const> bounds,
                                         ConstraintList& added);

} // namespace Tarvex
