#include "ground/statement_builder.hpp"

#include "input/messages.hpp"

#include <algorithm>

namespace Gondra::Ground {

using Input::AstType;
using Input::ComparisonOperator;
using Input::Node;
using Input::NodePtr;
using A = Input::Attribute;
using Input::NodeArray;

namespace {

int flip_relation(int rel) {
    switch (static_cast<ComparisonOperator>(rel)) {
    case ComparisonOperator::GreaterThan: return static_cast<int>(ComparisonOperator::LessThan);
    case ComparisonOperator::LessThan: return static_cast<int>(ComparisonOperator::GreaterThan);
    case ComparisonOperator::LessEqual: return static_cast<int>(ComparisonOperator::GreaterEqual);
    case ComparisonOperator::GreaterEqual: return static_cast<int>(ComparisonOperator::LessEqual);
    default: return rel;
    }
}

int negate_relation(int rel) {
    switch (static_cast<ComparisonOperator>(rel)) {
    case ComparisonOperator::GreaterThan: return static_cast<int>(ComparisonOperator::LessEqual);
    case ComparisonOperator::LessThan: return static_cast<int>(ComparisonOperator::GreaterEqual);
    case ComparisonOperator::LessEqual: return static_cast<int>(ComparisonOperator::GreaterThan);
    case ComparisonOperator::GreaterEqual: return static_cast<int>(ComparisonOperator::LessThan);
    case ComparisonOperator::NotEqual: return static_cast<int>(ComparisonOperator::Equal);
    case ComparisonOperator::Equal: return static_cast<int>(ComparisonOperator::NotEqual);
    }
    return rel;
}

} // namespace

namespace {

// Folds one operation or function whose arguments are folded already.
void fold_node(Term& term) {
    if (term.kind == TermKind::constant || term.kind == TermKind::variable || term.kind == TermKind::interval) return;
    if (!std::all_of(term.args.begin(), term.args.end(), [](Term const& t) { return t.kind == TermKind::constant; }))
        return;
    Binding none;
    Symbol value;
    Term const* failed = nullptr;
    if (!evaluate(term, none, value, failed)) return; // reported when an instance is grounded
    term.kind = TermKind::constant;
    term.value = value;
    term.args.clear();
}

} // namespace

void fold(Term& term) {
    // Bottom-up without recursion: children are folded before their parent.
    std::vector<std::pair<Term*, bool>> todo{{&term, false}};
    while (!todo.empty()) {
        auto [t, children_done] = todo.back();
        todo.pop_back();
        if (children_done) {
            fold_node(*t);
            continue;
        }
        todo.emplace_back(t, true);
        for (auto& a : t->args) todo.emplace_back(&a, false);
    }
}

void BodyLiteral::collect_variables(std::vector<uint32_t>& out) const {
    atom.collect_variables(out);
    left.collect_variables(out);
    right.collect_variables(out);
    if (kind == LiteralKind::range) out.push_back(var);
    if (lower.present) lower.term.collect_variables(out);
    if (upper.present) upper.term.collect_variables(out);
    if (kind == LiteralKind::theory) theory.name.collect_variables(out);
    for (auto const& e : elements) {
        for (auto const& t : e.tuple) t.collect_variables(out);
        for (auto const& l : e.head) l.collect_variables(out);
        for (auto const& l : e.condition) l.collect_variables(out);
    }
}

StatementBuilder::StatementBuilder(Logger& logger, std::function<uint32_t(Symbols::Signature)> domain_of,
                                   Input::TheoryTable const& theories, ConstantMap const& constants)
    : logger_{logger}, domain_of_{std::move(domain_of)}, theories_{theories}, constants_{constants} {}

void StatementBuilder::fail(Input::Location const& loc, std::string text) {
    logger_.error(loc, std::move(text));
    throw Failure{};
}

uint32_t StatementBuilder::variable(char const* name, Input::Location const& loc) {
    std::string key = name;
    if (key != "_") {
        auto it = vars_.find(key);
        if (it != vars_.end()) return it->second;
    }
    uint32_t v = out_->num_vars++;
    out_->var_names.push_back(Input::intern(name));
    out_->var_locations.push_back(loc);
    if (key != "_") vars_.emplace(key, v);
    return v;
}

// Post-order over the syntax tree with explicit stacks (terms such as
// 1+1+...+1 nest as deep as they are long): a node is converted once its
// children are, which also numbers variables in the order they are written.
Term StatementBuilder::term(Node const& root) {
    struct Frame {
        Node const* node;
        size_t next = 0; // next child to convert
    };
    auto children = [](Node const& n) -> std::vector<Node const*> {
        switch (n.type()) {
        case AstType::UnaryOperation: return {n.node(A::Argument).get()};
        case AstType::BinaryOperation:
        case AstType::Interval: return {n.node(A::Left).get(), n.node(A::Right).get()};
        case AstType::Function: {
            std::vector<Node const*> out;
            for (auto const& a : n.nodes(A::Arguments)) out.push_back(a.get());
            return out;
        }
        default: return {};
        }
    };
    std::vector<Frame> stack{{&root}};
    std::vector<std::vector<Node const*>> pending{children(root)};
    std::vector<Term> done;
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next < pending.back().size()) {
            Node const* child = pending.back()[f.next++];
            stack.push_back({child}); // f dangles from here
            pending.push_back(children(*child));
            continue;
        }
        Node const& node = *f.node;
        size_t arity = pending.back().size();
        std::vector<Term> args;
        args.reserve(arity);
        for (size_t i = done.size() - arity; i < done.size(); ++i) args.push_back(std::move(done[i]));
        done.resize(done.size() - arity);
        stack.pop_back();
        pending.pop_back();
        done.push_back(convert(node, std::move(args)));
    }
    return std::move(done.back());
}

