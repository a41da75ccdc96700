#include "solver/difference_graph.hpp"

#include <algorithm>

namespace Tarvex {

DifferenceGraph::edge_id DifferenceGraph::add_edge(var_id x, var_id y, wide_t weight, literal_t literal) {
    std::size_t nodes = std::max<std::size_t>(x, y) + 1;
    if (nodes > outgoing_.size()) {
        outgoing_.resize(nodes);
        potential_.resize(nodes, 0);
        gap_.resize(nodes, 0);
        via_.resize(nodes, no_edge);
        done_.resize(nodes, 0);
    }
    auto id = static_cast<edge_id>(edges_.size());
    edges_.push_back({y, x, weight, literal, false, false});
    outgoing_[y].push_back(id);
    return id;
}

void DifferenceGraph::remove_edge(edge_id edge) {
    auto& e = edges_[edge];
    e.removed = true;
    auto& out = outgoing_[e.from];
    out.erase(std::remove(out.begin(), out.end(), edge), out.end());
}

void DifferenceGraph::clear_search() {
    for (var_id node : touched_) {
        gap_[node] = 0;
        via_[node] = no_edge;
        done_[node] = 0;
    }
    touched_.clear();
    heap_.clear();
}

bool DifferenceGraph::activate(edge_id edge, std::vector<literal_t>& cycle) {
    auto& e = edges_[edge];
    if (e.active || e.removed) {
        return true;
    }
    if (e.from == e.to) {
        if (e.weight >= 0) {
            e.active = true;
            trail_.push_back(edge);
            return true;
        }
        cycle.assign(1, e.literal);
        return false;
    }
    wide_t first = potential_[e.from] + e.weight - potential_[e.to];
    if (first >= 0) {
        e.active = true;
        trail_.push_back(edge);
        return true;
    }
    // Lower the potentials reachable from the edge's head, most urgent first
    // (a shortest-path search on reduced weights, which are non-negative on
    // the active edges). Reaching its tail closes a negative cycle.
    gap_[e.to] = first;
    via_[e.to] = edge;
    touched_.push_back(e.to);
    heap_.push_back({first, e.to});
    while (!heap_.empty()) {
        std::pop_heap(heap_.begin(), heap_.end());
        Entry top = heap_.back();
        heap_.pop_back();
        var_id s = top.node;
        if (done_[s] != 0 || top.gap != gap_[s]) {
            continue;
        }
        done_[s] = 1;
        wide_t lowered = potential_[s] + gap_[s];
        for (edge_id f : outgoing_[s]) {
            auto const& out = edges_[f];
            if (!out.active) {
                continue;
            }
            var_id t = out.to;
            wide_t gap = lowered + out.weight - potential_[t];
            if (gap >= gap_[t] || done_[t] != 0) {
                continue;
            }
            if (t == e.from) {
                cycle.clear();
                cycle.push_back(out.literal);
                for (var_id node = s; node != e.to; node = edges_[via_[node]].from) {
                    cycle.push_back(edges_[via_[node]].literal);
                }
                cycle.push_back(e.literal);
                clear_search();
                return false;
            }
            if (gap_[t] == 0) {
                touched_.push_back(t);
            }
            gap_[t] = gap;
            via_[t] = f;
            heap_.push_back({gap, t});
            std::push_heap(heap_.begin(), heap_.end());
        }
    }
    for (var_id node : touched_) {
        potential_[node] += gap_[node];
    }
    clear_search();
    e.active = true;
    trail_.push_back(edge);
    return true;
}

void DifferenceGraph::backtrack(std::size_t size) {
    while (trail_.size() > size) {
        edges_[trail_.back()].active = false;
        trail_.pop_back();
    }
}

} // namespace Tarvex
