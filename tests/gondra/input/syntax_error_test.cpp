#include "input/ast_printer.hpp"
#include "input/parser.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>

using namespace Gondra::Input;

namespace {

std::vector<std::string> errors_of(std::string const& text, std::string_view name = "f.lp") {
    Messages messages;
    parse_statements(text, messages, name);
    std::vector<std::string> out;
    for (auto const& m : messages.messages()) out.push_back(m.format());
    return out;
}

std::string printed(std::string const& text) {
    Messages messages;
    auto statements = parse_statements(text, messages);
    EXPECT_TRUE(messages.empty()) << text << "\n" << messages.text();
    std::string out;
    for (auto const& s : statements) out += ast_to_string(*s) + "\n";
    return out;
}

struct ErrorCase {
    char const* program;
    char const* error;
};

void expect_single_errors(std::initializer_list<ErrorCase> cases) {
    for (auto const& c : cases) {
        auto errors = errors_of(c.program);
        ASSERT_EQ(errors.size(), 1u) << c.program << "\n" << (errors.empty() ? "" : errors[0]);
        EXPECT_EQ(errors[0], c.error) << c.program;
    }
}

// A scratch directory removed at the end of the test.
struct TempDir {
    std::filesystem::path path;
    explicit TempDir(char const* name)
        : path{std::filesystem::temp_directory_path() / (std::string{name} + "_" + std::to_string(::getpid()))} {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    void write(std::filesystem::path const& name, char const* text) const {
        std::filesystem::create_directories((path / name).parent_path());
        std::ofstream{path / name} << text;
    }
};

} // namespace

TEST(SyntaxErrors, LexicalErrorsPointAtTheBadCharacters) {
    expect_single_errors({
        {"p(2147483648).", "f.lp:1:3-13: error: number out of range"},
        {"p(4294967297).", "f.lp:1:3-13: error: number out of range"},
        {"p(123456789012345678901234567890).", "f.lp:1:3-33: error: number out of range"},
        {"p(X) :- X = 1 + 2147483648.", "f.lp:1:17-27: error: number out of range"},
        {"#show p/2147483648.", "f.lp:1:9-19: error: number out of range"},
        {"&a { 2147483648 }.", "f.lp:1:6-16: error: number out of range"},
        {"p(\"tab\\t\").", "f.lp:1:7-9: error: invalid escape sequence in string"},
        {"p(\"open).\nq.", "f.lp:1:3-10: error: unterminated string"},
        {"a. %* one %* two *% still open\n\nb.", "f.lp:1:4-6: error: unterminated block comment"},
        {"p(_1).", "f.lp:1:3-5: error: invalid name"},
        {"p(a) :- q(\xC3\xA9).", "f.lp:1:11-13: error: unexpected character"},
        {"a :- b $ c.", "f.lp:1:8-9: error: unexpected character"},
    });
}

TEST(SyntaxErrors, EveryGrammarErrorIsLocatedAtTheOffendingToken) {
    expect_single_errors({
        // statements
        {"a :- b", "f.lp:1:7-7: error: syntax error, unexpected end of input, expected ."},
        {"a b.", "f.lp:1:3-4: error: syntax error, unexpected 'b', expected ."},
        {"a :- b c.", "f.lp:1:8-9: error: syntax error, unexpected 'c', expected ."},
        {"#foo.", "f.lp:1:1-5: error: unknown directive '#foo'"},
        {"1 :- a.", "f.lp:1:1-2: error: syntax error, expected atom"},
        {"a :- 1.", "f.lp:1:6-7: error: syntax error, expected atom"},
        {"X.", "f.lp:1:1-2: error: syntax error, expected atom"},
        {"a | 2.", "f.lp:1:5-6: error: syntax error, expected atom"},
        {"#count { a }.", "f.lp:1:1-7: error: aggregates other than choices are not supported in rule heads"},
        {"1 < a.", "f.lp:1:5-6: error: syntax error, unexpected 'a', expected {"},
        {"{ a ; 1 }.", "f.lp:1:7-8: error: syntax error, expected atom"},
        {"{ a }} .", "f.lp:1:6-7: error: syntax error, unexpected '}', expected ."},
        // terms
        {"p(1,.", "f.lp:1:5-6: error: syntax error, unexpected '.', expected term"},
        {"p(1.", "f.lp:1:4-5: error: syntax error, unexpected '.', expected )"},
        {"p(|X).", "f.lp:1:5-6: error: syntax error, unexpected ')', expected |"},
        {"p(1..).", "f.lp:1:6-7: error: syntax error, unexpected ')', expected term"},
        {"p(a;).", "f.lp:1:5-6: error: syntax error, unexpected ')', expected term"},
        {"p(X) :- X = *.", "f.lp:1:13-14: error: syntax error, unexpected '*', expected term"},
        {"p(#count).", "f.lp:1:3-9: error: syntax error, unexpected '#count', expected term"},
        // bodies and aggregates
        {"a :- not.", "f.lp:1:9-10: error: syntax error, unexpected '.', expected term"},
        {"a :- #count { X : p(X) q }.", "f.lp:1:24-25: error: syntax error, unexpected 'q', expected }"},
        {"a :- #sum { X : p(X) .", "f.lp:1:22-23: error: syntax error, unexpected '.', expected }"},
        {"a :- 1 < #min.", "f.lp:1:14-15: error: syntax error, unexpected '.', expected {"},
        // directives
        {"#const = 3.", "f.lp:1:8-9: error: syntax error, unexpected '=', expected identifier"},
        {"#const n 3.", "f.lp:1:10-11: error: syntax error, unexpected number, expected ="},
        {"#const n = 3 [never].", "f.lp:1:15-20: error: syntax error, unexpected 'never', expected default or override"},
        {"#show p/.", "f.lp:1:9-10: error: syntax error, unexpected '.', expected term"},
        {"#defined p.", "f.lp:1:11-12: error: syntax error, unexpected '.', expected /"},
        {"#defined p/a.", "f.lp:1:12-13: error: syntax error, unexpected 'a', expected number"},
        {"#program 1.", "f.lp:1:10-11: error: syntax error, unexpected number, expected identifier"},
        {"#program p(X).", "f.lp:1:12-13: error: syntax error, unexpected 'X', expected identifier"},
        {"#include p.", "f.lp:1:10-11: error: syntax error, unexpected 'p', expected string"},
        {"#include \"x.lp\"", "f.lp:1:16-16: error: syntax error, unexpected end of input, expected ."},
        {"#external 1.", "f.lp:1:11-12: error: syntax error, expected atom"},
        {"#minimize { 1@2 }", "f.lp:1:18-18: error: syntax error, unexpected end of input, expected ."},
        {":~ a. 1@2]", "f.lp:1:7-8: error: syntax error, unexpected number, expected ["},
        {":~ a. [1@2", "f.lp:1:11-11: error: syntax error, unexpected end of input, expected ]"},
        // theory definitions and atoms
        {"#theory { }.", "f.lp:1:9-10: error: syntax error, unexpected '{', expected identifier"},
        {"#theory t { g { + : 1, ternary } }.", "f.lp:1:24-31: error: expected unary or binary"},
        {"#theory t { g { + : 1, binary, up } }.", "f.lp:1:32-34: error: expected left or right"},
        {"#theory t { &a : g, any }.", "f.lp:1:16-17: error: syntax error, unexpected ':', expected /"},
        {"#theory t { &a/0 : g, {<=} g, any }.", "f.lp:1:28-29: error: syntax error, unexpected 'g', expected ,"},
        {"#theory t { g { } }", "f.lp:1:20-20: error: syntax error, unexpected end of input, expected ."},
        {"&a(1;2) { x }.", "f.lp:1:2-8: error: pools are not allowed in theory atom names"},
        {"&a { x.", "f.lp:1:7-8: error: syntax error, unexpected '.', expected ; or }"},
        {"&a { x } <= .", "f.lp:1:13-14: error: syntax error, unexpected '.', expected theory term"},
        {"&a { f(x }.", "f.lp:1:10-11: error: syntax error, unexpected '}', expected )"},
        {"&a { [x }.", "f.lp:1:9-10: error: syntax error, unexpected '}', expected ]"},
        {"&a { x : 1 }.", "f.lp:1:10-11: error: syntax error, expected atom"},
        {"& { x }.", "f.lp:1:3-4: error: syntax error, unexpected '{', expected identifier"},
    });
}

TEST(SyntaxErrors, LocationsSpanLinesAndCountColumnsPerLine) {
    // A statement-wide error over several lines names both ends.
    EXPECT_EQ(errors_of("a.\n&b(1;\n  2) { x }."),
              std::vector<std::string>{"f.lp:2:2-3:5: error: pools are not allowed in theory atom names"});
    // Columns restart after every line, also after block comments spanning lines.
    EXPECT_EQ(errors_of("%* a\n comment *% a :-\n\tb $."),
              std::vector<std::string>{"f.lp:3:4-5: error: unexpected character"});
    EXPECT_EQ(errors_of("a.\r\nb :- .\r\n"),
              std::vector<std::string>{"f.lp:2:6-7: error: syntax error, unexpected '.', expected term"});
}

TEST(SyntaxErrors, RecoveryResumesAtTheNextStatement) {
    Messages messages;
    auto statements = parse_statements("a(\"x\\q\", 99999999999).\nb.\n&t { x + }.\nc.\n#const.\nd.\n"
                                       "p(1,\n  2 3).\ne.",
                                       messages, "r.lp");
    std::string all;
    for (auto const& s : statements) all += ast_to_string(*s) + " ";
    EXPECT_EQ(all, "b. c. d. e. ");
    // Both lexical errors of the first statement are reported, then one per broken statement.
    EXPECT_EQ(messages.text(), "r.lp:1:5-7: error: invalid escape sequence in string\n"
                               "r.lp:1:10-21: error: number out of range\n"
                               "r.lp:3:10-11: error: syntax error, unexpected '}', expected theory term\n"
                               "r.lp:5:7-8: error: syntax error, unexpected '.', expected identifier\n"
                               "r.lp:8:5-6: error: syntax error, unexpected number, expected )");
}

TEST(SyntaxErrors, TheSmallestIntegerIsALiteral) {
    Messages messages;
    auto s = parse_statements("p(-2147483648). q(- 2147483648).", messages);
    ASSERT_TRUE(messages.empty()) << messages.text();
    for (auto const& statement : s) {
        Node const& atom = *statement->node(Attribute::Head)->node(Attribute::Atom)->node(Attribute::Symbol);
        Node const& arg = *atom.nodes(Attribute::Arguments)[0];
        ASSERT_EQ(arg.type(), AstType::SymbolicTerm);
        EXPECT_EQ(arg.symbol(Attribute::Symbol).number(), std::numeric_limits<int32_t>::min());
    }
    EXPECT_EQ(printed("p(-2147483648)."), "p(-2147483648).\n");
    EXPECT_EQ(printed("p(-2147483647, 2147483647)."), "p(-2147483647,2147483647).\n");
    // Only directly after a minus: as an operand of anything else it does not fit.
    EXPECT_EQ(errors_of("p(1-(2147483648)).").size(), 1u);
    EXPECT_EQ(errors_of("p(~2147483648).").size(), 1u);
}

TEST(SyntaxErrors, StringEscapesAndNestedCommentsRoundTrip) {
    Messages messages;
    auto s = parse_statements("%* outer %* inner *% still comment *%\np(\"q\\\"b\\\\s\\nn\").", messages);
    ASSERT_EQ(s.size(), 1u) << messages.text();
    Node const& fn = *s[0]->node(Attribute::Head)->node(Attribute::Atom)->node(Attribute::Symbol);
    Node const& str = *fn.nodes(Attribute::Arguments)[0];
    EXPECT_EQ(str.symbol(Attribute::Symbol).string(), std::string{"q\"b\\s\nn"});
    EXPECT_EQ(ast_to_string(*s[0]), "p(\"q\\\"b\\\\s\\nn\").");
    // A line comment inside a block comment does not hide its end.
    EXPECT_EQ(printed("%* a % b *% c."), "c.\n");
    EXPECT_EQ(printed("%**% d. % e.\nf."), "d.\nf.\n");
}

TEST(SyntaxErrors, HeadWithOneEmptyConditionBeforeABody) {
    // The printer writes a lone unconditional head element as "a:"; the body must still parse after it.
    EXPECT_EQ(printed("a: :- b."), "a: :- b.\n");
    EXPECT_EQ(printed("a : :- b, c."), "a: :- b, c.\n");
    EXPECT_EQ(printed("a : b :- c."), "a: b :- c.\n");
}

TEST(SyntaxErrors, IncludesResolveAgainstTheIncludingFile) {
    TempDir dir{"gondra_include_paths"};
    dir.write("main.lp", "#include \"sub/one.lp\".\nm.\n");
    dir.write("sub/one.lp", "#include \"two.lp\".\none.\n");
    dir.write("sub/two.lp", "#include \"../leaf.lp\".\ntwo.\n");
    dir.write("leaf.lp", "leaf.\n");

    // Run from another directory: relative paths must not depend on it.
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    Messages messages;
    std::string order;
    Parser parser{messages, [&](NodePtr const& s) {
                      order += ast_to_string(*s);
                      return true;
                  }};
    bool ok = parser.parse_file((dir.path / "main.lp").string());
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(ok) << messages.text();
    EXPECT_EQ(order, "leaf.two.one.m.");
}

TEST(SyntaxErrors, AFailingIncludeDoesNotSwallowTheNextStatement) {
    TempDir dir{"gondra_include_errors"};
    dir.write("main.lp", "a.\n#include \"missing.lp\".\nb.\n#include \"bad.lp\".\nc.\n");
    dir.write("bad.lp", "x :- .\ny.\n");
    Messages messages;
    std::string order;
    Parser parser{messages, [&](NodePtr const& s) {
                      order += ast_to_string(*s);
                      return true;
                  }};
    EXPECT_FALSE(parser.parse_file((dir.path / "main.lp").string()));
    EXPECT_EQ(order, "a.b.y.c.");
    ASSERT_EQ(messages.messages().size(), 2u) << messages.text();
    std::string main = (dir.path / "main.lp").string();
    std::string bad = (dir.path / "bad.lp").string();
    EXPECT_EQ(messages.messages()[0].format(), main + ":2:1-22: error: cannot read included file 'missing.lp'");
    EXPECT_EQ(messages.messages()[1].format(), bad + ":1:6-7: error: syntax error, unexpected '.', expected term");

    // Includes can be switched off; that too is a located error that keeps the rest.
    Messages off;
    std::vector<NodePtr> kept;
    ParseOptions options;
    options.allow_includes = false;
    Parser restricted{off, [&](NodePtr const& s) {
                          kept.push_back(s);
                          return true;
                      },
                      options};
    EXPECT_FALSE(restricted.parse_string("#include \"x.lp\".\nz.", "s.lp"));
    EXPECT_EQ(off.text(), "s.lp:1:1-16: error: #include is not allowed here");
    EXPECT_EQ(kept.size(), 1u);
}

TEST(SyntaxErrors, TwentyErrorsThenTheParseGivesUp) {
    TempDir dir{"gondra_error_limit"};
    std::string broken;
    for (int i = 0; i < 30; ++i) broken += "p :- .\n";
    dir.write("one.lp", broken.c_str());
    dir.write("two.lp", "q :- .\n");
    std::vector<std::string> seen;
    Messages messages{[&](Message const& m) { seen.push_back(m.format()); }};
    Parser parser{messages, [](NodePtr const&) { return true; }};
    std::string one = (dir.path / "one.lp").string();
    EXPECT_FALSE(parser.parse_file(one));
    // Later files are not read once the parse has given up.
    EXPECT_FALSE(parser.parse_file((dir.path / "two.lp").string()));
    EXPECT_FALSE(parser.parse_string("r :- ."));
    ASSERT_EQ(seen.size(), 21u);
    EXPECT_EQ(seen[19], one + ":20:6-7: error: syntax error, unexpected '.', expected term");
    EXPECT_EQ(seen[20], one + ":21:6-7: error: too many errors");
    EXPECT_EQ(messages.messages().size(), 21u);
    EXPECT_TRUE(messages.full());

    // Lexical errors count alike, also within one statement.
    Messages lexical;
    parse_statements(std::string(40, '$') + ".", lexical, "l.lp");
    ASSERT_EQ(lexical.messages().size(), 21u);
    EXPECT_EQ(lexical.messages().back().format(), "l.lp:1:21-22: error: too many errors");

    // Twenty errors exactly are all reported, without the notice.
    Messages exact;
    std::string twenty;
    for (int i = 0; i < 20; ++i) twenty += "p :- .\n";
    parse_statements(twenty + "ok.", exact);
    EXPECT_EQ(exact.messages().size(), 20u);
    EXPECT_FALSE(exact.full());
}

TEST(SyntaxErrors, AByteOrderMarkIsSkipped) {
    TempDir dir{"gondra_byte_order_mark"};
    dir.write("main.lp", "\xEF\xBB\xBFp(1).\n#include \"sub.lp\".\nq :- .\n");
    dir.write("sub.lp", "\xEF\xBB\xBF" "r.");
    Messages messages;
    std::string order;
    Parser parser{messages, [&](NodePtr const& s) {
                      order += ast_to_string(*s);
                      return true;
                  }};
    std::string main = (dir.path / "main.lp").string();
    EXPECT_FALSE(parser.parse_file(main));
    EXPECT_EQ(order, "p(1).r.");
    // Columns count from the first character after the mark.
    EXPECT_EQ(messages.text(), main + ":3:6-7: error: syntax error, unexpected '.', expected term");
    EXPECT_EQ(errors_of("\xEF\xBB\xBF$"), std::vector<std::string>{"f.lp:1:1-2: error: unexpected character"});
    // Only at the very start: elsewhere it is a character like any other.
    EXPECT_EQ(errors_of("a.\xEF\xBB\xBF"), std::vector<std::string>{"f.lp:1:3-6: error: unexpected character"});
}