Term StatementBuilder::convert(Node const& node, std::vector<Term> args) {
    Term t;
    switch (node.type()) {
    case AstType::Variable:
        t.kind = TermKind::variable;
        t.location = node.location();
        t.name = Input::intern(node.string(A::Name));
        t.var = variable(node.string(A::Name), t.location);
        return t;
    case AstType::SymbolicTerm:
        t.kind = TermKind::constant;
        t.location = node.location();
        t.value = node.symbol(A::Symbol);
        return t;
    case AstType::UnaryOperation: {
        t.location = node.location();
        Term arg = std::move(args[0]);
        int op = node.number(A::OperatorType);
        // Classical negation of a function keeps it matchable.
        if (op == static_cast<int>(Input::UnaryOperator::Minus) && arg.kind == TermKind::function &&
            *arg.name != '\0') {
            arg.positive = !arg.positive;
            arg.location = t.location;
            fold_node(arg);
            return arg;
        }
        t.kind = TermKind::unary;
        t.op = op;
        t.args.push_back(std::move(arg));
        fold_node(t);
        return t;
    }
    case AstType::BinaryOperation:
        t.kind = TermKind::binary;
        t.location = node.location();
        t.op = node.number(A::OperatorType);
        t.args = std::move(args);
        fold_node(t);
        return t;
    case AstType::Interval: {
        // l..u becomes a fresh variable ranging over the interval.
        BodyLiteral range;
        range.kind = LiteralKind::range;
        range.location = node.location();
        range.left = std::move(args[0]);
        range.right = std::move(args[1]);
        std::string name = "#Range" + std::to_string(fresh_++);
        range.var = variable(Input::intern(name), node.location());
        ranges_.push_back(std::move(range));
        t.kind = TermKind::variable;
        t.location = node.location();
        t.name = Input::intern(name);
        t.var = ranges_.back().var;
        return t;
    }
    case AstType::Function: {
        t.location = node.location();
        if (node.number(A::External) != 0) fail(t.location, "external functions are not supported");
        std::string name = node.string(A::Name);
        if (args.empty() && !name.empty()) {
            auto it = constants_.find(name);
            t.kind = TermKind::constant;
            t.value = it != constants_.end() ? it->second : Symbol::create_id(name);
            return t;
        }
        t.kind = TermKind::function;
        t.name = Input::intern(name);
        t.args = std::move(args);
        fold_node(t);
        return t;
    }
    case AstType::Pool: fail(node.location(), "unexpected pool");
    default: break;
    }
    fail(out_->location, "unexpected term");
}

