#include "parsing/ast_rewriter.hpp"

#include "parsing/syntax_error.hpp"

#include <climits>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace Tarvex {

namespace {

using Host::Ast;
using Names = std::span<std::string_view const>;

constexpr std::string_view sum_like[] = {"sum", "diff", "nsum"};
constexpr std::string_view shiftable[] = {"sum", "diff"};
constexpr std::string_view difference[] = {"diff"};
constexpr std::string_view extended[] = {"sum", "nsum", "diff", "distinct", "disjoint", "minimize", "maximize"};

bool contains(Names names, std::string_view name) {
    for (auto candidate : names) {
        if (candidate == name) {
            return true;
        }
    }
    return false;
}

// Whether the theory atom's name is one of names without arguments.
bool name_in(Ast const& atom, Names names) {
    Ast term = atom.child(gondra_ast_attribute_term);
    switch (term.type()) {
    case gondra_ast_type_function:
        return term.number(gondra_ast_attribute_external) == 0 && term.size(gondra_ast_attribute_arguments) == 0 &&
               contains(names, term.string(gondra_ast_attribute_name));
    case gondra_ast_type_symbolic_term: {
        Host::symbol_t symbol = term.symbol(gondra_ast_attribute_symbol);
        return Host::symbol_type(symbol) == gondra_symbol_type_function && Host::symbol_arguments(symbol).empty() &&
               contains(names, Host::symbol_name(symbol));
    }
    default:
        return false;
    }
}

char const* complement(std::string_view relation) {
    if (relation == "=") {
        return "!=";
    }
    if (relation == "!=") {
        return "=";
    }
    if (relation == "<") {
        return ">=";
    }
    if (relation == "<=") {
        return ">";
    }
    if (relation == ">") {
        return "<=";
    }
    if (relation == ">=") {
        return "<";
    }
    throw std::runtime_error("unexpected operator");
}

// Whether a rule's head can never hold, that is, the rule is an integrity
// constraint.
bool is_false_head(Ast const& head) {
    if (head.type() != gondra_ast_type_literal) {
        return false;
    }
    Ast atom = head.child(gondra_ast_attribute_atom);
    if (atom.type() != gondra_ast_type_boolean_constant) {
        return false;
    }
    int sign = head.number(gondra_ast_attribute_sign);
    bool value = atom.number(gondra_ast_attribute_value) != 0;
    return value ? sign == gondra_ast_sign_negation : sign != gondra_ast_sign_negation;
}

// Moves the first &sum literal or negated &diff literal of an integrity
// constraint's body into its head: the constraint forbids the literal, so the
// head states its opposite. Returns the rule itself when there is nothing to
// move.
Ast shift_constraint(Ast const& rule) {
    if (!is_false_head(rule.child(gondra_ast_attribute_head))) {
        return rule;
    }
    std::size_t size = rule.size(gondra_ast_attribute_body);
    for (std::size_t i = 0; i < size; ++i) {
        Ast literal = rule.child_at(gondra_ast_attribute_body, i);
        if (literal.type() != gondra_ast_type_literal) {
            continue;
        }
        Ast atom = literal.child(gondra_ast_attribute_atom);
        if (atom.type() != gondra_ast_type_theory_atom || !name_in(atom, shiftable)) {
            continue;
        }
        bool negated = literal.number(gondra_ast_attribute_sign) == gondra_ast_sign_negation;
        if (!negated && name_in(atom, difference)) {
            // The complement of a difference bound (x - y > k) is no
            // difference atom the grammar accepts; the literal stays.
            continue;
        }
        Ast guard = atom.optional_child(gondra_ast_attribute_guard);
        if (!guard) {
            throw_syntax(invalid_syntax);
        }
        Ast moved = atom.copy();
        if (!negated) {
            Ast opposite = guard.copy();
            opposite.set_string(gondra_ast_attribute_operator_name,
                                complement(guard.string(gondra_ast_attribute_operator_name)));
            moved.set_optional_child(gondra_ast_attribute_guard, opposite);
        }
        Ast result = rule.copy();
        result.set_child(gondra_ast_attribute_head, moved);
        result.erase_at(gondra_ast_attribute_body, i);
        return result;
    }
    return rule;
}

// The names of all variables below node. Terms may nest as deeply as the
// input does, so the walk keeps its own stack.
void collect_variables(Ast const& node, std::set<std::string>& names) {
    std::vector<Ast> pending{node};
    while (!pending.empty()) {
        Ast current = std::move(pending.back());
        pending.pop_back();
        gondra_ast_type_t type = current.type();
        if (type == gondra_ast_type_variable) {
            names.emplace(current.string(gondra_ast_attribute_name));
            continue;
        }
        for (auto const& argument : Host::ast_arguments(type)) {
            switch (argument.type) {
            case gondra_ast_attribute_type_ast:
                pending.push_back(current.child(argument.attribute));
                break;
            case gondra_ast_attribute_type_optional_ast:
                if (Ast child = current.optional_child(argument.attribute)) {
                    pending.push_back(std::move(child));
                }
                break;
            case gondra_ast_attribute_type_ast_array: {
                std::size_t size = current.size(argument.attribute);
                for (std::size_t i = 0; i < size; ++i) {
                    pending.push_back(current.child_at(argument.attribute, i));
                }
                break;
            }
            default:
                break;
            }
        }
    }
}

// Whether a node of this kind can hold a theory atom: terms, comparisons,
// plain atoms and theory terms never do, and they may nest as deeply as the
// input does, so the visit does not descend into them.
bool may_hold_theory_atom(gondra_ast_type_t type) {
    switch (type) {
    case gondra_ast_type_id:
    case gondra_ast_type_variable:
    case gondra_ast_type_symbolic_term:
    case gondra_ast_type_unary_operation:
    case gondra_ast_type_binary_operation:
    case gondra_ast_type_interval:
    case gondra_ast_type_function:
    case gondra_ast_type_pool:
    case gondra_ast_type_boolean_constant:
    case gondra_ast_type_symbolic_atom:
    case gondra_ast_type_comparison:
    case gondra_ast_type_theory_sequence:
    case gondra_ast_type_theory_function:
    case gondra_ast_type_theory_unparsed_term_element:
    case gondra_ast_type_theory_unparsed_term:
    case gondra_ast_type_theory_guard:
        return false;
    default:
        return true;
    }
}

// Visits one statement, renaming the sum-like atoms by their position and
// extending the element tuples of the theory's atoms.
class AstRewriter {
public:
    Ast visit(Ast const& node) {
        switch (node.type()) {
        case gondra_ast_type_theory_atom:
            return rewrite_theory_atom(node);
        case gondra_ast_type_literal: {
            // Body atoms are wrapped in literals, head atoms are not.
            in_body_ = true;
            Ast result = visit_children(node);
            in_body_ = false;
            return result;
        }
        default:
            return may_hold_theory_atom(node.type()) ? visit_children(node) : node;
        }
    }

private:
    // The node, or a copy of it holding the children that changed.
    Ast visit_children(Ast const& node) {
        Ast result;
        auto changed = [&]() -> Ast const& {
            if (!result) {
                result = node.copy();
            }
            return result;
        };
        for (auto const& argument : Host::ast_arguments(node.type())) {
            switch (argument.type) {
            case gondra_ast_attribute_type_ast: {
                Ast child = node.child(argument.attribute);
                Ast visited = visit(child);
                if (!(visited == child)) {
                    changed().set_child(argument.attribute, visited);
                }
                break;
            }
            case gondra_ast_attribute_type_optional_ast: {
                Ast child = node.optional_child(argument.attribute);
                if (!child) {
                    break;
                }
                Ast visited = visit(child);
                if (!(visited == child)) {
                    changed().set_optional_child(argument.attribute, visited);
                }
                break;
            }
            case gondra_ast_attribute_type_ast_array: {
                std::size_t size = node.size(argument.attribute);
                for (std::size_t i = 0; i < size; ++i) {
                    Ast child = node.child_at(argument.attribute, i);
                    Ast visited = visit(child);
                    if (!(visited == child)) {
                        changed().set_child_at(argument.attribute, i, visited);
                    }
                }
                break;
            }
            default:
                break;
            }
        }
        return result ? result : node;
    }

