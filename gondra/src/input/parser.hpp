#pragma once
// Recursive-descent parser of the input language. Statements are handed to a
// callback one by one; after a syntax error the parser resumes at the next
// statement so that all errors of a file are reported.

#include "input/ast.hpp"
#include "input/messages.hpp"

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace Gondra::Input {

struct ParseOptions {
    bool allow_includes = true;
    // Nesting limit of terms and theory terms, so hostile input cannot exhaust the stack.
    size_t max_depth = 400;
};

// Receives each statement; returning false stops the parse (the callback has
// set its error).
using StatementCallback = std::function<bool(NodePtr const&)>;

class Parser {
public:
    Parser(Messages& messages, StatementCallback callback, ParseOptions options = {});

    // Parse program text; name is used in locations. False when there were
    // errors or the callback stopped the parse (see stopped()).
    bool parse_string(std::string_view text, std::string_view name = "<string>");
    // Parse a file; "-" reads standard input.
    bool parse_file(std::string const& path);

    bool stopped() const noexcept { return stopped_; }

private:
    friend class SourceParser;
    bool parse_source(std::string_view text, char const* file, std::string const& directory);
    void include(std::string const& path, std::string const& directory, Location const& loc);

    Messages& messages_;
    StatementCallback callback_;
    ParseOptions options_;
    std::vector<std::string> include_stack_;
    std::set<std::string> included_;
    bool stopped_ = false;
};

// Convenience: all statements of a text, or a LocatedError-free failure with
// the messages in `messages`.
std::vector<NodePtr> parse_statements(std::string_view text, Messages& messages, std::string_view name = "<string>");

} // namespace Gondra::Input
