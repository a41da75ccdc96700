#include "host/ast.hpp"

#include <stdexcept>
#include <typeinfo>

namespace Tarvex::Host {

ast_type_t Ast::type() const {
    ast_type_t result = 0;
    check(gondra_ast_get_type(ast_, &result));
    return result;
}

Ast Ast::copy() const {
    gondra_ast_t* result = nullptr;
    check(gondra_ast_copy(ast_, &result));
    return adopt(result);
}

bool Ast::has_attribute(ast_attribute_t attribute) const {
    bool result = false;
    check(gondra_ast_has_attribute(ast_, attribute, &result));
    return result;
}

void Ast::expect_kind(ast_attribute_t attribute, gondra_ast_attribute_type_t kind, bool write) const {
    // A write to a missing attribute is left to the host, which reports it
    // with its own message.
    if (write && !has_attribute(attribute)) {
        return;
    }
    gondra_ast_attribute_type_t actual = 0;
    check(gondra_ast_attribute_type(ast_, attribute, &actual));
    if (actual != kind) {
        throw std::bad_cast();
    }
}

int Ast::number(ast_attribute_t attribute) const {
    expect_kind(attribute, gondra_ast_attribute_type_number, false);
    int result = 0;
    check(gondra_ast_attribute_get_number(ast_, attribute, &result));
    return result;
}

void Ast::set_number(ast_attribute_t attribute, int value) const {
    expect_kind(attribute, gondra_ast_attribute_type_number, true);
    check(gondra_ast_attribute_set_number(ast_, attribute, value));
}

symbol_t Ast::symbol(ast_attribute_t attribute) const {
    expect_kind(attribute, gondra_ast_attribute_type_symbol, false);
    symbol_t result = 0;
    check(gondra_ast_attribute_get_symbol(ast_, attribute, &result));
    return result;
}

void Ast::set_symbol(ast_attribute_t attribute, symbol_t value) const {
    expect_kind(attribute, gondra_ast_attribute_type_symbol, true);
    check(gondra_ast_attribute_set_symbol(ast_, attribute, value));
}

gondra_location_t Ast::location(ast_attribute_t attribute) const {
    expect_kind(attribute, gondra_ast_attribute_type_location, false);
    gondra_location_t result{};
    check(gondra_ast_attribute_get_location(ast_, attribute, &result));
    return result;
}

char const* Ast::string(ast_attribute_t attribute) const {
    expect_kind(attribute, gondra_ast_attribute_type_string, false);
    char const* result = nullptr;
    check(gondra_ast_attribute_get_string(ast_, attribute, &result));
    return result;
}

void Ast::set_string(ast_attribute_t attribute, char const* value) const {
    expect_kind(attribute, gondra_ast_attribute_type_string, true);
    check(gondra_ast_attribute_set_string(ast_, attribute, value));
}

Ast Ast::child(ast_attribute_t attribute) const {
    expect_kind(attribute, gondra_ast_attribute_type_ast, false);
    gondra_ast_t* result = nullptr;
    check(gondra_ast_attribute_get_ast(ast_, attribute, &result));
    return acquire(result);
}

void Ast::set_child(ast_attribute_t attribute, Ast const& value) const {
    expect_kind(attribute, gondra_ast_attribute_type_ast, true);
    check(gondra_ast_attribute_set_ast(ast_, attribute, value.get()));
}

Ast Ast::optional_child(ast_attribute_t attribute) const {
    expect_kind(attribute, gondra_ast_attribute_type_optional_ast, false);
    gondra_ast_t* result = nullptr;
    check(gondra_ast_attribute_get_optional_ast(ast_, attribute, &result));
    return acquire(result);
}

void Ast::set_optional_child(ast_attribute_t attribute, Ast const& value) const {
    expect_kind(attribute, gondra_ast_attribute_type_optional_ast, true);
    check(gondra_ast_attribute_set_optional_ast(ast_, attribute, value.get()));
}

std::size_t Ast::size(ast_attribute_t attribute) const {
    expect_kind(attribute, gondra_ast_attribute_type_ast_array, false);
    std::size_t result = 0;
    check(gondra_ast_attribute_size_ast_array(ast_, attribute, &result));
    return result;
}

Ast Ast::child_at(ast_attribute_t attribute, std::size_t index) const {
    expect_kind(attribute, gondra_ast_attribute_type_ast_array, false);
    gondra_ast_t* result = nullptr;
    check(gondra_ast_attribute_get_ast_at(ast_, attribute, index, &result));
    return acquire(result);
}

void Ast::set_child_at(ast_attribute_t attribute, std::size_t index, Ast const& value) const {
    expect_kind(attribute, gondra_ast_attribute_type_ast_array, true);
    check(gondra_ast_attribute_set_ast_at(ast_, attribute, index, value.get()));
}

void Ast::erase_at(ast_attribute_t attribute, std::size_t index) const {
    expect_kind(attribute, gondra_ast_attribute_type_ast_array, true);
    check(gondra_ast_attribute_delete_ast_at(ast_, attribute, index));
}

void Ast::push_back(ast_attribute_t attribute, Ast const& value) const {
    expect_kind(attribute, gondra_ast_attribute_type_ast_array, true);
    check(gondra_ast_attribute_push_ast(ast_, attribute, value.get()));
}

std::string Ast::to_string() const {
    std::size_t size = 0;
    check(gondra_ast_to_string_size(ast_, &size));
    std::string result(size, '\0');
    check(gondra_ast_to_string(ast_, result.data(), size));
    // The size counts the terminating zero.
    if (!result.empty() && result.back() == '\0') {
        result.pop_back();
    }
    return result;
}

std::span<gondra_ast_argument_t const> ast_arguments(ast_type_t type) {
    auto const& table = g_gondra_ast_constructors;
    if (type < 0 || static_cast<std::size_t>(type) >= table.size) {
        throw std::invalid_argument("invalid argument");
    }
    auto const& constructor = table.constructors[type];
    return {constructor.arguments, constructor.size};
}

namespace {

// The variadic build reads its arguments by the table's shape: any other
// shape than the one the caller passes would read garbage.
void expect_shape(ast_type_t type, gondra_ast_attribute_t second, gondra_ast_attribute_type_t second_kind) {
    auto arguments = ast_arguments(type);
    if (arguments.size() != 2 || arguments[0].attribute != gondra_ast_attribute_location ||
        arguments[0].type != gondra_ast_attribute_type_location || arguments[1].attribute != second ||
        arguments[1].type != second_kind) {
        throw std::invalid_argument("invalid argument");
    }
}

} // namespace

Ast build_variable(gondra_location_t const& location, char const* name) {
    expect_shape(gondra_ast_type_variable, gondra_ast_attribute_name, gondra_ast_attribute_type_string);
    gondra_ast_t* result = nullptr;
    check(gondra_ast_build(gondra_ast_type_variable, &result, &location, name));
    return Ast::adopt(result);
}

Ast build_symbolic_term(gondra_location_t const& location, symbol_t symbol) {
    expect_shape(gondra_ast_type_symbolic_term, gondra_ast_attribute_symbol, gondra_ast_attribute_type_symbol);
    gondra_ast_t* result = nullptr;
    check(gondra_ast_build(gondra_ast_type_symbolic_term, &result, &location, symbol));
    return Ast::adopt(result);
}

std::vector<Ast> unpool(Ast const& statement) {
    std::vector<Ast> result;
    auto collect = [](gondra_ast_t* ast, void* data) {
        // The host's alternatives live only during the call.
        return guard([&] { static_cast<std::vector<Ast>*>(data)->push_back(Ast::acquire(ast)); });
    };
    check(gondra_ast_unpool(statement.get(), gondra_ast_unpool_type_all, collect, &result));
    return result;
}

} // namespace Tarvex::Host
