#pragma once

// Thin wrapper of the object one solver thread's search callbacks work with.

#include "core/integer_types.hpp"
#include "host/assignment.hpp"
#include "host/host_error.hpp"

#include <span>

namespace Tarvex::Host {

class PropagateControl {
public:
    explicit PropagateControl(gondra_propagate_control_t* control) : control_{control} {}

    gondra_propagate_control_t* to_c() const { return control_; }

    gondra_id_t thread_id() const { return gondra_propagate_control_thread_id(control_); }
    Assignment assignment() const { return Assignment{gondra_propagate_control_assignment(control_)}; }
    // A fresh literal of the calling thread only.
    literal_t add_literal() {
        literal_t result = 0;
        check(gondra_propagate_control_add_literal(control_, &result));
        return result;
    }
    void add_watch(literal_t lit) { check(gondra_propagate_control_add_watch(control_, lit)); }
    // False means the clause conflicts and the caller must return at once.
    bool add_clause(std::span<literal_t const> clause, gondra_clause_type_t type) {
        bool result = false;
        check(gondra_propagate_control_add_clause(control_, clause.data(), clause.size(), type, &result));
        return result;
    }
    // False means stop.
    bool propagate() {
        bool result = false;
        check(gondra_propagate_control_propagate(control_, &result));
        return result;
    }

private:
    gondra_propagate_control_t* control_;
};

} // namespace Tarvex::Host
