#pragma once

// The value syntax of the theory's options. A per-thread value may end in
// ",<i>" naming one solver thread. Keywords are matched by prefix where the
// text is one part of a value (so "m" means "max-chain" and the empty text
// means "true"), and as whole words where a number is read from the whole
// text.

#include "core/integer_types.hpp"
#include "core/theory_config.hpp"

#include <cstdint>
#include <optional>
#include <string_view>

namespace Tarvex {

// The setting part and, after the first comma, the thread part of a value.
struct SplitValue {
    std::string_view setting;
    std::optional<std::string_view> thread;
};
SplitValue split_value(std::string_view value);

// Whether part equals keyword or is a prefix of it.
bool keyword_matches(std::string_view part, std::string_view keyword);

// The whole text read with the classic stream extraction of the type, no
// white space skipped; throws std::runtime_error "number expected" unless
// the whole text is one number.
std::uint32_t read_unsigned(std::string_view text);
std::int32_t read_int(std::string_view text);
double read_double(std::string_view text);

// "min" and "max" (whole words, or prefixes with prefix set) give the
// bounds; any other text must be a number within them, else
// std::invalid_argument "invalid argument". The double reader accepts only
// finite values, between the largest finite doubles by default.
std::uint32_t read_unsigned_in(std::string_view text, std::uint32_t min, std::uint32_t max, bool prefix = false);
std::int32_t read_int_in(std::string_view text, std::int32_t min, std::int32_t max, bool prefix = false);
double read_double_in(std::string_view text);

bool read_bool(std::string_view part);
HeuristicMode read_heuristic(std::string_view part);
DistinctPropagation read_distinct_propagation(std::string_view part);
DisjointPropagation read_disjoint_propagation(std::string_view part);
LowerBoundModels read_lower_bound_models(std::string_view text);
ModelPhases read_model_phases(std::string_view part);
value_t read_sign_value(std::string_view part);
// A thread index 0 to 63.
std::uint32_t read_thread_index(std::string_view text);

// The two numbers of translate-clauses as the command line reads them: the
// first unsigned without range check ("min" 0, "max" 4294967295 by prefix),
// the optional second signed, widened with its sign to 64 bits.
struct ClauseLimits {
    std::uint32_t limit;
    std::optional<std::uint64_t> total;
};
ClauseLimits read_clause_limits(std::string_view value);

} // namespace Tarvex
