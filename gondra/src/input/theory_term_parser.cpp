#include "input/theory_term_parser.hpp"

#include "input/messages.hpp"

#include <algorithm>

namespace Gondra::Input {

namespace {

using A = Attribute;

// Operator precedence parsing of one flat sequence (operand, operator,
// operand, ... with the unary operators of each operand in front of it),
// with explicit stacks: how long the sequence is, and how deeply its unary
// and right-associative operators nest, is up to the input.
class SequenceParser {
public:
    SequenceParser(OperatorTable const& table, Node const& sequence)
        : table_{table}, location_{sequence.location()}, elements_{sequence.nodes(A::Elements)} {}

    NodePtr parse() {
        std::vector<char const*> unary;
        for (size_t i = 0; i < elements_.size(); ++i) {
            Node const& element = *elements_[i];
            auto const& runs = element.strings(A::Operators);
            size_t first_unary = 0;
            if (i > 0) {
                if (runs.empty()) throw LocatedError(location_, "operator expected in theory term");
                unary.clear();
                Pending binary = split_binary(runs.front(), unary);
                // Everything that binds at least as tightly is complete.
                while (!ops_.empty() && binds_first(ops_.back(), binary)) reduce();
                ops_.push_back(binary);
                for (char const* u : unary) ops_.push_back(unary_operator(u));
                first_unary = 1;
            }
            for (size_t r = first_unary; r < runs.size(); ++r) {
                unary.clear();
                split_unary(runs[r], unary);
                for (char const* u : unary) ops_.push_back(unary_operator(u));
            }
            operands_.push_back(parse_theory_term(table_, element.node(A::Term)));
        }
        while (!ops_.empty()) reduce();
        return operands_.back();
    }

private:
    struct Pending {
        char const* name;
        TheoryOperator op;
    };

    // Whether the operator on the stack takes its operands before `next` is read.
    static bool binds_first(Pending const& top, Pending const& next) {
        int p = top.op.priority, q = next.op.priority;
        // A unary operator's operand holds the binary operators that bind tighter.
        if (top.op.type == TheoryOperatorType::Unary) return q <= p;
        return q < p || (q == p && top.op.type == TheoryOperatorType::BinaryLeft);
    }

    void reduce() {
        Pending top = ops_.back();
        ops_.pop_back();
        if (top.op.type == TheoryOperatorType::Unary) {
            NodePtr arg = std::move(operands_.back());
            operands_.back() = apply(top.name, {std::move(arg)});
            return;
        }
        NodePtr rhs = std::move(operands_.back());
        operands_.pop_back();
        NodePtr lhs = std::move(operands_.back());
        operands_.back() = apply(top.name, {std::move(lhs), std::move(rhs)});
    }

    Pending unary_operator(char const* name) const { return {name, *table_.unary(name)}; }

    // A run of operator characters after an operand: one binary operator of
    // the table (the whole run if it is one, else the longest that leaves a
    // run of unary operators), then those unary operators.
    Pending split_binary(char const* run, std::vector<char const*>& unary) const {
        std::string_view text{run};
        if (TheoryOperator const* op = table_.binary(run)) return {run, *op};
        for (size_t length = text.size() - 1; length > 0; --length) {
            std::string name{text.substr(0, length)};
            TheoryOperator const* op = table_.binary(name);
            if (op && table_.split_unary(text.substr(length), unary)) return {intern(name), *op};
        }
        throw LocatedError(location_, std::string{"binary operator '"} + run + "' undefined");
    }

    void split_unary(char const* run, std::vector<char const*>& unary) const {
        if (!table_.split_unary(run, unary))
            throw LocatedError(location_, std::string{"unary operator '"} + run + "' undefined");
    }

    NodePtr apply(char const* name, NodeArray args) {
        return make_node(AstType::TheoryFunction, {location_, name, std::move(args)});
    }

