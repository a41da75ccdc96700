#pragma once

// Thin view of the ground theory atoms; ids index the host's tables.

#include "core/integer_types.hpp"
#include "host/host_error.hpp"

#include <cstddef>
#include <span>
#include <utility>

namespace Tarvex::Host {

class TheoryAtoms {
public:
    explicit TheoryAtoms(gondra_theory_atoms_t const* atoms) : atoms_{atoms} {}

    gondra_theory_atoms_t const* to_c() const { return atoms_; }

    std::size_t size() const {
        std::size_t result = 0;
        check(gondra_theory_atoms_size(atoms_, &result));
        return result;
    }
    gondra_id_t atom_term(gondra_id_t atom) const {
        gondra_id_t result = 0;
        check(gondra_theory_atoms_atom_term(atoms_, atom, &result));
        return result;
    }
    std::span<gondra_id_t const> atom_elements(gondra_id_t atom) const {
        gondra_id_t const* data = nullptr;
        std::size_t size = 0;
        check(gondra_theory_atoms_atom_elements(atoms_, atom, &data, &size));
        return {data, size};
    }
    bool atom_has_guard(gondra_id_t atom) const {
        bool result = false;
        check(gondra_theory_atoms_atom_has_guard(atoms_, atom, &result));
        return result;
    }
    // The guard's relation text and term.
    std::pair<char const*, gondra_id_t> atom_guard(gondra_id_t atom) const {
        char const* relation = nullptr;
        gondra_id_t term = 0;
        check(gondra_theory_atoms_atom_guard(atoms_, atom, &relation, &term));
        return {relation, term};
    }
    // The atom's program literal.
    literal_t atom_literal(gondra_id_t atom) const {
        literal_t result = 0;
        check(gondra_theory_atoms_atom_literal(atoms_, atom, &result));
        return result;
    }
    // Where the atom stands in the input (empty file names when unknown).
    gondra_location_t atom_location(gondra_id_t atom) const {
        gondra_location_t result{};
        check(gondra_theory_atoms_atom_location(atoms_, atom, &result));
        return result;
    }
    std::span<gondra_id_t const> element_tuple(gondra_id_t element) const {
        gondra_id_t const* data = nullptr;
        std::size_t size = 0;
        check(gondra_theory_atoms_element_tuple(atoms_, element, &data, &size));
        return {data, size};
    }
    // Program literals of the element's condition.
    std::span<literal_t const> element_condition(gondra_id_t element) const {
        literal_t const* data = nullptr;
        std::size_t size = 0;
        check(gondra_theory_atoms_element_condition(atoms_, element, &data, &size));
        return {data, size};
    }
    // One program literal standing for the whole condition of the element.
    literal_t element_condition_id(gondra_id_t element) const {
        literal_t result = 0;
        check(gondra_theory_atoms_element_condition_id(atoms_, element, &result));
        return result;
    }
    gondra_theory_term_type_t term_type(gondra_id_t term) const {
        gondra_theory_term_type_t result = 0;
        check(gondra_theory_atoms_term_type(atoms_, term, &result));
        return result;
    }
    char const* term_name(gondra_id_t term) const {
        char const* result = nullptr;
        check(gondra_theory_atoms_term_name(atoms_, term, &result));
        return result;
    }
    int term_number(gondra_id_t term) const {
        int result = 0;
        check(gondra_theory_atoms_term_number(atoms_, term, &result));
        return result;
    }
    std::span<gondra_id_t const> term_arguments(gondra_id_t term) const {
        gondra_id_t const* data = nullptr;
        std::size_t size = 0;
        check(gondra_theory_atoms_term_arguments(atoms_, term, &data, &size));
        return {data, size};
    }

private:
    gondra_theory_atoms_t const* atoms_;
};

} // namespace Tarvex::Host
