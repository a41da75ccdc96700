// Malformed theory atoms stop the solve call: the host returns false with
// the theory's message and error code instead of solving a different program.

#include "host_session.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace Tarvex::Testing;

namespace {

TEST(HostErrors, EveryAtomErrorReachesTheHost) {
    std::vector<std::pair<std::string, std::string>> const cases{
        {"&sum{x}.", "Invalid Syntax"},
        {"{p}. &nsum{x * y : p} <= 1.", "Invalid Syntax: invalid sum constraint"},
        {"&sum{[1, 2]} <= 1.", "Invalid Syntax: invalid sum constraint"},
        {"&diff{x - y; y - z} <= 3.", "Invalid Syntax: invalid difference constraint"},
        {"a :- &diff{x - y} <= z.", "Invalid Syntax: invalid difference constraint"},
        {"&disjoint{3 @ 2}.", "Invalid Syntax: invalid disjoint statement"},
        {"&show{f(1) / 1}.", "Invalid Syntax: invalid show statement"},
        {"&dom{1 .. a} = x.", "Invalid Syntax: invalid dom statement"},
        {"&sum{x * y} <= 1.", "Invalid Syntax: only linear sum constraints are supported"},
        {"&nsum{x * y * z} <= 1.", "nonlinear terms with more than 2 variables are not supported"},
        {"&nsum{x; y} <= 1.", "nonlinear sums can have at most one linear term"},
        {"&nsum{x * y; x * z} <= 1.", "nonlinear sums can have at most one nonlinear term"},
        {"&sum{5 / 0} <= 1.", "division by zero"},
        {"&sum{1073741823 * a; 1073741823 * b; 1073741823 * c; 1073741823 * d; 1073741823 * e; "
         "1073741823 * f; 1073741823 * g; 1073741823 * h; 1073741823 * i} <= 0.",
         "integer underflow"},
        {"&sum{1073741824} <= 0.", "value too small"},
        {"&dom{1 .. 1073741824} = x.", "value too large"},
    };
    for (auto const& [program, message] : cases) {
        SCOPED_TRACE(program);
        HostSession session;
        ASSERT_TRUE(session.ground(program)) << session.error();
        auto outcome = session.solve();
        EXPECT_FALSE(outcome.ok);
        // Told at the atom, which stands on the program's first line.
        EXPECT_TRUE(outcome.error.starts_with("<string>:1:")) << outcome.error;
        EXPECT_TRUE(outcome.error.ends_with(": error: " + message)) << outcome.error;
        EXPECT_EQ(gondra_error_code(), gondra_error_runtime);
        EXPECT_TRUE(outcome.models.empty());
    }
}

TEST(HostErrors, RewritingErrorsStopTheParse) {
    HostSession session;
    EXPECT_FALSE(session.ground("&dom{0 .. 3} = x. &sum{x, 1} >= 1."));
    EXPECT_EQ(session.error(), "Invalid Syntax");
}

TEST(HostErrors, ErrorsOfTwoElementEncodingsReachTheHost) {
    // The difference of the two constants leaves the value range only in
    // the builder's encoding.
    HostSession session;
    ASSERT_TRUE(session.ground("&distinct{x + 1073741823; y - 1073741823}.")) << session.error();
    auto outcome = session.solve();
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.error, "<string>:1:16-57: error: value too small");
}

TEST(HostErrors, ConflictsAtInitialisationAreNoErrors) {
    HostSession session;
    ASSERT_TRUE(session.ground("&dom{1 .. 3} = x. &sum{x} >= 5. &distinct{y; y + 0}.")) << session.error();
    auto outcome = session.solve();
    EXPECT_TRUE(outcome.ok) << outcome.error;
    EXPECT_NE(outcome.result & gondra_solve_result_unsatisfiable, 0U);
    EXPECT_TRUE(outcome.models.empty());
}

} // namespace
