#include "ground/term.hpp"
#include "ground/theory_printer.hpp"
#include "ground_test_util.hpp"

#include <random>

using namespace GroundTest;
using Gondra::Ground::Binding;
using Gondra::Ground::Term;
using Gondra::Ground::TermKind;
using Gondra::Input::BinaryOperator;
using Gondra::Input::UnaryOperator;

namespace {

std::string chain(std::string const& first, char const* op, std::string const& operand, size_t operands) {
    std::string out = first;
    for (size_t i = 1; i < operands; ++i) out += op + operand;
    return out;
}

Term number(int32_t n) {
    Term t;
    t.value = Gondra::Symbols::Symbol::create_number(n);
    return t;
}

// Takes the arguments by value and moves them: an initializer list would copy them.
Term operation(TermKind kind, int op, Term a, std::optional<Term> b = std::nullopt) {
    Term t;
    t.kind = kind;
    t.op = op;
    t.args.push_back(std::move(a));
    if (b) t.args.push_back(std::move(*b));
    return t;
}

// A random arithmetic term of the given depth with its value computed in
// 64 bits (none when some operation is undefined on 32-bit numbers).
Term random_term(std::mt19937& rng, int depth, std::optional<int64_t>& value) {
    if (depth == 0) {
        int32_t n = static_cast<int32_t>(rng() % 7) - 3;
        value = n;
        return number(n);
    }
    auto fits = [](int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; };
    std::optional<int64_t> a, b;
    switch (rng() % 4) {
    case 0: {
        Term arg = random_term(rng, depth - 1, a);
        value = a && fits(-*a) ? std::optional<int64_t>{-*a} : std::nullopt;
        return operation(TermKind::unary, static_cast<int>(UnaryOperator::Minus), std::move(arg));
    }
    default: {
        // Mostly left-deep, as chains are; sometimes the other way round.
        bool left_deep = rng() % 4 != 0;
        Term l = random_term(rng, left_deep ? depth - 1 : static_cast<int>(rng() % 2), a);
        Term r = random_term(rng, left_deep ? static_cast<int>(rng() % 2) : depth - 1, b);
        int which = static_cast<int>(rng() % 3);
        BinaryOperator op = which == 0 ? BinaryOperator::Plus : which == 1 ? BinaryOperator::Minus
                                                                            : BinaryOperator::Multiplication;
        if (a && b) {
            int64_t v = op == BinaryOperator::Plus ? *a + *b : op == BinaryOperator::Minus ? *a - *b : *a * *b;
            value = fits(v) ? std::optional<int64_t>{v} : std::nullopt;
        } else {
            value = std::nullopt;
        }
        return operation(TermKind::binary, static_cast<int>(op), std::move(l), std::move(r));
    }
    }
}

} // namespace

TEST(DeepTerms, EvaluationAgreesWithWideArithmeticAtEveryDepth) {
    std::mt19937 rng{7};
    Binding none;
    for (int round = 0; round < 300; ++round) {
        int depth = static_cast<int>(rng() % 200);
        std::optional<int64_t> expected;
        Term t = random_term(rng, depth, expected);
        Gondra::Symbols::Symbol value;
        Term const* failed = nullptr;
        bool ok = evaluate(t, none, value, failed);
        ASSERT_EQ(ok, expected.has_value()) << "depth " << depth << ": " << t.to_string();
        if (ok) {
            EXPECT_EQ(value.number(), *expected);
        } else {
            ASSERT_NE(failed, nullptr);
            EXPECT_NE(failed->kind, TermKind::constant);
        }
        // Copies are independent, equal trees.
        Term copy = t;
        EXPECT_EQ(copy.to_string(), t.to_string());
    }
}

TEST(DeepTerms, LongChainsGroundAndSolve) {
    std::string sum = chain("1", "+", "1", 100000);
    EXPECT_EQ(models("p(" + sum + ").\n"), (Models{"p(100000)"}));
    EXPECT_EQ(models("#const n = " + chain("2", "*", "1", 100000) + ".\np(n).\n"), (Models{"p(2)"}));
    // With a variable the chain stays a term until the variable is bound.
    EXPECT_EQ(models("q(1..2).\np(" + chain("X", "-", "1", 100000) + ") :- q(X).\n"),
              (Models{"p(-99997) p(-99998) q(1) q(2)"}));
    EXPECT_EQ(models("q(1..3).\nr(X) :- q(X), " + chain("X", "+", "X", 100000) + " > 200000.\n"),
              (Models{"q(1) q(2) q(3) r(3)"}));
    // Variables in the order written, however long the chain.
    EXPECT_EQ(models("q(1..2).\np(" + chain("X", "+", "Y", 50000) + ") :- q(X), q(Y), X < Y.\n"),
              (Models{"p(99999) q(1) q(2)"}));
}

TEST(DeepTerms, LongTermsPrintAndAnUndefinedChainNamesItsFirstFailure) {
    Term t = number(1);
    for (int i = 0; i < 100000; ++i)
        t = operation(TermKind::binary, static_cast<int>(BinaryOperator::Plus), std::move(t), number(2));
    std::string text = t.to_string();
    EXPECT_EQ(text.substr(0, 3), "(((");
    EXPECT_EQ(text.substr(text.size() - 9), "+2)+2)+2)");
    EXPECT_EQ(text.size(), 100000u * 4 + 1);

    Grounded g;
    ground(g, "q(a).\np(" + chain("X", "+", "1", 100000) + ") :- q(X).\n");
    EXPECT_EQ(g.error, "");
    EXPECT_EQ(g.infos(), "<string>:2:3-6: info: operation undefined: (X+1)");
}

TEST(DeepTerms, LongTheoryChainsGroundAndPrint) {
    char const* theory = "#theory t { e { + : 1, binary, left; - : 2, unary; ** : 3, binary, right };\n"
                         "  &s/0 : e, {<=}, e, any }.\n";
    Grounded g;
    ground(g, std::string{theory} + "q(1).\n:- &s { " + chain("X", "+", "x", 100000) + " : q(X) } <= 1.\n" +
                  ":- &s { " + std::string(60000, '-') + "y; " + chain("2", "**", "2", 40000) + " }.\n");
    ASSERT_EQ(g.error, "");
    ASSERT_EQ(g.program.theory.atoms.size(), 2u);
    std::string first;
    Gondra::Ground::print_theory_atom(first, g.program.theory, 0);
    EXPECT_EQ(first.substr(0, 16), "&s{" + std::string(13, '('));
    EXPECT_EQ(first.substr(first.size() - 13), "x)+x)+x} <= 1");
    EXPECT_NE(g.text().find("**(2**(2**2)))"), std::string::npos);
}

TEST(DeepTerms, DeeplyNestedSymbolsBecomeTheoryTerms) {
    // Grounding, not the text, nests f(f(...)) here; the theory atom's
    // element is the symbol as a theory term.
    Grounded g;
    ground(g, "#theory t { e { }; &s/0 : e, any }.\n"
              "c(0,z). c(N+1,f(X)) :- c(N,X), N < 100000.\n"
              "&s { X } :- c(100000,X).\n");
    ASSERT_EQ(g.error, "");
    ASSERT_EQ(g.program.theory.atoms.size(), 1u);
    std::string atom;
    Gondra::Ground::print_theory_atom(atom, g.program.theory, 0);
    EXPECT_EQ(atom.size(), std::string{"&s{z}"}.size() + 100000 * 3);
    EXPECT_EQ(atom.substr(0, 9), "&s{f(f(f(");
}
