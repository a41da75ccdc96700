#include "ground/program_translator.hpp"

#include "ground/minimality_check.hpp"
#include "ground/stable_components.hpp"

#include <algorithm>
#include <limits>
#include <map>
#include <string>

namespace Gondra::Ground {

namespace {

constexpr uint32_t none = std::numeric_limits<uint32_t>::max();

// A weight-body literal with a positive weight (negative weights are moved to
// the complement, raising the bound). Only literals that were positive atoms
// with positive weights support their atoms: the complement of "not a" is
// "not not a", which holds with a but does not derive it.
struct NormalLiteral {
    Literal literal;
    int64_t weight;
    bool supports;
};

} // namespace

class ProgramTranslator::Builder {
public:
    Builder(GroundProgram const& program, Solve::Problem& problem, ProgramTranslator& out)
        : p_(program), problem_(problem), out_(out), a0_(out.num_atoms() + 1), n_(program.num_atoms()) {}

    void run() {
        if (n_ + 1 < a0_ || p_.rules.size() < out_.rules_done_ || p_.minimize.size() < out_.minimize_done_ ||
            p_.externals.size() < out_.externals_done_ || p_.atom_names.size() < out_.names_done_ ||
            p_.show_terms.size() < out_.show_terms_done_ || p_.theory.atoms.size() < out_.theory_atoms_done_) {
            throw TranslateError("the ground program shrank since it was last translated");
        }
        validate();
        externals();
        classify();
        components();
        rules();
        external_supports();
        completion();
        minimize();
        shown();
        if (stable_ && stable_->num_atoms() > 0) {
            stable_->finish();
            out_.num_loop_atoms_ += stable_->num_atoms();
            out_.stables_.push_back(std::move(stable_));
        }
        if (check_ && check_->num_atoms() > 0) {
            check_->finish();
            out_.num_loop_atoms_ += check_->num_atoms();
            out_.stables_.push_back(std::move(check_));
        }
        out_.rules_done_ = p_.rules.size();
        out_.minimize_done_ = p_.minimize.size();
        out_.externals_done_ = p_.externals.size();
        out_.names_done_ = p_.atom_names.size();
        out_.show_terms_done_ = p_.show_terms.size();
        out_.theory_atoms_done_ = p_.theory.atoms.size();
    }

private:
    using Input = ProgramTranslator::Input;

    bool is_new(Atom a) const { return a >= a0_; }
    std::span<Rule const> new_rules() const {
        return std::span<Rule const>(p_.rules).subspan(out_.rules_done_);
    }

    // ---- checks -----------------------------------------------------------
    void check_literal(Literal lit, std::string const& where) const {
        int64_t atom = lit < 0 ? -int64_t{lit} : int64_t{lit};
        if (atom == 0 || atom > n_) {
            throw TranslateError(where + ": literal " + std::to_string(lit) +
                                 " names no atom (the program has " + std::to_string(n_) + " atoms)");
        }
    }

    void validate() const {
        for (size_t r = out_.rules_done_; r < p_.rules.size(); ++r) {
            auto const& rule = p_.rules[r];
            std::string where = "rule " + std::to_string(r + 1);
            for (Atom a : p_.head(rule)) {
                check_literal(static_cast<Literal>(a), where);
            }
            for (auto const& wl : p_.body(rule)) {
                check_literal(wl.literal, where);
            }
        }
        for (size_t i = out_.minimize_done_; i < p_.minimize.size(); ++i) {
            check_literal(p_.minimize[i].literal, "minimize term");
        }
        for (size_t i = out_.externals_done_; i < p_.externals.size(); ++i) {
            check_literal(static_cast<Literal>(p_.externals[i].atom), "external");
        }
        for (size_t i = out_.names_done_; i < p_.atom_names.size(); ++i) {
            check_literal(static_cast<Literal>(p_.atom_names[i].atom), "atom name");
        }
        for (size_t i = out_.show_terms_done_; i < p_.show_terms.size(); ++i) {
            for (Literal lit : p_.condition(p_.show_terms[i])) {
                check_literal(lit, "show condition");
            }
        }
    }

