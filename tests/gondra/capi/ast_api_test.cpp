#include "gondra.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
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

namespace {

gondra_location_t const loc{"b.lp", "b.lp", 2, 2, 3, 4};

// An owning handle for nodes the test builds.
struct Owned {
    gondra_ast_t* node = nullptr;
    Owned() = default;
    Owned(Owned const&) = delete;
    ~Owned() { gondra_ast_release(node); }
};

gondra_ast_t* build_id(Owned& out, char const* name) {
    EXPECT_TRUE(gondra_ast_build(gondra_ast_type_id, &out.node, &loc, name)) << gondra_error_message();
    return out.node;
}

gondra_ast_t* build_number(Owned& out, int value) {
    gondra_symbol_t symbol;
    gondra_symbol_create_number(value, &symbol);
    EXPECT_TRUE(gondra_ast_build(gondra_ast_type_symbolic_term, &out.node, &loc, symbol)) << gondra_error_message();
    return out.node;
}

gondra_ast_t* build_function(Owned& out, char const* name, std::vector<gondra_ast_t*> args) {
    EXPECT_TRUE(gondra_ast_build(gondra_ast_type_function, &out.node, &loc, name, args.data(), args.size(), 0))
        << gondra_error_message();
    return out.node;
}

void expect_failure(bool ok, gondra_error_t code, char const* message) {
    EXPECT_FALSE(ok);
    EXPECT_EQ(gondra_error_code(), code);
    if (message) {
        EXPECT_STREQ(gondra_error_message(), message);
    }
}

} // namespace

TEST(AstApi, ScalarAttributesReadBackWhatWasWritten) {
    Owned term;
    gondra_ast_t* t = build_number(term, 4);
    // symbol
    gondra_symbol_t sup, read;
    gondra_symbol_create_supremum(&sup);
    ASSERT_TRUE(gondra_ast_attribute_set_symbol(t, gondra_ast_attribute_symbol, sup));
    ASSERT_TRUE(gondra_ast_attribute_get_symbol(t, gondra_ast_attribute_symbol, &read));
    EXPECT_TRUE(gondra_symbol_is_equal_to(read, sup));
    EXPECT_EQ(to_string(t), "#sup");
    // location: files are copied, so the caller's buffer may go away
    std::string file = "moved.lp";
    gondra_location_t where{file.c_str(), file.c_str(), 7, 8, 9, 10};
    ASSERT_TRUE(gondra_ast_attribute_set_location(t, gondra_ast_attribute_location, &where));
    file.assign("overwritten");
    gondra_location_t back{};
    ASSERT_TRUE(gondra_ast_attribute_get_location(t, gondra_ast_attribute_location, &back));
    EXPECT_STREQ(back.begin_file, "moved.lp");
    EXPECT_STREQ(back.end_file, "moved.lp");
    EXPECT_EQ(back.begin_line, 7u);
    EXPECT_EQ(back.end_line, 8u);
    EXPECT_EQ(back.begin_column, 9u);
    EXPECT_EQ(back.end_column, 10u);
    expect_failure(gondra_ast_attribute_set_location(t, gondra_ast_attribute_location, nullptr), gondra_error_logic,
                   nullptr);

    // string and number
    Owned def_value, def;
    build_number(def_value, 1);
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_definition, &def.node, &loc, "n", def_value.node, 1));
    std::string name = "m";
    ASSERT_TRUE(gondra_ast_attribute_set_string(def.node, gondra_ast_attribute_name, name.c_str()));
    name.assign("x");
    ASSERT_TRUE(gondra_ast_attribute_set_number(def.node, gondra_ast_attribute_is_default, 0));
    char const* s = nullptr;
    int number = -1;
    ASSERT_TRUE(gondra_ast_attribute_get_string(def.node, gondra_ast_attribute_name, &s));
    ASSERT_TRUE(gondra_ast_attribute_get_number(def.node, gondra_ast_attribute_is_default, &number));
    EXPECT_STREQ(s, "m");
    EXPECT_EQ(number, 0);
    EXPECT_EQ(to_string(def.node), "#const m = 1 [override].");
    expect_failure(gondra_ast_attribute_set_string(def.node, gondra_ast_attribute_name, nullptr), gondra_error_logic,
                   nullptr);

    // Wrong kinds in both directions are logic errors and change nothing.
    expect_failure(gondra_ast_attribute_set_number(def.node, gondra_ast_attribute_name, 3), gondra_error_logic,
                   "attribute has another type");
    expect_failure(gondra_ast_attribute_get_string(def.node, gondra_ast_attribute_value, &s), gondra_error_logic,
                   "attribute has another type");
    expect_failure(gondra_ast_attribute_set_symbol(def.node, gondra_ast_attribute_symbol, sup), gondra_error_runtime,
                   "unknow attribute");
    EXPECT_EQ(to_string(def.node), "#const m = 1 [override].");
    // Attributes outside the enumeration are unknown, not out-of-bounds reads.
    bool has = true;
    ASSERT_TRUE(gondra_ast_has_attribute(def.node, 1000, &has));
    EXPECT_FALSE(has);
    expect_failure(gondra_ast_attribute_get_number(def.node, -1, &number), gondra_error_runtime, "unknown attribute");
}

