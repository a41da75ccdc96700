#pragma once

// One ground theory term of the host: the atoms table and the term's id.
// Owns nothing; everything is asked from the host.

#include "host/theory_atoms.hpp"

#include <cstddef>
#include <span>
#include <string_view>

namespace Tarvex {

struct TermRef {
    Host::TheoryAtoms atoms;
    gondra_id_t id;

    gondra_theory_term_type_t type() const { return atoms.term_type(id); }
    // The name of a function or symbol term.
    char const* name() const { return atoms.term_name(id); }
    int number() const { return atoms.term_number(id); }
    std::span<gondra_id_t const> arguments() const { return atoms.term_arguments(id); }
    TermRef argument(std::size_t index) const { return {atoms, arguments()[index]}; }
};

// Whether the term is the symbol `name` (arity 0) or a function term named
// `name` with exactly `arity` arguments.
bool term_matches(TermRef term, std::string_view name, std::size_t arity);

} // namespace Tarvex
