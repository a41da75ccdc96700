#pragma once

// Thin layer over the host's syntax trees: a reference-counting handle and
// typed attribute accessors whose failures become exceptions.

#include "host/host_error.hpp"
#include "host/symbols.hpp"

#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace Tarvex::Host {

using ast_type_t = gondra_ast_type_t;
using ast_attribute_t = gondra_ast_attribute_t;

// Owns one reference to a node; copies share the node, every reference held
// is released by the destructor, also during unwinding.
class Ast {
public:
    Ast() noexcept = default;
    Ast(Ast const& other) noexcept : ast_{other.ast_} { gondra_ast_acquire(ast_); }
    Ast(Ast&& other) noexcept : ast_{std::exchange(other.ast_, nullptr)} {}
    Ast& operator=(Ast other) noexcept {
        std::swap(ast_, other.ast_);
        return *this;
    }
    ~Ast() { gondra_ast_release(ast_); }

    // A new reference to a node held elsewhere (the host's borrowed pointers).
    static Ast acquire(gondra_ast_t* ast) noexcept {
        gondra_ast_acquire(ast);
        return Ast{ast};
    }
    // Takes over the reference the host handed out with a new node.
    static Ast adopt(gondra_ast_t* ast) noexcept { return Ast{ast}; }

    gondra_ast_t* get() const noexcept { return ast_; }
    explicit operator bool() const noexcept { return ast_ != nullptr; }
    friend bool operator==(Ast const& a, Ast const& b) noexcept { return a.ast_ == b.ast_; }

    ast_type_t type() const;
    // A new node that shares the children of this one.
    Ast copy() const;
    bool has_attribute(ast_attribute_t attribute) const;

    // Reads of an attribute the node lacks raise "unknown attribute", writes
    // "unknow attribute" (the host's messages); a value of another kind than
    // the attribute holds raises std::bad_cast.
    int number(ast_attribute_t attribute) const;
    void set_number(ast_attribute_t attribute, int value) const;
    symbol_t symbol(ast_attribute_t attribute) const;
    void set_symbol(ast_attribute_t attribute, symbol_t value) const;
    gondra_location_t location(ast_attribute_t attribute) const;
    char const* string(ast_attribute_t attribute) const;
    void set_string(ast_attribute_t attribute, char const* value) const;
    Ast child(ast_attribute_t attribute) const;
    void set_child(ast_attribute_t attribute, Ast const& value) const;
    // An empty handle when the optional child is absent.
    Ast optional_child(ast_attribute_t attribute) const;
    void set_optional_child(ast_attribute_t attribute, Ast const& value) const;
    std::size_t size(ast_attribute_t attribute) const;
    Ast child_at(ast_attribute_t attribute, std::size_t index) const;
    void set_child_at(ast_attribute_t attribute, std::size_t index, Ast const& value) const;
    void erase_at(ast_attribute_t attribute, std::size_t index) const;
    void push_back(ast_attribute_t attribute, Ast const& value) const;

    // The node in the input syntax.
    std::string to_string() const;

private:
    explicit Ast(gondra_ast_t* ast) noexcept : ast_{ast} {}

    void expect_kind(ast_attribute_t attribute, gondra_ast_attribute_type_t kind, bool write) const;

    gondra_ast_t* ast_ = nullptr;
};

// The attributes of a node type with their kinds, in the host's order.
std::span<gondra_ast_argument_t const> ast_arguments(ast_type_t type);

// New variable and symbolic-term nodes; "invalid argument" when the host's
// constructor table has another shape for them.
Ast build_variable(gondra_location_t const& location, char const* name);
Ast build_symbolic_term(gondra_location_t const& location, symbol_t symbol);

// The statements that the expansion of every pool of the statement gives,
// in the host's order.
std::vector<Ast> unpool(Ast const& statement);

} // namespace Tarvex::Host