    static std::vector<NormalLiteral> normalise(std::span<WeightLiteral const> body, int64_t& bound) {
        std::vector<NormalLiteral> out;
        out.reserve(body.size());
        for (auto const& wl : body) {
            if (wl.weight < 0) {
                bound -= wl.weight;
                out.push_back({-wl.literal, -int64_t{wl.weight}, false});
            } else if (wl.weight > 0) {
                out.push_back({wl.literal, wl.weight, wl.literal > 0});
            }
        }
        return out;
    }

    std::string atom_text(Atom a) const {
        for (auto const& name : p_.atom_names) {
            if (name.atom == a) {
                return name.symbol.to_string();
            }
        }
        return "#" + std::to_string(a);
    }

    // ---- externals ----------------------------------------------------------
    // Values of earlier atoms change in place; new atoms collect theirs until
    // they have literals. A released external is settled by its rules from now
    // on.
    void externals() {
        new_external_.assign(n_ + 1 - a0_, no_value);
        for (size_t i = out_.externals_done_; i < p_.externals.size(); ++i) {
            auto const& e = p_.externals[i];
            int8_t value = e.value == ExternalValue::free    ? int8_t{0}
                           : e.value == ExternalValue::truth ? int8_t{1}
                           : e.value == ExternalValue::falsity ? int8_t{-1}
                                                               : no_value;
            if (is_new(e.atom)) {
                new_external_[e.atom - a0_] = value;
            } else if (out_.input_[e.atom] == Input::external) {
                if (value == no_value) {
                    out_.input_[e.atom] = Input::none;
                    released_.push_back(e.atom);
                } else {
                    out_.external_value_[e.atom] = value;
                }
            }
        }
    }

