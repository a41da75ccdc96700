#include "parsing/located_error.hpp"

#include <new>
#include <typeinfo>
#include <stdexcept>
#include <string_view>

namespace Tarvex {

std::string format_location(gondra_location_t const& location) {
    std::string_view begin_file = location.begin_file != nullptr ? location.begin_file : "";
    std::string_view end_file = location.end_file != nullptr ? location.end_file : begin_file;
    if (begin_file.empty()) {
        return {};
    }
    std::string out{begin_file};
    out += ':' + std::to_string(location.begin_line) + ':' + std::to_string(location.begin_column) + '-';
    if (end_file != begin_file) {
        out += std::string{end_file} + ':';
    }
    if (end_file != begin_file || location.end_line != location.begin_line) {
        out += std::to_string(location.end_line) + ':';
    }
    out += std::to_string(location.end_column);
    return out;
}

void rethrow_located(gondra_location_t const& location) {
    std::string place = format_location(location);
    if (place.empty()) {
        throw;
    }
    auto located = [&](std::exception const& e) { return place + ": error: " + e.what(); };
    // Most derived first: the type tells the host which error code to report.
    try {
        throw;
    } catch (std::overflow_error const& e) {
        throw std::overflow_error(located(e));
    } catch (std::underflow_error const& e) {
        throw std::underflow_error(located(e));
    } catch (std::range_error const& e) {
        throw std::range_error(located(e));
    } catch (std::runtime_error const& e) {
        if (typeid(e) != typeid(std::runtime_error)) {
            throw;
        }
        throw std::runtime_error(located(e));
    } catch (std::invalid_argument const& e) {
        throw std::invalid_argument(located(e));
    } catch (std::logic_error const& e) {
        if (typeid(e) != typeid(std::logic_error)) {
            throw;
        }
        throw std::logic_error(located(e));
    }
}

} // namespace Tarvex
