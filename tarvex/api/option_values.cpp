#include "api/option_values.hpp"

#include <cmath>
#include <istream>
#include <limits>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

namespace Tarvex {

namespace {

[[noreturn]] void invalid() {
    throw std::invalid_argument("invalid argument");
}

template <class T> T read_number(std::string_view text) {
    std::istringstream in{std::string{text}};
    in.imbue(std::locale::classic());
    in.unsetf(std::ios_base::skipws);
    T value{};
    in >> value;
    // A failed extraction and trailing text are both "not a number".
    if (in.fail() || in.peek() != std::istringstream::traits_type::eof()) {
        throw std::runtime_error("number expected");
    }
    return value;
}

bool is_min(std::string_view text, bool prefix) {
    return prefix ? keyword_matches(text, "min") : text == "min";
}
bool is_max(std::string_view text, bool prefix) {
    return prefix ? keyword_matches(text, "max") : text == "max";
}

template <class T> T read_in(std::string_view text, T min, T max, bool prefix) {
    if (is_min(text, prefix)) {
        return min;
    }
    if (is_max(text, prefix)) {
        return max;
    }
    T value = read_number<T>(text);
    if (value < min || value > max) {
        invalid();
    }
    return value;
}

} // namespace

SplitValue split_value(std::string_view value) {
    auto comma = value.find(',');
    if (comma == std::string_view::npos) {
        return {value, std::nullopt};
    }
    return {value.substr(0, comma), value.substr(comma + 1)};
}

bool keyword_matches(std::string_view part, std::string_view keyword) {
    return keyword.starts_with(part);
}

std::uint32_t read_unsigned(std::string_view text) {
    return read_number<std::uint32_t>(text);
}

std::int32_t read_int(std::string_view text) {
    return read_number<std::int32_t>(text);
}

double read_double(std::string_view text) {
    return read_number<double>(text);
}

std::uint32_t read_unsigned_in(std::string_view text, std::uint32_t min, std::uint32_t max, bool prefix) {
    return read_in(text, min, max, prefix);
}

std::int32_t read_int_in(std::string_view text, std::int32_t min, std::int32_t max, bool prefix) {
    return read_in(text, min, max, prefix);
}

double read_double_in(std::string_view text) {
    double max = std::numeric_limits<double>::max();
    double value = read_in(text, -max, max, false);
    // The comparisons above let a NaN through.
    if (!std::isfinite(value)) {
        invalid();
    }
    return value;
}

bool read_bool(std::string_view part) {
    for (std::string_view keyword : {"true", "yes", "1"}) {
        if (keyword_matches(part, keyword)) {
            return true;
        }
    }
    for (std::string_view keyword : {"false", "no", "0"}) {
        if (keyword_matches(part, keyword)) {
            return false;
        }
    }
    invalid();
}

HeuristicMode read_heuristic(std::string_view part) {
    if (keyword_matches(part, "none")) {
        return HeuristicMode::None;
    }
    if (keyword_matches(part, "max-chain")) {
        return HeuristicMode::MaxChain;
    }
    if (keyword_matches(part, "lower-bound")) {
        return HeuristicMode::LowerBound;
    }
    if (keyword_matches(part, "auto")) {
        return HeuristicMode::Auto;
    }
    invalid();
}

DistinctPropagation read_distinct_propagation(std::string_view part) {
    if (keyword_matches(part, "ends")) {
        return DistinctPropagation::Ends;
    }
    if (keyword_matches(part, "values")) {
        return DistinctPropagation::Values;
    }
    if (keyword_matches(part, "bounds")) {
        return DistinctPropagation::Bounds;
    }
    invalid();
}

DisjointPropagation read_disjoint_propagation(std::string_view part) {
    if (keyword_matches(part, "windows")) {
        return DisjointPropagation::Windows;
    }
    if (keyword_matches(part, "edge-finding")) {
        return DisjointPropagation::EdgeFinding;
    }
    invalid();
}

LowerBoundModels read_lower_bound_models(std::string_view text) {
    for (auto [keyword, mode] : {std::pair{"auto", LowerBoundModels::Auto}, std::pair{"yes", LowerBoundModels::Yes},
                                 std::pair{"no", LowerBoundModels::No}}) {
        if (!text.empty() && keyword_matches(text, keyword)) {
            return mode;
        }
    }
    invalid();
}

ModelPhases read_model_phases(std::string_view part) {
    for (auto [keyword, mode] : {std::pair{"auto", ModelPhases::Auto}, std::pair{"yes", ModelPhases::Yes},
                                 std::pair{"no", ModelPhases::No}}) {
        if (!part.empty() && keyword_matches(part, keyword)) {
            return mode;
        }
    }
    invalid();
}

value_t read_sign_value(std::string_view part) {
    if (keyword_matches(part, "+")) {
        return std::numeric_limits<value_t>::max();
    }
    if (keyword_matches(part, "-")) {
        return std::numeric_limits<value_t>::min();
    }
    return read_int_in(part, std::numeric_limits<value_t>::min(), std::numeric_limits<value_t>::max(), true);
}

std::uint32_t read_thread_index(std::string_view text) {
    return read_unsigned_in(text, 0, 63);
}

ClauseLimits read_clause_limits(std::string_view value) {
    auto [first, second] = split_value(value);
    ClauseLimits limits{0, std::nullopt};
    if (second) {
        std::int32_t total = read_int_in(*second, std::numeric_limits<std::int32_t>::min(),
                                         std::numeric_limits<std::int32_t>::max());
        // Widened with its sign: -1 stands for the largest total.
        limits.total = static_cast<std::uint64_t>(static_cast<std::int64_t>(total));
    }
    limits.limit = read_unsigned_in(first, 0, std::numeric_limits<std::uint32_t>::max(), true);
    return limits;
}

} // namespace Tarvex
