// Reads theory atoms that the real host grounds from small programs.

#include "parsing/theory_atom_parser.hpp"
#include "recording_builder.hpp"
#include "tarvex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Tarvex;
using Tarvex::Testing::RecordingBuilder;
using Calls = std::vector<std::string>;

namespace {

class TheoryAtomTest : public ::testing::Test {
protected:
    void TearDown() override {
        gondra_control_free(control_);
        tarvex_destroy(theory_);
    }

    // Grounds the program together with the theory's grammar and parses its
    // atoms; returns the builder calls or, on an exception, its message.
    Calls parse(std::string const& program, bool expect_result = true) {
        ground(program);
        try {
            EXPECT_EQ(parse_theory_atoms(*builder, Host::TheoryAtoms{atoms_}), expect_result);
        } catch (std::exception const& e) {
            // The location prefix has its own test.
            std::string what = e.what();
            std::string const marker = ": error: ";
            if (auto at = what.find(marker); at != std::string::npos) {
                what.erase(0, at + marker.size());
            }
            return {"error: " + what};
        }
        return builder->calls;
    }

    void ground(std::string const& program) {
        gondra_control_free(control_);
        control_ = nullptr;
        tarvex_destroy(theory_);
        theory_ = nullptr;
        // A fresh builder per program, so every program records its variables;
        // the failing operations and true literals carry over.
        auto failing = builder->failing;
        auto true_literals = builder->true_literals;
        auto solver_literals = builder->solver_literals;
        builder.emplace();
        builder->solver_literals = solver_literals;
        builder->failing = failing;
        builder->true_literals = true_literals;
        ASSERT_TRUE(gondra_control_new(nullptr, 0, nullptr, nullptr, 20, &control_)) << gondra_error_message();
        ASSERT_TRUE(tarvex_create(&theory_));
        ASSERT_TRUE(tarvex_register(theory_, control_)) << gondra_error_message();
        ASSERT_TRUE(gondra_control_add(control_, "base", nullptr, 0, program.c_str())) << gondra_error_message();
        gondra_part_t part{"base", nullptr, 0};
        ASSERT_TRUE(gondra_control_ground(control_, &part, 1)) << gondra_error_message();
        ASSERT_TRUE(gondra_control_theory_atoms(control_, &atoms_)) << gondra_error_message();
    }