TEST(AstApi, NodeAndOptionalNodeAttributes) {
    Owned x, y, one, interval;
    build_id(x, "x");
    build_number(one, 1);
    build_number(y, 9);
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_interval, &interval.node, &loc, one.node, y.node));
    EXPECT_EQ(to_string(interval.node), "1..9");

    // A written node is shared and kept alive by its parent.
    Owned five;
    build_number(five, 5);
    ASSERT_TRUE(gondra_ast_attribute_set_ast(interval.node, gondra_ast_attribute_right, five.node));
    gondra_ast_release(five.node);
    five.node = nullptr;
    EXPECT_EQ(to_string(interval.node), "1..5");
    gondra_ast_t* right = nullptr;
    ASSERT_TRUE(gondra_ast_attribute_get_ast(interval.node, gondra_ast_attribute_right, &right));
    EXPECT_EQ(to_string(right), "5");
    // A required node cannot be removed.
    expect_failure(gondra_ast_attribute_set_ast(interval.node, gondra_ast_attribute_left, nullptr), gondra_error_logic,
                   nullptr);

    // Optional nodes: a choice with guards set, read and cleared.
    Owned choice, guard;
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_aggregate, &choice.node, &loc, nullptr, nullptr, size_t{0}, nullptr));
    EXPECT_EQ(to_string(choice.node), "{}");
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_aggregate_guard, &guard.node,
                                 int{gondra_ast_comparison_operator_less_equal}, one.node));
    ASSERT_TRUE(gondra_ast_attribute_set_optional_ast(choice.node, gondra_ast_attribute_left_guard, guard.node));
    ASSERT_TRUE(gondra_ast_attribute_set_optional_ast(choice.node, gondra_ast_attribute_right_guard, guard.node));
    EXPECT_EQ(to_string(choice.node), "1 <= {} <= 1");
    gondra_ast_t* read = nullptr;
    ASSERT_TRUE(gondra_ast_attribute_get_optional_ast(choice.node, gondra_ast_attribute_left_guard, &read));
    EXPECT_EQ(read, guard.node);
    ASSERT_TRUE(gondra_ast_attribute_set_optional_ast(choice.node, gondra_ast_attribute_left_guard, nullptr));
    ASSERT_TRUE(gondra_ast_attribute_get_optional_ast(choice.node, gondra_ast_attribute_left_guard, &read));
    EXPECT_EQ(read, nullptr);
    EXPECT_EQ(to_string(choice.node), "{} <= 1");
    // Optional and plain node accessors do not stand in for each other.
    expect_failure(gondra_ast_attribute_get_ast(choice.node, gondra_ast_attribute_right_guard, &read),
                   gondra_error_logic, nullptr);
    expect_failure(gondra_ast_attribute_get_optional_ast(interval.node, gondra_ast_attribute_left, &read),
                   gondra_error_logic, nullptr);
}

