#include "ground/stable_propagator.hpp"

#include <stdexcept>

namespace Gondra::Ground {

uint32_t StablePropagator::add_atom(int32_t literal, uint32_t component) {
    atoms_.push_back({literal, component, 0, 0, 0, 0});
    return static_cast<uint32_t>(atoms_.size() - 1);
}

void StablePropagator::add_support(uint32_t head, int32_t literal, bool weight, int64_t bound,
                                   std::span<Element const> elements) {
    if (head >= atoms_.size()) {
        throw std::logic_error("support of an unknown loop atom");
    }
    Support s{literal, head, weight, bound, static_cast<uint32_t>(elements_.size()), 0, 0};
    for (auto const& e : elements) {
        if (e.atom != no_atom) {
            if (e.atom >= atoms_.size()) {
                throw std::logic_error("support element names an unknown loop atom");
            }
            ++s.loop_elements;
        }
        elements_.push_back(e);
    }
    s.elements_end = static_cast<uint32_t>(elements_.size());
    supports_.push_back(s);
}

void StablePropagator::finish() {
    // Supports grouped by head and occurrences grouped by atom (counting sort).
    std::vector<uint32_t> count(atoms_.size() + 1, 0);
    for (auto const& s : supports_) {
        ++count[s.head + 1];
    }
    for (size_t i = 1; i < count.size(); ++i) {
        count[i] += count[i - 1];
    }
    support_ids_.assign(supports_.size(), 0);
    for (uint32_t i = 0; i < atoms_.size(); ++i) {
        atoms_[i].supports_begin = count[i];
        atoms_[i].supports_end = count[i];
    }
    for (uint32_t s = 0; s < supports_.size(); ++s) {
        support_ids_[atoms_[supports_[s].head].supports_end++] = s;
    }

    std::fill(count.begin(), count.end(), 0);
    for (auto const& e : elements_) {
        if (e.atom != no_atom) {
            ++count[e.atom + 1];
        }
    }
    for (size_t i = 1; i < count.size(); ++i) {
        count[i] += count[i - 1];
    }
    occurrences_.assign(count.back(), {0, 0});
    for (uint32_t i = 0; i < atoms_.size(); ++i) {
        atoms_[i].occurs_begin = count[i];
        atoms_[i].occurs_end = count[i];
    }
    for (uint32_t s = 0; s < supports_.size(); ++s) {
        auto const& sup = supports_[s];
        for (uint32_t e = sup.elements_begin; e < sup.elements_end; ++e) {
            if (elements_[e].atom != no_atom) {
                occurrences_[atoms_[elements_[e].atom].occurs_end++] = {s, elements_[e].weight};
            }
        }
    }
}

bool StablePropagator::init(Solve::PropagateInit& init) {
    init.set_check_mode(Solve::CheckMode::fixpoint);
    auto watch_false = [&](int32_t lit) {
        if (lit != 1 && lit != -1) {
            init.add_watch(-lit);
        }
    };
    for (auto const& atom : atoms_) {
        watch_false(atom.literal);
    }
    for (auto const& sup : supports_) {
        watch_false(sup.literal);
        if (sup.weight) {
            for (uint32_t e = sup.elements_begin; e < sup.elements_end; ++e) {
                watch_false(elements_[e].literal);
            }
        }
    }
    states_.assign(init.number_of_threads(), {});
    for (auto& st : states_) {
        st.sourced.assign(atoms_.size(), 0);
        st.unfounded.assign(atoms_.size(), 0);
        st.missing.assign(supports_.size(), 0);
        st.reach.assign(supports_.size(), 0);
        st.queue.reserve(atoms_.size());
        st.members.reserve(atoms_.size());
        st.external.reserve(64);
        st.clause.reserve(64);
    }
    return true;
}

bool StablePropagator::valid(Support const& s, ThreadState const& st, Solve::Solver const& a) const {
    if (a.is_false(s.literal)) {
        return false;
    }
    uint32_t id = static_cast<uint32_t>(&s - supports_.data());
    return s.weight ? st.reach[id] >= s.bound : st.missing[id] == 0;
}

void StablePropagator::source(uint32_t atom, ThreadState& st, Solve::Solver const& a) const {
    if (st.sourced[atom] != 0 || a.is_false(atoms_[atom].literal)) {
        return;
    }
    st.sourced[atom] = 1;
    st.queue.push_back(atom);
}

bool StablePropagator::propagate(Solve::PropagateControl& control, std::span<int32_t const>) {
    uint32_t thread = control.thread_id();
    if (thread < states_.size()) {
        states_[thread].dirty = true;
    }
    return true;
}

bool StablePropagator::check(Solve::PropagateControl& control) {
    Solve::Solver const& a = control.assignment();
    uint32_t thread = control.thread_id();
    if (thread >= states_.size()) {
        throw std::logic_error("stable-model check called from an unknown thread");
    }
    ThreadState& st = states_[thread];
    // Backtracking only frees literals, which cannot unsource an atom, so a
    // clean state stays clean until a watched literal becomes false.
    if (!st.dirty) {
        return true;
    }

    // Least fixpoint of "derivable from outside the component": an atom is
    // sourced by a non-false support whose loop atoms are sourced (normal) or
    // whose reachable weight meets the bound (weight).
    std::fill(st.sourced.begin(), st.sourced.end(), 0);
    st.queue.clear();
    for (uint32_t s = 0; s < supports_.size(); ++s) {
        auto const& sup = supports_[s];
        st.missing[s] = sup.loop_elements;
        if (sup.weight) {
            int64_t sum = 0;
            for (uint32_t e = sup.elements_begin; e < sup.elements_end; ++e) {
                auto const& el = elements_[e];
                if (el.atom == no_atom && !a.is_false(el.literal)) {
                    sum += el.weight;
                }
            }
            st.reach[s] = sum;
        }
    }
    for (auto const& sup : supports_) {
        if (valid(sup, st, a)) {
            source(sup.head, st, a);
        }
    }
    for (size_t head = 0; head < st.queue.size(); ++head) {
        auto const& atom = atoms_[st.queue[head]];
        for (uint32_t o = atom.occurs_begin; o < atom.occurs_end; ++o) {
            auto const& occ = occurrences_[o];
            auto const& sup = supports_[occ.support];
            if (sup.weight) {
                st.reach[occ.support] += occ.weight;
            } else {
                --st.missing[occ.support];
            }
            if (st.sourced[sup.head] == 0 && valid(sup, st, a)) {
                source(sup.head, st, a);
            }
        }
    }

    // The unsourced non-false atoms of one component form an unfounded set.
    uint32_t component = no_atom;
    st.members.clear();
    for (uint32_t i = 0; i < atoms_.size(); ++i) {
        if (st.sourced[i] != 0 || a.is_false(atoms_[i].literal)) {
            continue;
        }
        if (component == no_atom) {
            component = atoms_[i].component;
        }
        if (atoms_[i].component == component) {
            st.members.push_back(i);
            st.unfounded[i] = 1;
        }
    }
    if (st.members.empty()) {
        st.dirty = false;
        return true;
    }

    // External supports, each replaced by currently false literals that any
    // support from outside the set would need to be true.
    st.external.clear();
    for (uint32_t m : st.members) {
        auto const& atom = atoms_[m];
        for (uint32_t i = atom.supports_begin; i < atom.supports_end; ++i) {
            auto const& sup = supports_[support_ids_[i]];
            if (a.is_false(sup.literal)) {
                st.external.push_back(sup.literal);
                continue;
            }
            for (uint32_t e = sup.elements_begin; e < sup.elements_end; ++e) {
                auto const& el = elements_[e];
                if ((el.atom == no_atom || st.unfounded[el.atom] == 0) && a.is_false(el.literal)) {
                    st.external.push_back(el.literal);
                }
            }
        }
    }
    for (uint32_t m : st.members) {
        st.unfounded[m] = 0;
    }

    // True atoms first: one conflicting loop clause is enough.
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t m : st.members) {
            int32_t lit = atoms_[m].literal;
            if ((pass == 0) != a.is_true(lit) || a.is_false(lit)) {
                continue;
            }
            st.clause.clear();
            st.clause.push_back(-lit);
            st.clause.insert(st.clause.end(), st.external.begin(), st.external.end());
            if (!control.add_clause(st.clause, Solve::ClauseType::learnt)) {
                return true;
            }
        }
    }
    return true;
}

} // namespace Gondra::Ground
