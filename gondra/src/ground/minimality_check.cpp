#include "ground/minimality_check.hpp"

#include "solve/solver_set.hpp"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace Gondra::Ground {

uint32_t MinimalityCheck::add_atom(int32_t literal, uint32_t component) {
    atoms_.push_back({literal, component});
    return static_cast<uint32_t>(atoms_.size() - 1);
}

void MinimalityCheck::add_rule(bool choice, std::span<Head const> head, Body body, int32_t body_literal,
                               int64_t bound, std::span<Element const> elements) {
    Rule r{choice, body, body_literal, bound, static_cast<uint32_t>(heads_.size()), 0,
           static_cast<uint32_t>(elements_.size()), 0};
    for (auto const& h : head) {
        if (h.atom != no_atom && h.atom >= atoms_.size()) {
            throw std::logic_error("rule head names an unknown checked atom");
        }
        heads_.push_back(h);
    }
    for (auto const& e : elements) {
        if (e.atom != no_atom && e.atom >= atoms_.size()) {
            throw std::logic_error("rule body names an unknown checked atom");
        }
        elements_.push_back(e);
    }
    r.head_end = static_cast<uint32_t>(heads_.size());
    r.elements_end = static_cast<uint32_t>(elements_.size());
    rules_.push_back(r);
}

void MinimalityCheck::finish() {
    std::map<uint32_t, size_t> index;
    auto component = [&](uint32_t id) -> Component& {
        auto [it, fresh] = index.emplace(id, components_.size());
        if (fresh) {
            components_.push_back({id, {}, {}});
        }
        return components_[it->second];
    };
    for (uint32_t i = 0; i < atoms_.size(); ++i) {
        component(atoms_[i].component).atoms.push_back(i);
    }
    for (uint32_t r = 0; r < rules_.size(); ++r) {
        auto const& rule = rules_[r];
        std::vector<uint32_t> ids;
        for (uint32_t h = rule.head_begin; h < rule.head_end; ++h) {
            if (heads_[h].atom != no_atom) {
                ids.push_back(atoms_[heads_[h].atom].component);
            }
        }
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        for (uint32_t id : ids) {
            component(id).rules.push_back(r);
        }
    }
}

bool MinimalityCheck::init(Solve::PropagateInit& init) {
    init.set_check_mode(Solve::CheckMode::total);
    return true;
}

