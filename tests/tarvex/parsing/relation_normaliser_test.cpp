#include "parsing/relation_normaliser.hpp"
#include "recording_builder.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace Tarvex;
using Tarvex::Testing::RecordingBuilder;
using Calls = std::vector<std::string>;

namespace {

constexpr var_id x = 0;
constexpr var_id y = 1;
constexpr var_id z = 2;
constexpr literal_t lit = 5;

class RelationTest : public ::testing::Test {
protected:
    RelationTest() {
        builder.variable_names = {"x", "y", "z"};
        builder.true_literals = {1};
    }

    Calls sum(LinearTerm const& term, Relation relation, value_t rhs, bool body, bool expect = true) {
        builder.calls.clear();
        EXPECT_EQ(add_sum_relation(builder, lit, term, relation, rhs, body), expect);
        return builder.calls;
    }
    Calls nonlinear(std::vector<ProductTerm> const& term, Relation relation, value_t rhs, bool body) {
        builder.calls.clear();
        EXPECT_TRUE(add_nonlinear_relation(builder, lit, term, relation, rhs, body));
        return builder.calls;
    }
    std::string nonlinear_error(std::vector<ProductTerm> const& term) {
        try {
            add_nonlinear_relation(builder, lit, term, Relation::less_equal, 0, false);
        } catch (std::runtime_error const& e) {
            return e.what();
        }
        return "no error";
    }