    OperatorTable const& table_;
    Location location_;
    NodeArray const& elements_;
    std::vector<NodePtr> operands_;
    std::vector<Pending> ops_;
};

// The term with a run of operators in front of it.
NodePtr prefix_run(NodePtr const& term, char const* run) {
    if (term->type() != AstType::TheoryUnparsedTerm) {
        NodePtr element = make_node(AstType::TheoryUnparsedTermElement, {StringArray{run}, term});
        return make_node(AstType::TheoryUnparsedTerm, {term->location(), NodeArray{element}});
    }
    NodeArray elements = term->nodes(A::Elements);
    NodePtr first = shallow_copy(*elements.front());
    auto& runs = std::get<StringArray>(first->value(A::Operators));
    runs.insert(runs.begin(), run);
    elements.front() = first;
    NodePtr copy = shallow_copy(*term);
    copy->nodes(A::Elements) = std::move(elements);
    return copy;
}

NodePtr map_children(OperatorTable const& table, NodePtr const& term, Attribute attr) {
    NodeArray const& children = term->nodes(attr);
    NodeArray parsed;
    parsed.reserve(children.size());
    bool changed = false;
    for (auto const& c : children) {
        parsed.push_back(parse_theory_term(table, c));
        changed |= parsed.back() != c;
    }
    if (!changed) return term;
    NodePtr copy = shallow_copy(*term);
    copy->nodes(attr) = std::move(parsed);
    return copy;
}

} // namespace

OperatorTable::OperatorTable(Node const& term_definition) {
    for (auto const& op : term_definition.nodes(A::Operators)) {
        add(op->string(A::Name), op->number(A::Priority), static_cast<TheoryOperatorType>(op->number(A::OperatorType)));
    }
}

void OperatorTable::add(std::string const& name, int priority, TheoryOperatorType type) {
    (type == TheoryOperatorType::Unary ? unary_ : binary_)[name] = TheoryOperator{priority, type};
    if (type == TheoryOperatorType::Unary) longest_unary_ = std::max(longest_unary_, name.size());
}

bool OperatorTable::split_unary(std::string_view run, std::vector<char const*>& out) const {
    if (run.empty()) return false;
    if (unary_.count(run)) {
        out.push_back(intern(run));
        return true;
    }
    // splits[i]: the rest of the run from i is a sequence of unary operators.
    // Filled from the back, then read from the front taking the longest
    // operator that leaves a splittable rest; linear in the run's length.
    std::vector<uint8_t> splits(run.size() + 1, 0);
    splits[run.size()] = 1;
    for (size_t i = run.size(); i-- > 0;) {
        for (size_t length = 1; length <= longest_unary_ && i + length <= run.size() && !splits[i]; ++length)
            splits[i] = splits[i + length] && unary_.count(run.substr(i, length));
    }
    if (!splits[0]) return false;
    for (size_t i = 0; i < run.size();) {
        size_t length = std::min(longest_unary_, run.size() - i);
        while (!(splits[i + length] && unary_.count(run.substr(i, length)))) --length;
        out.push_back(intern(run.substr(i, length)));
        i += length;
    }
    return true;
}

TheoryOperator const* OperatorTable::unary(std::string const& name) const {
    auto it = unary_.find(name);
    return it == unary_.end() ? nullptr : &it->second;
}

TheoryOperator const* OperatorTable::binary(std::string const& name) const {
    auto it = binary_.find(name);
    return it == binary_.end() ? nullptr : &it->second;
}

NodePtr parse_theory_term(OperatorTable const& table, NodePtr const& term) {
    switch (term->type()) {
    case AstType::TheoryUnparsedTerm: return SequenceParser{table, *term}.parse();
    case AstType::TheoryFunction: return map_children(table, term, A::Arguments);
    case AstType::TheorySequence: return map_children(table, term, A::Terms);
    default: return term;
    }
}

void TheoryTable::add(Node const& def) {
    std::string theory = def.string(A::Name);
    if (std::find(theories_.begin(), theories_.end(), theory) != theories_.end())
        throw LocatedError(def.location(), "redefinition of theory '" + theory + "'");
    theories_.push_back(theory);
    for (auto const& group : def.nodes(A::Terms)) {
        std::string key = theory + "/" + group->string(A::Name);
        if (groups_.count(key))
            throw LocatedError(group->location(), std::string{"redefinition of term group '"} +
                                                      group->string(A::Name) + "'");
        groups_.emplace(key, OperatorTable{*group});
    }
    for (auto const& atom : def.nodes(A::Atoms)) {
        AtomDeclaration d;
        d.name = atom->string(A::Name);
        d.arity = atom->number(A::Arity);
        d.type = static_cast<TheoryAtomType>(atom->number(A::AtomType));
        d.element_group = atom->string(A::Term);
        auto const& guard = atom->optional(A::Guard);
        d.has_guard = static_cast<bool>(guard);
        if (guard) {
            for (char const* r : guard->strings(A::Operators)) d.relations.emplace_back(r);
            d.guard_group = guard->string(A::Term);
        }
        auto group = [&](std::string const& name) {
            auto it = groups_.find(theory + "/" + name);
            if (it == groups_.end()) throw LocatedError(atom->location(), "undefined term group '" + name + "'");
            return &it->second;
        };
        d.elements = group(d.element_group);
        d.guard = d.has_guard ? group(d.guard_group) : nullptr;
        if (find(d.name, d.arity))
            throw LocatedError(atom->location(), "redefinition of theory atom '&" + d.name + "/" +
                                                     std::to_string(d.arity) + "'");
        atoms_.push_back(std::move(d));
    }
}

TheoryTable::AtomDeclaration const* TheoryTable::find(std::string const& name, int arity) const {
    for (auto const& d : atoms_)
        if (d.name == name && d.arity == arity) return &d;
    return nullptr;
}

NodePtr TheoryTable::parse_atom(NodePtr const& atom, TheoryAtomType position) const {
    Node const& name_term = *atom->node(A::Term);
    std::string name;
    int arity = 0;
    if (name_term.type() == AstType::Function) {
        name = name_term.string(A::Name);
        arity = static_cast<int>(name_term.nodes(A::Arguments).size());
    } else if (name_term.type() == AstType::SymbolicTerm &&
               name_term.symbol(A::Symbol).type() == Symbols::SymbolType::Function) {
        auto sym = name_term.symbol(A::Symbol);
        name = sym.name();
        arity = static_cast<int>(sym.arguments().size());
    } else {
        throw LocatedError(atom->location(), "invalid theory atom name");
    }
    AtomDeclaration const* d = find(name, arity);
    if (!d) throw LocatedError(atom->location(), "no theory declares the atom '&" + name + "/" + std::to_string(arity) + "'");
    if (d->type != TheoryAtomType::Any && d->type != position) {
        static char const* const where[] = {"a rule head", "a rule body", "any position", "a directive"};
        throw LocatedError(atom->location(), "theory atom '&" + name + "/" + std::to_string(arity) +
                                                 "' is not allowed here, only in " +
                                                 where[static_cast<int>(d->type)]);
    }
    NodePtr copy = shallow_copy(*atom);
    NodeArray elements;
    for (auto const& e : atom->nodes(A::Elements)) {
        NodePtr element = shallow_copy(*e);
        for (auto& t : element->nodes(A::Terms)) t = parse_theory_term(*d->elements, t);
        elements.push_back(element);
    }
    copy->nodes(A::Elements) = std::move(elements);
    if (auto const& g = atom->optional(A::Guard)) {
        std::string relation = g->string(A::OperatorName);
        NodePtr term = g->node(A::Term);
        auto allowed = [&](std::string_view r) {
            return d->has_guard && std::find(d->relations.begin(), d->relations.end(), r) != d->relations.end();
        };
        if (!allowed(relation)) {
            // "<=-1" is lexed as one run: the relation is the longest declared
            // one that leaves unary operators of the guard's group.
            std::vector<char const*> unary;
            for (size_t length = relation.size() - 1; length > 0; --length) {
                std::string_view rest = std::string_view{relation}.substr(length);
                if (allowed(relation.substr(0, length)) && d->guard->split_unary(rest, unary)) {
                    term = prefix_run(term, intern(rest));
                    relation.resize(length);
                    break;
                }
            }
        }
        if (!allowed(relation))
            throw LocatedError(atom->location(), "relation '" + relation + "' is not allowed for theory atom '&" +
                                                     name + "/" + std::to_string(arity) + "'");
        NodePtr guard = shallow_copy(*g);
        std::get<char const*>(guard->value(A::OperatorName)) = intern(relation);
        std::get<NodePtr>(guard->value(A::Term)) = parse_theory_term(*d->guard, term);
        std::get<OptionalNode>(copy->value(A::Guard)).node = guard;
    }
    return copy;
}

} // namespace Gondra::Input