    Ast rewrite_theory_atom(Ast const& atom) {
        if (!name_in(atom, extended)) {
            return visit_children(atom);
        }
        Ast result = atom.copy();
        std::size_t size = atom.size(gondra_ast_attribute_elements);
        for (std::size_t j = 0; j < size; ++j) {
            Ast element = atom.child_at(gondra_ast_attribute_elements, j);
            Ast extended_element = extend_element(element, j, size >= 2);
            if (!(extended_element == element)) {
                result.set_child_at(gondra_ast_attribute_elements, j, extended_element);
            }
        }
        if (name_in(atom, sum_like)) {
            rename(result);
        }
        return result;
    }

    // Appends the element's index (when the atom has several elements) and
    // the condition's own variables to its tuple: the host merges equal
    // elements, and an element with a condition would otherwise count once
    // however many groundings its condition has.
    static Ast extend_element(Ast const& element, std::size_t index, bool with_index) {
        if (element.size(gondra_ast_attribute_terms) != 1) {
            throw_syntax(invalid_syntax);
        }
        Ast term = element.child_at(gondra_ast_attribute_terms, 0);
        std::set<std::string> condition_names;
        std::size_t condition_size = element.size(gondra_ast_attribute_condition);
        for (std::size_t i = 0; i < condition_size; ++i) {
            collect_variables(element.child_at(gondra_ast_attribute_condition, i), condition_names);
        }
        std::set<std::string> term_names;
        collect_variables(term, term_names);
        for (auto const& name : term_names) {
            condition_names.erase(name);
        }
        condition_names.erase("_");
        if (!with_index && condition_names.empty()) {
            return element;
        }
        gondra_location_t location = term.location(gondra_ast_attribute_location);
        Ast result = element.copy();
        if (with_index) {
            if (index > static_cast<std::size_t>(INT_MAX)) {
                throw std::overflow_error("integer overflow");
            }
            result.push_back(gondra_ast_attribute_terms,
                             Host::build_symbolic_term(location, Host::create_number(static_cast<int>(index))));
        }
        // std::set orders std::string by unsigned bytes.
        for (auto const& name : condition_names) {
            result.push_back(gondra_ast_attribute_terms, Host::build_variable(location, name.c_str()));
        }
        return result;
    }

    // "sum" becomes "__sum_b" in a body and "__sum_h" elsewhere.
    void rename(Ast const& atom) const {
        Ast term = atom.child(gondra_ast_attribute_term);
        Ast renamed = term.copy();
        std::string suffix = in_body_ ? "_b" : "_h";
        if (term.type() == gondra_ast_type_function) {
            std::string name = std::string("__") + term.string(gondra_ast_attribute_name) + suffix;
            renamed.set_string(gondra_ast_attribute_name, Host::add_string(name.c_str()));
        } else {
            std::string name =
                std::string("__") + Host::symbol_name(term.symbol(gondra_ast_attribute_symbol)) + suffix;
            renamed.set_symbol(gondra_ast_attribute_symbol, Host::create_function(name.c_str(), {}, true));
        }
        atom.set_child(gondra_ast_attribute_term, renamed);
    }

    bool in_body_ = false;
};

} // namespace

void rewrite_statement(Ast const& statement, StatementSink const& add, bool shift) {
    for (Ast const& expanded : Host::unpool(statement)) {
        Ast current = expanded;
        if (shift && current.type() == gondra_ast_type_rule) {
            current = shift_constraint(current);
        }
        add(AstRewriter{}.visit(current));
    }
}

} // namespace Tarvex
