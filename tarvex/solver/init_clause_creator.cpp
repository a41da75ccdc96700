#include "solver/init_clause_creator.hpp"

#include "core/checked_arithmetic.hpp"

#include <algorithm>

namespace Tarvex {

literal_t InitClauseCreator::add_literal() {
    literal_t lit = init_->add_literal(true);
    ++stats_->num_literals;
    if (mode_ == translating) {
        ++stats_->translate_literals;
    }
    return lit;
}

void InitClauseCreator::add_watch(literal_t lit) {
    init_->add_watch(lit);
}

bool InitClauseCreator::propagate() {
    return commit() && init_->propagate();
}

bool InitClauseCreator::add_clause(std::span<literal_t const> clause, clause_type_t type) {
    static_cast<void>(type);
    ++stats_->num_clauses;
    if (mode_ == translating) {
        ++stats_->translate_clauses;
    }
    clauses_.insert(clauses_.end(), clause.begin(), clause.end());
    clauses_.push_back(0);
    return true;
}

Host::Assignment InitClauseCreator::assignment() {
    return init_->assignment();
}

bool InitClauseCreator::add_weight_constraint(literal_t lit, std::span<WeightedLiteral const> literals,
                                              value_t bound, int type) {
    auto ass = init_->assignment();
    if ((type == -1 && ass.is_true(lit)) || (type == 1 && ass.is_false(lit))) {
        return true;
    }
    if (mode_ == translating) {
        ++stats_->translate_wcs;
    }
    std::vector<gondra_weighted_literal_t> copy;
    copy.reserve(literals.size());
    for (auto const& [literal, weight] : literals) {
        copy.push_back({literal, weight});
    }
    weight_constraints_.push_back({lit, std::move(copy), bound, type});
    return true;
}

void InitClauseCreator::add_minimize(literal_t lit, value_t weight, value_t priority) {
    minimize_.push_back({lit, weight, priority});
}

bool InitClauseCreator::commit() {
    for (auto it = clauses_.begin(); it != clauses_.end();) {
        auto end = std::find(it, clauses_.end(), 0);
        if (!init_->add_clause(std::span<literal_t const>(it, end))) {
            return false;
        }
        it = end + 1;
    }
    std::vector<literal_t>().swap(clauses_);

    // The host relates its literal to (sum >= bound); l related to (sum <= b)
    // is the same as -l related to (sum >= b + 1) with the implication turned.
    for (auto const& wc : weight_constraints_) {
        if (!init_->add_weight_constraint(-wc.literal, wc.literals, checked_add(wc.bound, value_t{1}),
                                          -wc.type, false)) {
            return false;
        }
    }
    weight_constraints_.clear();

    for (auto const& term : minimize_) {
        init_->add_minimize(term.literal, term.weight, term.priority);
    }
    minimize_.clear();
    return true;
}

} // namespace Tarvex