bool MinimalityCheck::refutable(Component const& c, Solve::Solver const& a, std::vector<int32_t>& nogood) const {
    Solve::SolverSet inner;
    Solve::Problem& p = inner.problem();
    // One variable per atom of the component that M makes true: its
    // membership in N. False atoms stay out of N.
    std::vector<int32_t> in_n(atoms_.size(), 0);
    std::vector<int32_t> smaller;
    for (uint32_t m : c.atoms) {
        if (a.is_true(atoms_[m].literal)) {
            in_n[m] = p.add_variable();
            smaller.push_back(-in_n[m]);
        }
    }
    if (smaller.empty()) {
        return false;
    }
    p.add_clause(smaller);
    auto reads_n = [&](uint32_t atom) { return atom != no_atom && atoms_[atom].component == c.id; };
    std::vector<int32_t> clause;
    std::vector<Solve::WeightedLiteral> terms;
    // Adds "sum >= bound -> clause" for the current terms; fixed is the
    // weight of the terms M settles.
    auto weight_implies = [&](int64_t bound, int64_t fixed, std::vector<int32_t> const& then) {
        int64_t lo = fixed, hi = fixed;
        for (auto const& t : terms) {
            (t.weight < 0 ? lo : hi) += t.weight;
        }
        if (hi < bound) {
            return; // the body cannot hold in any N
        }
        std::vector<int32_t> out = then;
        if (lo < bound) {
            int32_t t = p.add_variable();
            p.add_weight_constraint(t, terms, bound - fixed, Solve::WeightType::implication_left, false);
            out.push_back(-t);
        }
        p.add_clause(out);
    };
    for (uint32_t r : c.rules) {
        auto const& rule = rules_[r];
        if (!a.is_true(rule.body_literal)) {
            continue; // the reduct drops the rule
        }
        // What the head needs in N.
        std::vector<int32_t> heads;
        bool satisfied = false;
        std::vector<std::vector<int32_t>> needs; // one clause tail per requirement
        for (uint32_t h = rule.head_begin; h < rule.head_end; ++h) {
            auto const& head = heads_[h];
            bool mine = reads_n(head.atom);
            if (rule.choice) {
                if (mine && in_n[head.atom] != 0) {
                    needs.push_back({in_n[head.atom]});
                }
            } else if (mine) {
                if (in_n[head.atom] != 0) {
                    heads.push_back(in_n[head.atom]);
                }
            } else if (a.is_true(head.literal)) {
                satisfied = true;
            }
        }
        if (!rule.choice) {
            if (satisfied) {
                continue;
            }
            needs.push_back(heads);
        }
        for (auto const& then : needs) {
            if (rule.body == Body::normal) {
                clause = then;
                bool possible = true;
                for (uint32_t e = rule.elements_begin; e < rule.elements_end; ++e) {
                    auto const& el = elements_[e];
                    if (reads_n(el.atom)) {
                        possible = possible && in_n[el.atom] != 0;
                        clause.push_back(-in_n[el.atom]);
                    }
                }
                if (possible) {
                    p.add_clause(clause);
                }
                continue;
            }
            terms.clear();
            int64_t fixed = 0;
            for (uint32_t e = rule.elements_begin; e < rule.elements_end; ++e) {
                auto const& el = elements_[e];
                if (!reads_n(el.atom)) {
                    fixed += a.is_true(el.literal) ? el.weight : 0;
                } else if (in_n[el.atom] != 0) {
                    if (el.weight < std::numeric_limits<int32_t>::min() || el.weight > std::numeric_limits<int32_t>::max()) {
                        throw std::logic_error("weight out of range in the stability check");
                    }
                    terms.push_back({in_n[el.atom], static_cast<int32_t>(el.weight)});
                }
            }
            if (rule.body == Body::weight) {
                weight_implies(rule.bound, fixed, then);
                continue;
            }
            // sum != bound: sum >= bound + 1 or -sum >= 1 - bound.
            weight_implies(rule.bound + 1, fixed, then);
            for (auto& t : terms) {
                t.weight = -t.weight;
            }
            weight_implies(1 - rule.bound, -fixed, then);
        }
    }
    Solve::SolveOptions options;
    options.models = 1;
    // The atoms of M outside N: an unfounded set.
    std::vector<uint8_t> unfounded(atoms_.size(), 0);
    auto summary = inner.solve(options, [&](Solve::Model const& model) {
        for (uint32_t m : c.atoms) {
            unfounded[m] = in_n[m] != 0 && !model.is_true(in_n[m]) ? 1 : 0;
        }
        return true;
    });
    if (summary.status == Solve::SolveStatus::error) {
        throw std::runtime_error("stability check failed: " + summary.failure.message);
    }
    if (summary.models == 0) {
        return false;
    }
    // Every assignment that keeps the unfounded atoms true and agrees with M
    // on what the rules of those atoms read has the same smaller model of
    // its reduct (the rest of the component keeps its values in a model, as
    // the completion holds): some of these must change.
    nogood.clear();
    auto value = [&](int32_t lit) {
        if (lit != 1 && lit != -1) {
            nogood.push_back(a.is_true(lit) ? -lit : lit);
        }
    };
    for (uint32_t m : c.atoms) {
        if (unfounded[m] != 0) {
            value(atoms_[m].literal);
        }
    }
    for (uint32_t r : c.rules) {
        auto const& rule = rules_[r];
        bool reads = false;
        for (uint32_t h = rule.head_begin; h < rule.head_end && !reads; ++h) {
            reads = heads_[h].atom != no_atom && unfounded[heads_[h].atom] != 0;
        }
        if (!reads) {
            continue;
        }
        value(rule.body_literal);
        if (!a.is_true(rule.body_literal)) {
            continue;
        }
        for (uint32_t h = rule.head_begin; h < rule.head_end; ++h) {
            value(heads_[h].literal);
        }
        for (uint32_t e = rule.elements_begin; e < rule.elements_end; ++e) {
            value(elements_[e].literal);
        }
    }
    std::sort(nogood.begin(), nogood.end());
    nogood.erase(std::unique(nogood.begin(), nogood.end()), nogood.end());
    return true;
}

bool MinimalityCheck::check(Solve::PropagateControl& control) {
    Solve::Solver const& a = control.assignment();
    std::vector<int32_t> clause;
    for (auto const& c : components_) {
        if (!refutable(c, a, clause)) {
            continue;
        }
        // One refutation per check: the solver propagates it (a conflict,
        // as it is false) and checks again at the next total assignment.
        control.add_clause(clause, Solve::ClauseType::learnt);
        return true;
    }
    return true;
}

} // namespace Gondra::Ground
