#include "input/ast.hpp"

#include "symbols/string_pool.hpp"

#include <array>
#include <stdexcept>

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

void Node::release() noexcept {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
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
    std::vector<Value> values;
    values.reserve(node.size());
    for (size_t i = 0; i < node.size(); ++i) {
        Value const& v = node.value_at(i);
        if (auto const* n = std::get_if<NodePtr>(&v)) {
            values.emplace_back(deep_copy(**n));
        } else if (auto const* o = std::get_if<OptionalNode>(&v)) {
            values.emplace_back(OptionalNode{o->node ? deep_copy(*o->node) : NodePtr{}});
        } else if (auto const* a = std::get_if<NodeArray>(&v)) {
            NodeArray copy;
            copy.reserve(a->size());
            for (auto const& e : *a) copy.push_back(deep_copy(*e));
            values.emplace_back(std::move(copy));
        } else {
            values.push_back(v);
        }
    }
    return NodePtr{new Node{node.type(), std::move(values)}};
}

namespace {

int compare_nodes(Node const& a, Node const& b);

int compare_strings(char const* a, char const* b) {
    int c = std::string_view{a}.compare(b);
    return (c > 0) - (c < 0);
}

int compare_optional(Node const* a, Node const* b) {
    if (!a || !b) return (a != nullptr) - (b != nullptr);
    return compare_nodes(*a, *b);
}

int compare_value(Value const& a, Value const& b) {
    switch (static_cast<AttributeKind>(a.index())) {
    case AttributeKind::Number: {
        int x = std::get<int>(a), y = std::get<int>(b);
        return (x > y) - (x < y);
    }
    case AttributeKind::Symbol: return Symbols::compare(std::get<SymbolValue>(a).symbol, std::get<SymbolValue>(b).symbol);
    case AttributeKind::Location: return 0;
    case AttributeKind::String: return compare_strings(std::get<char const*>(a), std::get<char const*>(b));
    case AttributeKind::Ast: return compare_nodes(*std::get<NodePtr>(a), *std::get<NodePtr>(b));
    case AttributeKind::OptionalAst:
        return compare_optional(std::get<OptionalNode>(a).node.get(), std::get<OptionalNode>(b).node.get());
    case AttributeKind::StringArray: {
        auto const& x = std::get<StringArray>(a);
        auto const& y = std::get<StringArray>(b);
        for (size_t i = 0; i < x.size() && i < y.size(); ++i)
            if (int c = compare_strings(x[i], y[i])) return c;
        return (x.size() > y.size()) - (x.size() < y.size());
    }
    case AttributeKind::AstArray: {
        auto const& x = std::get<NodeArray>(a);
        auto const& y = std::get<NodeArray>(b);
        for (size_t i = 0; i < x.size() && i < y.size(); ++i)
            if (int c = compare_nodes(*x[i], *y[i])) return c;
        return (x.size() > y.size()) - (x.size() < y.size());
    }
    }
    return 0;
}

int compare_nodes(Node const& a, Node const& b) {
    if (&a == &b) return 0;
    if (a.type() != b.type()) return a.type() < b.type() ? -1 : 1;
    for (size_t i = 0; i < a.size(); ++i)
        if (int c = compare_value(a.value_at(i), b.value_at(i))) return c;
    return 0;
}

size_t mix(size_t seed, size_t value) { return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2)); }

size_t hash_string(char const* s) { return std::hash<std::string_view>{}(s); }

} // namespace

bool ast_equal(Node const& a, Node const& b) { return compare_nodes(a, b) == 0; }
bool ast_less(Node const& a, Node const& b) { return compare_nodes(a, b) < 0; }

size_t ast_hash(Node const& node) {
    size_t seed = static_cast<size_t>(node.type());
    for (size_t i = 0; i < node.size(); ++i) {
        Value const& v = node.value_at(i);
        switch (static_cast<AttributeKind>(v.index())) {
        case AttributeKind::Number: seed = mix(seed, static_cast<size_t>(std::get<int>(v))); break;
        case AttributeKind::Symbol: seed = mix(seed, std::get<SymbolValue>(v).symbol.hash()); break;
        case AttributeKind::Location: break;
        case AttributeKind::String: seed = mix(seed, hash_string(std::get<char const*>(v))); break;
        case AttributeKind::Ast: seed = mix(seed, ast_hash(*std::get<NodePtr>(v))); break;
        case AttributeKind::OptionalAst: {
            auto const& n = std::get<OptionalNode>(v).node;
            seed = mix(seed, n ? ast_hash(*n) : 0);
            break;
        }
        case AttributeKind::StringArray:
            for (auto const* s : std::get<StringArray>(v)) seed = mix(seed, hash_string(s));
            seed = mix(seed, std::get<StringArray>(v).size());
            break;
        case AttributeKind::AstArray:
            for (auto const& n : std::get<NodeArray>(v)) seed = mix(seed, ast_hash(*n));
            seed = mix(seed, std::get<NodeArray>(v).size());
            break;
        }
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
