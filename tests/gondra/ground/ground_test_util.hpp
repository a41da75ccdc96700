#pragma once
// Parses program text and grounds its base part.

#include "ground/grounder.hpp"
#include "ground/text_printer.hpp"
#include "input/parser.hpp"
#include "input/program.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>

namespace GroundTest {

using namespace Gondra;

struct Grounded {
    Ground::Logger logger;
    Ground::GroundProgram program;
    std::string error;

    // The named atoms that are facts (rules with one head atom and no body).
    std::set<std::string> facts() const {
        std::set<std::string> out;
        for (auto const& r : program.rules) {
            auto h = program.head(r);
            if (r.head_type != Ground::HeadType::disjunctive || h.size() != 1 || !program.body(r).empty()) continue;
            for (auto const& n : program.atom_names)
                if (n.atom == h[0]) out.insert(n.symbol.to_string());
        }
        return out;
    }
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (auto const& n : program.atom_names) out.insert(n.symbol.to_string());
        return out;
    }
    std::string infos() const { return logger.text(Ground::Severity::info); }
    std::string text() const { return Ground::print_text(program); }
};

inline void ground(Grounded& g, std::string const& text, Ground::GroundOptions const& options = {}) {
    Input::Messages messages;
    Input::Program program;
    for (auto const& st : Input::parse_statements(text, messages)) program.add(st);
    ASSERT_TRUE(messages.empty()) << messages.text();
    Ground::Grounder grounder{g.logger};
    Ground::Part base{"base", {}};
    try {
        grounder.ground(program, std::span<Ground::Part const>{&base, 1}, options, g.program);
    } catch (Ground::GroundError const& e) {
        g.error = e.what();
    }
}

} // namespace GroundTest
