// The C interface of syntax trees: a thin layer over Gondra::Input nodes.

#include "capi/api_guard.hpp"
#include "gondra.h"
#include "input/ast.hpp"
#include "input/ast_printer.hpp"
#include "input/parser.hpp"
#include "input/program.hpp"
#include "input/unpool.hpp"

#include <cstdarg>
#include <cstring>
#include <stdexcept>
#include <unordered_set>
#include <vector>

using namespace Gondra::Input;
using Gondra::CApi::guard;

namespace {

static_assert(gondra_ast_type_theory_definition == static_cast<int>(AstType::TheoryDefinition));
static_assert(gondra_ast_type_rule == static_cast<int>(AstType::Rule));
static_assert(gondra_ast_type_theory_atom == static_cast<int>(AstType::TheoryAtom));
static_assert(gondra_ast_attribute_weight == static_cast<int>(Attribute::Weight));
static_assert(gondra_ast_attribute_location == static_cast<int>(Attribute::Location));
static_assert(gondra_ast_attribute_type_ast_array == static_cast<int>(AttributeKind::AstArray));
static_assert(gondra_ast_sign_double_negation == static_cast<int>(Sign::DoubleNegation));
static_assert(static_cast<unsigned>(gondra_ast_unpool_type_condition) == static_cast<unsigned>(UnpoolCondition) &&
              static_cast<unsigned>(gondra_ast_unpool_type_other) == static_cast<unsigned>(UnpoolOther));
static_assert(sizeof(gondra_location_t) == sizeof(Location));

Node* node_of(gondra_ast_t* ast) {
    if (!ast) throw std::invalid_argument("null syntax tree");
    return reinterpret_cast<Node*>(ast);
}
gondra_ast_t* handle_of(Node* node) { return reinterpret_cast<gondra_ast_t*>(node); }
NodePtr ptr_of(gondra_ast_t* ast) { return NodePtr{node_of(ast)}; }

// Out-parameters are checked before anything is written through them.
template <class T> T& out(T* p) {
    if (!p) throw std::invalid_argument("null output");
    return *p;
}

// True when target is root or one of its descendants. Trees may share
// subtrees, so every node is visited once.
bool reaches(Node const& root, Node const* target) {
    std::vector<Node const*> stack{&root};
    std::unordered_set<Node const*> seen{&root};
    auto push = [&](Node const* n) {
        if (seen.insert(n).second) stack.push_back(n);
    };
    while (!stack.empty()) {
        Node const* n = stack.back();
        stack.pop_back();
        if (n == target) return true;
        for (size_t i = 0; i < n->size(); ++i) {
            Value const& v = n->value_at(i);
            if (auto const* c = std::get_if<NodePtr>(&v)) {
                push(c->get());
            } else if (auto const* o = std::get_if<OptionalNode>(&v)) {
                if (o->node) push(o->node.get());
            } else if (auto const* a = std::get_if<NodeArray>(&v)) {
                for (auto const& e : *a) push(e.get());
            }
        }
    }
    return false;
}

// A child that contains its new parent would make a cycle: the tree could
// never be freed and printing or copying it would not end.
NodePtr child_of(gondra_ast_t* parent, gondra_ast_t* child) {
    NodePtr p = ptr_of(child);
    if (reaches(*p, node_of(parent))) throw std::invalid_argument("a syntax tree cannot contain itself");
    return p;
}

// Hands out the reference held by p.
gondra_ast_t* release_to_client(NodePtr p) { return handle_of(p.release()); }

Location location_of(gondra_location_t const* loc) {
    if (!loc) throw std::invalid_argument("null location");
    return Location{intern(loc->begin_file ? loc->begin_file : ""),
                    intern(loc->end_file ? loc->end_file : ""),
                    loc->begin_line,
                    loc->end_line,
                    loc->begin_column,
                    loc->end_column};
}

char const* string_of(char const* s) {
    if (!s) throw std::invalid_argument("null string");
    return intern(s);
}

// Attribute slots: reads of a missing attribute and writes of one have their own messages.
Value& read_slot(gondra_ast_t* ast, gondra_ast_attribute_t attribute) {
    Node* n = node_of(ast);
    int index = attribute_index(n->type(), static_cast<Attribute>(attribute));
    if (index < 0) throw std::runtime_error("unknown attribute");
    return n->value_at(static_cast<size_t>(index));
}
Value& write_slot(gondra_ast_t* ast, gondra_ast_attribute_t attribute) {
    Node* n = node_of(ast);
    int index = attribute_index(n->type(), static_cast<Attribute>(attribute));
    if (index < 0) throw std::runtime_error("unknow attribute");
    return n->value_at(static_cast<size_t>(index));
}

template <class T> T& as(Value& v) {
    if (auto* p = std::get_if<T>(&v)) return *p;
    throw std::logic_error("attribute has another type");
}

size_t checked_index(size_t index, size_t size) {
    if (index >= size) throw std::out_of_range("index out of range");
    return index;
}

std::vector<char const*> strings_of(char const* const* values, size_t size) {
    if (size > 0 && !values) throw std::invalid_argument("null array");
    std::vector<char const*> out;
    for (size_t i = 0; i < size; ++i) out.push_back(string_of(values[i]));
    return out;
}

NodeArray nodes_of(gondra_ast_t* const* values, size_t size) {
    if (size > 0 && !values) throw std::invalid_argument("null array");
    NodeArray out;
    for (size_t i = 0; i < size; ++i) out.push_back(ptr_of(values[i]));
    return out;
}

bool report_parse(Messages const& messages) {
    if (messages.empty()) return true;
    gondra_set_error(gondra_error_runtime, ("parsing failed\n" + messages.text()).c_str());
    return false;
}

template <class Run>
bool parse_with(gondra_ast_callback_t callback, void* data, gondra_logger_t logger, void* logger_data,
                unsigned limit, Run run) {
    bool client_failed = false;
    bool ok = guard([&] {
        unsigned sent = 0;
        Messages messages{[&](Message const& m) {
            // The notice that the parse gave up always follows the errors it ends.
            if (logger && (limit == 0 || sent < limit || m.too_many)) {
                ++sent;
                logger(gondra_warning_runtime_error, m.format().c_str(), logger_data);
            }
        }};
        Parser parser{messages, [&](NodePtr const& statement) {
                          if (!callback) return true;
                          if (callback(handle_of(statement.get()), data)) return true;
                          client_failed = true;
                          return false;
                      }};
        run(parser);
        if (client_failed) return;
        if (!report_parse(messages)) throw Gondra::CApi::ClientError{};
    });
    return ok && !client_failed;
}

// The table the C interface exports, built once from the internal one.
struct ExportedTable {
    std::vector<std::vector<gondra_ast_argument_t>> arguments;
    std::vector<gondra_ast_constructor_t> constructors;
    ExportedTable() {
        arguments.resize(ast_type_count);
        for (int t = 0; t < ast_type_count; ++t) {
            auto const& shape = constructor(static_cast<AstType>(t));
            for (auto const& a : shape.arguments)
                arguments[t].push_back({static_cast<int>(a.attribute), static_cast<int>(a.kind)});
            constructors.push_back({shape.name, arguments[t].data(), arguments[t].size()});
        }
    }
};

ExportedTable const& exported_table() {
    static ExportedTable const table;
    return table;
}

} // namespace

