#pragma once
// Syntax trees of the input language: reference-counted nodes whose
// attributes are laid out by a per-type constructor table, so the parser,
// the printer, unpooling and the C interface all work over one generic shape.

#include "symbols/symbol.hpp"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace Gondra::Input {

enum class AstType : int {
    Id,
    Variable,
    SymbolicTerm,
    UnaryOperation,
    BinaryOperation,
    Interval,
    Function,
    Pool,
    BooleanConstant,
    SymbolicAtom,
    Comparison,
    Literal,
    AggregateGuard,
    ConditionalLiteral,
    Aggregate,
    BodyAggregateElement,
    BodyAggregate,
    Disjunction,
    TheorySequence,
    TheoryFunction,
    TheoryUnparsedTermElement,
    TheoryUnparsedTerm,
    TheoryGuard,
    TheoryAtomElement,
    TheoryAtom,
    TheoryOperatorDefinition,
    TheoryTermDefinition,
    TheoryGuardDefinition,
    TheoryAtomDefinition,
    Rule,
    Definition,
    ShowSignature,
    ShowTerm,
    Show,
    Minimize,
    Program,
    External,
    Defined,
    TheoryDefinition,
};
inline constexpr int ast_type_count = static_cast<int>(AstType::TheoryDefinition) + 1;

enum class Attribute : int {
    Argument,
    Arguments,
    Arity,
    Atom,
    AtomType,
    Atoms,
    Body,
    Comparison,
    Condition,
    Elements,
    External,
    Function,
    Guard,
    Head,
    IsDefault,
    Left,
    LeftGuard,
    Literal,
    Location,
    Name,
    OperatorName,
    OperatorType,
    Operators,
    Parameters,
    Positive,
    Priority,
    Right,
    RightGuard,
    SequenceType,
    Sign,
    Symbol,
    Term,
    Terms,
    Value,
    Weight,
};
inline constexpr int attribute_count = static_cast<int>(Attribute::Weight) + 1;

enum class AttributeKind : int { Number, Symbol, Location, String, Ast, OptionalAst, StringArray, AstArray };

enum class Sign : int { None = 0, Negation = 1, DoubleNegation = 2 };
enum class ComparisonOperator : int { GreaterThan, LessThan, LessEqual, GreaterEqual, NotEqual, Equal };
enum class UnaryOperator : int { Minus, Negation, Absolute };
enum class BinaryOperator : int { Xor, Or, And, Plus, Minus, Multiplication, Division, Modulo, Power };
enum class AggregateFunction : int { Count, Sum, SumPlus, Min, Max };
enum class SequenceType : int { Tuple, List, Set };
enum class TheoryOperatorType : int { Unary, BinaryLeft, BinaryRight };
enum class TheoryAtomType : int { Head, Body, Any, Directive };

// Positions in a file; file names are interned and live as long as the process.
struct Location {
    char const* begin_file = "";
    char const* end_file = "";
    size_t begin_line = 1;
    size_t end_line = 1;
    size_t begin_column = 1;
    size_t end_column = 1;
};

// "file:line:column-column" (or with an end line when it differs).
std::string format_location(Location const& loc);

class Node;

// Owning handle of a node (intrusive reference count).
class NodePtr {
public:
    NodePtr() noexcept = default;
    explicit NodePtr(Node* node, bool acquire = true) noexcept;
    NodePtr(NodePtr const& other) noexcept;
    NodePtr(NodePtr&& other) noexcept : node_{std::exchange(other.node_, nullptr)} {}
    NodePtr& operator=(NodePtr other) noexcept {
        std::swap(node_, other.node_);
        return *this;
    }
    ~NodePtr();

    Node* get() const noexcept { return node_; }
    Node* operator->() const noexcept { return node_; }
    Node& operator*() const noexcept { return *node_; }
    explicit operator bool() const noexcept { return node_ != nullptr; }
    Node* release() noexcept { return std::exchange(node_, nullptr); }
    friend bool operator==(NodePtr const& a, NodePtr const& b) noexcept { return a.node_ == b.node_; }

private:
    Node* node_ = nullptr;
};

struct SymbolValue {
    Symbols::Symbol symbol;
};
struct OptionalNode {
    NodePtr node;
};
using StringArray = std::vector<char const*>;
using NodeArray = std::vector<NodePtr>;

// Alternatives in the order of AttributeKind.
using Value = std::variant<int, SymbolValue, Location, char const*, NodePtr, OptionalNode, StringArray, NodeArray>;

struct ArgumentShape {
    Attribute attribute;
    AttributeKind kind;
};
struct ConstructorShape {
    char const* name;
    std::span<ArgumentShape const> arguments;
};

ConstructorShape const& constructor(AstType type);
char const* attribute_name(Attribute attribute);
// Index of the attribute in the node type's argument list, -1 when absent.
int attribute_index(AstType type, Attribute attribute);

// Interned copy of a string (stable for the lifetime of the process).
char const* intern(std::string_view text);

class Node {
public:
    Node(AstType type, std::vector<Value> values);
    Node(Node const&) = delete;
    Node& operator=(Node const&) = delete;

    AstType type() const noexcept { return type_; }
    size_t size() const noexcept { return values_.size(); }
    Value& value_at(size_t index) { return values_[index]; }
    Value const& value_at(size_t index) const { return values_[index]; }
    bool has(Attribute attribute) const noexcept { return attribute_index(type_, attribute) >= 0; }
    // Throw std::runtime_error("unknown attribute") when the node lacks it.
    Value& value(Attribute attribute);
    Value const& value(Attribute attribute) const;

    // Typed reads; a value of another kind throws std::bad_variant_access.
    int number(Attribute a) const { return std::get<int>(value(a)); }
    Symbols::Symbol symbol(Attribute a) const { return std::get<SymbolValue>(value(a)).symbol; }
    Location const& location() const;
    char const* string(Attribute a) const { return std::get<char const*>(value(a)); }
    NodePtr const& node(Attribute a) const { return std::get<NodePtr>(value(a)); }
    NodePtr const& optional(Attribute a) const { return std::get<OptionalNode>(value(a)).node; }
    StringArray const& strings(Attribute a) const { return std::get<StringArray>(value(a)); }
    NodeArray const& nodes(Attribute a) const { return std::get<NodeArray>(value(a)); }
    NodeArray& nodes(Attribute a) { return std::get<NodeArray>(value(a)); }

    void acquire() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
    void release() noexcept;

private:
    std::atomic<uint32_t> refs_{0};
    AstType type_;
    std::vector<Value> values_;
};

// Builds a node, checking the number and kinds of the values against the
// constructor table (std::invalid_argument on mismatch).
NodePtr make_node(AstType type, std::vector<Value> values);
// A new node sharing the children of node.
NodePtr shallow_copy(Node const& node);
// A copy of the whole tree.
NodePtr deep_copy(Node const& node);

// Structural comparison that ignores locations.
bool ast_equal(Node const& a, Node const& b);
bool ast_less(Node const& a, Node const& b);
size_t ast_hash(Node const& node);

// Convenience constructors used by the parser and the tests.
NodePtr make_id(Location const& loc, std::string_view name);
NodePtr make_variable(Location const& loc, std::string_view name);
NodePtr make_symbolic_term(Location const& loc, Symbols::Symbol symbol);
NodePtr make_function(Location const& loc, std::string_view name, NodeArray arguments, bool external = false);
NodePtr make_literal(Location const& loc, Sign sign, NodePtr atom);
NodePtr make_boolean_constant(bool value);

} // namespace Gondra::Input
