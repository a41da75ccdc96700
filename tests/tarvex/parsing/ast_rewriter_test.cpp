// Rewrites statements that the real host parses and compares the printed
// results.

#include "parsing/ast_rewriter.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace Tarvex;
using Host::Ast;
using Texts = std::vector<std::string>;

namespace {

// The statements of the program, without the leading "#program base.".
std::vector<Ast> parse(std::string const& program) {
    std::vector<Ast> statements;
    auto add = [](gondra_ast_t* ast, void* data) {
        static_cast<std::vector<Ast>*>(data)->push_back(Ast::acquire(ast));
        return true;
    };
    EXPECT_TRUE(gondra_ast_parse_string(program.c_str(), add, &statements, nullptr, nullptr, 0))
        << gondra_error_message();
    if (!statements.empty() && statements.front().type() == gondra_ast_type_program) {
        statements.erase(statements.begin());
    }
    return statements;
}

// Every statement of the program rewritten and printed; an exception's
// message as "error: ..." in place of the statements of the failing one.
Texts rewrite(std::string const& program, bool shift = true) {
    Texts texts;
    for (Ast const& statement : parse(program)) {
        try {
            rewrite_statement(statement, [&](Ast const& result) { texts.push_back(result.to_string()); }, shift);
        } catch (std::exception const& e) {
            texts.push_back(std::string("error: ") + e.what());
        }
    }
    return texts;
}

// How the host prints the program itself.
Texts printed(std::string const& program) {
    Texts texts;
    for (Ast const& statement : parse(program)) {
        texts.push_back(statement.to_string());
    }
    return texts;
}

TEST(AstRewriter, RenamesByPositionAndShiftsConstraints) {
    EXPECT_EQ(rewrite("&sum{x} >= 2. a :- &sum{x} < 3, not &diff{x - y} <= 1. &nsum{x * y} = 2."),
              printed("&__sum_h{x} >= 2. a :- &__sum_b{x} < 3, not &__diff_b{x - y} <= 1. &__nsum_h{x * y} = 2."));

    // Each relation forbidden in a constraint becomes its complement in the head.
    char const* const relations[][2] = {{"=", "!="}, {"!=", "="}, {"<", ">="}, {"<=", ">"}, {">", "<="}, {">=", "<"}};
    for (auto const& [relation, complement] : relations) {
        std::string tail = std::string("{x} ") + relation + " 3";
        EXPECT_EQ(rewrite(":- p, &sum" + tail + ", q."),
                  printed(std::string("&__sum_h{x} ") + complement + " 3 :- p, q."))
            << relation;
        EXPECT_EQ(rewrite(":- p, &sum" + tail + ", q.", false), printed(":- p, &__sum_b" + tail + ", q."))
            << relation;
    }
    // A forbidden negated literal means the atom itself; "not not" is the atom.
    EXPECT_EQ(rewrite(":- not &diff{x - y} <= 3."), printed("&__diff_h{x - y} <= 3."));
    EXPECT_EQ(rewrite(":- not not &sum{x} = 3."), printed("&__sum_h{x} != 3."));
    // A negated constant head makes a constraint when the constant is true;
    // the parser writes no such heads, so they are built here.
    for (bool value : {true, false}) {
        auto statements = parse(":- &sum{x} = 3.");
        ASSERT_EQ(statements.size(), 1u);
        Ast rule = statements.front();
        Ast head = rule.child(gondra_ast_attribute_head).copy();
        gondra_ast_t* constant = nullptr;
        ASSERT_TRUE(gondra_ast_build(gondra_ast_type_boolean_constant, &constant, value ? 1 : 0));
        head.set_child(gondra_ast_attribute_atom, Ast::adopt(constant));
        head.set_number(gondra_ast_attribute_sign, gondra_ast_sign_negation);
        rule.set_child(gondra_ast_attribute_head, head);
        Texts handed;
        rewrite_statement(rule, [&](Ast const& result) { handed.push_back(result.to_string()); }, true);
        EXPECT_EQ(handed, value ? printed("&__sum_h{x} != 3.") : Texts{"not #false :- &__sum_b { x } = 3."});
    }

    // Only the first sum literal moves; nsum literals, other theory atoms
    // and rules with a real head stay.
    EXPECT_EQ(rewrite(":- &distinct{x; y}, &sum{x} > 1, &sum{y} > 1."),
              printed("&__sum_h{x} <= 1 :- &distinct{x, 0; y, 1}, &__sum_b{y} > 1."));
    EXPECT_EQ(rewrite(":- &nsum{x * y} > 1."), printed(":- &__nsum_b{x * y} > 1."));
    // The complement of a difference bound is no difference atom: a forbidden
    // difference stays in the body, and a later sum literal moves instead.
    EXPECT_EQ(rewrite(":- &diff{x - y} <= 3, p."), printed(":- &__diff_b{x - y} <= 3, p."));
    EXPECT_EQ(rewrite(":- &diff{x - y} <= 3, &sum{x} = 1."), printed("&__sum_h{x} != 1 :- &__diff_b{x - y} <= 3."));
    EXPECT_EQ(rewrite("a :- &sum{x} > 1."), printed("a :- &__sum_b{x} > 1."));
    EXPECT_EQ(rewrite("#true :- &sum{x} > 1."), printed("#true :- &__sum_b{x} > 1."));

    // Atoms of other names or with arguments are not the theory's.
    EXPECT_EQ(rewrite(":- &sum(1){x} > 1. &summe{x} > 1."), printed(":- &sum(1){x} > 1. &summe{x} > 1."));
}

TEST(AstRewriter, ReportsWhatTheTheoryCannotRead) {
    EXPECT_EQ(rewrite(":- &sum{x}."), Texts{"error: Invalid Syntax"});
    // Without shifting the missing guard is left to the atom's reader.
    EXPECT_EQ(rewrite(":- &sum{x}.", false), printed(":- &__sum_b{x}."));
    EXPECT_EQ(rewrite(":- &sum{x} ?? 1."), Texts{"error: unexpected operator"});
    for (char const* program : {"&sum{x, 1} >= 1.", "&distinct{x; y, z}.", "&minimize{: p}."}) {
        EXPECT_EQ(rewrite(program), Texts{"error: Invalid Syntax"}) << program;
    }
}

TEST(AstRewriter, KeepsElementsApart) {
    // One element gets no index; several get theirs.
    EXPECT_EQ(rewrite("&sum{x} = 1. &sum{x; x; y} = 1."), printed("&__sum_h{x} = 1. &__sum_h{x, 0; x, 1; y, 2} = 1."));
    // The condition's variables that the term lacks follow, in byte order,
    // without the anonymous variable.
    EXPECT_EQ(rewrite("&sum{1 : p(I)} = x."), printed("&__sum_h{1, I : p(I)} = x."));
    EXPECT_EQ(rewrite("&sum{X * y : p(X, b, Z), q(_, Ab, A)} = 1."),
              printed("&__sum_h{X * y, A, Ab, Z : p(X, b, Z), q(_, Ab, A)} = 1."));
    EXPECT_EQ(rewrite("&sum{x : p(_); y : X < 2, q(X)} = 1."),
              printed("&__sum_h{x, 0 : p(_); y, 1, X : X < 2, q(X)} = 1."));
    // The other atoms of the theory are extended but keep their names.
    EXPECT_EQ(rewrite("&distinct{x; y}. &disjoint{x @ 1; y @ 2}. &minimize{x : p(V)}. &maximize{y; z}."),
              printed("&distinct{x, 0; y, 1}. &disjoint{x @ 1, 0; y @ 2, 1}. &minimize{x, V : p(V)}. "
                      "&maximize{y, 0; z, 1}."));
    // Show and domain atoms pass unchanged.
    EXPECT_EQ(rewrite("&show{x; y}. &dom{0 .. 3; 5} = x. &dom{1 : p(X)} = y."),
              printed("&show{x; y}. &dom{0 .. 3; 5} = x. &dom{1 : p(X)} = y."));
}

TEST(AstRewriter, HandsOnEveryExpandedStatement) {
    // Pools in conditions split the element, all others the statement.
    EXPECT_EQ(rewrite("p(1;2). :- &sum{x} > 1, q(1;2). &sum{x : p(1;2)} = 1."),
              printed("p(1). p(2). &__sum_h{x} <= 1 :- q(1). &__sum_h{x} <= 1 :- q(2). "
                      "&__sum_h{x, 0 : p(1); x, 1 : p(2)} = 1."));

    // Statements handed on before a failing one stay handed on.
    auto statements = parse(":- &sum{x} > 1, q(1;2;3).");
    ASSERT_EQ(statements.size(), 1u);
    Texts handed;
    auto add = [&](Ast const& result) {
        if (handed.size() == 1) {
            throw std::runtime_error("rejected");
        }
        handed.push_back(result.to_string());
    };
    EXPECT_THROW(rewrite_statement(statements.front(), add, true), std::runtime_error);
    EXPECT_EQ(handed, printed("&__sum_h{x} <= 1 :- q(1)."));
}

TEST(AstRewriter, LeavesTheInputUntouched) {
    auto statements = parse(":- p, &sum{x; y} > 1.");
    ASSERT_EQ(statements.size(), 1u);
    std::string before = statements.front().to_string();
    Texts handed;
    rewrite_statement(statements.front(), [&](Ast const& result) { handed.push_back(result.to_string()); }, true);
    EXPECT_EQ(handed, printed("&__sum_h{x, 0; y, 1} <= 1 :- p."));
    EXPECT_EQ(statements.front().to_string(), before);

    // A statement with nothing to rewrite is handed on as it is.
    statements = parse("a :- b.");
    std::vector<Ast> same;
    rewrite_statement(statements.front(), [&](Ast const& result) { same.push_back(result); }, true);
    ASSERT_EQ(same.size(), 1u);
    EXPECT_EQ(same.front(), statements.front());
}

// Terms nest as deeply as the input does; the rewriting must not recurse on
// their depth (a chain of 100,000 operands overflowed the stack).
TEST(AstRewriter, WalksLongChainsWithoutRecursion) {
    std::string chain = "1";
    for (int i = 1; i < 100000; ++i) {
        chain += "+1";
    }
    auto statements = parse("p(" + chain + ") :- q(" + chain + "). &sum{x : r(" + chain + ", Y)} >= 2 :- s(Y).");
    ASSERT_EQ(statements.size(), 2u);
    std::size_t handed = 0;
    for (Ast const& statement : statements) {
        rewrite_statement(statement, [&](Ast const&) { ++handed; }, true);
    }
    EXPECT_EQ(handed, 2u);
}

} // namespace
