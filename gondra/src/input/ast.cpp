#include "input/ast.hpp"

#include "symbols/string_pool.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <vector>

namespace Gondra::Input {

namespace {

using A = Attribute;
using K = AttributeKind;

constexpr ArgumentShape loc{A::Location, K::Location};

constexpr ArgumentShape id_args[] = {loc, {A::Name, K::String}};
constexpr ArgumentShape symbolic_term_args[] = {loc, {A::Symbol, K::Symbol}};
constexpr ArgumentShape unary_args[] = {loc, {A::OperatorType, K::Number}, {A::Argument, K::Ast}};
constexpr ArgumentShape binary_args[] = {loc, {A::OperatorType, K::Number}, {A::Left, K::Ast}, {A::Right, K::Ast}};
constexpr ArgumentShape interval_args[] = {loc, {A::Left, K::Ast}, {A::Right, K::Ast}};
constexpr ArgumentShape function_args[] = {
    loc, {A::Name, K::String}, {A::Arguments, K::AstArray}, {A::External, K::Number}};
constexpr ArgumentShape pool_args[] = {loc, {A::Arguments, K::AstArray}};
constexpr ArgumentShape boolean_args[] = {{A::Value, K::Number}};
constexpr ArgumentShape symbolic_atom_args[] = {{A::Symbol, K::Ast}};
constexpr ArgumentShape comparison_args[] = {{A::Comparison, K::Number}, {A::Left, K::Ast}, {A::Right, K::Ast}};
constexpr ArgumentShape literal_args[] = {loc, {A::Sign, K::Number}, {A::Atom, K::Ast}};
constexpr ArgumentShape guard_args[] = {{A::Comparison, K::Number}, {A::Term, K::Ast}};
constexpr ArgumentShape conditional_args[] = {loc, {A::Literal, K::Ast}, {A::Condition, K::AstArray}};
constexpr ArgumentShape aggregate_args[] = {
    loc, {A::LeftGuard, K::OptionalAst}, {A::Elements, K::AstArray}, {A::RightGuard, K::OptionalAst}};
constexpr ArgumentShape body_element_args[] = {{A::Terms, K::AstArray}, {A::Condition, K::AstArray}};
constexpr ArgumentShape body_aggregate_args[] = {loc,
                                                {A::LeftGuard, K::OptionalAst},
                                                {A::Function, K::Number},
                                                {A::Elements, K::AstArray},
                                                {A::RightGuard, K::OptionalAst}};
constexpr ArgumentShape disjunction_args[] = {loc, {A::Elements, K::AstArray}};
constexpr ArgumentShape theory_sequence_args[] = {loc, {A::SequenceType, K::Number}, {A::Terms, K::AstArray}};
constexpr ArgumentShape theory_function_args[] = {loc, {A::Name, K::String}, {A::Arguments, K::AstArray}};
constexpr ArgumentShape unparsed_element_args[] = {{A::Operators, K::StringArray}, {A::Term, K::Ast}};
constexpr ArgumentShape unparsed_term_args[] = {loc, {A::Elements, K::AstArray}};
constexpr ArgumentShape theory_guard_args[] = {{A::OperatorName, K::String}, {A::Term, K::Ast}};
constexpr ArgumentShape theory_element_args[] = {{A::Terms, K::AstArray}, {A::Condition, K::AstArray}};
constexpr ArgumentShape theory_atom_args[] = {
    loc, {A::Term, K::Ast}, {A::Elements, K::AstArray}, {A::Guard, K::OptionalAst}};
constexpr ArgumentShape operator_def_args[] = {
    loc, {A::Name, K::String}, {A::Priority, K::Number}, {A::OperatorType, K::Number}};
constexpr ArgumentShape term_def_args[] = {loc, {A::Name, K::String}, {A::Operators, K::AstArray}};
constexpr ArgumentShape guard_def_args[] = {{A::Operators, K::StringArray}, {A::Term, K::String}};
constexpr ArgumentShape atom_def_args[] = {loc,
                                          {A::AtomType, K::Number},
                                          {A::Name, K::String},
                                          {A::Arity, K::Number},
                                          {A::Term, K::String},
                                          {A::Guard, K::OptionalAst}};
constexpr ArgumentShape rule_args[] = {loc, {A::Head, K::Ast}, {A::Body, K::AstArray}};
constexpr ArgumentShape definition_args[] = {loc, {A::Name, K::String}, {A::Value, K::Ast}, {A::IsDefault, K::Number}};
constexpr ArgumentShape signature_args[] = {
    loc, {A::Name, K::String}, {A::Arity, K::Number}, {A::Positive, K::Number}};
constexpr ArgumentShape show_term_args[] = {loc, {A::Term, K::Ast}, {A::Body, K::AstArray}};
constexpr ArgumentShape show_args[] = {loc};
constexpr ArgumentShape minimize_args[] = {
    loc, {A::Weight, K::Ast}, {A::Priority, K::Ast}, {A::Terms, K::AstArray}, {A::Body, K::AstArray}};
constexpr ArgumentShape program_args[] = {loc, {A::Name, K::String}, {A::Parameters, K::AstArray}};
constexpr ArgumentShape external_args[] = {loc, {A::Atom, K::Ast}, {A::Body, K::AstArray}};
constexpr ArgumentShape theory_def_args[] = {
    loc, {A::Name, K::String}, {A::Terms, K::AstArray}, {A::Atoms, K::AstArray}};

ConstructorShape const constructors[] = {
    {"Id", id_args},
    {"Variable", id_args},
    {"SymbolicTerm", symbolic_term_args},
    {"UnaryOperation", unary_args},
    {"BinaryOperation", binary_args},
    {"Interval", interval_args},
    {"Function", function_args},
    {"Pool", pool_args},
    {"BooleanConstant", boolean_args},
    {"SymbolicAtom", symbolic_atom_args},
    {"Comparison", comparison_args},
    {"Literal", literal_args},
    {"AggregateGuard", guard_args},
    {"ConditionalLiteral", conditional_args},
    {"Aggregate", aggregate_args},
    {"BodyAggregateElement", body_element_args},
    {"BodyAggregate", body_aggregate_args},
    {"Disjunction", disjunction_args},
    {"TheorySequence", theory_sequence_args},
    {"TheoryFunction", theory_function_args},
    {"TheoryUnparsedTermElement", unparsed_element_args},
    {"TheoryUnparsedTerm", unparsed_term_args},
    {"TheoryGuard", theory_guard_args},
    {"TheoryAtomElement", theory_element_args},
    {"TheoryAtom", theory_atom_args},
    {"TheoryOperatorDefinition", operator_def_args},
    {"TheoryTermDefinition", term_def_args},
    {"TheoryGuardDefinition", guard_def_args},
    {"TheoryAtomDefinition", atom_def_args},
    {"Rule", rule_args},
    {"Definition", definition_args},
    {"ShowSignature", signature_args},
    {"ShowTerm", show_term_args},
    {"Show", show_args},
    {"Minimize", minimize_args},
    {"Program", program_args},
    {"External", external_args},
    {"Defined", signature_args},
    {"TheoryDefinition", theory_def_args},
};
static_assert(std::size(constructors) == ast_type_count);

char const* const attribute_names[] = {
    "argument",  "arguments", "arity",         "atom",          "atom_type", "atoms",       "body",
    "comparison", "condition", "elements",     "external",      "function",  "guard",       "head",
    "is_default", "left",      "left_guard",   "literal",       "location",  "name",        "operator_name",
    "operator_type", "operators", "parameters", "positive",     "priority",  "right",       "right_guard",
    "sequence_type", "sign",   "symbol",       "term",          "terms",     "value",       "weight",
};
static_assert(std::size(attribute_names) == attribute_count);

using IndexTable = std::array<std::array<int8_t, attribute_count>, ast_type_count>;

IndexTable build_index_table() {
    IndexTable table{};
    for (auto& row : table) row.fill(-1);
    for (int t = 0; t < ast_type_count; ++t) {
        auto args = constructors[t].arguments;
        for (size_t i = 0; i < args.size(); ++i) table[t][static_cast<int>(args[i].attribute)] = static_cast<int8_t>(i);
    }
    return table;
}

IndexTable const index_table = build_index_table();


} // namespace

ConstructorShape const& constructor(AstType type) { return constructors[static_cast<int>(type)]; }

char const* attribute_name(Attribute attribute) { return attribute_names[static_cast<int>(attribute)]; }

int attribute_index(AstType type, Attribute attribute) {
    int t = static_cast<int>(type);
    int a = static_cast<int>(attribute);
    if (t < 0 || t >= ast_type_count || a < 0 || a >= attribute_count) return -1;
    return index_table[t][a];
}

char const* intern(std::string_view text) { return Symbols::intern_string(text); }

std::string format_location(Location const& loc) {
    std::string out = loc.begin_file;
    out += ':' + std::to_string(loc.begin_line) + ':' + std::to_string(loc.begin_column);
    if (loc.end_line != loc.begin_line || std::string_view{loc.end_file} != loc.begin_file) {
        out += '-';
        if (std::string_view{loc.end_file} != loc.begin_file) out += std::string{loc.end_file} + ':';
        out += std::to_string(loc.end_line) + ':' + std::to_string(loc.end_column);
    } else {
        out += '-' + std::to_string(loc.end_column);
    }
    return out;
}

NodePtr::NodePtr(Node* node, bool acquire) noexcept : node_{node} {
    if (node_ && acquire) node_->acquire();
}
NodePtr::NodePtr(NodePtr const& other) noexcept : node_{other.node_} {
    if (node_) node_->acquire();
}
NodePtr::~NodePtr() {
    if (node_) node_->release();
}

Node::Node(AstType type, std::vector<Value> values) : type_{type}, values_{std::move(values)} {}

namespace {

// Calls f with every child slot of the node's values, in attribute order.
template <class Values, class F>
void for_each_child(Values& values, F&& f) {
    for (auto& v : values) {
        if (auto* n = std::get_if<NodePtr>(&v)) {
            f(*n);
        } else if (auto* o = std::get_if<OptionalNode>(&v)) {
            if (o->node) f(o->node);
        } else if (auto* a = std::get_if<NodeArray>(&v)) {
            for (auto& e : *a) f(e);
        }
    }
}

} // namespace

void Node::release() noexcept {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    // Children that die with their parent are freed from a worklist, not by
    // nested destructors: how deep a tree is is up to the input.
    std::vector<Node*> dead;
    Node* node = this;
    for (;;) {
        for_each_child(node->values_, [&](NodePtr& child) {
            Node* c = child.release();
            if (c && c->refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) dead.push_back(c);
        });
        delete node;
        if (dead.empty()) return;
        node = dead.back();
        dead.pop_back();
    }
}

Value& Node::value(Attribute attribute) {
    int index = attribute_index(type_, attribute);
    if (index < 0) throw std::runtime_error("unknown attribute");
    return values_[static_cast<size_t>(index)];
}

Value const& Node::value(Attribute attribute) const { return const_cast<Node*>(this)->value(attribute); }

Location const& Node::location() const { return std::get<Location>(value(Attribute::Location)); }

NodePtr make_node(AstType type, std::vector<Value> values) {
    int t = static_cast<int>(type);
    if (t < 0 || t >= ast_type_count) throw std::invalid_argument("invalid node type");
    auto args = constructors[t].arguments;
    if (args.size() != values.size()) throw std::invalid_argument("wrong number of node arguments");
    for (size_t i = 0; i < args.size(); ++i) {
        if (values[i].index() != static_cast<size_t>(args[i].kind))
            throw std::invalid_argument("wrong kind of node argument");
        auto const& v = values[i];
        if (auto const* n = std::get_if<NodePtr>(&v); n && !*n) throw std::invalid_argument("null node argument");
        if (auto const* a = std::get_if<NodeArray>(&v)) {
            for (auto const& e : *a)
                if (!e) throw std::invalid_argument("null node argument");
        }
    }
    return NodePtr{new Node{type, std::move(values)}};
}

NodePtr shallow_copy(Node const& node) {
    std::vector<Value> values;
    values.reserve(node.size());
    for (size_t i = 0; i < node.size(); ++i) values.push_back(node.value_at(i));
    return NodePtr{new Node{node.type(), std::move(values)}};
}

NodePtr deep_copy(Node const& node) {
    // Each copied node starts as a shallow copy whose children are replaced
    // by copies in turn; a worklist keeps the stack flat for deep trees.
    NodePtr root = shallow_copy(node);
    std::vector<Node*> todo{root.get()};
    while (!todo.empty()) {
        Node* n = todo.back();
        todo.pop_back();
        for (size_t i = 0; i < n->size(); ++i) {
            Value& v = n->value_at(i);
            auto copy = [&](NodePtr& child) {
                child = shallow_copy(*child);
                todo.push_back(child.get());
            };
            if (auto* c = std::get_if<NodePtr>(&v)) {
                copy(*c);
            } else if (auto* o = std::get_if<OptionalNode>(&v)) {
                if (o->node) copy(o->node);
            } else if (auto* a = std::get_if<NodeArray>(&v)) {
                for (auto& e : *a) copy(e);
            }
        }
    }
    return root;
}

namespace {

int compare_strings(char const* a, char const* b) {
    int c = std::string_view{a}.compare(b);
    return (c > 0) - (c < 0);
}

template <class T>
int three_way(T x, T y) {
    return (x > y) - (x < y);
}

// Lexicographic comparison in attribute order, depth first. The pending
// node pairs live on an explicit stack so that deep trees compare too.
int compare_nodes(Node const& a, Node const& b) {
    struct Frame {
        Node const* a;
        Node const* b;
        size_t attribute = 0; // next attribute to compare
        size_t element = 0;   // next element of an array attribute
    };
    std::vector<Frame> stack;
    auto enter = [&](Node const* x, Node const* y) -> int {
        if (x == y) return 0;
        if (x->type() != y->type()) return x->type() < y->type() ? -1 : 1;
        stack.push_back({x, y});
        return 0;
    };
    if (int c = enter(&a, &b)) return c;
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.attribute == f.a->size()) {
            stack.pop_back();
            continue;
        }
        Value const& x = f.a->value_at(f.attribute);
        Value const& y = f.b->value_at(f.attribute);
        int c = 0;
        Node const* left = nullptr;
        Node const* right = nullptr;
        bool next = true; // done with this attribute after this step
        switch (static_cast<AttributeKind>(x.index())) {
        case AttributeKind::Number: c = three_way(std::get<int>(x), std::get<int>(y)); break;
        case AttributeKind::Symbol:
            c = Symbols::compare(std::get<SymbolValue>(x).symbol, std::get<SymbolValue>(y).symbol);
            break;
        case AttributeKind::Location: break;
        case AttributeKind::String: c = compare_strings(std::get<char const*>(x), std::get<char const*>(y)); break;
        case AttributeKind::Ast:
            left = std::get<NodePtr>(x).get();
            right = std::get<NodePtr>(y).get();
            break;
        case AttributeKind::OptionalAst: {
            left = std::get<OptionalNode>(x).node.get();
            right = std::get<OptionalNode>(y).node.get();
            if (!left || !right) {
                c = (left != nullptr) - (right != nullptr);
                left = right = nullptr;
            }
            break;
        }
        case AttributeKind::StringArray: {
            auto const& xs = std::get<StringArray>(x);
            auto const& ys = std::get<StringArray>(y);
            for (size_t i = 0; i < xs.size() && i < ys.size() && c == 0; ++i) c = compare_strings(xs[i], ys[i]);
            if (c == 0) c = three_way(xs.size(), ys.size());
            break;
        }
        case AttributeKind::AstArray: {
            auto const& xs = std::get<NodeArray>(x);
            auto const& ys = std::get<NodeArray>(y);
            if (f.element < xs.size() && f.element < ys.size()) {
                left = xs[f.element].get();
                right = ys[f.element].get();
                ++f.element;
                next = false;
            } else {
                c = three_way(xs.size(), ys.size());
            }
            break;
        }
        }
        if (c != 0) return c;
        if (next) {
            ++f.attribute;
            f.element = 0;
        }
        // f may dangle from here on: enter can grow the stack.
        if (left) {
            if (int d = enter(left, right)) return d;
        }
    }
    return 0;
}

