#include "gondra.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string to_string(gondra_ast_t* ast) {
    size_t size = 0;
    EXPECT_TRUE(gondra_ast_to_string_size(ast, &size));
    std::string out(size, '\0');
    EXPECT_TRUE(gondra_ast_to_string(ast, out.data(), size));
    out.resize(size - 1);
    return out;
}

// Collects the statements of a parse (holding a reference to each).
struct Statements {
    std::vector<gondra_ast_t*> nodes;
    ~Statements() {
        for (auto* n : nodes) gondra_ast_release(n);
    }
    static bool add(gondra_ast_t* ast, void* data) {
        gondra_ast_acquire(ast);
        static_cast<Statements*>(data)->nodes.push_back(ast);
        return true;
    }
};

struct Logged {
    std::vector<std::string> messages;
    static void log(gondra_warning_t code, char const* message, void* data) {
        EXPECT_EQ(code, gondra_warning_runtime_error);
        static_cast<Logged*>(data)->messages.emplace_back(message);
    }
};

gondra_ast_t* first_statement(char const* program, Statements& out) {
    EXPECT_TRUE(gondra_ast_parse_string(program, Statements::add, &out, nullptr, nullptr, 0))
        << gondra_error_message();
    return out.nodes.empty() ? nullptr : out.nodes.front();
}

int constructor_index(gondra_ast_type_t type, gondra_ast_attribute_t attribute) {
    auto const& c = g_gondra_ast_constructors.constructors[type];
    for (size_t i = 0; i < c.size; ++i)
        if (c.arguments[i].attribute == attribute) return static_cast<int>(i);
    return -1;
}

} // namespace

TEST(AstApi, ParseReadAndPrint) {
    Statements s;
    gondra_ast_t* rule = first_statement("a(X) :- not b(X), X < 3.", s);
    ASSERT_NE(rule, nullptr);
    gondra_ast_type_t type;
    ASSERT_TRUE(gondra_ast_get_type(rule, &type));
    EXPECT_EQ(type, gondra_ast_type_rule);
    size_t size = 0;
    ASSERT_TRUE(gondra_ast_attribute_size_ast_array(rule, gondra_ast_attribute_body, &size));
    EXPECT_EQ(size, 2u);
    gondra_ast_t* lit = nullptr;
    ASSERT_TRUE(gondra_ast_attribute_get_ast_at(rule, gondra_ast_attribute_body, 0, &lit));
    int sign = -1;
    ASSERT_TRUE(gondra_ast_attribute_get_number(lit, gondra_ast_attribute_sign, &sign));
    EXPECT_EQ(sign, gondra_ast_sign_negation);
    gondra_location_t loc;
    ASSERT_TRUE(gondra_ast_attribute_get_location(lit, gondra_ast_attribute_location, &loc));
    EXPECT_STREQ(loc.begin_file, "<string>");
    EXPECT_EQ(loc.begin_column, 9u);
    EXPECT_EQ(loc.end_column, 17u);
    EXPECT_EQ(to_string(rule), "a(X) :- not b(X), X<3.");

    // Edit through the interface: drop the comparison, flip the sign.
    ASSERT_TRUE(gondra_ast_attribute_delete_ast_at(rule, gondra_ast_attribute_body, 1));
    ASSERT_TRUE(gondra_ast_attribute_set_number(lit, gondra_ast_attribute_sign, gondra_ast_sign_double_negation));
    EXPECT_EQ(to_string(rule), "a(X) :- not not b(X).");
    EXPECT_FALSE(gondra_ast_attribute_get_ast_at(rule, gondra_ast_attribute_body, 1, &lit));
}

TEST(AstApi, AttributeErrorsHaveFixedMessages) {
    Statements s;
    gondra_ast_t* rule = first_statement("a.", s);
    gondra_ast_t* out = nullptr;
    bool has = true;
    ASSERT_TRUE(gondra_ast_has_attribute(rule, gondra_ast_attribute_guard, &has));
    EXPECT_FALSE(has);
    EXPECT_FALSE(gondra_ast_attribute_get_ast(rule, gondra_ast_attribute_guard, &out));
    EXPECT_EQ(gondra_error_code(), gondra_error_runtime);
    EXPECT_STREQ(gondra_error_message(), "unknown attribute");
    EXPECT_FALSE(gondra_ast_attribute_set_number(rule, gondra_ast_attribute_sign, 1));
    EXPECT_STREQ(gondra_error_message(), "unknow attribute");
    // The head exists but holds a node, not a number.
    int number = 0;
    EXPECT_FALSE(gondra_ast_attribute_get_number(rule, gondra_ast_attribute_head, &number));
    EXPECT_EQ(gondra_error_code(), gondra_error_logic);
    gondra_ast_attribute_type_t kind;
    ASSERT_TRUE(gondra_ast_attribute_type(rule, gondra_ast_attribute_head, &kind));
    EXPECT_EQ(kind, gondra_ast_attribute_type_ast);
}