    std::optional<RecordingBuilder> builder{std::in_place};
    gondra_theory_atoms_t const* atoms_ = nullptr;

private:
    gondra_control_t* control_ = nullptr;
    tarvex_theory_t* theory_ = nullptr;
};

std::string const invalid_syntax = "error: Invalid Syntax";
std::string const invalid_sum = "error: Invalid Syntax: invalid sum constraint";
std::string const invalid_difference = "error: Invalid Syntax: invalid difference constraint";

TEST_F(TheoryAtomTest, SumAtoms) {
    EXPECT_EQ(parse("&__sum_h{} <= 5."), (Calls{"map", "sum(5:<=1)"}));
    EXPECT_EQ(parse("&__sum_h{} <= -5."), (Calls{"map", "sum(5:<=-5)"}));
    EXPECT_EQ(parse("&__sum_h{x; 3} <= 10."), (Calls{"map", "var(x)", "sum(5:1*x<=7)"}));
    // Two elements with different tuples contribute x twice.
    EXPECT_EQ(parse("&__sum_h{x,1; x,2} <= 4."), (Calls{"map", "var(x)", "sum(5:1*x<=2)"}));
    EXPECT_EQ(parse("&__sum_h{b; a} <= c + 2."), (Calls{"map", "var(b)", "var(a)", "var(c)",
                                                        "sum(5:1*b 1*a -1*c<=2)"}));
    EXPECT_EQ(parse("&__sum_h{3 * (2 * x); 2 * (y + 3)} <= 8."), (Calls{"map", "var(x)", "var(y)",
                                                                       "sum(5:3*x 1*y<=1)"}));
    EXPECT_EQ(parse("&__sum_h{7 / 2 * x; 2 ** 3; -7 \\ 2} <= 0."), (Calls{"map", "var(x)", "sum(5:3*x<=-7)"}));
    EXPECT_EQ(parse("&__sum_h{f(1 + 1); f(2); -(-g)} <= 0."), (Calls{"map", "var(f(2))", "var(g)",
                                                                    "sum(5:2*f(2) 1*g<=0)"}));
    EXPECT_EQ(parse("a :- &__sum_b{x} > 3."), (Calls{"map", "var(x)", "sum(5:-1*x<=-4,strict)"}));
}

TEST_F(TheoryAtomTest, SumAtomErrors) {
    EXPECT_EQ(parse("&__sum_h{x}."), Calls{invalid_syntax});
    EXPECT_EQ(parse("&__sum_h{[1, 2]} <= 1."), Calls{invalid_sum});
    EXPECT_EQ(parse("&__sum_h{x * y} <= 1."), Calls{"error: Invalid Syntax: only linear sum constraints are supported"});
    EXPECT_EQ(parse("&__sum_h{x / 2} <= 1."), Calls{invalid_syntax});
    EXPECT_EQ(parse("&__sum_h{f(-(1, 2))} <= 1."), Calls{invalid_syntax});
    // Sums are read as lists, not evaluated: the constants move to the right
    // one by one and only the total must fit.
    EXPECT_EQ(parse("&__sum_h{2147483647 + 1} <= 1."), Calls{"error: value too small"});
    EXPECT_EQ(parse("&__sum_h{-2147483647 - 1; 1} <= -1."), Calls{"error: integer overflow"});
    EXPECT_EQ(parse("&__sum_h{5 / 0} <= 1."), Calls{"error: division by zero"});
    EXPECT_EQ(parse("&__sum_h{x} <= -5 \\ 0."), Calls{"error: division by zero"});
    EXPECT_EQ(parse("&__sum_h{1073741824} <= 1."), (Calls{"map", "sum(5:<=-1073741823)"}));
    EXPECT_EQ(parse("&__sum_h{1073741824} <= 0."), Calls{"error: value too small"});
}

TEST_F(TheoryAtomTest, LongSumsDoNotNeedADeepStack) {
    std::string sum = "x0";
    for (int i = 1; i < 5000; ++i) {
        sum += " + x" + std::to_string(i);
    }
    auto calls = parse("&__sum_h{" + sum + "} <= 1.");
    ASSERT_EQ(calls.size(), 5002U);
    EXPECT_EQ(calls[1], "var(x0)");
    EXPECT_EQ(calls[5000], "var(x4999)");
}

TEST_F(TheoryAtomTest, DifferenceAtoms) {
    EXPECT_EQ(parse("&__diff_h{x - 5} <= 3."), (Calls{"map", "var(x)", "sum(5:1*x<=8)"}));
    EXPECT_EQ(parse("&__diff_h{x - y} <= -2."), (Calls{"map", "var(x)", "var(y)", "sum(5:1*x -1*y<=-2)"}));
    EXPECT_EQ(parse("&__diff_h{x}."), Calls{invalid_syntax});
    EXPECT_EQ(parse("&__diff_h{x - y; y - z} <= 3."), Calls{invalid_difference});
    EXPECT_EQ(parse("&__diff_h{x + y} <= 3."), Calls{invalid_difference});
    EXPECT_EQ(parse("&__diff_h{x - y} <= z."), Calls{"error: Invalid Syntax: invalid difference constraint"});
    EXPECT_EQ(parse("&__diff_h{x + 1 - y} <= 0."), Calls{invalid_syntax});
    EXPECT_EQ(parse("{p}. &__diff_h{x - y : p} <= 0."), Calls{invalid_sum});
}

TEST_F(TheoryAtomTest, NonlinearAtoms) {
    EXPECT_EQ(parse("&__nsum_h{x * y; y * x} <= 10."),
              (Calls{"map", "var(x)", "var(y)", "nonlinear(5:1*x*y+0*_<=5)"}));
    EXPECT_EQ(parse("&__nsum_h{2 * x * y; 3 * z} <= 1."),
              (Calls{"map", "var(x)", "var(y)", "var(z)", "nonlinear(5:2*x*y+3*z<=1)"}));
    EXPECT_EQ(parse("&__nsum_h{x * y}."), Calls{invalid_syntax});
    EXPECT_EQ(parse("&__nsum_h{x * y * z} <= 1."),
              Calls{"error: nonlinear terms with more than 2 variables are not supported"});
    EXPECT_EQ(parse("&__nsum_h{x; y} <= 1."), Calls{"error: nonlinear sums can have at most one linear term"});
    EXPECT_EQ(parse("&__nsum_h{x * y; x * z} <= 1."),
              Calls{"error: nonlinear sums can have at most one nonlinear term"});
    EXPECT_EQ(parse("{p}. &__nsum_h{x * y : p} <= 1."), Calls{invalid_sum});
}

TEST_F(TheoryAtomTest, DistinctAndDisjointAtoms) {
    EXPECT_EQ(parse("&distinct{x + 1; 2 * y}."), (Calls{"var(x)", "var(y)", "map", "distinct(5:[1*x+1][2*y+0])"}));
    EXPECT_EQ(parse("&disjoint{x @ 2; y @ 0}."), (Calls{"var(x)", "map", "disjoint(5:[x@2])"}));
    std::string const invalid_disjoint = "error: Invalid Syntax: invalid disjoint statement";
    EXPECT_EQ(parse("&disjoint{3 @ 2}."), Calls{invalid_disjoint});
    EXPECT_EQ(parse("&disjoint{x @ y}."), Calls{invalid_disjoint});
    EXPECT_EQ(parse("&disjoint{x}."), Calls{invalid_disjoint});
}

TEST_F(TheoryAtomTest, ShowAtoms) {
    EXPECT_EQ(parse("&show{x / 1; y}."), (Calls{"enable_show", "show(x/1)", "var(y)", "show(y)"}));
    EXPECT_EQ(parse("&show{}."), (Calls{"enable_show"}));
    std::string const invalid_show = "error: Invalid Syntax: invalid show statement";
    EXPECT_EQ(parse("&show{f(1) / 1}."), Calls{invalid_show});
    EXPECT_EQ(parse("&show{x / y}."), Calls{invalid_show});
    // Any arity is a signature, even one that no symbol has.
    EXPECT_EQ(parse("&show{x / -1}."), (Calls{"enable_show", "show(x/-1)"}));
    EXPECT_EQ(parse("&show{3}."), Calls{invalid_show});
    EXPECT_EQ(parse("&show{x, y}."), Calls{invalid_show});
}

TEST_F(TheoryAtomTest, DomainAtoms) {
    EXPECT_EQ(parse("&dom{1..3; 5; 4} = x."), (Calls{"var(x)", "map", "dom(5:x=[1,6))"}));
    EXPECT_EQ(parse("&dom{5..3} = x."), (Calls{"var(x)", "map", "dom(5:x=)"}));
    EXPECT_EQ(parse("&dom{-2 .. -1+1; 2*5} = f(a)."), (Calls{"var(f(a))", "map", "dom(5:f(a)=[-2,1)[10,11))"}));
    std::string const invalid_dom = "error: Invalid Syntax: invalid dom statement";
    EXPECT_EQ(parse("&dom{1..3}."), Calls{invalid_dom});
    EXPECT_EQ(parse("&dom{a} = x."), Calls{invalid_dom});
    EXPECT_EQ(parse("&dom{1..a} = x."), Calls{invalid_dom});
    EXPECT_EQ(parse("&dom{1, 2} = x."), Calls{invalid_dom});
    EXPECT_EQ(parse("&dom{1..1073741824} = x."), Calls{"error: value too large"});
    // Intervals inside other terms are not taken apart.
    EXPECT_EQ(parse("&dom{f(1..2)} = x."), Calls{invalid_syntax});
}

TEST_F(TheoryAtomTest, ObjectiveAtoms) {
    EXPECT_EQ(parse("&maximize{x; 3}."), (Calls{"var(x)", "objective(-1*x)", "objective(-3*_)"}));
    EXPECT_EQ(parse("&minimize{2 * x; x}."), (Calls{"var(x)", "objective(2*x)", "objective(1*x)"}));
}

// The builder's literal 5 stands for every program literal here: for the
// atom and for each condition.
TEST_F(TheoryAtomTest, ConditionalSumAndObjectiveElements) {
    // A constant counts through a 0/1 indicator of its condition, shared by
    // all elements with that condition.
    EXPECT_EQ(parse("{p}. &__sum_h{3 : p; 4 : p; x} <= 6."),
              (Calls{"map", "map", "var(_0)", "dom(1:_0=[0,2))", "sum(5:-1*_0<=-1,strict)", "map", "var(x)",
                     "sum(5:7*_0 1*x<=6)"}));
    // A variable term counts through a variable equal to it when the
    // condition holds and 0 otherwise.
    EXPECT_EQ(parse("{p}. &__sum_h{x + 1 : p} <= 1."),
              (Calls{"map", "var(x)", "map", "var(_1)", "dom(1:_1=[0,2))", "sum(5:-1*_1<=-1,strict)", "var(_2)",
                     "sum(5:1*_2 -1*x<=0)", "sum(5:-1*_2 1*x<=0)", "sum(-5:1*_2<=0)", "sum(-5:-1*_2<=0)",
                     "sum(5:1*_1 1*_2<=1)"}));
    // A condition that is true at the root is no condition; a false one
    // drops the element but keeps its variables.
    builder->true_literals = {5};
    EXPECT_EQ(parse("{p}. &__sum_h{x : p} <= 1."), (Calls{"map", "var(x)", "map", "sum(5:1*x<=1)"}));
    builder->true_literals = {-5};
    EXPECT_EQ(parse("{p}. &__sum_h{x : p; y} <= 1."), (Calls{"map", "var(x)", "map", "var(y)"}));
    // Domains that always hold bound that variable by 0 and the term's
    // range: literals 1 for the domain, then 5 and 6 for atom and condition.
    builder->true_literals = {};
    builder->solver_literals = {1, 5, 6};
    auto calls = parse("&dom{-2..3} = x. {p}. &__sum_h{-2*x : p} <= 1.");
    EXPECT_EQ(calls.back(), "dom(1:_1=[-6,5))") << calls.size();
    builder->solver_literals = {};
    EXPECT_EQ(parse("{p}. &maximize{2 : p}."),
              (Calls{"map", "var(_0)", "dom(1:_0=[0,2))", "sum(5:-1*_0<=-1,strict)", "objective(-2*_0)"}));
    // Elements of differences and nonlinear sums keep needing facts.
    EXPECT_EQ(parse("{p}. &__diff_h{x - y : p} <= 0."), Calls{invalid_sum});
    EXPECT_EQ(parse("{p}. &__nsum_h{x * y : p} <= 1."), Calls{invalid_sum});
}

TEST_F(TheoryAtomTest, ConditionalDistinctAndDisjointElements) {
    // The unconditional elements form one constraint; a pair with a
    // condition gets its own under the conjunction of the atom and the
    // conditions.
    EXPECT_EQ(parse("{p}. &distinct{x : p; y; z}."),
              (Calls{"var(x)", "map", "var(y)", "var(z)", "map", "distinct(5:[1*y+0][1*z+0])",
                     "distinct(5:[1*x+0][1*y+0])", "distinct(5:[1*x+0][1*z+0])"}));
    builder->true_literals = {-5};
    EXPECT_EQ(parse("{p}. &disjoint{x @ 1 : p; y @ 2; z @ 3}."),
              (Calls{"var(x)", "map", "var(y)", "var(z)", "map", "disjoint(5:[y@2][z@3])"}));
    builder->true_literals = {};
    // One conditional task alone constrains nothing.
    EXPECT_EQ(parse("{p}. &disjoint{x @ 1 : p}."), (Calls{"var(x)", "map", "map"}));
}

TEST_F(TheoryAtomTest, ErrorsNameTheAtomAndKeepTheirType) {
    ground("a.\n"
           "  &__sum_h{x} <= 1.\n"
           "b :- &__sum_b{2147483647 * y} <= 3.");
    Host::TheoryAtoms atoms{atoms_};
    try {
        parse_theory_atoms(*builder, atoms);
        ADD_FAILURE() << "no error";
    } catch (std::runtime_error const& e) {
        // The range checks report with an underflow_error either way.
        EXPECT_EQ(typeid(e), typeid(std::underflow_error));
        EXPECT_STREQ(e.what(), "<string>:3:6-35: error: value too large");
    }
    ground("&__sum_h{x} <=\n"
           "  [1].");
    try {
        parse_theory_atoms(*builder, Host::TheoryAtoms{atoms_});
        ADD_FAILURE() << "no error";
    } catch (std::runtime_error const& e) {
        EXPECT_EQ(typeid(e), typeid(std::runtime_error));
        EXPECT_STREQ(e.what(), "<string>:1:1-2:6: error: Invalid Syntax: invalid sum constraint");
    }
}

TEST_F(TheoryAtomTest, ConflictsStopReadingAndOtherTheoriesAreSkipped) {
    builder->failing = {"build_sum"};
    auto calls = parse("&__sum_h{x} <= 1. &__sum_h{y} <= 1.", false);
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](auto const& c) { return c.starts_with("sum("); }), 1);

    builder->failing.clear();
    EXPECT_EQ(parse("#theory other { t { }; &sum/0 : t, any }. &sum{x}."), Calls{});
}

} // namespace
