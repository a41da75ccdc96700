#pragma once
// Refutes unfounded sets: atoms of positive loops that hold only because they
// support each other. At every propagation fixpoint it computes, per solver
// thread, which non-false loop atoms can still be derived from outside their
// component; the rest form an unfounded set, and each of its atoms gets a loop
// clause "atom -> some external support". A check runs only after a literal
// that can support loop atoms became false.
#include "solve/propagate_control.hpp"
#include "solve/propagate_init.hpp"
#include "solve/propagator.hpp"

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace Gondra::Ground {

class StablePropagator : public Solve::Propagator {
public:
    static constexpr uint32_t no_atom = std::numeric_limits<uint32_t>::max();

    // An element of a support: a literal of its body. For a normal body only
    // the positive atoms of the head's component are listed; for a weight body
    // every literal is, with atom set for those of the component.
    struct Element {
        int32_t literal;
        int64_t weight;
        uint32_t atom; // index of a loop atom or no_atom
    };

    // Building (before the solve call): atoms first, then their supports.
    uint32_t add_atom(int32_t literal, uint32_t component);
    // literal: true exactly when the rule can derive the head (its body, and
    // for a shifted disjunction the other head atoms false).
    void add_support(uint32_t head, int32_t literal, bool weight, int64_t bound,
                     std::span<Element const> elements);
    // Builds the occurrence lists; call once after the last support.
    void finish();
    uint32_t num_atoms() const { return static_cast<uint32_t>(atoms_.size()); }

    bool init(Solve::PropagateInit& init) override;
    bool propagate(Solve::PropagateControl& control, std::span<int32_t const> changes) override;
    bool check(Solve::PropagateControl& control) override;

private:
    struct Atom {
        int32_t literal;
        uint32_t component;
        uint32_t supports_begin, supports_end; // into support_ids_
        uint32_t occurs_begin, occurs_end;     // into occurrences_
    };
    struct Support {
        int32_t literal;
        uint32_t head;
        bool weight;
        int64_t bound;
        uint32_t elements_begin, elements_end;
        uint32_t loop_elements; // elements naming a loop atom
    };
    struct Occurrence {
        uint32_t support;
        int64_t weight;
    };
    // Scratch of one thread, sized once so the check allocates nothing.
    struct ThreadState {
        // Set when a support may have been lost since the last check that
        // found no unfounded set; only falsified literals can unsource atoms.
        bool dirty = true;
        std::vector<uint8_t> sourced;
        std::vector<uint8_t> unfounded;
        std::vector<uint32_t> missing; // normal supports: loop atoms not yet sourced
        std::vector<int64_t> reach;    // weight supports: weight of non-false, sourced elements
        std::vector<uint32_t> queue;
        std::vector<uint32_t> members;
        std::vector<int32_t> external;
        std::vector<int32_t> clause;
    };

    bool valid(Support const& s, ThreadState const& st, Solve::Solver const& a) const;
    void source(uint32_t atom, ThreadState& st, Solve::Solver const& a) const;

    std::vector<Atom> atoms_;
    std::vector<Support> supports_;
    std::vector<Element> elements_;
    std::vector<uint32_t> support_ids_;
    std::vector<Occurrence> occurrences_;
    std::vector<ThreadState> states_;
};

} // namespace Gondra::Ground
