// The C interface of the ground theory atoms: terms, elements and atoms by id.

#include "capi/api_guard.hpp"
#include "ground/theory_atoms_view.hpp"
#include "ground/theory_printer.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

using Gondra::CApi::guard;
using Gondra::Ground::TheoryData;

namespace {

TheoryData const& data_of(gondra_theory_atoms_t const* atoms) {
    if (!atoms || !atoms->data) throw std::invalid_argument("theory atoms must not be null");
    return *atoms->data;
}

template <class V> void check_id(V const& v, gondra_id_t id, char const* what) {
    if (id >= v.size()) throw std::invalid_argument(std::string{"invalid theory "} + what + " id " + std::to_string(id));
}

template <class T> void check_out(T* p) {
    if (!p) throw std::invalid_argument("output argument must not be null");
}

// Copies text with its terminating NUL; the buffer must be large enough.
void copy_text(std::string const& text, char* string, size_t size) {
    if (!string || size < text.size() + 1) throw std::length_error("string buffer too small");
    std::memcpy(string, text.c_str(), text.size() + 1);
}

std::string term_text(TheoryData const& d, gondra_id_t term) {
    check_id(d.terms, term, "term");
    std::string s;
    Gondra::Ground::print_theory_term(s, d, term);
    return s;
}
std::string element_text(TheoryData const& d, gondra_id_t element) {
    check_id(d.elements, element, "element");
    std::string s;
    Gondra::Ground::print_theory_element(s, d, element);
    return s;
}
// The index into the data of a view's atom id.
gondra_id_t atom_index(gondra_theory_atoms_t const* atoms, gondra_id_t atom) {
    auto const& d = data_of(atoms);
    if (atom >= d.atoms.size() - std::min<size_t>(atoms->first_atom, d.atoms.size())) {
        throw std::invalid_argument("invalid theory atom id " + std::to_string(atom));
    }
    return atoms->first_atom + atom;
}

Gondra::Ground::TheoryAtom const& atom_of(gondra_theory_atoms_t const* atoms, gondra_id_t atom) {
    return data_of(atoms).atoms[atom_index(atoms, atom)];
}

std::string atom_text(gondra_theory_atoms_t const* atoms, gondra_id_t atom) {
    std::string s;
    Gondra::Ground::print_theory_atom(s, data_of(atoms), atom_index(atoms, atom));
    return s;
}

} // namespace

