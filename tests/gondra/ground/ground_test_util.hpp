#pragma once
// Parses program text and grounds its base part; enumerates the stable
// models of the result.

#include "ground/grounder.hpp"
#include "ground/program_translator.hpp"
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
            if (r.head_type != Ground::HeadType::disjunctive || h.size() != 1 || !program.body(r).empty())
                continue;
            for (auto const& n : program.atom_names)
                if (n.atom == h[0]) out.insert(n.symbol.to_string());
        }
        return out;
    }
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (auto const& n : program.atom_names)
            out.insert(n.symbol.to_string());
        return out;
    }
    std::string infos() const { return logger.text(Ground::Severity::info); }
    std::string text() const { return Ground::print_text(program); }
};

inline void ground(Grounded& g, std::string const& text, Ground::GroundOptions const& options = {}) {
    Input::Messages messages;
    Input::Program program;
    for (auto const& st : Input::parse_statements(text, messages))
        program.add(st);
    ASSERT_TRUE(messages.empty()) << messages.text();
    Ground::Grounder grounder{g.logger};
    Ground::Part base{"base", {}};
    try {
        grounder.ground(program, std::span<Ground::Part const>{&base, 1}, options, g.program);
    } catch (Ground::GroundError const& e) {
        g.error = e.what();
    }
}

// The stable models as their shown symbols, sorted and separated by spaces;
// with an objective only the optimal models (and `cost` their cost).
inline std::set<std::string> models(std::string const& text, std::vector<int64_t>* cost = nullptr) {
    Grounded g;
    ground(g, text);
    EXPECT_EQ(g.error, "");
    Solve::SolverSet set;
    Ground::ProgramTranslator translator;
    translator.translate(g.program, set);
    Solve::SolveOptions options;
    translator.external_assumptions(options.assumptions);
    options.models = g.program.minimize.empty() ? 0 : -1;
    std::vector<std::set<std::string>> found;
    std::vector<std::vector<int64_t>> costs;
    auto summary = set.solve(options, [&](Solve::Model const& m) {
        std::set<std::string> shown;
        for (auto s : translator.shown_symbols(m))
            shown.insert(s.to_string());
        found.push_back(shown);
        costs.push_back(m.cost());
        return true;
    });
    EXPECT_NE(summary.status, Solve::SolveStatus::error);
    std::set<std::string> out;
    for (size_t i = 0; i < found.size(); ++i) {
        if (!g.program.minimize.empty() && i + 1 != found.size())
            continue; // costs decrease: the last is optimal
        std::string m;
        for (auto const& s : found[i])
            m += (m.empty() ? "" : " ") + s;
        out.insert(m);
    }
    if (cost != nullptr) *cost = costs.empty() ? std::vector<int64_t>{} : costs.back();
    return out;
}

using Models = std::set<std::string>;

} // namespace GroundTest