extern "C" {

gondra_ast_constructors_t const g_gondra_ast_constructors{exported_table().constructors.data(),
                                                          exported_table().constructors.size()};
char const* const g_gondra_ast_attribute_names[] = {
    "argument",  "arguments",     "arity",         "atom",      "atom_type",   "atoms",      "body",
    "comparison", "condition",    "elements",      "external",  "function",    "guard",      "head",
    "is_default", "left",         "left_guard",    "literal",   "location",    "name",       "operator_name",
    "operator_type", "operators", "parameters",    "positive",  "priority",    "right",      "right_guard",
    "sequence_type", "sign",      "symbol",        "term",      "terms",       "value",      "weight",
};
size_t const g_gondra_ast_attribute_names_size = sizeof(g_gondra_ast_attribute_names) / sizeof(char const*);
static_assert(sizeof(g_gondra_ast_attribute_names) / sizeof(char const*) == attribute_count);

bool gondra_ast_build(gondra_ast_type_t type, gondra_ast_t** ast, ...) {
    va_list args;
    va_start(args, ast);
    bool ok = guard([&] {
        if (!ast) throw std::invalid_argument("null output");
        if (type < 0 || type >= ast_type_count) throw std::invalid_argument("invalid node type");
        std::vector<Value> values;
        for (auto const& a : constructor(static_cast<AstType>(type)).arguments) {
            switch (a.kind) {
            case AttributeKind::Number: values.emplace_back(va_arg(args, int)); break;
            case AttributeKind::Symbol:
                values.emplace_back(SymbolValue{Gondra::Symbols::Symbol::from_rep(va_arg(args, gondra_symbol_t))});
                break;
            case AttributeKind::Location: values.emplace_back(location_of(va_arg(args, gondra_location_t const*))); break;
            case AttributeKind::String: values.emplace_back(string_of(va_arg(args, char const*))); break;
            case AttributeKind::Ast: values.emplace_back(ptr_of(va_arg(args, gondra_ast_t*))); break;
            case AttributeKind::OptionalAst: {
                gondra_ast_t* p = va_arg(args, gondra_ast_t*);
                values.emplace_back(OptionalNode{p ? ptr_of(p) : NodePtr{}});
                break;
            }
            case AttributeKind::StringArray: {
                auto* data = va_arg(args, char const* const*);
                size_t size = va_arg(args, size_t);
                values.emplace_back(strings_of(data, size));
                break;
            }
            case AttributeKind::AstArray: {
                auto* data = va_arg(args, gondra_ast_t* const*);
                size_t size = va_arg(args, size_t);
                values.emplace_back(nodes_of(data, size));
                break;
            }
            }
        }
        *ast = release_to_client(make_node(static_cast<AstType>(type), std::move(values)));
    });
    va_end(args);
    return ok;
}

void gondra_ast_acquire(gondra_ast_t* ast) {
    if (ast) node_of(ast)->acquire();
}

void gondra_ast_release(gondra_ast_t* ast) {
    if (ast) node_of(ast)->release();
}

bool gondra_ast_copy(gondra_ast_t* ast, gondra_ast_t** copy) {
    return guard([&] {
        auto& result = out(copy);
        result = release_to_client(shallow_copy(*node_of(ast)));
    });
}

bool gondra_ast_deep_copy(gondra_ast_t* ast, gondra_ast_t** copy) {
    return guard([&] {
        auto& result = out(copy);
        result = release_to_client(deep_copy(*node_of(ast)));
    });
}

// These cannot report errors; a null tree orders before every tree.
bool gondra_ast_equal(gondra_ast_t* a, gondra_ast_t* b) {
    if (!a || !b) return a == b;
    return ast_equal(*node_of(a), *node_of(b));
}
bool gondra_ast_less_than(gondra_ast_t* a, gondra_ast_t* b) {
    if (!a || !b) return !a && b;
    return ast_less(*node_of(a), *node_of(b));
}
size_t gondra_ast_hash(gondra_ast_t* ast) { return ast ? ast_hash(*node_of(ast)) : 0; }

bool gondra_ast_to_string_size(gondra_ast_t* ast, size_t* size) {
    return guard([&] { out(size) = ast_to_string(*node_of(ast)).size() + 1; });
}

bool gondra_ast_to_string(gondra_ast_t* ast, char* string, size_t size) {
    return guard([&] {
        std::string text = ast_to_string(*node_of(ast));
        if (!string) throw std::invalid_argument("null output");
        if (size < text.size() + 1) throw std::length_error("string buffer too small");
        std::memcpy(string, text.c_str(), text.size() + 1);
    });
}

bool gondra_ast_get_type(gondra_ast_t* ast, gondra_ast_type_t* type) {
    return guard([&] { out(type) = static_cast<int>(node_of(ast)->type()); });
}

bool gondra_ast_has_attribute(gondra_ast_t* ast, gondra_ast_attribute_t attribute, bool* has_attribute) {
    return guard([&] { out(has_attribute) = attribute_index(node_of(ast)->type(), static_cast<Attribute>(attribute)) >= 0; });
}

bool gondra_ast_attribute_type(gondra_ast_t* ast, gondra_ast_attribute_t attribute, gondra_ast_attribute_type_t* type) {
    return guard([&] { out(type) = static_cast<int>(read_slot(ast, attribute).index()); });
}

bool gondra_ast_attribute_get_number(gondra_ast_t* ast, gondra_ast_attribute_t attribute, int* value) {
    return guard([&] { out(value) = as<int>(read_slot(ast, attribute)); });
}
bool gondra_ast_attribute_set_number(gondra_ast_t* ast, gondra_ast_attribute_t attribute, int value) {
    return guard([&] { as<int>(write_slot(ast, attribute)) = value; });
}

bool gondra_ast_attribute_get_symbol(gondra_ast_t* ast, gondra_ast_attribute_t attribute, gondra_symbol_t* value) {
    return guard([&] { out(value) = as<SymbolValue>(read_slot(ast, attribute)).symbol.rep(); });
}
bool gondra_ast_attribute_set_symbol(gondra_ast_t* ast, gondra_ast_attribute_t attribute, gondra_symbol_t value) {
    return guard([&] {
        as<SymbolValue>(write_slot(ast, attribute)).symbol = Gondra::Symbols::Symbol::from_rep(value);
    });
}

bool gondra_ast_attribute_get_location(gondra_ast_t* ast, gondra_ast_attribute_t attribute, gondra_location_t* value) {
    return guard([&] {
        Location const& loc = as<Location>(read_slot(ast, attribute));
        out(value) = gondra_location_t{loc.begin_file, loc.end_file,       loc.begin_line,
                                   loc.end_line,   loc.begin_column,   loc.end_column};
    });
}
bool gondra_ast_attribute_set_location(gondra_ast_t* ast, gondra_ast_attribute_t attribute,
                                       gondra_location_t const* value) {
    return guard([&] {
        Location& slot = as<Location>(write_slot(ast, attribute));
        slot = location_of(value);
    });
}

bool gondra_ast_attribute_get_string(gondra_ast_t* ast, gondra_ast_attribute_t attribute, char const** value) {
    return guard([&] { out(value) = as<char const*>(read_slot(ast, attribute)); });
}
bool gondra_ast_attribute_set_string(gondra_ast_t* ast, gondra_ast_attribute_t attribute, char const* value) {
    return guard([&] {
        char const*& slot = as<char const*>(write_slot(ast, attribute));
        slot = string_of(value);
    });
}

bool gondra_ast_attribute_get_ast(gondra_ast_t* ast, gondra_ast_attribute_t attribute, gondra_ast_t** value) {
    return guard([&] { out(value) = handle_of(as<NodePtr>(read_slot(ast, attribute)).get()); });
}
bool gondra_ast_attribute_set_ast(gondra_ast_t* ast, gondra_ast_attribute_t attribute, gondra_ast_t* value) {
    return guard([&] {
        auto& slot = as<NodePtr>(write_slot(ast, attribute));
        slot = child_of(ast, value);
    });
}

bool gondra_ast_attribute_get_optional_ast(gondra_ast_t* ast, gondra_ast_attribute_t attribute, gondra_ast_t** value) {
    return guard([&] { out(value) = handle_of(as<OptionalNode>(read_slot(ast, attribute)).node.get()); });
}
bool gondra_ast_attribute_set_optional_ast(gondra_ast_t* ast, gondra_ast_attribute_t attribute, gondra_ast_t* value) {
    return guard([&] {
        auto& slot = as<OptionalNode>(write_slot(ast, attribute));
        slot.node = value ? child_of(ast, value) : NodePtr{};
    });
}

bool gondra_ast_attribute_size_string_array(gondra_ast_t* ast, gondra_ast_attribute_t attribute, size_t* size) {
    return guard([&] { out(size) = as<StringArray>(read_slot(ast, attribute)).size(); });
}
bool gondra_ast_attribute_get_string_at(gondra_ast_t* ast, gondra_ast_attribute_t attribute, size_t index,
                                        char const** value) {
    return guard([&] {
        auto& a = as<StringArray>(read_slot(ast, attribute));
        out(value) = a[checked_index(index, a.size())];
    });
}
bool gondra_ast_attribute_set_string_at(gondra_ast_t* ast, gondra_ast_attribute_t attribute, size_t index,
                                        char const* value) {
    return guard([&] {
        auto& a = as<StringArray>(write_slot(ast, attribute));
        a[checked_index(index, a.size())] = string_of(value);
    });
}
bool gondra_ast_attribute_delete_string_at(gondra_ast_t* ast, gondra_ast_attribute_t attribute, size_t index) {
    return guard([&] {
        auto& a = as<StringArray>(write_slot(ast, attribute));
        a.erase(a.begin() + static_cast<std::ptrdiff_t>(checked_index(index, a.size())));
    });
}
bool gondra_ast_attribute_insert_string_at(gondra_ast_t* ast, gondra_ast_attribute_t attribute, size_t index,
                                           char const* value) {
    return guard([&] {
        auto& a = as<StringArray>(write_slot(ast, attribute));
        char const* s = string_of(value);
        a.insert(a.begin() + static_cast<std::ptrdiff_t>(checked_index(index, a.size() + 1)), s);
    });
}

bool gondra_ast_attribute_size_ast_array(gondra_ast_t* ast, gondra_ast_attribute_t attribute, size_t* size) {
    return guard([&] { out(size) = as<NodeArray>(read_slot(ast, attribute)).size(); });
}
bool gondra_ast_attribute_get_ast_at(gondra_ast_t* ast, gondra_ast_attribute_t attribute, size_t index,
                                     gondra_ast_t** value) {
    return guard([&] {
        auto& a = as<NodeArray>(read_slot(ast, attribute));
        out(value) = handle_of(a[checked_index(index, a.size())].get());
    });
}
bool gondra_ast_attribute_set_ast_at(gondra_ast_t* ast, gondra_ast_attribute_t attribute, size_t index,
                                     gondra_ast_t* value) {
    return guard([&] {
        auto& a = as<NodeArray>(write_slot(ast, attribute));
        size_t i = checked_index(index, a.size());
        a[i] = child_of(ast, value);
    });
}
bool gondra_ast_attribute_delete_ast_at(gondra_ast_t* ast, gondra_ast_attribute_t attribute, size_t index) {
    return guard([&] {
        auto& a = as<NodeArray>(write_slot(ast, attribute));
        a.erase(a.begin() + static_cast<std::ptrdiff_t>(checked_index(index, a.size())));
    });
}
bool gondra_ast_attribute_insert_ast_at(gondra_ast_t* ast, gondra_ast_attribute_t attribute, size_t index,
                                        gondra_ast_t* value) {
    return guard([&] {
        auto& a = as<NodeArray>(write_slot(ast, attribute));
        NodePtr p = child_of(ast, value);
        a.insert(a.begin() + static_cast<std::ptrdiff_t>(checked_index(index, a.size() + 1)), std::move(p));
    });
}
bool gondra_ast_attribute_push_ast(gondra_ast_t* ast, gondra_ast_attribute_t attribute, gondra_ast_t* value) {
    return guard([&] {
        auto& a = as<NodeArray>(write_slot(ast, attribute));
        a.push_back(child_of(ast, value));
    });
}

bool gondra_ast_unpool(gondra_ast_t* ast, gondra_ast_unpool_type_bitset_t unpool_type, gondra_ast_callback_t callback,
                       void* callback_data) {
    return guard([&] {
        if (!callback) throw std::invalid_argument("null callback");
        auto alternatives = unpool(ptr_of(ast), static_cast<unsigned>(unpool_type));
        for (auto const& alt : alternatives) {
            Gondra::CApi::check_client(callback(handle_of(alt.get()), callback_data));
        }
    });
}

bool gondra_ast_parse_string(char const* program, gondra_ast_callback_t callback, void* callback_data,
                             gondra_logger_t logger, void* logger_data, unsigned message_limit) {
    if (!program) {
        gondra_set_error(gondra_error_logic, "null program text");
        return false;
    }
    return parse_with(callback, callback_data, logger, logger_data, message_limit,
                      [&](Parser& parser) { parser.parse_string(program); });
}

bool gondra_ast_parse_files(char const* const* files, size_t size, gondra_ast_callback_t callback,
                            void* callback_data, gondra_logger_t logger, void* logger_data, unsigned message_limit) {
    if (size > 0 && !files) {
        gondra_set_error(gondra_error_logic, "null file list");
        return false;
    }
    return parse_with(callback, callback_data, logger, logger_data, message_limit, [&](Parser& parser) {
        if (size == 0) {
            parser.parse_file("-");
            return;
        }
        for (size_t i = 0; i < size && !parser.stopped(); ++i) parser.parse_file(files[i]);
    });
}

bool gondra_program_builder_begin(gondra_program_builder_t* builder) {
    return guard([&] {
        if (!builder) throw std::invalid_argument("null program builder");
        builder->builder.begin();
    });
}

bool gondra_program_builder_add(gondra_program_builder_t* builder, gondra_ast_t* statement) {
    return guard([&] {
        if (!builder) throw std::invalid_argument("null program builder");
        builder->builder.add(ptr_of(statement));
    });
}

bool gondra_program_builder_end(gondra_program_builder_t* builder) {
    return guard([&] {
        if (!builder) throw std::invalid_argument("null program builder");
        builder->builder.end();
    });
}

} // extern "C"
