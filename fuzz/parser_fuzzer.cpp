// Feeds arbitrary text to the parser, then prints, re-parses and unpools what
// it accepted: none of this may crash, leak or hang.

#include "input/ast_printer.hpp"
#include "input/parser.hpp"
#include "input/unpool.hpp"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

using namespace Gondra::Input;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    std::string_view text{reinterpret_cast<char const*>(data), size};
    Messages messages;
    ParseOptions options;
    options.allow_includes = false;
    std::vector<NodePtr> statements;
    Parser parser{messages,
                  [&](NodePtr const& s) {
                      statements.push_back(s);
                      return true;
                  },
                  options};
    parser.parse_string(text, "<fuzz>");
    for (auto const& s : statements) {
        std::string printed = ast_to_string(*s);
        Messages again;
        auto reparsed = parse_statements(printed, again);
        // Printing must produce text the parser accepts as the same statement.
        if (!again.empty() || reparsed.empty() || !ast_equal(*reparsed.front(), *s)) __builtin_trap();
        try {
            unpool(s, UnpoolAll, 4096);
        } catch (std::runtime_error const&) {
        }
    }
    return 0;
}
