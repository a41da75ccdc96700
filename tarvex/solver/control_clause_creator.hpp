#pragma once

// Clause creator of the search phase: every request goes straight to the
// calling thread's propagate-control object.

#include "host/propagate_control.hpp"
#include "propagator/theory_stats.hpp"
#include "solver/abstract_clause_creator.hpp"

namespace Tarvex {

class ControlClauseCreator final : public AbstractClauseCreator {
public:
    // The assignment is the thread's own for the whole callback: fetched once,
    // as propagation asks for it at every literal.
    ControlClauseCreator(Host::PropagateControl& control, ThreadStats& stats)
        : control_{&control}, stats_{&stats}, assignment_{control.assignment()} {}

    literal_t add_literal() override {
        ++stats_->literals;
        return control_->add_literal();
    }
    void add_watch(literal_t lit) override { control_->add_watch(lit); }
    bool propagate() override { return control_->propagate(); }
    // Adds the clause and propagates its implications; false means stop.
    bool add_clause(std::span<literal_t const> clause, clause_type_t type = clause_type_learnt) override {
        return control_->add_clause(clause, type) && control_->propagate();
    }
    Host::Assignment assignment() override { return assignment_; }

private:
    Host::PropagateControl* control_;
    ThreadStats* stats_;
    Host::Assignment assignment_;
};

} // namespace Tarvex
