#pragma once

// A builder that records every call as one line of text, so tests can compare
// the whole conversation of the reader with the builder.

#include "constraints/abstract_constraint_builder.hpp"
#include "host/symbols.hpp"

#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace Tarvex::Testing {

class RecordingBuilder : public AbstractConstraintBuilder {
public:
    std::vector<std::string> calls;
    // Literals reported true by literal_is_true.
    std::set<literal_t> true_literals;
    // Calls named here (e.g. "build_sum") report a conflict.
    std::set<std::string> failing;
    std::vector<std::string> variable_names;

    // What map_solver_literal returns: program literals depend on the
    // grounder's numbering, which the tests do not pin down.
    literal_t solver_literal = 5;

    // Returned first, one per call, before solver_literal.
    std::vector<literal_t> solver_literals;

    literal_t map_solver_literal(literal_t) override {
        calls.push_back("map");
        if (mapped_ < solver_literals.size()) {
            return solver_literals[mapped_++];
        }
        return solver_literal;
    }
    literal_t new_literal() override {
        literal_t lit = next_literal_++;
        calls.push_back("new(" + std::to_string(lit) + ")");
        return lit;
    }
    bool literal_is_true(literal_t literal) override { return true_literals.contains(literal); }
    bool push_clause(std::span<literal_t const> clause) override {
        std::string text = "clause(";
        for (std::size_t i = 0; i < clause.size(); ++i) {
            text += (i > 0 ? "," : "") + std::to_string(clause[i]);
        }
        calls.push_back(text + ")");
        return !failing.contains("push_clause");
    }
    void enable_show() override { calls.push_back("enable_show"); }
    void show_by_signature(char const* name, std::int64_t arity) override {
        calls.push_back("show(" + std::string(name) + "/" + std::to_string(arity) + ")");
    }
    void show_by_variable(var_id variable) override { calls.push_back("show(" + name(variable) + ")"); }
    var_id variable_for_symbol(Host::symbol_t symbol) override {
        auto [it, inserted] = variables_.try_emplace(symbol, static_cast<var_id>(variable_names.size()));
        if (inserted) {
            variable_names.push_back(Host::symbol_to_string(symbol));
            calls.push_back("var(" + variable_names.back() + ")");
        }
        return it->second;
    }
    var_id new_variable() override {
        variable_names.push_back("_" + std::to_string(variable_names.size()));
        calls.push_back("var(" + variable_names.back() + ")");
        return static_cast<var_id>(variable_names.size() - 1);
    }
    bool build_sum(literal_t lit, LinearTerm const& term, value_t rhs, bool strict) override {
        calls.push_back("sum(" + std::to_string(lit) + ":" + linear(term) + "<=" + std::to_string(rhs) +
                        (strict ? ",strict)" : ")"));
        return !failing.contains("build_sum");
    }
    bool build_nonlinear(literal_t lit, value_t a, var_id x, var_id y, value_t c, var_id z, value_t rhs,
                         bool strict) override {
        calls.push_back("nonlinear(" + std::to_string(lit) + ":" + std::to_string(a) + "*" + name(x) + "*" +
                        name(y) + "+" + std::to_string(c) + "*" + name(z) + "<=" + std::to_string(rhs) +
                        (strict ? ",strict)" : ")"));
        return !failing.contains("build_nonlinear");
    }
    void build_objective_term(value_t coefficient, var_id variable) override {
        calls.push_back("objective(" + std::to_string(coefficient) + "*" + name(variable) + ")");
    }
    bool build_distinct(literal_t lit, std::vector<DistinctElement> const& elements) override {
        std::string text = "distinct(" + std::to_string(lit) + ":";
        for (auto const& element : elements) {
            text += "[" + linear(element.term) + "+" + std::to_string(element.constant) + "]";
        }
        calls.push_back(text + ")");
        return !failing.contains("build_distinct");
    }
    bool build_disjoint(literal_t lit, std::vector<DisjointElement> const& elements) override {
        std::string text = "disjoint(" + std::to_string(lit) + ":";
        for (auto const& element : elements) {
            text += "[" + name(element.start) + "@" + std::to_string(element.duration) + "]";
        }
        calls.push_back(text + ")");
        return !failing.contains("build_disjoint");
    }
    bool build_domain(literal_t lit, var_id variable, IntervalSet const& domain) override {
        std::string text = "dom(" + std::to_string(lit) + ":" + name(variable) + "=";
        for (auto const& [lower, upper] : domain) {
            text += "[" + std::to_string(lower) + "," + std::to_string(upper) + ")";
        }
        calls.push_back(text + ")");
        return !failing.contains("build_domain");
    }

    // Names variables made by variable_for_symbol, else "v<number>".
    std::string name(var_id variable) const {
        if (variable == no_var) {
            return "_";
        }
        if (variable < variable_names.size()) {
            return variable_names[variable];
        }
        return "v" + std::to_string(variable);
    }
    std::string linear(LinearTerm const& term) const {
        std::string text;
        for (std::size_t i = 0; i < term.size(); ++i) {
            text += (i > 0 ? " " : "") + std::to_string(term[i].first) + "*" + name(term[i].second);
        }
        return text;
    }

private:
    std::size_t mapped_ = 0;
    literal_t next_literal_ = 10;
    std::unordered_map<Host::symbol_t, var_id> variables_;
};

} // namespace Tarvex::Testing
