#pragma once

// The one channel through which solver and constraint code asks the host for
// literals, watches and clauses, so the same code runs during initialisation
// and during search.

#include "core/integer_types.hpp"
#include "host/assignment.hpp"

#include <span>

namespace Tarvex {

// Clause types of the host; 1 marks clauses that must never be deleted.
using clause_type_t = gondra_clause_type_t;
inline constexpr clause_type_t clause_type_learnt = gondra_clause_type_learnt;
inline constexpr clause_type_t clause_type_static = gondra_clause_type_static;

class AbstractClauseCreator {
public:
    AbstractClauseCreator() = default;
    AbstractClauseCreator(AbstractClauseCreator const&) = delete;
    AbstractClauseCreator& operator=(AbstractClauseCreator const&) = delete;
    virtual ~AbstractClauseCreator() = default;

    // A fresh host literal.
    virtual literal_t add_literal() = 0;
    // Asks the host to report lit when it becomes true.
    virtual void add_watch(literal_t lit) = 0;
    // Lets the host propagate what was added; false means conflict and the
    // caller must stop.
    virtual bool propagate() = 0;
    // False means the caller must stop.
    virtual bool add_clause(std::span<literal_t const> clause, clause_type_t type = clause_type_learnt) = 0;
    // The assignment to test truth values and the decision level against.
    virtual Host::Assignment assignment() = 0;
};

} // namespace Tarvex
