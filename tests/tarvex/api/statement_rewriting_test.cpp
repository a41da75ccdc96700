// Programs in the user syntax through tarvex_rewrite_ast, grounded and solved
// by the real host.

#include "../propagator/host_session.hpp"
#include "host/theory_atoms.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace Tarvex;
using namespace Tarvex::Testing;

namespace {

// The names of the ground theory atoms.
std::multiset<std::string> atom_names(HostSession const& session) {
    gondra_theory_atoms_t const* atoms = nullptr;
    EXPECT_TRUE(gondra_control_theory_atoms(session.control(), &atoms));
    Host::TheoryAtoms view{atoms};
    std::multiset<std::string> names;
    for (gondra_id_t atom = 0; atom < view.size(); ++atom) {
        names.insert(view.term_name(view.atom_term(atom)));
    }
    return names;
}

TEST(StatementRewriting, ShiftedConstraintsKeepTheModels) {
    // With p: x + y <= 3 (10 pairs); without p: x = y (5 pairs); and never
    // x = 4 together with p.
    std::string const program = R"(
        &dom{0 .. 4} = x. &dom{0 .. 4} = y. {p}.
        :- p, &sum{x; y} > 3.
        :- not p, &sum{x; -1 * y} != 0.
        :- not &sum{x} < 4, p.
    )";
    std::set<Model> models[2];
    for (bool shift : {true, false}) {
        SCOPED_TRACE(shift);
        HostSession session;
        session.theory()->shift_constraints = shift;
        ASSERT_TRUE(session.ground(program)) << session.error();
        auto names = atom_names(session);
        EXPECT_EQ(names.count("__sum_h"), shift ? 3u : 0u);
        EXPECT_EQ(names.count("__sum_b"), shift ? 0u : 3u);
        auto outcome = session.solve();
        ASSERT_TRUE(outcome.ok) << outcome.error;
        models[shift].insert(outcome.models.begin(), outcome.models.end());
        EXPECT_EQ(outcome.models.size(), models[shift].size());
    }
    EXPECT_EQ(models[true].size(), 15u);
    EXPECT_EQ(models[true], models[false]);
}

} // namespace
