#pragma once
// Theory terms are kept as raw operator/operand sequences until the operator
// table of their term group is known; this turns them into trees where every
// operator application is a theory function named after the operator.

#include "input/ast.hpp"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Gondra::Input {

struct TheoryOperator {
    int priority;
    TheoryOperatorType type;
};

// Operators of one term group, by name and arity.
class OperatorTable {
public:
    OperatorTable() = default;
    // From a theory term definition node.
    explicit OperatorTable(Node const& term_definition);

    void add(std::string const& name, int priority, TheoryOperatorType type);
    TheoryOperator const* unary(std::string const& name) const;
    TheoryOperator const* binary(std::string const& name) const;
    // Appends the unary operators that a run of operator characters is made
    // of (the whole run if it is one); false when it is not made of them.
    bool split_unary(std::string_view run, std::vector<char const*>& out) const;

private:
    std::map<std::string, TheoryOperator, std::less<>> unary_;
    std::map<std::string, TheoryOperator, std::less<>> binary_;
    size_t longest_unary_ = 0;
};

// Parses every unparsed sequence inside term (recursively). Throws
// LocatedError for an operator the table does not define.
NodePtr parse_theory_term(OperatorTable const& table, NodePtr const& term);

// The theory definitions of a program: term groups and atom declarations.
class TheoryTable {
public:
    // Adds a theory definition statement; a duplicate theory or group name is a located error.
    void add(Node const& theory_definition);

    struct AtomDeclaration {
        std::string name;
        int arity;
        TheoryAtomType type;
        std::string element_group;
        std::vector<std::string> relations; // empty: no guard allowed
        std::string guard_group;
        bool has_guard;
        OperatorTable const* elements;
        OperatorTable const* guard;
    };

    AtomDeclaration const* find(std::string const& name, int arity) const;

    // Checks a theory atom against its declaration (declared, allowed in this
    // position, relation allowed) and returns it with parsed terms.
    NodePtr parse_atom(NodePtr const& atom, TheoryAtomType position) const;

private:
    std::map<std::string, OperatorTable> groups_; // "theory/group"
    std::vector<AtomDeclaration> atoms_;
    std::vector<std::string> theories_;
};

} // namespace Gondra::Input
