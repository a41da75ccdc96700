#pragma once
// Turns syntax trees of statements into the grounder's statements.

#include "ground/logger.hpp"
#include "ground/statement.hpp"
#include "input/theory_term_parser.hpp"

#include <functional>
#include <string>
#include <unordered_map>

namespace Gondra::Ground {

using ConstantMap = std::unordered_map<std::string, Symbol>;

class StatementBuilder {
public:
    // domain_of returns the domain id of a predicate signature (creating it).
    StatementBuilder(Logger& logger, std::function<uint32_t(Symbols::Signature)> domain_of,
                     Input::TheoryTable const& theories, ConstantMap const& constants);

    // False when the statement has errors (reported to the logger).
    bool build(Input::Node const& statement, Statement& out);

private:
    struct Failure {};

    [[noreturn]] void fail(Input::Location const& loc, std::string text);
    uint32_t variable(char const* name, Input::Location const& loc);
    Term term(Input::Node const& node);
    // One node of a term whose arguments are converted already.
    Term convert(Input::Node const& node, std::vector<Term> args);
    Term atom_term(Input::Node const& node, uint32_t& domain);
    BodyLiteral literal(Input::Node const& node);
    BodyLiteral simple_literal(Input::Node const& node);
    BodyLiteral interval_conjunction(BodyLiteral lit);
    std::vector<BodyLiteral> condition(Input::NodeArray const& nodes);
    Guard guard(Input::NodePtr const& node, bool left);
    Element conditional_element(Input::Node const& node);
    BodyLiteral aggregate(Input::Node const& node, int sign);
    TheoryAtomInfo theory_atom(Input::Node const& node, Input::TheoryAtomType position, Input::Location const& loc);
    void theory_variables(Input::Node const& node);
    void flush_ranges(std::vector<BodyLiteral>& into);
    void mark_assignments();

    Logger& logger_;
    std::function<uint32_t(Symbols::Signature)> domain_of_;
    Input::TheoryTable const& theories_;
    ConstantMap const& constants_;
    Statement* out_ = nullptr;
    std::unordered_map<std::string, uint32_t> vars_;
    std::vector<BodyLiteral> ranges_; // range literals (and interval binders) still to place
    uint32_t fresh_ = 0;
};

// Folds ground arithmetic and functions into constants where defined.
void fold(Term& term);

} // namespace Gondra::Ground
