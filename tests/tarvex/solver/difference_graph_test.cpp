#include "solver/difference_graph.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace Tarvex {
namespace {

struct Difference {
    var_id x;
    var_id y;
    wide_t k;
};

// Whether x - y <= k over the edges has no solution (Bellman-Ford).
bool has_negative_cycle(std::vector<Difference> const& edges, std::size_t nodes) {
    std::vector<wide_t> distance(nodes, 0);
    for (std::size_t round = 0; round <= nodes; ++round) {
        bool changed = false;
        for (auto const& e : edges) {
            if (distance[e.y] + e.k < distance[e.x]) {
                distance[e.x] = distance[e.y] + e.k;
                changed = true;
            }
        }
        if (!changed) {
            return false;
        }
    }
    return true;
}

TEST(DifferenceGraph, CycleOfNegativeWeightIsReportedWithItsLiterals) {
    DifferenceGraph graph;
    auto xy = graph.add_edge(0, 1, -1, 11);
    auto yz = graph.add_edge(1, 2, -1, 12);
    auto zx = graph.add_edge(2, 0, 1, 13);
    auto zx_tight = graph.add_edge(2, 0, -1, 14);
    std::vector<literal_t> cycle;
    ASSERT_TRUE(graph.activate(xy, cycle));
    ASSERT_TRUE(graph.activate(yz, cycle));
    std::size_t mark = graph.trail_size();
    // Weight -1 -1 +1 < 0.
    EXPECT_FALSE(graph.activate(zx, cycle));
    std::sort(cycle.begin(), cycle.end());
    EXPECT_EQ(cycle, (std::vector<literal_t>{11, 12, 13}));
    EXPECT_FALSE(graph.is_active(zx));
    EXPECT_EQ(graph.trail_size(), mark);

    // Without x - y <= -1 the same edge closes no cycle.
    graph.backtrack(1);
    EXPECT_FALSE(graph.is_active(yz));
    ASSERT_TRUE(graph.activate(zx_tight, cycle));
    EXPECT_LE(graph.potential(2) - graph.potential(0), -1);
    EXPECT_LE(graph.potential(0) - graph.potential(1), -1);

    // A removed edge takes no part; a negative self-loop is a cycle alone.
    graph.remove_edge(yz);
    EXPECT_TRUE(graph.activate(yz, cycle));
    EXPECT_FALSE(graph.is_active(yz));
    auto loop = graph.add_edge(3, 3, -1, 15);
    EXPECT_FALSE(graph.activate(loop, cycle));
    EXPECT_EQ(cycle, (std::vector<literal_t>{15}));
}

// Random edges activated and backtracked: a cycle is reported exactly when
// the active edges and the new one have no solution, the potential solves the
// active edges, and a reported cycle is a real one of negative weight.
TEST(DifferenceGraph, AgreesWithBellmanFord) {
    std::mt19937 rng{7};
    for (int round = 0; round < 200; ++round) {
        std::size_t nodes = 2 + rng() % 6;
        DifferenceGraph graph;
        std::vector<Difference> all;
        for (int i = 0; i < 14; ++i) {
            Difference d{static_cast<var_id>(rng() % nodes), static_cast<var_id>(rng() % nodes),
                         static_cast<wide_t>(rng() % 9) - 4};
            graph.add_edge(d.x, d.y, d.k, static_cast<literal_t>(i + 2));
            all.push_back(d);
        }
        std::vector<std::size_t> active;
        std::vector<std::size_t> marks;
        for (int step = 0; step < 40; ++step) {
            if (!marks.empty() && rng() % 4 == 0) {
                graph.backtrack(marks.back());
                active.resize(marks.back());
                marks.pop_back();
                continue;
            }
            if (rng() % 3 == 0) {
                marks.push_back(graph.trail_size());
            }
            auto edge = static_cast<DifferenceGraph::edge_id>(rng() % all.size());
            if (graph.is_active(edge)) {
                continue;
            }
            std::vector<Difference> with;
            for (auto i : active) {
                with.push_back(all[i]);
            }
            with.push_back(all[edge]);
            std::vector<literal_t> cycle;
            bool ok = graph.activate(edge, cycle);
            ASSERT_EQ(ok, !has_negative_cycle(with, nodes)) << "round " << round << " step " << step;
            if (ok) {
                active.push_back(edge);
            } else {
                wide_t weight = 0;
                for (literal_t lit : cycle) {
                    weight += all[static_cast<std::size_t>(lit - 2)].k;
                }
                EXPECT_LT(weight, 0);
                EXPECT_NE(std::find(cycle.begin(), cycle.end(), static_cast<literal_t>(edge + 2)), cycle.end());
            }
            ASSERT_EQ(graph.trail_size(), active.size());
            for (auto i : active) {
                EXPECT_LE(graph.potential(all[i].x) - graph.potential(all[i].y), all[i].k);
            }
        }
    }
}

} // namespace
} // namespace Tarvex