    // ---- which new atoms can be true, which are facts -------------------------
    void classify() {
        out_.input_.resize(n_ + 1, Input::none);
        out_.external_value_.resize(n_ + 1, 0);
        out_.external_support_.resize(n_ + 1, 0);
        for (Atom a = a0_; a <= n_; ++a) {
            if (new_external_[a - a0_] != no_value) {
                out_.input_[a] = Input::external;
                out_.external_value_[a] = new_external_[a - a0_];
            }
        }
        // Theory atoms that no rule defines are left to the solver and the theory.
        std::vector<uint8_t> in_head(n_ + 1, 0);
        for (auto const& rule : new_rules()) {
            for (Atom h : p_.head(rule)) {
                in_head[h] = 1;
            }
        }
        for (size_t i = out_.theory_atoms_done_; i < p_.theory.atoms.size(); ++i) {
            Literal l = p_.theory.atoms[i].literal;
            if (l > 0 && static_cast<uint32_t>(l) <= n_ && is_new(static_cast<Atom>(l)) && in_head[l] == 0 &&
                out_.input_[l] == Input::none) {
                out_.input_[l] = Input::free;
            }
        }

        // Possible atoms: least fixpoint ignoring negation, with a counter per
        // rule of what its body still needs. Earlier atoms are settled.
        auto rules = new_rules();
        size_t nr = rules.size();
        possible_.assign(n_ + 1, 0);
        for (Atom a = 1; a < a0_; ++a) {
            possible_[a] = out_.atom_literals_[a] != -1 ? 1 : 0;
        }
        std::vector<int64_t> need(nr, 0);
        std::vector<std::vector<std::pair<uint32_t, int64_t>>> occurs(n_ + 1 - a0_);
        for (uint32_t r = 0; r < nr; ++r) {
            auto const& rule = rules[r];
            if (rule.body_type == BodyType::normal) {
                for (auto const& wl : p_.body(rule)) {
                    if (wl.literal <= 0) {
                        continue;
                    }
                    auto a = static_cast<Atom>(wl.literal);
                    if (is_new(a)) {
                        ++need[r];
                        occurs[a - a0_].emplace_back(r, 1);
                    } else if (possible_[a] == 0) {
                        ++need[r]; // never met
                    }
                }
            } else if (rule.body_type == BodyType::unequal) {
                need[r] = 0; // some sum other than the bound is always in reach
            } else {
                int64_t bound = rule.bound;
                for (auto const& nl : normalise(p_.body(rule), bound)) {
                    // "not not a" may hold without a derivation of a.
                    if (nl.literal <= 0 || !nl.supports) {
                        bound -= nl.weight;
                    } else if (is_new(static_cast<Atom>(nl.literal))) {
                        occurs[nl.literal - a0_].emplace_back(r, nl.weight);
                    } else if (possible_[nl.literal] != 0) {
                        bound -= nl.weight;
                    }
                }
                need[r] = bound;
            }
        }
        std::vector<uint32_t> queue;
        auto make_possible = [&](Atom a) {
            if (possible_[a] == 0) {
                possible_[a] = 1;
                queue.push_back(a);
            }
        };
        auto fire = [&](uint32_t r) {
            for (Atom h : p_.head(rules[r])) {
                if (is_new(h)) {
                    make_possible(h);
                }
            }
        };
        for (Atom a = a0_; a <= n_; ++a) {
            if (out_.input_[a] != Input::none) {
                make_possible(a);
            }
        }
        for (uint32_t r = 0; r < nr; ++r) {
            if (need[r] <= 0) {
                fire(r);
            }
        }
        for (size_t i = 0; i < queue.size(); ++i) {
            for (auto [r, w] : occurs[queue[i] - a0_]) {
                bool before = need[r] <= 0;
                need[r] -= w;
                if (!before && need[r] <= 0) {
                    fire(r);
                }
            }
        }

        // Facts: single-headed rules whose normal bodies hold for sure.
        std::vector<uint8_t> fact(n_ + 1 - a0_, 0);
        std::vector<int64_t> open(nr, -1);
        std::vector<std::vector<uint32_t>> waits(n_ + 1 - a0_);
        std::vector<std::pair<uint32_t, Atom>> single_head;
        queue.clear();
        auto make_fact = [&](Atom a) {
            if (fact[a - a0_] == 0) {
                fact[a - a0_] = 1;
                queue.push_back(a);
            }
        };
        for (uint32_t r = 0; r < nr; ++r) {
            auto const& rule = rules[r];
            if (rule.head_type != HeadType::disjunctive || rule.body_type != BodyType::normal) {
                continue;
            }
            Atom head = 0;
            uint32_t heads = 0;
            for (Atom h : p_.head(rule)) {
                if (possible_[h] != 0 && h != head) {
                    head = h;
                    ++heads;
                }
            }
            if (heads != 1 || !is_new(head)) {
                continue;
            }
            open[r] = 0;
            bool blocked = false;
            for (auto const& wl : p_.body(rule)) {
                auto a = static_cast<Atom>(wl.literal < 0 ? -wl.literal : wl.literal);
                if (wl.literal > 0 && is_new(a)) {
                    ++open[r];
                    waits[a - a0_].push_back(r);
                } else if (wl.literal > 0) {
                    blocked = blocked || out_.atom_literals_[a] != 1;
                } else if (possible_[a] != 0) {
                    blocked = true;
                }
            }
            if (blocked) {
                open[r] = -1;
                continue;
            }
            single_head.emplace_back(r, head);
            if (open[r] == 0) {
                make_fact(head);
            }
        }
        std::map<uint32_t, Atom> head_of(single_head.begin(), single_head.end());
        for (size_t i = 0; i < queue.size(); ++i) {
            for (uint32_t r : waits[queue[i] - a0_]) {
                if (open[r] > 0 && --open[r] == 0) {
                    make_fact(head_of[r]);
                }
            }
        }

        out_.atom_literals_.resize(n_ + 1, 0);
        for (Atom a = a0_; a <= n_; ++a) {
            out_.atom_literals_[a] = fact[a - a0_] != 0 ? 1 : possible_[a] == 0 ? -1 : problem_.add_variable();
            if (out_.input_[a] == Input::external) {
                out_.externals_.push_back(a);
            }
        }
    }

