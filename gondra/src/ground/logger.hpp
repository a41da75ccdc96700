#pragma once
// Diagnostics of grounding: errors stop the step, infos and warnings only
// inform (e.g. an undefined operation dropped a rule instance).

#include "input/ast.hpp"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Gondra::Ground {

enum class Severity { info, warning, error };

struct Diagnostic {
    Severity severity;
    Input::Location location;
    std::string text;

    // "file:line:column-column: error: text"
    std::string format() const {
        static char const* const names[] = {"info", "warning", "error"};
        return Input::format_location(location) + ": " + names[static_cast<int>(severity)] + ": " + text;
    }
};

class Logger {
public:
    // The handler (optional) sees every diagnostic as it is reported.
    explicit Logger(std::function<void(Diagnostic const&)> handler = {}) : handler_{std::move(handler)} {}

    void report(Severity severity, Input::Location const& loc, std::string text) {
        Diagnostic d{severity, loc, std::move(text)};
        if (handler_) handler_(d);
        if (severity == Severity::error) ++errors_;
        diagnostics_.push_back(std::move(d));
    }
    void info(Input::Location const& loc, std::string text) { report(Severity::info, loc, std::move(text)); }
    void warning(Input::Location const& loc, std::string text) { report(Severity::warning, loc, std::move(text)); }
    void error(Input::Location const& loc, std::string text) { report(Severity::error, loc, std::move(text)); }

    size_t error_count() const noexcept { return errors_; }
    std::vector<Diagnostic> const& diagnostics() const noexcept { return diagnostics_; }
    // Formatted diagnostics of one severity, one per line.
    std::string text(Severity severity) const {
        std::string out;
        for (auto const& d : diagnostics_) {
            if (d.severity != severity) continue;
            if (!out.empty()) out += '\n';
            out += d.format();
        }
        return out;
    }

private:
    std::function<void(Diagnostic const&)> handler_;
    std::vector<Diagnostic> diagnostics_;
    size_t errors_ = 0;
};

// Grounding failed; what() holds every error of the step, one per line.
class GroundError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace Gondra::Ground
