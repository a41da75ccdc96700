#include "app/statistics_printer.hpp"

#include "app/text_format.hpp"

#include <utility>
#include <vector>

namespace Gondra::App {
namespace {

using Line = std::pair<std::string, double>;

bool collect(gondra_statistics_t const* stats, uint64_t key, std::string const& path,
             std::vector<Line>& lines) {
    gondra_statistics_type_t type = gondra_statistics_type_empty;
    if (!gondra_statistics_type(stats, key, &type)) {
        return false;
    }
    if (type == gondra_statistics_type_value) {
        double value = 0;
        if (!gondra_statistics_value_get(stats, key, &value)) {
            return false;
        }
        lines.emplace_back(path, value);
        return true;
    }
    bool is_map = type == gondra_statistics_type_map;
    size_t size = 0;
    if (type == gondra_statistics_type_array ? !gondra_statistics_array_size(stats, key, &size)
        : is_map                             ? !gondra_statistics_map_size(stats, key, &size)
                                             : false) {
        return false;
    }
    for (size_t i = 0; i < size; ++i) {
        uint64_t sub = 0;
        std::string name;
        if (is_map) {
            char const* text = nullptr;
            if (!gondra_statistics_map_subkey_name(stats, key, i, &text) ||
                !gondra_statistics_map_at(stats, key, text, &sub)) {
                return false;
            }
            name = text;
        } else {
            if (!gondra_statistics_array_at(stats, key, i, &sub)) {
                return false;
            }
            name = std::to_string(i);
        }
        if (!collect(stats, sub, path.empty() ? name : path + "." + name, lines)) {
            return false;
        }
    }
    return true;
}

bool json(std::string& out, gondra_statistics_t const* stats, uint64_t key, unsigned depth) {
    gondra_statistics_type_t type = gondra_statistics_type_empty;
    if (!gondra_statistics_type(stats, key, &type)) {
        return false;
    }
    std::string pad(2 * (depth + 1), ' ');
    switch (type) {
    case gondra_statistics_type_value: {
        double value = 0;
        if (!gondra_statistics_value_get(stats, key, &value)) {
            return false;
        }
        append_number(out, value, true);
        return true;
    }
    case gondra_statistics_type_array:
    case gondra_statistics_type_map: {
        bool is_map = type == gondra_statistics_type_map;
        size_t size = 0;
        if (is_map ? !gondra_statistics_map_size(stats, key, &size)
                   : !gondra_statistics_array_size(stats, key, &size)) {
            return false;
        }
        out += is_map ? '{' : '[';
        for (size_t i = 0; i < size; ++i) {
            out += i > 0 ? ",\n" : "\n";
            out += pad;
            uint64_t sub = 0;
            if (is_map) {
                char const* name = nullptr;
                if (!gondra_statistics_map_subkey_name(stats, key, i, &name) ||
                    !gondra_statistics_map_at(stats, key, name, &sub)) {
                    return false;
                }
                append_json_string(out, name);
                out += ": ";
            } else if (!gondra_statistics_array_at(stats, key, i, &sub)) {
                return false;
            }
            if (!json(out, stats, sub, depth + 1)) {
                return false;
            }
        }
        if (size > 0) {
            out += '\n';
            out.append(2 * depth, ' ');
        }
        out += is_map ? '}' : ']';
        return true;
    }
    default:
        out += "null";
        return true;
    }
}

} // namespace

bool append_statistics_text(std::string& out, gondra_statistics_t const* statistics) {
    uint64_t root = 0;
    std::vector<Line> lines;
    if (!gondra_statistics_root(statistics, &root) || !collect(statistics, root, "", lines)) {
        return false;
    }
    for (auto const& [path, value] : lines) {
        out += path;
        out += " : ";
        append_number(out, value, false);
        out += '\n';
    }
    return true;
}

bool append_statistics_json(std::string& out, gondra_statistics_t const* statistics, unsigned depth) {
    uint64_t root = 0;
    return gondra_statistics_root(statistics, &root) && json(out, statistics, root, depth);
}

} // namespace Gondra::App