    int32_t lit(Literal program_literal) const { return out_.solver_literal(program_literal); }
    bool is_variable(Atom a) const { return out_.atom_literals_[a] > 1; }

    // ---- positive dependency graph of the new atoms -----------------------------
    // Earlier atoms get no new rules, so no loop reaches back to them.
    void components() {
        std::vector<uint32_t> node(n_ + 1, none);
        std::vector<Atom> atom_of;
        // Free atoms never need a derivation, so no loop runs through them.
        for (Atom a = a0_; a <= n_; ++a) {
            if (is_variable(a) && out_.input_[a] != Input::free) {
                node[a] = static_cast<uint32_t>(atom_of.size());
                atom_of.push_back(a);
            }
        }
        auto nn = static_cast<uint32_t>(atom_of.size());
        std::vector<std::pair<uint32_t, uint32_t>> edges;
        for (auto const& rule : new_rules()) {
            for (Atom h : p_.head(rule)) {
                if (node[h] == none) {
                    continue;
                }
                for (auto const& wl : p_.body(rule)) {
                    bool positive = wl.literal > 0 && (rule.body_type == BodyType::normal || wl.weight != 0);
                    if (positive && node[wl.literal] != none) {
                        edges.emplace_back(node[h], node[wl.literal]);
                    }
                }
            }
        }
        std::vector<uint32_t> offsets(nn + 1, 0);
        for (auto [from, to] : edges) {
            (void)to;
            ++offsets[from + 1];
        }
        for (uint32_t i = 0; i < nn; ++i) {
            offsets[i + 1] += offsets[i];
        }
        std::vector<uint32_t> targets(edges.size());
        std::vector<uint32_t> fill(offsets.begin(), offsets.end() - 1);
        for (auto [from, to] : edges) {
            targets[fill[from]++] = to;
        }
        auto scc = strongly_connected_components(nn, offsets, targets);
        component_.assign(n_ + 1, none);
        loop_index_.assign(n_ + 1, none);
        check_index_.assign(n_ + 1, none);
        for (uint32_t v = 0; v < nn; ++v) {
            component_[atom_of[v]] = scc.component[v];
        }
        // Components with head cycles, or with atoms read non-monotonically
        // by the rules of their own atoms, need the minimality check: their
        // models are not the unfounded-free supported models.
        std::vector<uint8_t> general(scc.count, 0);
        auto cyclic = [&](Atom a) { return component_[a] != none && scc.cyclic[component_[a]] != 0; };
        for (auto const& rule : new_rules()) {
            auto head = p_.head(rule);
            for (size_t i = 0; i < head.size(); ++i) {
                Atom h = head[i];
                if (!cyclic(h)) {
                    continue;
                }
                uint32_t c = component_[h];
                if (rule.head_type == HeadType::disjunctive) {
                    for (size_t j = i + 1; j < head.size(); ++j) {
                        general[c] |= head[j] != h && component_[head[j]] == c ? 1 : 0;
                    }
                }
                if (rule.body_type == BodyType::normal) {
                    continue;
                }
                for (auto const& wl : p_.body(rule)) {
                    bool mixed = rule.body_type == BodyType::unequal ? wl.weight != 0 : wl.weight < 0;
                    if (mixed && wl.literal > 0 && component_[wl.literal] == c) {
                        general[c] = 1;
                    }
                }
            }
        }
        for (uint32_t v = 0; v < nn; ++v) {
            Atom a = atom_of[v];
            uint32_t c = scc.component[v];
            if (scc.cyclic[c] == 0) {
                continue;
            }
            if (general[c] != 0) {
                if (!check_) {
                    check_ = std::make_unique<MinimalityCheck>();
                }
                check_index_[a] = check_->add_atom(out_.atom_literals_[a], c);
                continue;
            }
            if (!stable_) {
                stable_ = std::make_unique<StablePropagator>();
            }
            loop_index_[a] = stable_->add_atom(out_.atom_literals_[a], c);
        }
    }

