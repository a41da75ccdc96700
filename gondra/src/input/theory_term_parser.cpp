#include "input/theory_term_parser.hpp"

#include "input/messages.hpp"

#include <algorithm>

namespace Gondra::Input {

namespace {

using A = Attribute;

// Precedence climbing over one flat sequence: operand, operator, operand, ...
// with the unary operators of each operand in front of it.
class SequenceParser {
public:
    SequenceParser(OperatorTable const& table, Node const& sequence)
        : table_{table}, location_{sequence.location()}, elements_{sequence.nodes(A::Elements)} {}

    NodePtr parse() {
        NodePtr result = expression(INT64_MIN);
        return result;
    }

private:
    struct Cursor {
        size_t element = 0; // current element
        size_t op = 0;      // next operator of that element
    };

    NodePtr expression(int64_t min_priority) {
        NodePtr lhs = prefix();
        for (;;) {
            if (pos_.element + 1 >= elements_.size()) return lhs;
            Node const& next = *elements_[pos_.element + 1];
            auto const& ops = next.strings(A::Operators);
            if (ops.empty()) throw LocatedError(location_, "operator expected in theory term");
            TheoryOperator const* op = table_.binary(ops.front());
            if (!op) throw LocatedError(location_, std::string{"binary operator '"} + ops.front() + "' undefined");
            if (op->priority < min_priority) return lhs;
            pos_ = Cursor{pos_.element + 1, 1};
            int64_t next_min = op->type == TheoryOperatorType::BinaryRight ? op->priority : int64_t{op->priority} + 1;
            NodePtr rhs = expression(next_min);
            lhs = apply(ops.front(), {lhs, rhs});
        }
    }

    NodePtr prefix() {
        Node const& element = *elements_[pos_.element];
        auto const& ops = element.strings(A::Operators);
        if (pos_.op < ops.size()) {
            char const* name = ops[pos_.op];
            TheoryOperator const* op = table_.unary(name);
            if (!op) throw LocatedError(location_, std::string{"unary operator '"} + name + "' undefined");
            ++pos_.op;
            // The operand holds every binary operator that binds tighter.
            NodePtr operand = expression(int64_t{op->priority} + 1);
            return apply(name, {operand});
        }
        return parse_theory_term(table_, element.node(A::Term));
    }

    NodePtr apply(char const* name, NodeArray args) {
        return make_node(AstType::TheoryFunction, {location_, name, std::move(args)});
    }

    OperatorTable const& table_;
    Location location_;
    NodeArray const& elements_;
    Cursor pos_;
};

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
        if (!d->has_guard || std::find(d->relations.begin(), d->relations.end(), relation) == d->relations.end())
            throw LocatedError(atom->location(), "relation '" + relation + "' is not allowed for theory atom '&" +
                                                     name + "/" + std::to_string(arity) + "'");
        NodePtr guard = shallow_copy(*g);
        std::get<NodePtr>(guard->value(A::Term)) = parse_theory_term(*d->guard, g->node(A::Term));
        std::get<OptionalNode>(copy->value(A::Guard)).node = guard;
    }
    return copy;
}

} // namespace Gondra::Input
