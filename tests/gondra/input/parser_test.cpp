#include "input/ast_printer.hpp"
#include "input/parser.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace Gondra::Input;

namespace {

std::vector<NodePtr> parse_ok(std::string const& text) {
    Messages messages;
    auto statements = parse_statements(text, messages);
    EXPECT_TRUE(messages.empty()) << text << "\n" << messages.text();
    return statements;
}

std::vector<std::string> errors_of(std::string const& text) {
    Messages messages;
    parse_statements(text, messages);
    std::vector<std::string> out;
    for (auto const& m : messages.messages()) out.push_back(m.format());
    return out;
}

std::string print_all(std::vector<NodePtr> const& statements) {
    std::string out;
    for (auto const& s : statements) out += ast_to_string(*s) + "\n";
    return out;
}

// One program per construct of the language.
char const* const corpus[] = {
    "a.",
    "p(1,\"a\\\"b\\n\",c,#inf,#sup,X,_).",
    "p((1,2),(1,),()).",
    "p(X+Y*Z-2/3\\4**2**3).",
    "p(-X,~Y,|Z-1|,(A&B)?(C^D)).",
    "p(1..N) :- n(N).",
    "p(1;2;f(a;b)).",
    "q((a,b;c)).",
    "-p(1) :- not q, not not r, -s.",
    "a :- X = Y, X != Y, X < Y, X <= Y, X > Y, X >= Y, #true, not #false.",
    "a ; b | c :- d.",
    "a : b, c; d.",
    "j : .",
    "#false.",
    "{ a; b : c, d; e } :- f.",
    "1 { a; b } 2.",
    "1 < { a } != 3.",
    "{ p(X) : q(X) } = 1 :- r.",
    ":- a, b.",
    ":- 1 #count { X,Y : p(X,Y), not q(X); a : b } 3.",
    ":- #sum { X : p(X) } > 10, #sum+ { 1 : a } = 2, #min { X : p(X) } < 0, #max { X : p(X) } >= #inf.",
    "ok :- not 2 <= #count { X : p(X) }.",
    "a :- b : c, d; e.",
    "a :- b : .",
    "a :- { b; c : d } > 1.",
    "#const n = 5.",
    "#const m = n+1 [override].",
    "#show.",
    "#show p/2.",
    "#show -q/0.",
    "#show X : p(X), not q(X).",
    "#show (a/2).",
    "#minimize { 1@2,X : p(X); 3,a : b }.",
    "#maximize { X : p(X) }.",
    ":~ p(X), q. [X@1,X,a]",
    ":~ p. [1]",
    "#program base.",
    "#program step(t,u).",
    "#external e(X) : f(X), not g.",
    "#external e.",
    "#defined p/3.",
    "#defined -p/0.",
    "#theory t { g { + : 1, binary, left; ** : 3, binary, right; - : 2, unary }; h { }; "
    "&a/0 : g, {<=, =}, h, any; &b/1 : g, head; &c/0 : h, directive }.",
    "&a { x + -1 : p(1), q; (y,z); [1,2] : ; {u}; f(x,\"s\",#sup) } <= 3 :- b.",
    ":- &a { 2*X : p(X) } >= 4, &b(1) { }.",
    "&c { X, (Y) * (Z + 1) }.",
};

} // namespace

TEST(Parser, CorpusPrintsToEqualTreesAndAFixpoint) {
    for (char const* program : corpus) {
        auto first = parse_ok(program);
        ASSERT_FALSE(first.empty()) << program;
        std::string printed = print_all(first);
        auto second = parse_ok(printed);
        ASSERT_EQ(first.size(), second.size()) << program << "\nprinted: " << printed;
        for (size_t i = 0; i < first.size(); ++i)
            EXPECT_TRUE(ast_equal(*first[i], *second[i])) << program << "\nprinted: " << printed;
        EXPECT_EQ(printed, print_all(second)) << program;
    }
}