    // ---- bodies -------------------------------------------------------------
    // A conjunction of solver literals as one literal (shared between rules
    // and solve calls).
    int32_t conjunction(std::vector<int32_t> lits) {
        std::sort(lits.begin(), lits.end());
        lits.erase(std::unique(lits.begin(), lits.end()), lits.end());
        std::erase(lits, 1);
        for (size_t i = 0; i < lits.size(); ++i) {
            if (lits[i] == -1 || std::binary_search(lits.begin(), lits.end(), -lits[i])) {
                return -1;
            }
        }
        if (lits.empty()) {
            return 1;
        }
        if (lits.size() == 1) {
            return lits[0];
        }
        auto [it, fresh] = out_.normal_bodies_.emplace(lits, 0);
        if (!fresh) {
            return it->second;
        }
        int32_t b = problem_.add_variable();
        it->second = b;
        std::vector<int32_t> back{b};
        for (int32_t l : lits) {
            int32_t c[] = {-b, l};
            problem_.add_clause(c);
            back.push_back(-l);
        }
        problem_.add_clause(back);
        return b;
    }

    // A weight body over normalised literals as one literal.
    int32_t weight_body(std::vector<NormalLiteral> const& body, int64_t bound) {
        std::vector<std::pair<int32_t, int64_t>> key;
        int64_t total = 0;
        for (auto const& nl : body) {
            int32_t l = lit(nl.literal);
            if (l == 1) {
                bound -= nl.weight;
            } else if (l != -1) {
                key.emplace_back(l, nl.weight);
                total += nl.weight;
            }
        }
        if (bound <= 0) {
            return 1;
        }
        if (total < bound) {
            return -1;
        }
        std::sort(key.begin(), key.end());
        key.emplace_back(0, bound);
        auto [it, fresh] = out_.weight_bodies_.emplace(key, 0);
        if (!fresh) {
            return it->second;
        }
        key.pop_back();
        std::vector<Solve::WeightedLiteral> lits;
        for (auto [l, w] : key) {
            if (w > std::numeric_limits<int32_t>::max()) {
                out_.weight_bodies_.erase(it);
                throw TranslateError("weight " + std::to_string(w) + " in a weight body is too large");
            }
            lits.push_back({l, static_cast<int32_t>(w)});
        }
        int32_t b = problem_.add_variable();
        it->second = b;
        problem_.add_weight_constraint(b, lits, bound, Solve::WeightType::equivalence, false);
        return b;
    }

    // ---- rules --------------------------------------------------------------
    // The completion of an earlier atom is in place: it cannot gain rules
    // (unless it is a fact, which a rule cannot change).
    void check_head(Atom h, size_t r) const {
        if (!is_new(h) && out_.atom_literals_[h] != 1) {
            throw TranslateError("rule " + std::to_string(r + 1) + ": atom " + atom_text(h) +
                                 " was defined in an earlier step and cannot get further rules");
        }
    }

    void support(Atom head, int32_t literal, Rule const& rule, std::vector<NormalLiteral> const& weighted,
                 int64_t bound) {
        if (literal == -1 || !is_variable(head) || !is_new(head)) {
            return;
        }
        supports_.emplace_back(head, literal);
        uint32_t loop = loop_index_[head];
        if (loop == none) {
            return;
        }
        elements_.clear();
        auto in_loop = [&](Literal l) -> uint32_t {
            return l > 0 && component_[l] == component_[head] ? loop_index_[l] : none;
        };
        if (rule.body_type != BodyType::weight) {
            // An unequal body here reads no atom of the loop (the component
            // would need the minimality check): an outside support.
            for (auto const& wl : p_.body(rule)) {
                uint32_t a = rule.body_type == BodyType::normal ? in_loop(wl.literal) : none;
                if (a != none) {
                    elements_.push_back({lit(wl.literal), 1, a});
                }
            }
            stable_->add_support(loop, literal, false, 0, elements_);
            return;
        }
        int64_t rest = bound;
        for (auto const& nl : weighted) {
            int32_t l = lit(nl.literal);
            if (l == 1) {
                rest -= nl.weight;
            } else if (l != -1) {
                elements_.push_back({l, nl.weight, nl.supports ? in_loop(nl.literal) : StablePropagator::no_atom});
            }
        }
        stable_->add_support(loop, literal, true, rest, elements_);
    }