TEST(AstApi, NodeArraysInsertDeleteAndCheckBounds) {
    Owned a, b, c, f;
    build_function(a, "a", {});
    build_function(b, "b", {});
    build_function(c, "c", {});
    build_function(f, "f", {});
    auto args = [&] { return to_string(f.node); };
    constexpr auto attr = gondra_ast_attribute_arguments;

    ASSERT_TRUE(gondra_ast_attribute_insert_ast_at(f.node, attr, 0, b.node));
    ASSERT_TRUE(gondra_ast_attribute_insert_ast_at(f.node, attr, 0, a.node));
    ASSERT_TRUE(gondra_ast_attribute_insert_ast_at(f.node, attr, 2, c.node)); // at the end
    EXPECT_EQ(args(), "f(a,b,c)");
    ASSERT_TRUE(gondra_ast_attribute_push_ast(f.node, attr, a.node));
    EXPECT_EQ(args(), "f(a,b,c,a)");
    ASSERT_TRUE(gondra_ast_attribute_set_ast_at(f.node, attr, 3, c.node));
    ASSERT_TRUE(gondra_ast_attribute_delete_ast_at(f.node, attr, 0));
    EXPECT_EQ(args(), "f(b,c,c)");
    size_t size = 0;
    ASSERT_TRUE(gondra_ast_attribute_size_ast_array(f.node, attr, &size));
    EXPECT_EQ(size, 3u);
    gondra_ast_t* at = nullptr;
    ASSERT_TRUE(gondra_ast_attribute_get_ast_at(f.node, attr, 2, &at));
    EXPECT_EQ(at, c.node);

    // Every index past the end is rejected with the same logic error, and nothing changes.
    expect_failure(gondra_ast_attribute_get_ast_at(f.node, attr, 3, &at), gondra_error_logic, "index out of range");
    expect_failure(gondra_ast_attribute_set_ast_at(f.node, attr, 3, a.node), gondra_error_logic, "index out of range");
    expect_failure(gondra_ast_attribute_delete_ast_at(f.node, attr, 3), gondra_error_logic, "index out of range");
    expect_failure(gondra_ast_attribute_insert_ast_at(f.node, attr, 4, a.node), gondra_error_logic,
                   "index out of range");
    expect_failure(gondra_ast_attribute_delete_ast_at(f.node, attr, SIZE_MAX), gondra_error_logic,
                   "index out of range");
    expect_failure(gondra_ast_attribute_push_ast(f.node, attr, nullptr), gondra_error_logic, nullptr);
    EXPECT_EQ(args(), "f(b,c,c)");
    // The array accessors only work on arrays.
    expect_failure(gondra_ast_attribute_size_ast_array(f.node, gondra_ast_attribute_name, &size), gondra_error_logic,
                   nullptr);
    expect_failure(gondra_ast_attribute_size_string_array(f.node, attr, &size), gondra_error_logic, nullptr);
}

TEST(AstApi, StringArraysCheckBoundsAndCopyTheirStrings) {
    Owned def;
    char const* ops[] = {"<", "="};
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_theory_guard_definition, &def.node, ops, size_t{2}, "g"));
    EXPECT_EQ(to_string(def.node), "{<, =}, g");
    constexpr auto attr = gondra_ast_attribute_operators;
    std::string mine = ">=";
    ASSERT_TRUE(gondra_ast_attribute_insert_string_at(def.node, attr, 2, mine.c_str()));
    mine.assign("!!");
    char const* read = nullptr;
    ASSERT_TRUE(gondra_ast_attribute_get_string_at(def.node, attr, 2, &read));
    EXPECT_STREQ(read, ">=");
    expect_failure(gondra_ast_attribute_get_string_at(def.node, attr, 3, &read), gondra_error_logic,
                   "index out of range");
    expect_failure(gondra_ast_attribute_set_string_at(def.node, attr, 3, "x"), gondra_error_logic,
                   "index out of range");
    expect_failure(gondra_ast_attribute_delete_string_at(def.node, attr, 3), gondra_error_logic, "index out of range");
    expect_failure(gondra_ast_attribute_set_string_at(def.node, attr, 0, nullptr), gondra_error_logic, nullptr);
    ASSERT_TRUE(gondra_ast_attribute_delete_string_at(def.node, attr, 0));
    size_t size = 0;
    ASSERT_TRUE(gondra_ast_attribute_size_string_array(def.node, attr, &size));
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(to_string(def.node), "{=, >=}, g");
    // A null array with elements is refused at build time.
    Owned bad;
    expect_failure(gondra_ast_build(gondra_ast_type_theory_guard_definition, &bad.node,
                                    static_cast<char const* const*>(nullptr), size_t{1}, "g"),
                   gondra_error_logic, nullptr);
    EXPECT_EQ(bad.node, nullptr);
}

