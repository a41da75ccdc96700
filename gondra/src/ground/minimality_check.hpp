#pragma once
// The stability check of components that unfounded sets cannot settle: head
// cycles (disjunctions whose atoms depend positively on each other) and
// aggregates read non-monotonically (negative weights, !=). At every total
// assignment M it looks, per such component, for a smaller set N (M less
// some of the component's atoms, everything else as in M) that satisfies
// the reduct of the component's rules: bodies read their component atoms in
// N and everything else in M, weight bodies with their signed weights. Such
// an N is found by a nested solver; if there is one, M is not stable and a
// clause refutes the atoms M has beyond N together with what their rules
// read. Sound and complete, and exponential only where the problem is.
#include "solve/propagate_control.hpp"
#include "solve/propagate_init.hpp"
#include "solve/propagator.hpp"

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace Gondra::Ground {

class MinimalityCheck : public Solve::Propagator {
public:
    static constexpr uint32_t no_atom = std::numeric_limits<uint32_t>::max();
    enum class Body : uint8_t { normal, weight, unequal };

    // A body literal; atom names a checked atom when the literal is one
    // positively (a literal of the rule's head component then reads N).
    struct Element {
        int32_t literal;
        int64_t weight;
        uint32_t atom;
    };
    struct Head {
        int32_t literal;
        uint32_t atom;
    };

    // Building (before the solve call): atoms first, then the rules whose
    // heads have checked atoms. body_literal is true exactly when the body
    // holds.
    uint32_t add_atom(int32_t literal, uint32_t component);
    void add_rule(bool choice, std::span<Head const> head, Body body, int32_t body_literal, int64_t bound,
                  std::span<Element const> elements);
    // Groups the rules by component; call once after the last rule.
    void finish();
    uint32_t num_atoms() const { return static_cast<uint32_t>(atoms_.size()); }

    bool init(Solve::PropagateInit& init) override;
    bool check(Solve::PropagateControl& control) override;

private:
    struct Atom {
        int32_t literal;
        uint32_t component;
    };
    struct Rule {
        bool choice;
        Body body;
        int32_t body_literal;
        int64_t bound;
        uint32_t head_begin, head_end;
        uint32_t elements_begin, elements_end;
    };
    struct Component {
        uint32_t id;
        std::vector<uint32_t> atoms;
        std::vector<uint32_t> rules;

    };

    // True when a smaller model of the reduct exists; nogood then gets a
    // clause that M violates and every stable model satisfies.
    bool refutable(Component const& c, Solve::Solver const& a, std::vector<int32_t>& nogood) const;

    std::vector<Atom> atoms_;
    std::vector<Rule> rules_;
    std::vector<Head> heads_;
    std::vector<Element> elements_;
    std::vector<Component> components_;
};

} // namespace Gondra::Ground
