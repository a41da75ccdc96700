#pragma once
// Formatting of the values that the programs print: JSON strings and numbers.

#include <string>
#include <string_view>

namespace Gondra::App {

// Appends the text as a JSON string literal (quotes and escapes included).
void append_json_string(std::string& out, std::string_view text);

// Appends a number as the programs print statistics: integral values as
// integers, others in the shortest form that reads back exactly. Infinities and
// NaN, which JSON cannot hold, appear as null in JSON and as inf/nan in text.
void append_number(std::string& out, double value, bool json);

} // namespace Gondra::App
