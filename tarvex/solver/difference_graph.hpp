#pragma once

// The difference constraints x - y <= k of one solver thread as a weighted
// graph (an edge y -> x of weight k) whose active edges are those whose
// constraint literal holds. A potential, a solution of the active edges
// alone, is kept up to date as edges arrive, so that a cycle of negative
// weight, which no bound propagation could refute short of walking the
// domains one value at a time, is found when its last edge arrives. Removing
// edges keeps the potential a solution, so backtracking only drops edges.

#include "core/integer_types.hpp"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace Tarvex {

class DifferenceGraph {
public:
    using edge_id = std::uint32_t;
    static constexpr edge_id no_edge = std::numeric_limits<edge_id>::max();

    // Registers x - y <= weight under literal, inactive.
    edge_id add_edge(var_id x, var_id y, wide_t weight, literal_t literal);
    // The edge never takes part again.
    void remove_edge(edge_id edge);
    bool is_active(edge_id edge) const { return edges_[edge].active; }
    // Activates the edge unless that closes a cycle of negative weight; then
    // the edge stays inactive and cycle holds the literals of the cycle's
    // edges, this one included.
    bool activate(edge_id edge, std::vector<literal_t>& cycle);
    // Activations so far, for backtracking to.
    std::size_t trail_size() const { return trail_.size(); }
    // Deactivates the edges activated after the trail had size.
    void backtrack(std::size_t size);

    std::size_t num_edges() const { return edges_.size(); }
    // The potential of a variable: the active edges hold for these values.
    wide_t potential(var_id var) const { return var < potential_.size() ? potential_[var] : 0; }

private:
    struct Edge {
        var_id from;
        var_id to;
        wide_t weight;
        literal_t literal;
        bool active;
        bool removed;
    };
    struct Entry {
        wide_t gap;
        var_id node;
        bool operator<(Entry const& other) const { return gap > other.gap; }
    };

    void clear_search();

    std::vector<Edge> edges_;
    std::vector<std::vector<edge_id>> outgoing_;
    std::vector<wide_t> potential_;
    std::vector<edge_id> trail_;
    // Scratch of activate: per node how far its potential must fall (0 when
    // untouched), the edge that forced it, and whether that is final.
    std::vector<wide_t> gap_;
    std::vector<edge_id> via_;
    std::vector<char> done_;
    std::vector<var_id> touched_;
    std::vector<Entry> heap_;
};

} // namespace Tarvex