TEST(AstApi, BuildVariableAndSymbolicTermFromTheTable) {
    // The shapes other libraries rely on when they build nodes.
    auto const& var = g_gondra_ast_constructors.constructors[gondra_ast_type_variable];
    ASSERT_EQ(var.size, 2u);
    EXPECT_EQ(var.arguments[0].type, gondra_ast_attribute_type_location);
    EXPECT_EQ(var.arguments[1].type, gondra_ast_attribute_type_string);
    auto const& sym = g_gondra_ast_constructors.constructors[gondra_ast_type_symbolic_term];
    ASSERT_EQ(sym.size, 2u);
    EXPECT_EQ(sym.arguments[1].type, gondra_ast_attribute_type_symbol);
    EXPECT_EQ(constructor_index(gondra_ast_type_theory_atom, gondra_ast_attribute_guard), 3);

    gondra_location_t loc{"x.lp", "x.lp", 1, 1, 1, 2};
    gondra_ast_t* variable = nullptr;
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_variable, &variable, &loc, "Y"));
    gondra_symbol_t number;
    gondra_symbol_create_number(7, &number);
    gondra_ast_t* term = nullptr;
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_symbolic_term, &term, &loc, number));
    gondra_ast_t* args[] = {variable, term};
    gondra_ast_t* function = nullptr;
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_function, &function, &loc, "f", args, size_t{2}, 0));
    gondra_ast_release(variable);
    gondra_ast_release(term);
    EXPECT_EQ(to_string(function), "f(Y,7)");

    // Copies: a shallow copy shares children, a deep copy does not, both compare equal.
    gondra_ast_t *shallow = nullptr, *deep = nullptr, *child = nullptr, *deep_child = nullptr;
    ASSERT_TRUE(gondra_ast_copy(function, &shallow));
    ASSERT_TRUE(gondra_ast_deep_copy(function, &deep));
    ASSERT_TRUE(gondra_ast_attribute_get_ast_at(shallow, gondra_ast_attribute_arguments, 0, &child));
    ASSERT_TRUE(gondra_ast_attribute_get_ast_at(deep, gondra_ast_attribute_arguments, 0, &deep_child));
    EXPECT_EQ(child, variable);
    EXPECT_NE(deep_child, variable);
    EXPECT_TRUE(gondra_ast_equal(function, deep));
    EXPECT_EQ(gondra_ast_hash(function), gondra_ast_hash(deep));
    ASSERT_TRUE(gondra_ast_attribute_set_string(deep_child, gondra_ast_attribute_name, "Z"));
    EXPECT_FALSE(gondra_ast_equal(function, deep));
    EXPECT_EQ(to_string(shallow), "f(Y,7)");
    gondra_ast_release(shallow);
    gondra_ast_release(deep);
    gondra_ast_release(function);

    // A missing node argument is rejected.
    gondra_ast_t* bad = nullptr;
    EXPECT_FALSE(gondra_ast_build(gondra_ast_type_symbolic_atom, &bad, static_cast<gondra_ast_t*>(nullptr)));
}

TEST(AstApi, UnpoolThroughTheInterface) {
    Statements s;
    gondra_ast_t* rule = first_statement("&sum { x : p(1;2) } :- q(a;b).", s);
    Statements out;
    ASSERT_TRUE(gondra_ast_unpool(rule, gondra_ast_unpool_type_all, Statements::add, &out));
    ASSERT_EQ(out.nodes.size(), 2u);
    EXPECT_EQ(to_string(out.nodes[0]), "&sum { x : p(1); x : p(2) } :- q(a).");
    EXPECT_EQ(to_string(out.nodes[1]), "&sum { x : p(1); x : p(2) } :- q(b).");
}