Term StatementBuilder::atom_term(Node const& node, uint32_t& domain) {
    Term t;
    // A constant name in atom position is a predicate, not a constant.
    if (node.type() == AstType::Function && node.nodes(A::Arguments).empty() && node.number(A::External) == 0) {
        t.kind = TermKind::constant;
        t.location = node.location();
        t.value = Symbol::create_id(node.string(A::Name));
    } else if (node.type() == AstType::UnaryOperation && node.node(A::Argument)->type() == AstType::Function &&
               node.node(A::Argument)->nodes(A::Arguments).empty()) {
        t.kind = TermKind::constant;
        t.location = node.location();
        t.value = Symbol::create_id(node.node(A::Argument)->string(A::Name), false);
    } else {
        t = term(node);
    }
    Symbols::Signature sig = Symbols::Signature::create("", 0);
    if (t.kind == TermKind::function && *t.name != '\0') {
        sig = Symbols::Signature::create(t.name, static_cast<uint32_t>(t.args.size()), t.positive);
    } else if (t.kind == TermKind::constant && t.value.type() == Symbols::SymbolType::Function &&
               !t.value.is_tuple()) {
        sig = Symbols::Signature::of(t.value);
    } else {
        fail(node.location(), "invalid atom '" + t.to_string() + "'");
    }
    domain = domain_of_(sig);
    return t;
}

void StatementBuilder::flush_ranges(std::vector<BodyLiteral>& into) {
    for (auto& r : ranges_) into.push_back(std::move(r));
    ranges_.clear();
}

BodyLiteral StatementBuilder::simple_literal(Node const& node) {
    BodyLiteral lit;
    lit.location = node.location();
    int sign = node.number(A::Sign);
    Node const& atom = *node.node(A::Atom);
    switch (atom.type()) {
    case AstType::SymbolicAtom:
        lit.kind = LiteralKind::predicate;
        lit.sign = sign;
        lit.atom = atom_term(*atom.node(A::Symbol), lit.domain);
        return lit;
    case AstType::Comparison: {
        lit.kind = LiteralKind::comparison;
        lit.relation = atom.number(A::Comparison);
        if (sign == 1) lit.relation = negate_relation(lit.relation);
        lit.left = term(*atom.node(A::Left));
        lit.right = term(*atom.node(A::Right));
        return lit;
    }
    case AstType::BooleanConstant:
        lit.kind = LiteralKind::boolean;
        lit.value = (atom.number(A::Value) != 0) != (sign == 1);
        return lit;
    default: break;
    }
    fail(lit.location, "unexpected literal");
}

std::vector<BodyLiteral> StatementBuilder::condition(Input::NodeArray const& nodes) {
    std::vector<BodyLiteral> out;
    for (auto const& n : nodes) out.push_back(simple_literal(*n));
    flush_ranges(out);
    return out;
}

Guard StatementBuilder::guard(NodePtr const& node, bool left) {
    Guard g;
    if (!node) return g;
    g.present = true;
    g.relation = node->number(A::Comparison);
    if (left) g.relation = flip_relation(g.relation);
    g.term = term(*node->node(A::Term));
    return g;
}

Element StatementBuilder::conditional_element(Node const& node) {
    Element e;
    auto saved = std::move(ranges_);
    ranges_.clear();
    e.head.push_back(simple_literal(*node.node(A::Literal)));
    for (auto const& n : node.nodes(A::Condition)) e.condition.push_back(simple_literal(*n));
    flush_ranges(e.condition);
    ranges_ = std::move(saved);
    return e;
}