TEST(AstApi, BuildStatementsFromTheConstructorTable) {
    // Every entry names its type and lists attributes the node then has.
    ASSERT_EQ(g_gondra_ast_constructors.size, size_t{gondra_ast_type_theory_definition} + 1);
    EXPECT_EQ(g_gondra_ast_attribute_names_size, size_t{gondra_ast_attribute_weight} + 1);
    EXPECT_STREQ(g_gondra_ast_constructors.constructors[gondra_ast_type_rule].name, "Rule");
    EXPECT_STREQ(g_gondra_ast_attribute_names[gondra_ast_attribute_right_guard], "right_guard");
    for (size_t t = 0; t < g_gondra_ast_constructors.size; ++t) {
        auto const& c = g_gondra_ast_constructors.constructors[t];
        for (size_t i = 0; i < c.size; ++i)
            EXPECT_EQ(constructor_index(static_cast<gondra_ast_type_t>(t), c.arguments[i].attribute),
                      static_cast<int>(i))
                << c.name << " lists an attribute twice";
    }

    // p(X) :- not q(X), X != 1.
    Owned x, one, px, qx, atom_p, atom_q, head, neg, cmp, cmp_lit, rule;
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_variable, &x.node, &loc, "X"));
    build_number(one, 1);
    build_function(px, "p", {x.node});
    build_function(qx, "q", {x.node});
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_symbolic_atom, &atom_p.node, px.node));
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_symbolic_atom, &atom_q.node, qx.node));
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_literal, &head.node, &loc, int{gondra_ast_sign_no_sign}, atom_p.node));
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_literal, &neg.node, &loc, int{gondra_ast_sign_negation}, atom_q.node));
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_comparison, &cmp.node, int{gondra_ast_comparison_operator_not_equal},
                                 x.node, one.node));
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_literal, &cmp_lit.node, &loc, int{gondra_ast_sign_no_sign}, cmp.node));
    gondra_ast_t* body[] = {neg.node, cmp_lit.node};
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_rule, &rule.node, &loc, head.node, body, size_t{2}));
    EXPECT_EQ(to_string(rule.node), "p(X) :- not q(X), X!=1.");

    // The built rule equals the parsed one (locations aside) and orders consistently.
    Statements parsed;
    gondra_ast_t* same = first_statement("p(X) :- not q(X), X != 1.", parsed);
    EXPECT_TRUE(gondra_ast_equal(rule.node, same));
    EXPECT_EQ(gondra_ast_hash(rule.node), gondra_ast_hash(same));
    EXPECT_FALSE(gondra_ast_less_than(rule.node, same));
    EXPECT_FALSE(gondra_ast_less_than(same, rule.node));
    Statements other;
    gondra_ast_t* different = first_statement("p(X) :- not q(X), X != 2.", other);
    EXPECT_NE(gondra_ast_less_than(rule.node, different), gondra_ast_less_than(different, rule.node));

    // #show p/1. and a program part with parameters
    Owned show, part, t;
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_show_signature, &show.node, &loc, "p", 1, 0));
    EXPECT_EQ(to_string(show.node), "#show -p/1.");
    build_id(t, "t");
    gondra_ast_t* params[] = {t.node};
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_program, &part.node, &loc, "step", params, size_t{1}));
    EXPECT_EQ(to_string(part.node), "#program step(t).");

    // Bad type numbers and missing outputs fail cleanly.
    Owned none;
    expect_failure(gondra_ast_build(-1, &none.node), gondra_error_logic, "invalid node type");
    expect_failure(gondra_ast_build(gondra_ast_type_theory_definition + 1, &none.node), gondra_error_logic,
                   "invalid node type");
    expect_failure(gondra_ast_build(gondra_ast_type_show, nullptr, &loc), gondra_error_logic, "null output");
    EXPECT_EQ(none.node, nullptr);
}