size_t mix(size_t seed, size_t value) { return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2)); }

size_t hash_string(char const* s) { return std::hash<std::string_view>{}(s); }

} // namespace

bool ast_equal(Node const& a, Node const& b) { return compare_nodes(a, b) == 0; }
bool ast_less(Node const& a, Node const& b) { return compare_nodes(a, b) < 0; }

size_t ast_hash(Node const& node) {
    // Pre-order over the tree with an explicit stack; locations do not count.
    size_t seed = 0;
    std::vector<Node const*> todo{&node};
    while (!todo.empty()) {
        Node const* n = todo.back();
        todo.pop_back();
        seed = mix(seed, static_cast<size_t>(n->type()));
        size_t first_child = todo.size();
        for (size_t i = 0; i < n->size(); ++i) {
            Value const& v = n->value_at(i);
            switch (static_cast<AttributeKind>(v.index())) {
            case AttributeKind::Number: seed = mix(seed, static_cast<size_t>(std::get<int>(v))); break;
            case AttributeKind::Symbol: seed = mix(seed, std::get<SymbolValue>(v).symbol.hash()); break;
            case AttributeKind::Location: break;
            case AttributeKind::String: seed = mix(seed, hash_string(std::get<char const*>(v))); break;
            case AttributeKind::Ast: todo.push_back(std::get<NodePtr>(v).get()); break;
            case AttributeKind::OptionalAst: {
                auto const& o = std::get<OptionalNode>(v).node;
                seed = mix(seed, o ? 1 : 0);
                if (o) todo.push_back(o.get());
                break;
            }
            case AttributeKind::StringArray:
                for (auto const* s : std::get<StringArray>(v)) seed = mix(seed, hash_string(s));
                seed = mix(seed, std::get<StringArray>(v).size());
                break;
            case AttributeKind::AstArray:
                for (auto const& e : std::get<NodeArray>(v)) todo.push_back(e.get());
                seed = mix(seed, std::get<NodeArray>(v).size());
                break;
            }
        }
        // Children in attribute order: the first one is visited next.
        std::reverse(todo.begin() + static_cast<std::ptrdiff_t>(first_child), todo.end());
    }
    return seed;
}

NodePtr make_id(Location const& loc, std::string_view name) { return make_node(AstType::Id, {loc, intern(name)}); }

NodePtr make_variable(Location const& loc, std::string_view name) {
    return make_node(AstType::Variable, {loc, intern(name)});
}

NodePtr make_symbolic_term(Location const& loc, Symbols::Symbol symbol) {
    return make_node(AstType::SymbolicTerm, {loc, SymbolValue{symbol}});
}

NodePtr make_function(Location const& loc, std::string_view name, NodeArray arguments, bool external) {
    return make_node(AstType::Function, {loc, intern(name), std::move(arguments), external ? 1 : 0});
}

NodePtr make_literal(Location const& loc, Sign sign, NodePtr atom) {
    return make_node(AstType::Literal, {loc, static_cast<int>(sign), std::move(atom)});
}

NodePtr make_boolean_constant(bool value) { return make_node(AstType::BooleanConstant, {value ? 1 : 0}); }

} // namespace Gondra::Input
