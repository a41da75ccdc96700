#pragma once
// A ground problem as the solver threads load it: variables, clauses,
// pseudo-Boolean constraints and minimize terms, all in external literals.
// Weight constraints are normalised here (positive weights, one term per
// variable, saturated coefficients) so every thread copies ready-made rows.
#include <algorithm>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace Gondra::Solve {

struct WeightedLiteral {
    int32_t literal;
    int32_t weight;
};

struct PbTerm {
    int32_t literal;
    int64_t coefficient;
};

// sum of coefficients of true literals >= bound
struct PbRow {
    uint32_t begin;
    uint32_t end;
    int64_t bound;
};

struct MinimizeTerm {
    int32_t literal;
    int32_t weight;
    int32_t priority;
};

enum class WeightType : int { implication_left = -1, equivalence = 0, implication_right = 1 };

// Thrown for literals that name no variable and similar caller errors.
class ProblemError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

class Problem {
public:
    Problem();

    uint32_t num_vars() const { return num_vars_; }
    int32_t add_variable();
    // A variable that a propagator created during init: its phase is the
    // propagator's (see Solver's PropagatorPhase).
    int32_t add_propagator_variable();
    bool by_propagator(uint32_t var) const {
        return std::binary_search(propagator_vars_.begin(), propagator_vars_.end(), var);
    }
    void reserve_variables(uint32_t count);
    void check_literal(int32_t lit) const;

    void add_clause(std::span<int32_t const> lits);
    // lit related to (sum >= bound), or (sum = bound) with compare_equal.
    void add_weight_constraint(int32_t lit, std::span<WeightedLiteral const> lits, int64_t bound,
                               WeightType type, bool compare_equal);
    void add_minimize(int32_t lit, int32_t weight, int32_t priority);
    // Adds sum(coef * lit) >= bound after normalisation; may become a clause.
    void add_pb(std::vector<PbTerm> terms, int64_t bound);

    size_t num_clauses() const { return clause_starts_.size() - 1; }
    std::span<int32_t const> clause(size_t i) const {
        return {clause_lits_.data() + clause_starts_[i], clause_starts_[i + 1] - clause_starts_[i]};
    }
    size_t num_pb() const { return pb_rows_.size(); }
    PbRow const& pb_row(size_t i) const { return pb_rows_[i]; }
    std::span<PbTerm const> pb_terms(size_t i) const {
        return {pb_terms_.data() + pb_rows_[i].begin, pb_rows_[i].end - pb_rows_[i].begin};
    }
    std::vector<MinimizeTerm> const& minimize() const { return minimize_; }
    bool has_objective() const { return !minimize_.empty(); }
    // True once an empty clause was added: the problem has no model.
    bool inconsistent() const { return inconsistent_; }

private:
    uint32_t num_vars_ = 1;
    bool inconsistent_ = false;
    std::vector<int32_t> clause_lits_;
    std::vector<size_t> clause_starts_;
    std::vector<PbTerm> pb_terms_;
    std::vector<PbRow> pb_rows_;
    std::vector<MinimizeTerm> minimize_;
    std::vector<uint32_t> propagator_vars_; // increasing
};

} // namespace Gondra::Solve
