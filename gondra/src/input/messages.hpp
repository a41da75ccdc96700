#pragma once
// Collects the located errors of a parse; every error of a file is reported,
// then the parse fails. Past a limit the parse gives up: one more message says
// so and TooManyErrors unwinds the parser.

#include "input/ast.hpp"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Gondra::Input {

struct Message {
    Location location;
    std::string text;
    bool too_many = false; // the notice that ends a parse with too many errors

    // "file:line:column-column: error: text"
    std::string format() const { return format_location(location) + ": error: " + text; }
};

// Thrown by Messages::error once the limit is exceeded.
struct TooManyErrors {};

class Messages {
public:
    static constexpr size_t default_limit = 20;

    // The handler (optional) sees every message as it is reported. After
    // `limit` errors (0: no limit) the next one is replaced by the notice
    // "too many errors", and TooManyErrors is thrown.
    explicit Messages(std::function<void(Message const&)> handler = {}, size_t limit = default_limit)
        : handler_{std::move(handler)}, limit_{limit} {}

    void error(Location const& loc, std::string text) {
        if (muted_) return;
        if (full()) throw TooManyErrors{};
        Message m{loc, std::move(text)};
        if (limit_ != 0 && messages_.size() == limit_) {
            m.text = "too many errors";
            m.too_many = true;
        }
        bool stop = m.too_many;
        if (handler_) handler_(m);
        messages_.push_back(std::move(m));
        if (stop) throw TooManyErrors{};
    }
    // True once the parse has given up.
    bool full() const noexcept { return !messages_.empty() && messages_.back().too_many; }
    // While muted, errors are dropped (used when text is lexed a second time).
    void set_muted(bool muted) noexcept { muted_ = muted; }
    bool muted() const noexcept { return muted_; }
    bool empty() const noexcept { return messages_.empty(); }
    std::vector<Message> const& messages() const noexcept { return messages_; }
    // All messages, one per line.
    std::string text() const {
        std::string out;
        for (auto const& m : messages_) {
            if (!out.empty()) out += '\n';
            out += m.format();
        }
        return out;
    }

private:
    std::function<void(Message const&)> handler_;
    size_t limit_;
    std::vector<Message> messages_;
    bool muted_ = false;
};

// A located error raised while building or parsing trees.
class LocatedError : public std::runtime_error {
public:
    LocatedError(Location const& loc, std::string const& text)
        : std::runtime_error(format_location(loc) + ": error: " + text), location_{loc}, text_{text} {}
    Location const& location() const noexcept { return location_; }
    std::string const& text() const noexcept { return text_; }

private:
    Location location_;
    std::string text_;
};

} // namespace Gondra::Input
