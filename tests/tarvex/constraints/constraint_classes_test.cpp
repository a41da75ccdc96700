#include "constraints/disjoint_constraint.hpp"
#include "constraints/distinct_constraint.hpp"
#include "constraints/minimize_constraint.hpp"
#include "constraints/sum_constraint.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace Tarvex {
namespace {

TEST(ConstraintClasses, SumCopiesAndOptionallySortsByMagnitude) {
    std::vector<CoefVar> elements{{3, 0}, {-5, 1}, {1, 2}};
    auto const original = elements;
    auto sorted = SumConstraint::create(7, 4, elements, true);
    auto kept = SumConstraint::create(7, 4, elements, false);
    EXPECT_EQ(elements, original);
    auto const& s = static_cast<SumConstraint const&>(*sorted);
    auto const& k = static_cast<SumConstraint const&>(*kept);
    EXPECT_EQ(std::vector<CoefVar>(s.elements().begin(), s.elements().end()),
              (std::vector<CoefVar>{{-5, 1}, {3, 0}, {1, 2}}));
    EXPECT_EQ(std::vector<CoefVar>(k.elements().begin(), k.elements().end()), original);
    EXPECT_EQ(s.constraint_literal(), 7);
    EXPECT_EQ(s.rhs(), 4);
}

TEST(ConstraintClasses, DistinctStoresTermRecordsBeforeTheirElements) {
    std::vector<DistinctConstraint::Term> terms{
        {{{1, 0}}, 0}, {{{1, 1}}, 1}, {{}, 4}, {{{1, 2}, {-7, 3}}, 2}};
    auto constraint = DistinctConstraint::create(9, terms, true);
    auto const& d = static_cast<DistinctConstraint const&>(*constraint);
    ASSERT_EQ(d.size(), 4U);
    auto stored = d.terms();
    EXPECT_EQ(stored[0].constant, 0);
    EXPECT_EQ(stored[1].constant, 1);
    EXPECT_EQ(stored[2].constant, 4);
    EXPECT_EQ(stored[0].count, 1U);
    EXPECT_EQ(stored[1].count, 1U);
    EXPECT_EQ(stored[2].count, 0U);
    EXPECT_EQ(stored[1].element_span()[0], (CoefVar{1, 1}));
    // Each term is sorted on its own.
    EXPECT_EQ(stored[3].element_span()[0], (CoefVar{-7, 3}));
    EXPECT_EQ(stored[3].element_span()[1], (CoefVar{1, 2}));
    // Elements lie inside the object, after the records.
    EXPECT_EQ(static_cast<void const*>(stored[0].elements), static_cast<void const*>(stored.data() + stored.size()));
    EXPECT_EQ(stored[3].elements, stored[1].elements + 1);
}

TEST(ConstraintClasses, ObjectiveLiteralIsAlwaysTrue) {
    auto constraint = MinimizeConstraint::create(-3, std::vector<CoefVar>{{2, 0}, {-9, 1}}, true);
    auto const& m = static_cast<MinimizeConstraint const&>(*constraint);
    EXPECT_EQ(m.constraint_literal(), 1);
    EXPECT_EQ(m.adjust(), -3);
    EXPECT_EQ(m.elements()[0], (CoefVar{-9, 1}));
}

TEST(ConstraintClasses, DisjointKeepsTheGivenOrder) {
    std::vector<CoefVar> elements{{1, 4}, {5, 2}, {3, 0}};
    auto constraint = DisjointConstraint::create(-6, elements);
    auto const& d = static_cast<DisjointConstraint const&>(*constraint);
    EXPECT_EQ(std::vector<CoefVar>(d.elements().begin(), d.elements().end()), elements);
    EXPECT_EQ(d.constraint_literal(), -6);
}

} // namespace
} // namespace Tarvex