TEST(Parser, TreeShapes) {
    auto s = parse_ok("a :- not not b, c : d; X < 1.");
    ASSERT_EQ(s.size(), 1u);
    Node const& rule = *s[0];
    EXPECT_EQ(rule.type(), AstType::Rule);
    auto const& body = rule.nodes(Attribute::Body);
    ASSERT_EQ(body.size(), 3u);
    EXPECT_EQ(body[0]->number(Attribute::Sign), static_cast<int>(Sign::DoubleNegation));
    EXPECT_EQ(body[1]->type(), AstType::ConditionalLiteral);
    EXPECT_EQ(body[2]->node(Attribute::Atom)->type(), AstType::Comparison);

    // Integrity constraints have the head #false; theory atoms in bodies sit in literals.
    auto c = parse_ok(":- &a { x }.");
    Node const& head = *c[0]->node(Attribute::Head);
    EXPECT_EQ(head.node(Attribute::Atom)->type(), AstType::BooleanConstant);
    EXPECT_EQ(head.node(Attribute::Atom)->number(Attribute::Value), 0);
    EXPECT_EQ(c[0]->nodes(Attribute::Body)[0]->node(Attribute::Atom)->type(), AstType::TheoryAtom);

    // #minimize expands into one statement per element; #maximize negates weights.
    auto m = parse_ok("#maximize { 2@1 : a; 3 : b }.");
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0]->node(Attribute::Weight)->type(), AstType::UnaryOperation);
    EXPECT_EQ(ast_to_string(*m[1]), ":~ b. [-3@0]");

    // Variables inside theory terms are ordinary variable nodes.
    auto t = parse_ok("&a { X + 1 : p(X) }.");
    Node const& element = *t[0]->node(Attribute::Head)->nodes(Attribute::Elements)[0];
    Node const& term = *element.nodes(Attribute::Terms)[0];
    ASSERT_EQ(term.type(), AstType::TheoryUnparsedTerm);
    EXPECT_EQ(term.nodes(Attribute::Elements)[0]->node(Attribute::Term)->type(), AstType::Variable);
}

TEST(Parser, SyntaxErrorsAreLocated) {
    struct Case {
        char const* program;
        char const* error;
    };
    Case const cases[] = {
        {"a :- b", "<string>:1:7-7: error: syntax error, unexpected end of input, expected ."},
        {"a :- .b.", "<string>:1:6-7: error: syntax error, unexpected '.', expected term"},
        {"p(1,.", "<string>:1:5-6: error: syntax error, unexpected '.', expected term"},
        {"a :- b $ c.", "<string>:1:8-9: error: unexpected character"},
        {"p(\"abc).", "<string>:1:3-9: error: unterminated string"},
        {"p(\"a\\qb\").", "<string>:1:5-7: error: invalid escape sequence in string"},
        {"p(99999999999).", "<string>:1:3-14: error: number out of range"},
        {"%* open\n comment", "<string>:1:1-3: error: unterminated block comment"},
        {"#foo.", "<string>:1:1-5: error: unknown directive '#foo'"},
        {"1 :- a.", "<string>:1:1-2: error: syntax error, expected atom"},
        {"a :- b.\n  X.", "<string>:2:3-4: error: syntax error, expected atom"},
        {"&a { x } <= .", "<string>:1:13-14: error: syntax error, unexpected '.', expected theory term"},
        {"#theory t { g { + : x } }.", "<string>:1:21-22: error: syntax error, unexpected 'x', expected number"},
        {"#theory t { &a/0 : g, nowhere }.", "<string>:1:23-30: error: expected head, body, any or directive"},
        {"#include \"/nonexistent/file.lp\".",
         "<string>:1:1-32: error: cannot read included file '/nonexistent/file.lp'"},
    };
    for (auto const& c : cases) {
        auto errors = errors_of(c.program);
        ASSERT_EQ(errors.size(), 1u) << c.program;
        EXPECT_EQ(errors[0], c.error) << c.program;
    }
}

TEST(Parser, ReportsEveryErrorAndKeepsGoodStatements) {
    Messages messages;
    auto statements = parse_statements("a.\nb :- .\nc.\np(1,.\nd :- e $.\nf.", messages, "prog.lp");
    ASSERT_EQ(messages.messages().size(), 3u) << messages.text();
    EXPECT_EQ(messages.messages()[0].format(), "prog.lp:2:6-7: error: syntax error, unexpected '.', expected term");
    EXPECT_EQ(messages.messages()[1].format(), "prog.lp:4:5-6: error: syntax error, unexpected '.', expected term");
    EXPECT_EQ(messages.messages()[2].format(), "prog.lp:5:8-9: error: unexpected character");
    EXPECT_EQ(print_all(statements), "a.\nc.\nf.\n");
}

