#include "app/text_format.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace Gondra::App {

void append_json_string(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char const* digits = "0123456789abcdef";
                out += "\\u00";
                out += digits[(c >> 4) & 0xf];
                out += digits[c & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void append_number(std::string& out, double value, bool json) {
    if (!std::isfinite(value)) {
        out += json ? "null" : std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
        return;
    }
    char buffer[64];
    std::to_chars_result result{};
    // Counters are doubles in the trees; below 2^53 they are exact integers.
    constexpr double exact_limit = 9007199254740992.0;
    if (value == std::trunc(value) && std::fabs(value) < exact_limit) {
        result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<int64_t>(value));
    } else {
        result = std::to_chars(buffer, buffer + sizeof buffer, value);
    }
    out.append(buffer, result.ptr);
}

} // namespace Gondra::App