extern "C" {

bool gondra_theory_atoms_term_type(gondra_theory_atoms_t const* atoms, gondra_id_t term, gondra_theory_term_type_t* type) {
    return guard([&] {
        auto const& d = data_of(atoms);
        check_id(d.terms, term, "term");
        check_out(type);
        *type = static_cast<gondra_theory_term_type_t>(d.terms[term].type);
    });
}

bool gondra_theory_atoms_term_number(gondra_theory_atoms_t const* atoms, gondra_id_t term, int* number) {
    return guard([&] {
        auto const& d = data_of(atoms);
        check_id(d.terms, term, "term");
        check_out(number);
        if (d.terms[term].type != Gondra::Ground::TheoryTermType::number) throw std::logic_error("not a number term");
        *number = d.terms[term].number;
    });
}

bool gondra_theory_atoms_term_name(gondra_theory_atoms_t const* atoms, gondra_id_t term, char const** name) {
    return guard([&] {
        auto const& d = data_of(atoms);
        check_id(d.terms, term, "term");
        check_out(name);
        auto type = d.terms[term].type;
        if (type != Gondra::Ground::TheoryTermType::function && type != Gondra::Ground::TheoryTermType::symbol)
            throw std::logic_error("not a symbol or function term");
        *name = d.terms[term].name;
    });
}

bool gondra_theory_atoms_term_arguments(gondra_theory_atoms_t const* atoms, gondra_id_t term,
                                        gondra_id_t const** arguments, size_t* size) {
    return guard([&] {
        auto const& d = data_of(atoms);
        check_id(d.terms, term, "term");
        check_out(arguments);
        check_out(size);
        auto type = d.terms[term].type;
        if (type == Gondra::Ground::TheoryTermType::number || type == Gondra::Ground::TheoryTermType::symbol)
            throw std::logic_error("term has no arguments");
        auto args = d.arguments(d.terms[term]);
        *arguments = args.data();
        *size = args.size();
    });
}

bool gondra_theory_atoms_term_to_string_size(gondra_theory_atoms_t const* atoms, gondra_id_t term, size_t* size) {
    return guard([&] {
        check_out(size);
        *size = term_text(data_of(atoms), term).size() + 1;
    });
}

bool gondra_theory_atoms_term_to_string(gondra_theory_atoms_t const* atoms, gondra_id_t term, char* string, size_t size) {
    return guard([&] { copy_text(term_text(data_of(atoms), term), string, size); });
}

bool gondra_theory_atoms_element_tuple(gondra_theory_atoms_t const* atoms, gondra_id_t element,
                                       gondra_id_t const** tuple, size_t* size) {
    return guard([&] {
        auto const& d = data_of(atoms);
        check_id(d.elements, element, "element");
        check_out(tuple);
        check_out(size);
        auto t = d.tuple(d.elements[element]);
        *tuple = t.data();
        *size = t.size();
    });
}

bool gondra_theory_atoms_element_condition(gondra_theory_atoms_t const* atoms, gondra_id_t element,
                                           gondra_literal_t const** condition, size_t* size) {
    return guard([&] {
        auto const& d = data_of(atoms);
        check_id(d.elements, element, "element");
        check_out(condition);
        check_out(size);
        auto c = d.condition(d.elements[element]);
        *condition = c.data();
        *size = c.size();
    });
}

bool gondra_theory_atoms_element_condition_id(gondra_theory_atoms_t const* atoms, gondra_id_t element,
                                              gondra_literal_t* condition) {
    return guard([&] {
        auto const& d = data_of(atoms);
        check_id(d.elements, element, "element");
        check_out(condition);
        *condition = d.elements[element].condition_literal;
    });
}

bool gondra_theory_atoms_element_to_string_size(gondra_theory_atoms_t const* atoms, gondra_id_t element, size_t* size) {
    return guard([&] {
        check_out(size);
        *size = element_text(data_of(atoms), element).size() + 1;
    });
}

bool gondra_theory_atoms_element_to_string(gondra_theory_atoms_t const* atoms, gondra_id_t element, char* string,
                                           size_t size) {
    return guard([&] { copy_text(element_text(data_of(atoms), element), string, size); });
}

bool gondra_theory_atoms_size(gondra_theory_atoms_t const* atoms, size_t* size) {
    return guard([&] {
        check_out(size);
        auto const& d = data_of(atoms);
        *size = d.atoms.size() - std::min<size_t>(atoms->first_atom, d.atoms.size());
    });
}

bool gondra_theory_atoms_atom_term(gondra_theory_atoms_t const* atoms, gondra_id_t atom, gondra_id_t* term) {
    return guard([&] {
        auto const& a = atom_of(atoms, atom);
        check_out(term);
        *term = a.term;
    });
}

bool gondra_theory_atoms_atom_elements(gondra_theory_atoms_t const* atoms, gondra_id_t atom,
                                       gondra_id_t const** elements, size_t* size) {
    return guard([&] {
        auto const& a = atom_of(atoms, atom);
        check_out(elements);
        check_out(size);
        auto e = data_of(atoms).elements_of(a);
        *elements = e.data();
        *size = e.size();
    });
}

bool gondra_theory_atoms_atom_has_guard(gondra_theory_atoms_t const* atoms, gondra_id_t atom, bool* has_guard) {
    return guard([&] {
        auto const& a = atom_of(atoms, atom);
        check_out(has_guard);
        *has_guard = a.has_guard;
    });
}

bool gondra_theory_atoms_atom_guard(gondra_theory_atoms_t const* atoms, gondra_id_t atom, char const** connective,
                                    gondra_id_t* term) {
    return guard([&] {
        auto const& a = atom_of(atoms, atom);
        check_out(connective);
        check_out(term);
        if (!a.has_guard) throw std::logic_error("theory atom has no guard");
        *connective = a.guard_connective;
        *term = a.guard_term;
    });
}

bool gondra_theory_atoms_atom_literal(gondra_theory_atoms_t const* atoms, gondra_id_t atom, gondra_literal_t* literal) {
    return guard([&] {
        auto const& a = atom_of(atoms, atom);
        check_out(literal);
        *literal = a.literal;
    });
}

bool gondra_theory_atoms_atom_location(gondra_theory_atoms_t const* atoms, gondra_id_t atom,
                                       gondra_location_t* location) {
    return guard([&] {
        auto const& l = atom_of(atoms, atom).location;
        check_out(location);
        *location = {l.begin_file, l.end_file, l.begin_line, l.end_line, l.begin_column, l.end_column};
    });
}

bool gondra_theory_atoms_atom_to_string_size(gondra_theory_atoms_t const* atoms, gondra_id_t atom, size_t* size) {
    return guard([&] {
        check_out(size);
        *size = atom_text(atoms, atom).size() + 1;
    });
}

bool gondra_theory_atoms_atom_to_string(gondra_theory_atoms_t const* atoms, gondra_id_t atom, char* string, size_t size) {
    return guard([&] { copy_text(atom_text(atoms, atom), string, size); });
}

} // extern "C"
