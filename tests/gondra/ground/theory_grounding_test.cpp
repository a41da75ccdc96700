#include "ground/theory_printer.hpp"
#include "ground_test_util.hpp"

#include <algorithm>

using namespace GroundTest;

namespace {

char const* const theory = "#theory t { e { + : 1, binary, left; * : 2, binary, left; - : 3, unary };\n"
                           "  &s/0 : e, {<=, =}, e, any; &h/0 : e, head; &d/0 : e, directive }.\n";

std::vector<std::string> atoms(Grounded const& g) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < g.program.theory.atoms.size(); ++i) {
        std::string s;
        Gondra::Ground::print_theory_atom(s, g.program.theory, i);
        out.push_back(s);
    }
    return out;
}

} // namespace

TEST(TheoryGrounding, ElementsAreCollectedMergedAndSimplified) {
    Grounded g;
    ground(g, std::string{theory} +
                  "p(1..3). {q}. r(1). r(2).\n"
                  ":- &s { 2*X : p(X); 2*X : p(X), X < 3; Y : q, r(Y); Z : r(Z), Z > 5 } <= 6.\n"
                  ":- &s { 2*X : p(X); Y : q, r(Y) } <= 6.\n");
    ASSERT_EQ(g.error, "");
    ASSERT_EQ(atoms(g).size(), 1u) << g.text();
    auto const& data = g.program.theory;
    auto const& atom = data.atoms[0];
    // 2*1, 2*2, 2*3 (fact conditions dropped, duplicates merged), and 1, 2 under q.
    EXPECT_EQ(data.elements_of(atom).size(), 5u) << atoms(g)[0];
    size_t conditional = 0;
    for (uint32_t e : data.elements_of(atom))
        conditional += data.condition(data.elements[e]).size();
    EXPECT_EQ(conditional, 2u);
    // A body-only atom is free: one choice rule for its atom.
    size_t choices = 0;
    for (auto const& r : g.program.rules)
        if (r.head_type == Gondra::Ground::HeadType::choice && g.program.head(r).size() == 1 &&
            g.program.head(r)[0] == static_cast<uint32_t>(atom.literal) && g.program.body(r).empty())
            ++choices;
    EXPECT_EQ(choices, 1u);
}

TEST(TheoryGrounding, TermsKeepOperatorsAndStrings) {
    Grounded g;
    ground(g, std::string{theory} + "&s { -x + 1 * y; \"a\\\"b\"; f(z) } = 3 :- #true.\n");
    ASSERT_EQ(g.error, "");
    ASSERT_EQ(atoms(g).size(), 1u);
    EXPECT_EQ(atoms(g)[0], "&s{(-x)+(1*y); \"a\\\"b\"; f(z)} = 3");
}

TEST(TheoryGrounding, HeadAndDirectiveAtomsAreDefined) {
    Grounded g;
    ground(g, std::string{theory} + "{p}. &h { x } :- p. &d { y }.\n");
    ASSERT_EQ(g.error, "");
    std::string text = g.text();
    EXPECT_NE(text.find("&h{x} :- p."), std::string::npos) << text;
    EXPECT_NE(text.find("&d{y}."), std::string::npos) << text;
}

TEST(TheoryGrounding, RelationAndPositionErrors) {
    Grounded g1;
    ground(g1, std::string{theory} + ":- &s { x } > 1.\n");
    EXPECT_NE(g1.error.find("relation '>' is not allowed"), std::string::npos) << g1.error;
    EXPECT_NE(g1.error.find("<string>:3:4-"), std::string::npos) << g1.error;
    Grounded g2;
    ground(g2, std::string{theory} + ":- &h { x }.\n");
    EXPECT_NE(g2.error.find("is not allowed here"), std::string::npos) << g2.error;
}

TEST(TheoryGrounding, TheoryDefinedAfterUse) {
    Grounded g;
    ground(g, std::string{":- &s { 1 + 2 } <= 3.\n"} + theory);
    EXPECT_EQ(g.error, "");
    EXPECT_EQ(atoms(g).size(), 1u);
}

TEST(TheoryGrounding, EqualAtomsShareOneLiteralAndGuardsUseBindings) {
    Grounded g;
    ground(g, std::string{theory} + "n(1..2). {c}.\n"
                                    "a :- &s { X : n(X), c } <= 2.\n"
                                    "b :- &s { X : c, n(X) } <= 2.\n"
                                    "d(N) :- n(N), &s { x } = N.\n"
                                    "e :- &s { Y : n(Y), Y > 5 } <= 1.\n");
    ASSERT_EQ(g.error, "");
    auto all = atoms(g);
    // The first two rules name one atom (conditions are sets); the third one
    // atom per guard value; the last has no element left.
    ASSERT_EQ(all.size(), 4u) << g.text();
    EXPECT_EQ(std::count(all.begin(), all.end(), "&s{} <= 1"), 1) << all[3];
    EXPECT_EQ(std::count(all.begin(), all.end(), "&s{x} = 1"), 1);
    EXPECT_EQ(std::count(all.begin(), all.end(), "&s{x} = 2"), 1);
    // Both rules have the same body: the one atom with both elements under c.
    std::string text = g.text();
    auto body_of = [&](std::string const& head) {
        size_t pos = text.find("\n" + head + " :- ");
        return pos == std::string::npos
                   ? std::string{}
                   : text.substr(pos + head.size() + 5, text.find('\n', pos + 1) - pos - head.size() - 5);
    };
    EXPECT_NE(body_of("a").find("&s{1: "), std::string::npos) << text;
    EXPECT_EQ(body_of("a"), body_of("b")) << text;
}

TEST(TheoryGrounding, AtomsKeepTheLocationOfTheirFirstRule) {
    Grounded g;
    // Lines 3 to 5: the same ground atom from two rules, and one that spans
    // two lines.
    ground(g, std::string{theory} +
                  "p(1). p(2).\n"
                  "  &h { x } :- p(1).\n"
                  "&h { x } :- p(2). &s { X : p(X) }\n"
                  "  <= 3.\n");
    ASSERT_EQ(g.error, "");
    auto const& data = g.program.theory;
    ASSERT_EQ(data.atoms.size(), 2u) << g.text();
    std::vector<std::string> places;
    for (auto const& atom : data.atoms) places.push_back(Gondra::Input::format_location(atom.location));
    std::sort(places.begin(), places.end());
    EXPECT_EQ(places, (std::vector<std::string>{"<string>:4:3-11", "<string>:5:19-6:7"}));
}