BodyLiteral StatementBuilder::aggregate(Node const& node, int sign) {
    BodyLiteral lit;
    lit.kind = LiteralKind::aggregate;
    lit.sign = sign;
    lit.location = node.location();
    lit.lower = guard(node.optional(A::LeftGuard), true);
    lit.upper = guard(node.optional(A::RightGuard), false);
    if (node.type() == AstType::Aggregate) {
        lit.function = AggregateKind::count;
        for (auto const& e : node.nodes(A::Elements)) lit.elements.push_back(conditional_element(*e));
        return lit;
    }
    lit.function = static_cast<AggregateKind>(node.number(A::Function));
    for (auto const& n : node.nodes(A::Elements)) {
        Element e;
        auto saved = std::move(ranges_);
        ranges_.clear();
        for (auto const& t : n->nodes(A::Terms)) e.tuple.push_back(term(*t));
        for (auto const& c : n->nodes(A::Condition)) e.condition.push_back(simple_literal(*c));
        flush_ranges(e.condition);
        ranges_ = std::move(saved);
        lit.elements.push_back(std::move(e));
    }
    return lit;
}

void StatementBuilder::theory_variables(Node const& root) {
    // In the order written, with an explicit stack: theory terms can be long chains.
    std::vector<Node const*> todo{&root};
    while (!todo.empty()) {
        Node const& node = *todo.back();
        todo.pop_back();
        switch (node.type()) {
        case AstType::Variable: {
            std::string name = node.string(A::Name);
            uint32_t v = variable(node.string(A::Name), node.location());
            if (out_->theory_var(name) == UINT32_MAX) out_->theory_vars.emplace_back(name, v);
            break;
        }
        case AstType::TheoryFunction:
        case AstType::TheorySequence: {
            auto const& args = node.nodes(node.type() == AstType::TheoryFunction ? A::Arguments : A::Terms);
            for (size_t i = args.size(); i-- > 0;) todo.push_back(args[i].get());
            break;
        }
        default: break;
        }
    }
}

TheoryAtomInfo StatementBuilder::theory_atom(Node const& node, Input::TheoryAtomType position,
                                             Input::Location const& loc) {
    TheoryAtomInfo info;
    NodePtr parsed;
    try {
        parsed = theories_.parse_atom(NodePtr{const_cast<Node*>(&node)}, position);
    } catch (Input::LocatedError const& e) {
        fail(e.location(), e.text());
    }
    (void)loc;
    info.atom = parsed;
    info.directive = position == Input::TheoryAtomType::Directive;
    info.name = term(*parsed->node(A::Term));
    if (info.name.kind != TermKind::constant && info.name.kind != TermKind::function)
        fail(node.location(), "invalid theory atom name");
    if (auto const& g = parsed->optional(A::Guard)) {
        info.has_guard = true;
        info.relation = Input::intern(g->string(A::OperatorName));
        info.guard = g->node(A::Term);
        theory_variables(*info.guard);
    }
    return info;
}

BodyLiteral StatementBuilder::literal(Node const& node) {
    if (node.type() == AstType::ConditionalLiteral) {
        BodyLiteral lit;
        lit.kind = LiteralKind::conditional;
        lit.location = node.location();
        lit.elements.push_back(conditional_element(node));
        return lit;
    }
    Node const& atom = *node.node(A::Atom);
    int sign = node.number(A::Sign);
    if (atom.type() == AstType::BodyAggregate || atom.type() == AstType::Aggregate) return aggregate(atom, sign);
    if (atom.type() == AstType::TheoryAtom) {
        BodyLiteral lit;
        lit.kind = LiteralKind::theory;
        lit.sign = sign;
        lit.location = node.location();
        lit.theory = theory_atom(atom, Input::TheoryAtomType::Body, node.location());
        for (auto const& e : lit.theory.atom->nodes(A::Elements)) {
            Element el;
            for (auto const& t : e->nodes(A::Terms)) {
                theory_variables(*t);
                el.theory_terms.push_back(t);
            }
            el.condition = condition(e->nodes(A::Condition));
            lit.elements.push_back(std::move(el));
        }
        return lit;
    }
    BodyLiteral lit = simple_literal(node);
    if (lit.kind == LiteralKind::predicate && !ranges_.empty()) return interval_conjunction(std::move(lit));
    return lit;
}