TEST(AstApi, ParseErrorsGoToTheLoggerAndFailTheCall) {
    Logged logged;
    Statements s;
    EXPECT_FALSE(gondra_ast_parse_string("a :- .\nb.\nc(.", Statements::add, &s, Logged::log, &logged, 0));
    ASSERT_EQ(logged.messages.size(), 2u);
    EXPECT_EQ(logged.messages[0], "<string>:1:6-7: error: syntax error, unexpected '.', expected term");
    EXPECT_EQ(logged.messages[1], "<string>:3:3-4: error: syntax error, unexpected '.', expected term");
    EXPECT_EQ(s.nodes.size(), 1u);
    EXPECT_EQ(gondra_error_code(), gondra_error_runtime);

    // A failing callback stops the parse and its error is kept.
    auto refuse = [](gondra_ast_t*, void*) {
        gondra_set_error(gondra_error_logic, "refused");
        return false;
    };
    EXPECT_FALSE(gondra_ast_parse_string("a. b.", refuse, nullptr, nullptr, nullptr, 0));
    EXPECT_STREQ(gondra_error_message(), "refused");
}

TEST(AstApi, StringArraysOfUnparsedTheoryTerms) {
    Statements s;
    gondra_ast_t* rule = first_statement("&a { - x + y }.", s);
    gondra_ast_t *atom = nullptr, *element = nullptr, *term = nullptr, *part = nullptr;
    ASSERT_TRUE(gondra_ast_attribute_get_ast(rule, gondra_ast_attribute_head, &atom));
    ASSERT_TRUE(gondra_ast_attribute_get_ast_at(atom, gondra_ast_attribute_elements, 0, &element));
    ASSERT_TRUE(gondra_ast_attribute_get_ast_at(element, gondra_ast_attribute_terms, 0, &term));
    ASSERT_TRUE(gondra_ast_attribute_get_ast_at(term, gondra_ast_attribute_elements, 0, &part));
    size_t size = 0;
    ASSERT_TRUE(gondra_ast_attribute_size_string_array(part, gondra_ast_attribute_operators, &size));
    ASSERT_EQ(size, 1u);
    ASSERT_TRUE(gondra_ast_attribute_insert_string_at(part, gondra_ast_attribute_operators, 1, "~"));
    ASSERT_TRUE(gondra_ast_attribute_set_string_at(part, gondra_ast_attribute_operators, 0, "+"));
    EXPECT_EQ(to_string(rule), "&a { + ~ x + y }.");
    ASSERT_TRUE(gondra_ast_attribute_delete_string_at(part, gondra_ast_attribute_operators, 0));
    EXPECT_FALSE(gondra_ast_attribute_insert_string_at(part, gondra_ast_attribute_operators, 5, "-"));
    EXPECT_EQ(to_string(rule), "&a { ~ x + y }.");
    // No guard yet: the optional node is null, and one can be set.
    gondra_ast_t* guard = reinterpret_cast<gondra_ast_t*>(1);
    ASSERT_TRUE(gondra_ast_attribute_get_optional_ast(atom, gondra_ast_attribute_guard, &guard));
    EXPECT_EQ(guard, nullptr);
    gondra_symbol_t three;
    gondra_symbol_create_number(3, &three);
    gondra_location_t loc{"", "", 1, 1, 1, 1};
    gondra_ast_t *value = nullptr, *new_guard = nullptr;
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_symbolic_term, &value, &loc, three));
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_theory_guard, &new_guard, "<=", value));
    ASSERT_TRUE(gondra_ast_attribute_set_optional_ast(atom, gondra_ast_attribute_guard, new_guard));
    gondra_ast_release(value);
    gondra_ast_release(new_guard);
    EXPECT_EQ(to_string(rule), "&a { ~ x + y } <= 3.");
}

TEST(AstApi, MissingFileIsALocatedError) {
    Logged logged;
    char const* files[] = {"/nonexistent/input.lp"};
    EXPECT_FALSE(gondra_ast_parse_files(files, 1, nullptr, nullptr, Logged::log, &logged, 0));
    ASSERT_EQ(logged.messages.size(), 1u);
    EXPECT_EQ(logged.messages[0], "/nonexistent/input.lp:1:1-1: error: cannot read file '/nonexistent/input.lp'");
}