TEST(Parser, DeepNestingIsAnErrorNotACrash) {
    std::string deep = "p(" + std::string(100000, '(') + "1" + std::string(100000, ')') + ").";
    auto errors = errors_of(deep);
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors[0].find("nesting too deep"), std::string::npos);
    std::string theory = "&a{" + std::string(100000, '(') + "x" + "}.";
    EXPECT_FALSE(errors_of(theory).empty());
}

TEST(Parser, TheoryGrammarOfTheConstraintLibrary) {
    char const* grammar = R"(
#theory cp {
    var_term  { };
    sum_term {
    -  : 3, unary;
    ** : 2, binary, right;
    *  : 1, binary, left;
    /  : 1, binary, left;
    \  : 1, binary, left;
    +  : 0, binary, left;
    -  : 0, binary, left
    };
    dom_term {
    -  : 4, unary;
    ** : 3, binary, right;
    *  : 2, binary, left;
    /  : 2, binary, left;
    \  : 2, binary, left;
    +  : 1, binary, left;
    -  : 1, binary, left;
    .. : 0, binary, left
    };
    disjoint_term {
    -  : 4, unary;
    ** : 3, binary, right;
    *  : 2, binary, left;
    /  : 2, binary, left;
    \  : 2, binary, left;
    +  : 1, binary, left;
    -  : 1, binary, left;
    @  : 0, binary, left
    };
    &__diff_h/0 : sum_term, {<=}, sum_term, any;
    &__diff_b/0 : sum_term, {<=}, sum_term, any;
    &__sum_h/0 : sum_term, {<=,=,!=,<,>,>=}, sum_term, any;
    &__sum_b/0 : sum_term, {<=,=,!=,<,>,>=}, sum_term, any;
    &__nsum_h/0 : sum_term, {<=,=,!=,<,>,>=}, sum_term, any;
    &__nsum_b/0 : sum_term, {<=,=,!=,<,>,>=}, sum_term, any;
    &minimize/0 : sum_term, directive;
    &maximize/0 : sum_term, directive;
    &show/0 : sum_term, directive;
    &distinct/0 : sum_term, head;
    &disjoint/0 : disjoint_term, head;
    &dom/0 : dom_term, {=}, var_term, head
}.
)";
    auto s = parse_ok(grammar);
    ASSERT_EQ(s.size(), 1u);
    Node const& def = *s[0];
    EXPECT_EQ(def.nodes(Attribute::Terms).size(), 4u);
    EXPECT_EQ(def.nodes(Attribute::Atoms).size(), 12u);
    EXPECT_EQ(def.nodes(Attribute::Terms)[2]->nodes(Attribute::Operators).size(), 8u);

    // The same text with the group header written twice is malformed and reported, not guessed at.
    std::string doubled = grammar;
    doubled.replace(doubled.find("sum_term {"), 0, "sum_term {\n    ");
    auto errors = errors_of(doubled);
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0], "<string>:5:5-13: error: syntax error, unexpected 'sum_term', expected theory operator");
}

TEST(Parser, IncludesAreReadOnceAndCyclesReported) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("gondra_include_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto write = [&](char const* name, char const* text) { std::ofstream{dir / name} << text; };
    write("main.lp", "#include \"a.lp\".\n#include \"a.lp\".\nm.\n");
    write("a.lp", "a.\n#include \"b.lp\".\n");
    write("b.lp", "b.\n#include \"a.lp\".\n");

    Messages messages;
    std::vector<NodePtr> statements;
    Parser parser{messages, [&](NodePtr const& s) {
                      statements.push_back(s);
                      return true;
                  }};
    EXPECT_FALSE(parser.parse_file((dir / "main.lp").string()));
    EXPECT_EQ(print_all(statements), "a.\nb.\nm.\n");
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_NE(messages.text().find("b.lp:2:1-16: error: cyclic #include of 'a.lp'"), std::string::npos)
        << messages.text();
    fs::remove_all(dir);
}

TEST(Parser, CallbackCanStopTheParse) {
    Messages messages;
    int seen = 0;
    Parser parser{messages, [&](NodePtr const&) { return ++seen < 2; }};
    EXPECT_FALSE(parser.parse_string("a. b. c. d."));
    EXPECT_TRUE(parser.stopped());
    EXPECT_EQ(seen, 2);
    EXPECT_TRUE(messages.empty());
}