namespace {

void rename_variables(Term& term, std::vector<std::pair<uint32_t, uint32_t>> const& renaming) {
    visit_subterms(term, [&](Term& t) {
        if (t.kind == TermKind::variable)
            for (auto const& [from, to] : renaming)
                if (t.var == from) t.var = to;
        return true;
    });
}

} // namespace

// An interval in a body atom makes a conjunction: `not p(1..3)` holds when
// none of p(1), p(2), p(3) does, and `p(1..3)` when all of them do. The
// literal becomes a conditional literal over the interval values. A positive
// literal whose other variables may occur nowhere else also joins one
// instance (a fresh variable over the same interval) to bind them; every
// such instance yields the same ground rule, and duplicates are dropped.
BodyLiteral StatementBuilder::interval_conjunction(BodyLiteral lit) {
    std::vector<uint32_t> interval_vars, vars;
    for (auto const& r : ranges_) interval_vars.push_back(r.var);
    lit.atom.collect_variables(vars);
    bool binds = lit.sign == 0 && std::any_of(vars.begin(), vars.end(), [&](uint32_t v) {
                     return std::find(interval_vars.begin(), interval_vars.end(), v) == interval_vars.end();
                 });
    std::vector<BodyLiteral> join;
    if (binds) {
        std::vector<std::pair<uint32_t, uint32_t>> renaming;
        for (auto const& r : ranges_) {
            BodyLiteral copy = r;
            std::string name = "#Range" + std::to_string(fresh_++);
            copy.var = variable(Input::intern(name), r.location);
            renaming.emplace_back(r.var, copy.var);
            join.push_back(std::move(copy));
        }
        BodyLiteral binder = lit;
        rename_variables(binder.atom, renaming);
        join.push_back(std::move(binder));
    }
    BodyLiteral conj;
    conj.kind = LiteralKind::conditional;
    conj.location = lit.location;
    Element e;
    e.head.push_back(std::move(lit));
    flush_ranges(e.condition);
    conj.elements.push_back(std::move(e));
    // The binding instance is flushed into the body after this literal.
    ranges_ = std::move(join);
    return conj;
}

void StatementBuilder::mark_assignments() {
    auto& body = out_->body;
    for (size_t i = 0; i < body.size(); ++i) {
        BodyLiteral& lit = body[i];
        if (lit.kind != LiteralKind::aggregate || lit.sign != 0) continue;
        if (lit.lower.present == lit.upper.present) continue;
        Guard const& g = lit.lower.present ? lit.lower : lit.upper;
        if (g.relation != static_cast<int>(ComparisonOperator::Equal) || !g.term.is_plain()) continue;
        std::vector<uint32_t> mine, others;
        g.term.collect_variables(mine);
        if (mine.empty()) continue;
        // Variables that another literal can bind; comparisons such as
        // N < 3 only test N, so the aggregate must assign it.
        for (size_t j = 0; j < body.size(); ++j) {
            BodyLiteral const& o = body[j];
            if (j == i) continue;
            if (o.kind == LiteralKind::predicate && o.sign == 0) o.atom.collect_variables(others);
            else if (o.kind == LiteralKind::range) others.push_back(o.var);
            else if (o.kind == LiteralKind::comparison && o.relation == static_cast<int>(ComparisonOperator::Equal)) {
                if (o.left.is_plain()) o.left.collect_variables(others);
                if (o.right.is_plain()) o.right.collect_variables(others);
            } else if (o.kind == LiteralKind::aggregate && o.sign == 0 && o.lower.present != o.upper.present) {
                Guard const& og = o.lower.present ? o.lower : o.upper;
                if (og.relation == static_cast<int>(ComparisonOperator::Equal)) og.term.collect_variables(others);
            }
        }
        bool fresh = std::any_of(mine.begin(), mine.end(), [&](uint32_t v) {
            return std::find(others.begin(), others.end(), v) == others.end();
        });
        lit.assignment = fresh;
    }
}