    // sum != bound: below or above it, each a weight body.
    int32_t unequal_body(std::span<WeightLiteral const> body, int64_t bound) {
        std::vector<WeightLiteral> negated(body.begin(), body.end());
        for (auto& wl : negated) {
            wl.weight = -wl.weight;
        }
        int64_t above_bound = bound + 1, below_bound = 1 - bound;
        auto above_lits = normalise(body, above_bound);
        auto below_lits = normalise(negated, below_bound);
        int32_t above = weight_body(above_lits, above_bound);
        int32_t below = weight_body(below_lits, below_bound);
        if (above == 1 || below == 1) {
            return 1;
        }
        if (above == -1 || below == -1) {
            return above == -1 ? below : above;
        }
        int32_t b = problem_.add_variable();
        int32_t all[] = {-b, above, below};
        int32_t from_above[] = {b, -above};
        int32_t from_below[] = {b, -below};
        problem_.add_clause(all);
        problem_.add_clause(from_above);
        problem_.add_clause(from_below);
        return b;
    }

    // Hands a rule with heads in components of the minimality check to it.
    void checked_rule(Rule const& rule, int32_t body) {
        if (!check_) {
            return;
        }
        auto head = p_.head(rule);
        bool any = std::any_of(head.begin(), head.end(), [&](Atom h) { return check_index_[h] != none; });
        if (!any) {
            return;
        }
        std::vector<MinimalityCheck::Head> heads;
        for (Atom h : head) {
            heads.push_back({lit(static_cast<Literal>(h)), check_index_[h]});
        }
        std::vector<MinimalityCheck::Element> elements;
        for (auto const& wl : p_.body(rule)) {
            uint32_t atom = wl.literal > 0 ? check_index_[wl.literal] : none;
            elements.push_back({lit(wl.literal), wl.weight, atom});
        }
        auto type = rule.body_type == BodyType::normal   ? MinimalityCheck::Body::normal
                    : rule.body_type == BodyType::weight ? MinimalityCheck::Body::weight
                                                         : MinimalityCheck::Body::unequal;
        check_->add_rule(rule.head_type == HeadType::choice, heads, type, body, rule.bound, elements);
    }

    void rules() {
        std::vector<int32_t> lits;
        std::vector<int32_t> heads;
        std::vector<Atom> head_atoms;
        for (size_t r = out_.rules_done_; r < p_.rules.size(); ++r) {
            auto const& rule = p_.rules[r];
            if (rule.head_type == HeadType::disjunctive) {
                bool holds = false;
                for (Atom h : p_.head(rule)) {
                    holds = holds || out_.atom_literals_[h] == 1;
                }
                if (holds) {
                    continue;
                }
            }
            std::vector<NormalLiteral> weighted;
            int64_t bound = rule.bound;
            int32_t body;
            if (rule.body_type == BodyType::normal) {
                lits.clear();
                for (auto const& wl : p_.body(rule)) {
                    lits.push_back(lit(wl.literal));
                }
                body = conjunction(lits);
            } else if (rule.body_type == BodyType::weight) {
                weighted = normalise(p_.body(rule), bound);
                body = weight_body(weighted, bound);
            } else {
                body = unequal_body(p_.body(rule), rule.bound);
            }
            if (body == -1) {
                continue;
            }
            for (Atom h : p_.head(rule)) {
                check_head(h, r);
            }
            checked_rule(rule, body);
            if (rule.head_type == HeadType::choice) {
                for (Atom h : p_.head(rule)) {
                    support(h, body, rule, weighted, bound);
                }
                continue;
            }
            heads.clear();
            head_atoms.clear();
            for (Atom h : p_.head(rule)) {
                int32_t l = lit(static_cast<Literal>(h));
                if (l > 1 && std::find(head_atoms.begin(), head_atoms.end(), h) == head_atoms.end()) {
                    heads.push_back(l);
                    head_atoms.push_back(h);
                }
            }
            std::vector<int32_t> clause{-body};
            clause.insert(clause.end(), heads.begin(), heads.end());
            problem_.add_clause(clause);
            if (head_atoms.size() == 1) {
                support(head_atoms[0], body, rule, weighted, bound);
                continue;
            }
            // Shifted: each head atom is derived when the body holds and the
            // other head atoms are false.
            for (size_t i = 0; i < head_atoms.size(); ++i) {
                lits.assign(1, body);
                for (size_t j = 0; j < heads.size(); ++j) {
                    if (j != i) {
                        lits.push_back(-heads[j]);
                    }
                }
                support(head_atoms[i], conjunction(lits), rule, weighted, bound);
            }
        }
    }