TEST(AstApi, TreesCannotContainThemselves) {
    Owned f, g;
    build_function(f, "f", {});
    build_function(g, "g", {f.node});
    // f(g(f(...))) would never end; the write is refused and the tree stays intact.
    expect_failure(gondra_ast_attribute_push_ast(f.node, gondra_ast_attribute_arguments, g.node), gondra_error_logic,
                   "a syntax tree cannot contain itself");
    expect_failure(gondra_ast_attribute_insert_ast_at(f.node, gondra_ast_attribute_arguments, 0, f.node),
                   gondra_error_logic, "a syntax tree cannot contain itself");
    EXPECT_EQ(to_string(g.node), "g(f)");
    Owned atom;
    ASSERT_TRUE(gondra_ast_build(gondra_ast_type_symbolic_atom, &atom.node, g.node));
    expect_failure(gondra_ast_attribute_set_ast(atom.node, gondra_ast_attribute_symbol, atom.node), gondra_error_logic,
                   nullptr);
    // Sharing one child twice is fine: that is a DAG, not a cycle.
    ASSERT_TRUE(gondra_ast_attribute_push_ast(g.node, gondra_ast_attribute_arguments, f.node));
    EXPECT_EQ(to_string(atom.node), "g(f,f)");

    // The check visits shared subtrees once: 2^80 paths, 80 nodes.
    std::vector<Owned> levels(80);
    build_function(levels[0], "leaf", {});
    for (size_t i = 1; i < levels.size(); ++i)
        build_function(levels[i], "n", {levels[i - 1].node, levels[i - 1].node});
    Owned top;
    build_function(top, "top", {});
    ASSERT_TRUE(gondra_ast_attribute_push_ast(top.node, gondra_ast_attribute_arguments, levels.back().node));
}

TEST(AstApi, NullArgumentsAreErrorsNotCrashes) {
    Owned f;
    build_function(f, "f", {});
    expect_failure(gondra_ast_get_type(f.node, nullptr), gondra_error_logic, "null output");
    expect_failure(gondra_ast_get_type(nullptr, nullptr), gondra_error_logic, nullptr);
    expect_failure(gondra_ast_copy(f.node, nullptr), gondra_error_logic, "null output");
    expect_failure(gondra_ast_deep_copy(nullptr, nullptr), gondra_error_logic, nullptr);
    expect_failure(gondra_ast_to_string_size(f.node, nullptr), gondra_error_logic, "null output");
    expect_failure(gondra_ast_to_string(f.node, nullptr, 10), gondra_error_logic, "null output");
    expect_failure(gondra_ast_attribute_get_string(f.node, gondra_ast_attribute_name, nullptr), gondra_error_logic,
                   "null output");
    expect_failure(gondra_ast_unpool(f.node, gondra_ast_unpool_type_all, nullptr, nullptr), gondra_error_logic,
                   "null callback");
    expect_failure(gondra_ast_parse_string(nullptr, nullptr, nullptr, nullptr, nullptr, 0), gondra_error_logic,
                   "null program text");
    expect_failure(gondra_ast_parse_files(nullptr, 2, nullptr, nullptr, nullptr, nullptr, 0), gondra_error_logic,
                   "null file list");
    // The comparisons cannot fail: null is equal only to null and orders first.
    EXPECT_TRUE(gondra_ast_equal(nullptr, nullptr));
    EXPECT_FALSE(gondra_ast_equal(f.node, nullptr));
    EXPECT_TRUE(gondra_ast_less_than(nullptr, f.node));
    EXPECT_FALSE(gondra_ast_less_than(f.node, nullptr));
    EXPECT_EQ(gondra_ast_hash(nullptr), 0u);
    gondra_ast_acquire(nullptr);
    gondra_ast_release(nullptr);
}

TEST(AstApi, ToStringNeedsARoomyEnoughBuffer) {
    Statements s;
    gondra_ast_t* rule = first_statement("p(\"x\\ny\") :- q.", s);
    size_t size = 0;
    ASSERT_TRUE(gondra_ast_to_string_size(rule, &size));
    std::string text = "p(\"x\\ny\") :- q.";
    EXPECT_EQ(size, text.size() + 1);
    std::vector<char> buffer(size, 'z');
    expect_failure(gondra_ast_to_string(rule, buffer.data(), size - 1), gondra_error_logic, "string buffer too small");
    EXPECT_EQ(buffer[0], 'z');
    ASSERT_TRUE(gondra_ast_to_string(rule, buffer.data(), size));
    EXPECT_STREQ(buffer.data(), text.c_str());
}

