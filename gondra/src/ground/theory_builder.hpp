#pragma once
// Hash-conses ground theory terms, elements and atoms into TheoryData so that
// equal terms share one id, equal elements are merged and equal atoms are one.

#include "ground/ground_program.hpp"
#include "ground/id_table.hpp"

#include <span>
#include <vector>

namespace Gondra::Ground {

class TheoryBuilder {
public:
    explicit TheoryBuilder(TheoryData& data) : data_{data} {}

    uint32_t number(int32_t value);
    uint32_t symbol(char const* name);
    uint32_t compound(TheoryTermType type, char const* name, std::span<uint32_t const> args);
    // A ground symbol as a theory term: functions keep their structure, a
    // classically negated function becomes unary "-", strings keep their quotes.
    uint32_t from_symbol(Symbols::Symbol symbol);

    // The condition is sorted and deduplicated here; `created` tells whether it is new.
    uint32_t element(std::span<uint32_t const> tuple, std::vector<Literal> condition, bool& created);

    // The atom with these elements (in first-seen order); equal atoms share an
    // id and keep the location of the first one.
    uint32_t atom(uint32_t name, std::span<uint32_t const> elements, bool has_guard, char const* relation,
                  uint32_t guard, Input::Location const& location, bool& created);

private:
    uint32_t term(TheoryTermType type, int32_t number, char const* name, std::span<uint32_t const> args);

    TheoryData& data_;
    // Keyed by the stored terms, elements and atoms themselves.
    IdTable terms_, elements_, atoms_;
    // Scratch for comparing atoms: the new atom's elements and a stored
    // atom's, each sorted.
    std::vector<uint32_t> probe_, sorted_;
};

} // namespace Gondra::Ground