    // Externals are supported by their variable f as well.
    void external_supports() {
        for (Atom a = a0_; a <= n_; ++a) {
            if (out_.input_[a] != Input::external || !is_variable(a)) {
                continue;
            }
            int32_t f = problem_.add_variable();
            out_.external_support_[a] = f;
            supports_.emplace_back(a, f);
            if (check_index_[a] != none) {
                MinimalityCheck::Head head{out_.atom_literals_[a], check_index_[a]};
                MinimalityCheck::Element support{f, 1, none};
                check_->add_rule(true, std::span{&head, 1}, MinimalityCheck::Body::normal, f, 0, std::span{&support, 1});
            }
            if (loop_index_[a] != none) {
                elements_.clear();
                stable_->add_support(loop_index_[a], f, false, 0, elements_);
            }
        }
    }

    // An atom is true only if one of its supports holds; free atoms are free.
    // Released externals keep only their rules.
    void completion() {
        std::stable_sort(supports_.begin(), supports_.end(),
                         [](auto const& x, auto const& y) { return x.first < y.first; });
        size_t i = 0;
        std::vector<int32_t> clause;
        for (Atom a = a0_; a <= n_; ++a) {
            clause.assign(1, -out_.atom_literals_[a]);
            for (; i < supports_.size() && supports_[i].first == a; ++i) {
                clause.push_back(supports_[i].second);
            }
            if (is_variable(a) && out_.input_[a] != Input::free) {
                problem_.add_clause(clause);
            }
        }
        for (Atom a : released_) {
            if (int32_t f = out_.external_support_[a]; f != 0) {
                int32_t unit[] = {-f};
                problem_.add_clause(unit);
            }
        }
    }

    void minimize() {
        std::map<int32_t, bool> levels;
        for (size_t i = out_.minimize_done_; i < p_.minimize.size(); ++i) {
            auto const& m = p_.minimize[i];
            int32_t l = lit(m.literal);
            bool kept = l != -1 && m.weight != 0;
            levels[m.priority] = levels[m.priority] || kept;
            if (kept) {
                problem_.add_minimize(l, m.weight, m.priority);
            }
        }
        // A level whose terms all vanished still makes the program an
        // optimisation problem (its cost is 0): keep it with cancelling terms.
        for (auto [priority, kept] : levels) {
            if (!kept) {
                problem_.add_minimize(1, 1, priority);
                problem_.add_minimize(1, -1, priority);
            }
        }
    }