TEST(AstApi, UnpoolModesThroughTheInterface) {
    Statements s;
    gondra_ast_t* rule = first_statement("p(1;2) :- q : r(a;b).", s);
    auto expand = [&](gondra_ast_unpool_type_bitset_t mode) {
        Statements out;
        EXPECT_TRUE(gondra_ast_unpool(rule, mode, Statements::add, &out)) << gondra_error_message();
        std::string text;
        for (auto* n : out.nodes) text += to_string(n) + "\n";
        return text;
    };
    EXPECT_EQ(expand(gondra_ast_unpool_type_condition), "(p(1);p(2)) :- q: r(a); q: r(b).\n");
    EXPECT_EQ(expand(gondra_ast_unpool_type_other), "p(1) :- q: (r(a);r(b)).\np(2) :- q: (r(a);r(b)).\n");
    EXPECT_EQ(expand(gondra_ast_unpool_type_all), "p(1) :- q: r(a); q: r(b).\np(2) :- q: r(a); q: r(b).\n");
    EXPECT_EQ(expand(0), "(p(1);p(2)) :- q: (r(a);r(b)).\n");
    // The input is left as it was.
    EXPECT_EQ(to_string(rule), "(p(1);p(2)) :- q: (r(a);r(b)).");

    // A callback failing on the second alternative stops the expansion with its error.
    struct Counter {
        int calls = 0;
        static bool call(gondra_ast_t*, void* data) {
            if (++static_cast<Counter*>(data)->calls < 2) return true;
            gondra_set_error(gondra_error_runtime, "enough");
            return false;
        }
    } counter;
    expect_failure(gondra_ast_unpool(rule, gondra_ast_unpool_type_all, Counter::call, &counter), gondra_error_runtime,
                   "enough");
    EXPECT_EQ(counter.calls, 2);
}

TEST(AstApi, ParseFilesInOrderAndLimitTheMessages) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("gondra_ast_api_files_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream{dir / "one.lp"} << "a.\nb :- .\nc :- .\n";
    std::ofstream{dir / "two.lp"} << "d.\n#const.\n";
    std::string one = (dir / "one.lp").string(), two = (dir / "two.lp").string();
    char const* files[] = {one.c_str(), two.c_str()};

    Logged logged;
    Statements s;
    EXPECT_FALSE(gondra_ast_parse_files(files, 2, Statements::add, &s, Logged::log, &logged, 2));
    // All three errors are found, only two are logged; the error state holds them all.
    ASSERT_EQ(logged.messages.size(), 2u);
    EXPECT_EQ(logged.messages[0], one + ":2:6-7: error: syntax error, unexpected '.', expected term");
    EXPECT_EQ(logged.messages[1], one + ":3:6-7: error: syntax error, unexpected '.', expected term");
    EXPECT_EQ(gondra_error_code(), gondra_error_runtime);
    EXPECT_NE(std::string{gondra_error_message()}.find(two + ":2:7-8: error:"), std::string::npos)
        << gondra_error_message();
    std::string parsed;
    for (auto* n : s.nodes) parsed += to_string(n);
    EXPECT_EQ(parsed, "a.d.");

    // A callback that fails stops at once: later files are not read.
    struct Stopper {
        int calls = 0;
        static bool call(gondra_ast_t*, void* data) {
            ++static_cast<Stopper*>(data)->calls;
            gondra_set_error(gondra_error_logic, "stop here");
            return false;
        }
    } stopper;
    Logged quiet;
    expect_failure(gondra_ast_parse_files(files, 2, Stopper::call, &stopper, Logged::log, &quiet, 0),
                   gondra_error_logic, "stop here");
    EXPECT_EQ(stopper.calls, 1);
    EXPECT_TRUE(quiet.messages.empty());
    fs::remove_all(dir);
}