bool StatementBuilder::build(Node const& node, Statement& out) {
    out = Statement{};
    out_ = &out;
    vars_.clear();
    ranges_.clear();
    fresh_ = 0;
    out.location = node.location();
    try {
        Head& head = out.head;
        NodeArray const* body = nullptr;
        switch (node.type()) {
        case AstType::Rule: {
            body = &node.nodes(A::Body);
            Node const& h = *node.node(A::Head);
            switch (h.type()) {
            case AstType::Literal: {
                Node const& atom = *h.node(A::Atom);
                if (atom.type() == AstType::BooleanConstant) {
                    head.kind = atom.number(A::Value) != 0 ? HeadKind::trivial : HeadKind::constraint;
                } else if (atom.type() == AstType::SymbolicAtom && h.number(A::Sign) == 0) {
                    head.kind = HeadKind::atom;
                    head.atom = atom_term(*atom.node(A::Symbol), head.domain);
                } else {
                    fail(h.location(), "unexpected literal in rule head");
                }
                break;
            }
            case AstType::Disjunction:
                head.kind = HeadKind::disjunction;
                for (auto const& e : h.nodes(A::Elements)) head.elements.push_back(conditional_element(*e));
                break;
            case AstType::Aggregate:
                head.kind = HeadKind::choice;
                head.lower = guard(h.optional(A::LeftGuard), true);
                head.upper = guard(h.optional(A::RightGuard), false);
                for (auto const& e : h.nodes(A::Elements)) head.elements.push_back(conditional_element(*e));
                break;
            case AstType::TheoryAtom: {
                head.kind = HeadKind::theory;
                auto const* decl = [&]() -> Input::TheoryTable::AtomDeclaration const* {
                    Node const& name = *h.node(A::Term);
                    if (name.type() != AstType::Function) return nullptr;
                    return theories_.find(name.string(A::Name), static_cast<int>(name.nodes(A::Arguments).size()));
                }();
                auto position = decl && decl->type == Input::TheoryAtomType::Directive && body->empty()
                                    ? Input::TheoryAtomType::Directive
                                    : Input::TheoryAtomType::Head;
                head.theory = theory_atom(h, position, h.location());
                for (auto const& e : head.theory.atom->nodes(A::Elements)) {
                    Element el;
                    for (auto const& t : e->nodes(A::Terms)) {
                        theory_variables(*t);
                        el.theory_terms.push_back(t);
                    }
                    el.condition = condition(e->nodes(A::Condition));
                    head.elements.push_back(std::move(el));
                }
                break;
            }
            default: fail(h.location(), "unexpected rule head");
            }
            break;
        }
        case AstType::ShowTerm:
            head.kind = HeadKind::show_term;
            head.atom = term(*node.node(A::Term));
            body = &node.nodes(A::Body);
            break;
        case AstType::Minimize:
            head.kind = HeadKind::minimize;
            head.weight = term(*node.node(A::Weight));
            head.priority = term(*node.node(A::Priority));
            for (auto const& t : node.nodes(A::Terms)) head.terms.push_back(term(*t));
            body = &node.nodes(A::Body);
            break;
        case AstType::External:
            head.kind = HeadKind::external;
            head.atom = atom_term(*node.node(A::Atom)->node(A::Symbol), head.domain);
            body = &node.nodes(A::Body);
            break;
        default: fail(node.location(), "unexpected statement");
        }
        auto head_ranges = std::move(ranges_);
        ranges_.clear();
        for (auto const& b : *body) {
            out.body.push_back(literal(*b));
            flush_ranges(out.body);
        }
        for (auto& r : head_ranges) out.body.push_back(std::move(r));
        mark_assignments();
    } catch (Failure const&) {
        return false;
    }
    return true;
}

} // namespace Gondra::Ground