    void shown() {
        for (size_t i = out_.names_done_; i < p_.atom_names.size(); ++i) {
            auto const& name = p_.atom_names[i];
            int32_t l = lit(static_cast<Literal>(name.atom));
            if (name.shown && l != -1) {
                out_.shown_atoms_.emplace_back(l, name.symbol);
            }
        }
        for (size_t i = out_.show_terms_done_; i < p_.show_terms.size(); ++i) {
            auto const& term = p_.show_terms[i];
            ShownTerm shown{term.term, static_cast<uint32_t>(out_.term_conditions_.size()), 0};
            bool possible = true;
            for (Literal c : p_.condition(term)) {
                int32_t l = lit(c);
                possible = possible && l != -1;
                if (l != 1) {
                    out_.term_conditions_.push_back(l);
                }
            }
            if (!possible) {
                out_.term_conditions_.resize(shown.begin);
                continue;
            }
            shown.end = static_cast<uint32_t>(out_.term_conditions_.size());
            out_.shown_terms_.push_back(shown);
        }
    }

    static constexpr int8_t no_value = -2;

    GroundProgram const& p_;
    Solve::Problem& problem_;
    ProgramTranslator& out_;
    Atom a0_; // the first atom of this step
    uint32_t n_;
    std::vector<int8_t> new_external_;
    std::vector<Atom> released_;
    std::vector<uint8_t> possible_;
    std::vector<uint32_t> component_;
    std::vector<uint32_t> loop_index_;
    std::vector<uint32_t> check_index_; // atoms of the minimality check
    std::unique_ptr<MinimalityCheck> check_;
    std::vector<std::pair<Atom, int32_t>> supports_;
    std::vector<StablePropagator::Element> elements_;
    std::unique_ptr<StablePropagator> stable_;
};

ProgramTranslator::ProgramTranslator() = default;
ProgramTranslator::~ProgramTranslator() = default;

void ProgramTranslator::translate(GroundProgram const& program, Solve::SolverSet& set) {
    if (broken_) {
        throw TranslateError("an earlier translation of this program failed; it cannot be solved any more");
    }
    size_t stables = stables_.size();
    try {
        Builder(program, set.problem(), *this).run();
    } catch (...) {
        // The problem may hold part of the failed step.
        broken_ = true;
        throw;
    }
    if (!mapper_installed_) {
        set.set_literal_mapper([this](int32_t lit) { return solver_literal(lit); });
        mapper_installed_ = true;
    }
    for (size_t i = stables; i < stables_.size(); ++i) {
        set.add_propagator(stables_[i].get());
    }
}

int32_t ProgramTranslator::solver_literal(Literal program_literal) const {
    int64_t atom = program_literal < 0 ? -int64_t{program_literal} : int64_t{program_literal};
    if (atom == 0 || atom >= static_cast<int64_t>(atom_literals_.size())) {
        throw TranslateError("program literal " + std::to_string(program_literal) + " names no atom");
    }
    int32_t l = atom_literals_[static_cast<size_t>(atom)];
    return program_literal < 0 ? -l : l;
}

void ProgramTranslator::external_assumptions(std::vector<int32_t>& out) const {
    for (Atom a : externals_) {
        int32_t f = external_support_[a];
        if (input_[a] != Input::external || f == 0) {
            continue;
        }
        // True: the atom and its support; free: the support; false: its rules only.
        if (external_value_[a] > 0) {
            out.push_back(atom_literals_[a]);
        }
        out.push_back(external_value_[a] >= 0 ? f : -f);
    }
}

std::vector<Symbols::Symbol> ProgramTranslator::unique(std::vector<Symbols::Symbol> symbols) {
    std::vector<Symbols::Symbol> sorted(symbols);
    std::sort(sorted.begin(), sorted.end(), [](auto a, auto b) { return a.rep() < b.rep(); });
    if (std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end()) {
        return symbols;
    }
    std::vector<Symbols::Symbol> out;
    std::vector<uint64_t> seen;
    for (auto s : symbols) {
        auto pos = std::lower_bound(seen.begin(), seen.end(), s.rep());
        if (pos == seen.end() || *pos != s.rep()) {
            seen.insert(pos, s.rep());
            out.push_back(s);
        }
    }
    return out;
}

} // namespace Gondra::Ground