    RecordingBuilder builder;
    LinearTerm const x_plus_y{{1, x}, {1, y}};
};

TEST(DivideByGcd, DividesCoefficientsAndConstantTogether) {
    LinearTerm term{{2, x}, {4, y}};
    value_t rhs = 6;
    divide_by_gcd(term, rhs);
    EXPECT_EQ(term, (LinearTerm{{1, x}, {2, y}}));
    EXPECT_EQ(rhs, 3);

    term = {{2, x}, {4, y}};
    rhs = 7;
    divide_by_gcd(term, rhs);
    EXPECT_EQ(term, (LinearTerm{{2, x}, {4, y}}));
    EXPECT_EQ(rhs, 7);

    term = {{-6, x}, {9, y}};
    rhs = 0;
    divide_by_gcd(term, rhs);
    EXPECT_EQ(term, (LinearTerm{{-2, x}, {3, y}}));
    EXPECT_EQ(rhs, 0);

    term = {};
    for (auto [before, after] : {std::pair{5, 1}, {-5, -5}, {1, 1}, {0, 0}}) {
        rhs = before;
        divide_by_gcd(term, rhs);
        EXPECT_EQ(rhs, after) << before;
    }

    std::vector<ProductTerm> products{{4, {x, y}}, {-8, {z}}};
    rhs = 12;
    divide_by_gcd(products, rhs);
    EXPECT_EQ(products, (std::vector<ProductTerm>{{1, {x, y}}, {-2, {z}}}));
    EXPECT_EQ(rhs, 3);
}

TEST_F(RelationTest, HeadRelationsOnlyImply) {
    EXPECT_EQ(sum(x_plus_y, Relation::less_equal, 5, false), (Calls{"sum(5:1*x 1*y<=5)"}));
    EXPECT_EQ(sum(x_plus_y, Relation::less, 5, false), (Calls{"sum(5:1*x 1*y<=4)"}));
    EXPECT_EQ(sum(x_plus_y, Relation::greater_equal, 5, false), (Calls{"sum(5:-1*x -1*y<=-5)"}));
    EXPECT_EQ(sum(x_plus_y, Relation::greater, 5, false), (Calls{"sum(5:-1*x -1*y<=-6)"}));
    EXPECT_EQ(sum(x_plus_y, Relation::equal, 3, false), (Calls{"sum(5:1*x 1*y<=3)", "sum(5:-1*x -1*y<=-3)"}));
    EXPECT_EQ(sum(x_plus_y, Relation::not_equal, 3, false),
              (Calls{"new(10)", "new(11)", "clause(10,11,-5)", "clause(-10,-11)", "clause(5,-10)", "clause(5,-11)",
                     "sum(10:1*x 1*y<=2)", "sum(11:-1*x -1*y<=-4)"}));
    // A head atom that is already false requires nothing.
    builder.true_literals.insert(-lit);
    EXPECT_EQ(sum(x_plus_y, Relation::less_equal, 5, false), Calls{});
}

TEST_F(RelationTest, BodyRelationsAreEquivalences) {
    EXPECT_EQ(sum({{1, x}}, Relation::greater, 3, true), (Calls{"sum(5:-1*x<=-4,strict)"}));
    EXPECT_EQ(sum(x_plus_y, Relation::less_equal, 5, true),
              (Calls{"sum(5:1*x 1*y<=5)", "sum(-5:-1*x -1*y<=-6)"}));
    EXPECT_EQ(sum(x_plus_y, Relation::equal, 3, true),
              (Calls{"new(10)", "new(11)", "clause(-5,10)", "clause(-5,11)", "clause(-10,-11,5)", "clause(10,11)",
                     "sum(10:1*x 1*y<=3)", "sum(-10:-1*x -1*y<=-4)", "sum(11:-1*x -1*y<=-3)",
                     "sum(-11:1*x 1*y<=2)"}));
    EXPECT_EQ(sum({{2, x}}, Relation::not_equal, 4, true),
              (Calls{"new(12)", "new(13)", "clause(5,12)", "clause(5,13)", "clause(-12,-13,-5)", "clause(12,13)",
                     "sum(12:2*x<=4,strict)", "sum(13:-2*x<=-4,strict)"}));
}

TEST_F(RelationTest, ParityDecidesEqualitiesWithoutConstraints) {
    LinearTerm even{{2, x}, {-4, y}};
    EXPECT_EQ(sum(even, Relation::equal, 3, false), Calls{"clause(-5)"});
    EXPECT_EQ(sum(even, Relation::equal, 3, true), Calls{"clause(-5)"});
    EXPECT_EQ(sum(even, Relation::not_equal, 3, false), Calls{});
    EXPECT_EQ(sum(even, Relation::not_equal, 3, true), Calls{"clause(5)"});
    EXPECT_EQ(nonlinear({{6, {x, y}}, {3, {z}}}, Relation::equal, 1, true), Calls{"clause(-5)"});
    // Inequalities and divisible right-hand sides are posted as usual.
    EXPECT_EQ(sum(even, Relation::less_equal, 3, false), (Calls{"sum(5:2*x -4*y<=3)"}));
    EXPECT_EQ(sum(even, Relation::equal, 2, false), (Calls{"sum(5:2*x -4*y<=2)", "sum(5:-2*x 4*y<=-2)"}));
}

TEST_F(RelationTest, BodyEqualityUnderATrueLiteralUsesTheTrueLiteral) {
    builder.true_literals.insert(lit);
    EXPECT_EQ(sum(x_plus_y, Relation::equal, 3, true),
              (Calls{"clause(-5,1)", "clause(-5,1)", "clause(-1,-1,5)", "sum(1:1*x 1*y<=3)",
                     "sum(1:-1*x -1*y<=-3)"}));
}

TEST_F(RelationTest, ConflictsStopAtOnce) {
    builder.failing = {"build_sum"};
    EXPECT_EQ(sum(x_plus_y, Relation::equal, 3, false, false), (Calls{"sum(5:1*x 1*y<=3)"}));
    EXPECT_EQ(sum(x_plus_y, Relation::less_equal, 3, true, false), (Calls{"sum(5:1*x 1*y<=3)"}));
    builder.failing = {"push_clause"};
    EXPECT_EQ(sum(x_plus_y, Relation::not_equal, 3, false, false), (Calls{"new(10)", "new(11)", "clause(10,11,-5)"}));
}

TEST_F(RelationTest, RightHandSidesThatLeaveThirtyTwoBitsFail) {
    EXPECT_THROW(sum({{1, x}}, Relation::greater, 2147483647, false), std::overflow_error);
    EXPECT_THROW(sum({{1, x}}, Relation::less, -2147483647 - 1, false), std::underflow_error);
    EXPECT_THROW(sum({{1, x}}, Relation::greater_equal, -2147483647 - 1, false), std::overflow_error);
}

TEST_F(RelationTest, NonlinearTermsArePostedByShape) {
    EXPECT_EQ(nonlinear({{2, {x, y}}, {3, {z}}}, Relation::less_equal, 10, false),
              (Calls{"nonlinear(5:2*x*y+3*z<=10)"}));
    EXPECT_EQ(nonlinear({{1, {x, y}}}, Relation::greater, 4, true), (Calls{"nonlinear(5:-1*x*y+0*_<=-5,strict)"}));
    EXPECT_EQ(nonlinear({{3, {z}}}, Relation::less_equal, 1, false), (Calls{"nonlinear(5:0*_*_+3*z<=1)"}));
    EXPECT_EQ(check_nonlinear_shape({{3, {z}}, {-1, {y, x}}}), (NonlinearShape{-1, y, x, 3, z}));
}

TEST_F(RelationTest, NonlinearShapeErrors) {
    EXPECT_EQ(nonlinear_error({{1, {x, y, z}}}), "nonlinear terms with more than 2 variables are not supported");
    EXPECT_EQ(nonlinear_error({{1, {x}}, {1, {y}}}), "nonlinear sums can have at most one linear term");
    EXPECT_EQ(nonlinear_error({{1, {x, y}}, {1, {x, z}}}), "nonlinear sums can have at most one nonlinear term");
    // Nothing is posted for a false head atom, so nothing is examined.
    builder.true_literals.insert(-lit);
    EXPECT_EQ(nonlinear_error({{1, {x, y, z}}}), "no error");
}

TEST(ParseRelation, KnowsTheSixRelations) {
    EXPECT_EQ(parse_relation("<="), Relation::less_equal);
    EXPECT_EQ(parse_relation("="), Relation::equal);
    EXPECT_EQ(parse_relation("!="), Relation::not_equal);
    EXPECT_EQ(parse_relation("<"), Relation::less);
    EXPECT_EQ(parse_relation(">"), Relation::greater);
    EXPECT_EQ(parse_relation(">="), Relation::greater_equal);
    EXPECT_THROW(parse_relation("=="), std::runtime_error);
}

} // namespace
