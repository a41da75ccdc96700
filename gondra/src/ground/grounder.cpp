#include "ground/grounder.hpp"

#include "ground/anonymous_projection.hpp"

#include "ground/flat_map.hpp"
#include "ground/rule_set.hpp"
#include "ground/statement_builder.hpp"
#include "ground/theory_builder.hpp"
#include "input/messages.hpp"
#include "input/theory_term_parser.hpp"
#include "input/unpool.hpp"
#include "symbols/signature.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace Gondra::Ground {

using Input::AstType;
using Input::ComparisonOperator;
using Input::Node;
using Input::NodePtr;
using Symbols::Signature;
using Symbols::SymbolType;
using A = Input::Attribute;

namespace {

constexpr uint32_t none = UINT32_MAX;

bool compare(int relation, Symbol a, Symbol b) {
    int c = Symbols::compare(a, b);
    switch (static_cast<ComparisonOperator>(relation)) {
    case ComparisonOperator::GreaterThan: return c > 0;
    case ComparisonOperator::LessThan: return c < 0;
    case ComparisonOperator::LessEqual: return c <= 0;
    case ComparisonOperator::GreaterEqual: return c >= 0;
    case ComparisonOperator::NotEqual: return c != 0;
    case ComparisonOperator::Equal: return c == 0;
    }
    return false;
}

bool contains(std::vector<uint32_t> const& v, uint32_t x) { return std::find(v.begin(), v.end(), x) != v.end(); }

bool contains(std::vector<PlanStep> const& plan, uint32_t literal) {
    return std::any_of(plan.begin(), plan.end(), [&](PlanStep const& s) { return s.literal == literal; });
}

// Symbols are interned, so equal symbols have equal handles: keys hash the
// handles and never touch the symbols' nodes.
constexpr uint64_t key_seed = 0x2545f4914f6cdd1dULL;

// Atoms of a domain by the values of some argument positions. Each bucket is
// a chain of domain positions in increasing order, linked through `next`, so
// that the semi-naive ranges [lo, hi) are prefixes and suffixes of chains.
struct Index {
    std::vector<uint32_t> positions; // argument positions of the key
    size_t done = 0;                 // domain atoms indexed so far
    FlatMap buckets;                 // key hash -> bucket
    std::vector<uint32_t> first, last;
    std::vector<uint32_t> next; // per domain position
};

struct Domain {
    Signature signature = Signature::create("", 0);
    std::vector<uint32_t> states; // atom states in insertion order
    std::vector<Index> indexes;
    bool complete = true;
    uint32_t lo = 0, hi = 0; // semi-naive: old [0,lo), delta [lo,hi)
    bool in_component = false;
    // Of the component being grounded, deferred instances included: its atoms
    // may depend on the rule that reads them.
    bool recursive = false;
};

struct AtomState {
    Symbol symbol;
    Atom atom;
    uint32_t domain;
    uint32_t position = none; // in its domain when it may be true
    bool fact = false;
    bool named = false;
};

// A plan step: the literal and, for positive predicates, the index used.
struct Step {
    uint32_t literal;
    uint32_t index = none;
};

struct Deferred {
    uint32_t statement;
    std::vector<Symbol> values;
    std::vector<uint8_t> bound;
    std::vector<Literal> body;
};

struct TheoryAtomState {
    Atom atom = 0;
    bool head = false;
    bool directive = false;
    bool free = false;
};

struct MinimizeState {
    int32_t weight, priority;
    Atom aux = 0;
    Literal literal = 0;
    bool emitted = false;
};

} // namespace

struct Grounder::Impl {
    explicit Impl(Logger& logger) : logger{logger} {}

    Logger& logger;
    GroundProgram* out = nullptr;
    std::unique_ptr<TheoryBuilder> theory;

    std::vector<AtomState> atoms;
    FlatMap atom_index; // symbol handle -> atom state
    std::vector<uint32_t> state_of_atom; // program atom -> state (none for aux)
    std::vector<Domain> domains;
    std::unordered_map<Signature, uint32_t> domain_index;

    Input::TheoryTable theories;
    std::set<Node const*> theory_definitions;
    std::vector<TheoryAtomState> theory_atoms;

    std::map<std::vector<Symbol>, MinimizeState> minimize;
    std::set<Signature> shown;
    uint32_t projections = 0; // auxiliary predicates made so far
    bool show_explicit = false;
    std::set<Signature> defined, head_signatures;
    std::set<std::pair<uint32_t, uint32_t>> inconsistent_done;
    Atom true_atom = 0;
    std::set<Input::Location const*> reported_undefined;
    std::unordered_set<std::string> undefined_messages;

    RuleSet rule_set;                  // rule instances added so far
    std::unordered_map<Literal, Atom> negations; // "not a" -> the atom defined by it
    std::vector<Literal> body_buffer;  // body of the instance being emitted

    // Per step.
    std::vector<Statement> statements;
    std::vector<Deferred> deferred;
    Binding binding;
    std::vector<Literal> lits;
    Statement const* current = nullptr;
    int delta = -1;
    Atom first_new_atom = 1;       // atoms of earlier calls are settled

    // ---- atoms ----------------------------------------------------------------

    uint32_t domain_of(Signature sig) {
        auto [it, fresh] = domain_index.emplace(sig, static_cast<uint32_t>(domains.size()));
        if (fresh) {
            domains.emplace_back();
            domains.back().signature = sig;
        }
        return it->second;
    }

    uint32_t state(Symbol s, uint32_t domain) {
        bool fresh = false;
        uint32_t id = atom_index.insert(s.rep(), static_cast<uint32_t>(atoms.size()), fresh);
        if (fresh) {
            Atom a = out->new_atom();
            atoms.push_back({s, a, domain});
            if (state_of_atom.size() <= a) state_of_atom.resize(a + 1, none);
            state_of_atom[a] = id;
        }
        return id;
    }

    Atom aux() {
        Atom a = out->new_atom();
        if (state_of_atom.size() <= a) state_of_atom.resize(a + 1, none);
        return a;
    }

    Atom fact_atom() {
        if (true_atom == 0) {
            true_atom = aux();
            out->add_rule(HeadType::disjunctive, std::span<Atom const>{&true_atom, 1}, {});
        }
        return true_atom;
    }

    void add_to_domain(uint32_t s) {
        if (atoms[s].position != none) return;
        Domain& d = domains[atoms[s].domain];
        atoms[s].position = static_cast<uint32_t>(d.states.size());
        d.states.push_back(s);
    }

    // Derives a fact; false when it was one already.
    bool make_fact(uint32_t s) {
        add_to_domain(s);
        if (atoms[s].fact) return false;
        atoms[s].fact = true;
        return true;
    }

    void undefined(Term const* t, Input::Location const& fallback) {
        Input::Location loc = t ? t->location : fallback;
        std::string text = "operation undefined: " + (t ? t->to_string() : std::string{"term"});
        if (undefined_messages.insert(Input::format_location(loc) + text).second) logger.info(loc, text);
    }

    bool eval(Term const& t, Symbol& v) {
        Term const* failed = nullptr;
        if (evaluate(t, binding, v, failed)) return true;
        undefined(failed, t.location);
        return false;
    }

    // ---- planning ---------------------------------------------------------------

    static std::vector<uint32_t> vars_of(Term const& t) {
        std::vector<uint32_t> v;
        t.collect_variables(v);
        return v;
    }
    static bool all_bound(std::vector<uint32_t> const& vars, std::vector<uint8_t> const& bound) {
        return std::all_of(vars.begin(), vars.end(), [&](uint32_t v) { return bound[v] != 0; });
    }

    // Estimated number of instances of scheduling the literal now (filters
    // cost nothing), negative when it cannot be scheduled yet. Predicates are
    // estimated from the current size of their domains, so plans made just
    // before grounding follow the data: the join enumerates few candidates
    // per instance and equalities become assignments as soon as possible.
    double cost(BodyLiteral const& l, std::vector<uint8_t> const& bound, std::vector<uint32_t> const& outside) {
        switch (l.kind) {
        case LiteralKind::boolean: return 0;
        case LiteralKind::predicate: {
            auto vars = vars_of(l.atom);
            if (l.sign != 0) return all_bound(vars, bound) ? 0 : -1;
            std::vector<uint32_t> arith;
            l.atom.collect_arithmetic_variables(arith);
            if (!all_bound(arith, bound)) return -1;
            if (all_bound(vars, bound)) return 0.5;
            size_t arity = l.atom.args.size(), free_args = 0;
            for (auto const& a : l.atom.args) free_args += !all_bound(vars_of(a), bound);
            double size = std::max<double>(1.0, static_cast<double>(domains[l.domain].states.size()));
            double per = arity == 0 ? size : std::pow(size, static_cast<double>(free_args) / static_cast<double>(arity));
            return 1.5 + per;
        }
        case LiteralKind::comparison: {
            auto lv = vars_of(l.left), rv = vars_of(l.right);
            bool lb = all_bound(lv, bound), rb = all_bound(rv, bound);
            if (lb && rb) return 0;
            if (l.relation == static_cast<int>(ComparisonOperator::Equal) &&
                ((rb && l.left.is_plain()) || (lb && l.right.is_plain())))
                return 1;
            return -1;
        }
        case LiteralKind::range: {
            if (!all_bound(vars_of(l.left), bound) || !all_bound(vars_of(l.right), bound)) return -1;
            if (l.left.kind == TermKind::constant && l.right.kind == TermKind::constant &&
                l.left.value.type() == SymbolType::Number && l.right.value.type() == SymbolType::Number)
                return 1.5 + std::max(0.0, static_cast<double>(l.right.value.number()) - l.left.value.number() + 1);
            return 1.5 + 16; // bounds known only per instance
        }
        case LiteralKind::aggregate:
            if (l.assignment) {
                std::vector<uint32_t> mine;
                l.collect_variables(mine);
                auto gv = vars_of(l.lower.present ? l.lower.term : l.upper.term);
                for (uint32_t v : mine)
                    if (!contains(gv, v) && contains(outside, v) && !bound[v]) return -1;
                return 1e12;
            }
            return -1;
        default: return -1;
        }
    }

    // The way the literal is joined when `bound` holds the bound variables.
    PlanStep step_for(uint32_t literal, BodyLiteral const& l, std::vector<uint8_t> const& bound) {
        PlanStep step{literal, StepMode::other, none};
        if (l.kind == LiteralKind::comparison) {
            bool lb = all_bound(vars_of(l.left), bound), rb = all_bound(vars_of(l.right), bound);
            step.mode = lb && rb ? StepMode::test : lb ? StepMode::assign_right : StepMode::assign_left;
        } else if (l.kind == LiteralKind::predicate) {
            if (l.sign != 0 || all_bound(vars_of(l.atom), bound)) {
                step.mode = StepMode::lookup;
                return step;
            }
            std::vector<uint32_t> positions;
            for (uint32_t p = 0; p < l.atom.args.size(); ++p)
                if (all_bound(vars_of(l.atom.args[p]), bound)) positions.push_back(p);
            step.mode = positions.empty() ? StepMode::scan : StepMode::index;
            if (!positions.empty()) step.index = index_for(domains[l.domain], positions);
        }
        return step;
    }

    void provide(BodyLiteral const& l, std::vector<uint8_t>& bound) {
        std::vector<uint32_t> vars;
        switch (l.kind) {
        case LiteralKind::predicate: l.atom.collect_variables(vars); break;
        case LiteralKind::comparison:
            l.left.collect_variables(vars);
            l.right.collect_variables(vars);
            break;
        case LiteralKind::range: vars.push_back(l.var); break;
        case LiteralKind::aggregate: (l.lower.present ? l.lower.term : l.upper.term).collect_variables(vars); break;
        default: break;
        }
        for (uint32_t v : vars) bound[v] = 1;
    }

    // Orders the join literals greedily by how bound they are; `first` is
    // scheduled as early as possible. Unschedulable literals are left out.
    std::vector<PlanStep> plan(std::vector<BodyLiteral> const& lits_in, std::vector<uint8_t>& bound, int first,
                               std::vector<std::vector<uint32_t>> const& outside) {
        std::vector<PlanStep> order;
        std::vector<uint8_t> used(lits_in.size(), 0);
        static std::vector<uint32_t> const no_outside;
        for (;;) {
            int best = -1;
            double best_cost = 0;
            for (size_t i = 0; i < lits_in.size(); ++i) {
                if (used[i] || lits_in[i].is_deferred()) continue;
                double c = cost(lits_in[i], bound, outside.empty() ? no_outside : outside[i]);
                if (c < 0) continue;
                if (static_cast<int>(i) == first && c > 0) c = 0.25; // after pure filters
                if (best < 0 || c < best_cost) {
                    best = static_cast<int>(i);
                    best_cost = c;
                }
            }
            if (best < 0) break;
            used[best] = 1;
            order.push_back(step_for(static_cast<uint32_t>(best), lits_in[best], bound));
            provide(lits_in[best], bound);
        }
        return order;
    }

    // Variables of each body literal that occur elsewhere in the statement.
    std::vector<std::vector<uint32_t>> outside_variables(Statement const& st) {
        std::vector<std::vector<uint32_t>> per(st.body.size());
        std::vector<uint32_t> head;
        collect_head_variables(st, head);
        for (size_t i = 0; i < st.body.size(); ++i) {
            per[i] = head;
            for (size_t j = 0; j < st.body.size(); ++j)
                if (j != i) st.body[j].collect_variables(per[i]);
        }
        return per;
    }

    static void collect_head_variables(Statement const& st, std::vector<uint32_t>& out) {
        Head const& h = st.head;
        h.atom.collect_variables(out);
        h.weight.collect_variables(out);
        h.priority.collect_variables(out);
        for (auto const& t : h.terms) t.collect_variables(out);
        if (h.lower.present) h.lower.term.collect_variables(out);
        if (h.upper.present) h.upper.term.collect_variables(out);
        h.theory.name.collect_variables(out);
    }

    void theory_node_variables(Statement const& st, Node const& root, std::vector<uint32_t>& out) {
        // An explicit stack: theory terms can be long chains.
        std::vector<Node const*> todo{&root};
        while (!todo.empty()) {
            Node const& n = *todo.back();
            todo.pop_back();
            if (n.type() == AstType::Variable) out.push_back(st.theory_var(n.string(A::Name)));
            if (n.type() != AstType::TheoryFunction && n.type() != AstType::TheorySequence) continue;
            auto const& args = n.nodes(n.type() == AstType::TheoryFunction ? A::Arguments : A::Terms);
            for (size_t i = args.size(); i-- > 0;) todo.push_back(args[i].get());
        }
    }

    void unsafe(Statement const& st, std::vector<uint32_t> vars, std::vector<uint8_t> const& bound,
                std::set<uint32_t>& reported) {
        for (uint32_t v : vars) {
            if (v >= bound.size() || bound[v] || reported.count(v)) continue;
            if (std::string_view{st.var_names[v]}.starts_with("#")) continue; // reported via the interval's bounds
            reported.insert(v);
            logger.error(st.var_locations[v], std::string{"unsafe variable '"} + st.var_names[v] + "'");
        }
    }

    void plan_elements(Statement& st, std::vector<Element>& elements, std::vector<uint8_t> const& bound,
                       std::set<uint32_t>& reported) {
        for (auto& e : elements) {
            std::vector<uint8_t> b = bound;
            e.plan = plan(e.condition, b, -1, {});
            std::vector<uint32_t> vars;
            for (size_t i = 0; i < e.condition.size(); ++i)
                if (!contains(e.plan, static_cast<uint32_t>(i))) e.condition[i].collect_variables(vars);
            for (auto const& t : e.tuple) t.collect_variables(vars);
            for (auto const& l : e.head) l.collect_variables(vars);
            for (auto const& t : e.theory_terms) theory_node_variables(st, *t, vars);
            unsafe(st, vars, b, reported);
        }
    }

    // Plans the body and checks safety; false when variables are unsafe.
    bool analyse(Statement& st) {
        size_t errors = logger.error_count();
        std::vector<uint8_t> bound(st.num_vars, 0);
        auto outside = outside_variables(st);
        st.body_plan = plan(st.body, bound, -1, outside);
        std::set<uint32_t> reported;
        std::vector<uint32_t> vars;
        for (size_t i = 0; i < st.body.size(); ++i) {
            BodyLiteral const& l = st.body[i];
            if (!l.is_deferred() && !contains(st.body_plan, static_cast<uint32_t>(i))) l.collect_variables(vars);
            if (l.kind == LiteralKind::aggregate || l.kind == LiteralKind::theory) {
                if (l.lower.present) l.lower.term.collect_variables(vars);
                if (l.upper.present) l.upper.term.collect_variables(vars);
                l.theory.name.collect_variables(vars);
                if (l.theory.guard) theory_node_variables(st, *l.theory.guard, vars);
            }
        }
        collect_head_variables(st, vars);
        if (st.head.theory.guard) theory_node_variables(st, *st.head.theory.guard, vars);
        unsafe(st, vars, bound, reported);
        for (auto& l : st.body)
            if (l.kind == LiteralKind::aggregate || l.kind == LiteralKind::conditional || l.kind == LiteralKind::theory)
                plan_elements(st, l.elements, bound, reported);
        plan_elements(st, st.head.elements, bound, reported);
        return logger.error_count() == errors;
    }

    // ---- joins ------------------------------------------------------------------

    static uint32_t index_for(Domain& d, std::vector<uint32_t> const& positions) {
        for (size_t i = 0; i < d.indexes.size(); ++i)
            if (d.indexes[i].positions == positions) return static_cast<uint32_t>(i);
        d.indexes.emplace_back();
        d.indexes.back().positions = positions;
        return static_cast<uint32_t>(d.indexes.size() - 1);
    }

    // Adds the domain atoms that arrived since the last update.
    void update(Index& idx, Domain const& d) {
        idx.next.resize(d.states.size(), none);
        for (; idx.done < d.states.size(); ++idx.done) {
            auto args = atoms[d.states[idx.done]].symbol.arguments();
            uint64_t h = key_seed;
            for (uint32_t p : idx.positions) h = combine64(h, args[p].rep());
            bool fresh = false;
            uint32_t bucket = idx.buckets.insert(h, static_cast<uint32_t>(idx.first.size()), fresh);
            auto pos = static_cast<uint32_t>(idx.done);
            if (fresh) {
                idx.first.push_back(pos);
                idx.last.push_back(pos);
            } else {
                idx.next[idx.last[bucket]] = pos;
                idx.last[bucket] = pos;
            }
        }
    }

    // Range of domain positions a literal of the body may use.
    std::pair<uint32_t, uint32_t> range_of(uint32_t literal_index, BodyLiteral const& l, bool in_body) {
        Domain const& d = domains[l.domain];
        if (!in_body || !d.in_component) return {0, static_cast<uint32_t>(d.states.size())};
        if (delta < 0) return {0, d.hi};
        auto const& rec = current->recursive_literals;
        auto pos = std::find(rec.begin(), rec.end(), literal_index);
        if (pos == rec.end()) return {0, d.hi};
        uint32_t delta_literal = rec[static_cast<size_t>(delta)];
        if (literal_index == delta_literal) return {d.lo, d.hi};
        auto dpos = std::find(rec.begin(), rec.end(), delta_literal);
        return pos < dpos ? std::pair<uint32_t, uint32_t>{0, d.lo} : std::pair<uint32_t, uint32_t>{0, d.hi};
    }

    // The state of an atom that may be true (none when it cannot be).
    uint32_t possible(Symbol v) const {
        uint32_t s = atom_index.find(v.rep());
        return s != FlatMap::absent && atoms[s].position != none ? s : none;
    }

    template <class F>
    void join(std::vector<BodyLiteral> const& body, std::vector<PlanStep> const& order, size_t k, bool in_body, F& f) {
        if (k == order.size()) {
            f();
            return;
        }
        PlanStep const& step = order[k];
        uint32_t li = step.literal;
        BodyLiteral const& l = body[li];
        size_t mark = binding.mark();
        switch (l.kind) {
        case LiteralKind::boolean:
            if (l.value) join(body, order, k + 1, in_body, f);
            return;
        case LiteralKind::comparison: {
            if (step.mode == StepMode::test) {
                Symbol a, b;
                if (!eval(l.left, a) || !eval(l.right, b)) return;
                if (compare(l.relation, a, b)) join(body, order, k + 1, in_body, f);
                return;
            }
            bool left_bound = step.mode == StepMode::assign_right;
            Term const& pattern = left_bound ? l.right : l.left;
            Symbol v;
            if (!eval(left_bound ? l.left : l.right, v)) return;
            if (match(pattern, v, binding)) join(body, order, k + 1, in_body, f);
            binding.undo(mark);
            return;
        }
        case LiteralKind::range: {
            Symbol lo, hi;
            if (!eval(l.left, lo) || !eval(l.right, hi)) return;
            if (lo.type() != SymbolType::Number || hi.type() != SymbolType::Number) return;
            for (int64_t i = lo.number(); i <= hi.number(); ++i) {
                Symbol n = Symbol::create_number(static_cast<int32_t>(i));
                if (binding.is_bound(l.var)) {
                    if (binding.value(l.var) == n) join(body, order, k + 1, in_body, f);
                    continue;
                }
                binding.bind(l.var, n);
                join(body, order, k + 1, in_body, f);
                binding.undo(mark);
            }
            return;
        }
        case LiteralKind::aggregate: {
            // An assignment: every value the aggregate can take.
            std::vector<Symbol> values;
            AggregateGround g;
            if (!ground_aggregate(l, g)) return;
            possible_values(l, g, values);
            Term const& pattern = l.lower.present ? l.lower.term : l.upper.term;
            for (Symbol v : values) {
                if (match(pattern, v, binding)) {
                    size_t n = lits.size();
                    if (encode_aggregate(l, g, v)) join(body, order, k + 1, in_body, f);
                    lits.resize(n);
                }
                binding.undo(mark);
            }
            return;
        }
        case LiteralKind::predicate: break;
        default: join(body, order, k + 1, in_body, f); return;
        }
        Domain& d = domains[l.domain];
        if (l.sign != 0) {
            Symbol v;
            if (!eval(l.atom, v)) return;
            uint32_t found = possible(v);
            if (found != none && atoms[found].fact) {
                if (l.sign == 2) join(body, order, k + 1, in_body, f);
                return;
            }
            if (found == none && d.complete) {
                if (l.sign == 1) join(body, order, k + 1, in_body, f);
                return;
            }
            uint32_t s = found != none ? found : state(v, l.domain);
            Literal lit = -static_cast<Literal>(atoms[s].atom);
            if (l.sign == 2) lit = -double_negation(lit);
            lits.push_back(lit);
            join(body, order, k + 1, in_body, f);
            lits.pop_back();
            return;
        }
        auto [lo, hi] = range_of(li, l, in_body);
        if (lo >= hi) return;
        auto visit = [&](uint32_t pos) {
            uint32_t s = domains[l.domain].states[pos];
            if (match(l.atom, atoms[s].symbol, binding)) {
                bool fact = atoms[s].fact;
                if (!fact) lits.push_back(static_cast<Literal>(atoms[s].atom));
                join(body, order, k + 1, in_body, f);
                if (!fact) lits.pop_back();
            }
            binding.undo(mark);
        };
        switch (step.mode) {
        case StepMode::lookup: {
            Symbol v;
            if (!eval(l.atom, v)) return;
            uint32_t s = possible(v);
            if (s == none || atoms[s].domain != l.domain) return;
            uint32_t pos = atoms[s].position;
            if (pos < lo || pos >= hi) return;
            visit(pos);
            return;
        }
        case StepMode::index: {
            Index& idx = d.indexes[step.index];
            update(idx, d);
            uint64_t h = key_seed;
            for (uint32_t p : idx.positions) {
                Symbol v;
                if (!eval(l.atom.args[p], v)) return;
                h = combine64(h, v.rep());
            }
            uint32_t bucket = idx.buckets.find(h);
            if (bucket == FlatMap::absent) return;
            // Chains may grow while the join runs (heads of the component):
            // positions at or beyond hi stop the walk.
            for (uint32_t pos = idx.first[bucket]; pos != none && pos < hi; pos = idx.next[pos])
                if (pos >= lo) visit(pos);
            return;
        }
        default:
            for (uint32_t pos = lo; pos < hi; ++pos) visit(pos);
            return;
        }
    }

    // "not not a" as a literal: an auxiliary atom for "not a", negated. One
    // atom per literal: the atom is only ever defined by that rule.
    Literal double_negation(Literal negated) {
        auto [it, fresh] = negations.try_emplace(negated, 0);
        if (!fresh) return static_cast<Literal>(it->second);
        Atom x = aux();
        it->second = x;
        out->add_rule(HeadType::disjunctive, std::span<Atom const>{&x, 1}, std::span<Literal const>{&negated, 1});
        return static_cast<Literal>(x);
    }

    // The complement of a literal. The complement of "not a" is "not not a",
    // never "a": a double negation gives no positive support.
    Literal negate(Literal l) { return l > 0 ? -l : -double_negation(l); }

    // Whether the truth of a literal may depend on the component being
    // grounded through a positive occurrence.
    bool recursive_literal(Literal l) const {
        if (l <= 0 || static_cast<Atom>(l) >= state_of_atom.size()) return false;
        uint32_t s = state_of_atom[static_cast<Atom>(l)];
        return s != none && domains[atoms[s].domain].recursive;
    }

    // ---- elements -----------------------------------------------------------------

    // Condition literals of one grounding; false when the condition cannot hold.
    template <class F> void ground_element(Element const& e, F&& f) {
        size_t base = lits.size();
        auto g = [&]() {
            std::vector<Literal> cond(lits.begin() + static_cast<long>(base), lits.end());
            f(cond);
        };
        join(e.condition, e.plan, 0, false, g);
    }

    // The literal of a simple head/element literal: 0 when true, none when false.
    bool literal_value(BodyLiteral const& l, Literal& out_lit) {
        out_lit = 0;
        switch (l.kind) {
        case LiteralKind::boolean: return l.value;
        case LiteralKind::comparison: {
            Symbol a, b;
            return eval(l.left, a) && eval(l.right, b) && compare(l.relation, a, b);
        }
        case LiteralKind::predicate: {
            Symbol v;
            if (!eval(l.atom, v)) return false;
            uint32_t found = possible(v);
            bool present = found != none;
            bool fact = present && atoms[found].fact;
            if (l.sign == 0) {
                if (fact) return true;
                if (!present && domains[l.domain].complete) return false;
                out_lit = static_cast<Literal>(atoms[state(v, l.domain)].atom);
                return true;
            }
            if (fact) return l.sign == 2;
            if (!present && domains[l.domain].complete) return l.sign == 1;
            Literal lit = -static_cast<Literal>(atoms[state(v, l.domain)].atom);
            out_lit = l.sign == 2 ? -double_negation(lit) : lit;
            return true;
        }
        default: return false;
        }
    }

    // One literal for a disjunction of conjunctions (0: true).
    Literal disjunction_literal(std::vector<std::vector<Literal>> const& conds) {
        for (auto const& c : conds)
            if (c.empty()) return 0;
        if (conds.size() == 1 && conds[0].size() == 1) return conds[0][0];
        Atom x = aux();
        for (auto const& c : conds) out->add_rule(HeadType::disjunctive, std::span<Atom const>{&x, 1}, c);
        return static_cast<Literal>(x);
    }

    // ---- aggregates -------------------------------------------------------------

    // Tuples by their symbols' handles (interned: equal symbols, equal handles).
    struct TupleHash {
        size_t operator()(std::vector<Symbol> const& tuple) const noexcept {
            uint64_t h = key_seed;
            for (Symbol s : tuple) h = combine64(h, s.rep());
            return static_cast<size_t>(h);
        }
    };

    struct AggregateGround {
        std::vector<std::vector<Symbol>> tuples;
        std::vector<std::vector<std::vector<Literal>>> conditions;
        std::unordered_map<std::vector<Symbol>, size_t, TupleHash> index;
    };

    bool ground_aggregate(BodyLiteral const& l, AggregateGround& g) {
        for (auto const& e : l.elements) {
            ground_element(e, [&](std::vector<Literal> cond) {
                std::vector<Symbol> tuple;
                if (!e.head.empty()) {
                    Literal hl;
                    if (!literal_value(e.head[0], hl)) return;
                    if (hl != 0) cond.push_back(hl);
                    Symbol v;
                    BodyLiteral const& h = e.head[0];
                    Term const& t = h.kind == LiteralKind::predicate ? h.atom : h.left;
                    if (!eval(t, v)) return;
                    tuple.push_back(Symbol::create_number(h.sign));
                    tuple.push_back(v);
                } else {
                    for (auto const& t : e.tuple) {
                        Symbol v;
                        if (!eval(t, v)) return;
                        tuple.push_back(v);
                    }
                }
                auto [it, fresh] = g.index.emplace(tuple, g.tuples.size());
                if (fresh) {
                    g.tuples.push_back(tuple);
                    g.conditions.emplace_back();
                }
                g.conditions[it->second].push_back(std::move(cond));
            });
        }
        return true;
    }

    // Weight of a tuple; false when the tuple does not count.
    bool weight_of(BodyLiteral const& l, std::vector<Symbol> const& tuple, int64_t& w) {
        if (l.function == AggregateKind::count) {
            w = 1;
            return true;
        }
        if (tuple.empty() || tuple[0].type() != SymbolType::Number) return false;
        w = tuple[0].number();
        if (l.function == AggregateKind::sum_plus && w < 0) return false;
        return true;
    }

    void possible_values(BodyLiteral const& l, AggregateGround const& g, std::vector<Symbol>& values) {
        if (l.function == AggregateKind::min || l.function == AggregateKind::max) {
            bool fixed = false;
            std::set<Symbol> vs;
            for (size_t i = 0; i < g.tuples.size(); ++i) {
                if (g.tuples[i].empty()) continue;
                vs.insert(g.tuples[i][0]);
                for (auto const& c : g.conditions[i]) fixed |= c.empty();
            }
            if (!fixed) vs.insert(l.function == AggregateKind::min ? Symbol::create_supremum() : Symbol::create_infimum());
            values.assign(vs.begin(), vs.end());
            return;
        }
        std::set<int64_t> sums{0};
        for (size_t i = 0; i < g.tuples.size(); ++i) {
            int64_t w;
            if (!weight_of(l, g.tuples[i], w)) continue;
            bool fixed = false;
            for (auto const& c : g.conditions[i]) fixed |= c.empty();
            std::set<int64_t> next;
            for (int64_t s : sums) {
                next.insert(s + w);
                if (!fixed) next.insert(s);
            }
            sums.swap(next);
            if (sums.size() > 100000) {
                logger.error(l.location, "too many values of the aggregate to assign");
                throw GroundError(logger.text(Severity::error));
            }
        }
        for (int64_t s : sums)
            if (s >= INT32_MIN && s <= INT32_MAX) values.push_back(Symbol::create_number(static_cast<int32_t>(s)));
    }

    // Pushes the literals expressing "aggregate rel value" (or the guards of l
    // when value is unset); false when the aggregate cannot hold.
    bool encode_aggregate(BodyLiteral const& l, AggregateGround const& g, std::optional<Symbol> assigned = {}) {
        // Bounds on the value: lower/upper, with strictness, from the guards.
        struct Bound {
            bool present = false;
            Symbol value;
            bool strict = false;
        } lower, upper;
        // Both guards must hold: keep the tighter bound of each side and every
        // excluded value.
        std::vector<Symbol> excluded;
        auto tighten_lower = [&](Symbol v, bool strict) {
            if (!lower.present || v > lower.value || (v == lower.value && strict)) lower = {true, v, strict};
        };
        auto tighten_upper = [&](Symbol v, bool strict) {
            if (!upper.present || v < upper.value || (v == upper.value && strict)) upper = {true, v, strict};
        };
        auto add_guard = [&](Guard const& gd) -> bool {
            if (!gd.present) return true;
            Symbol v;
            if (!eval(gd.term, v)) return false;
            switch (static_cast<ComparisonOperator>(gd.relation)) {
            case ComparisonOperator::GreaterThan: tighten_lower(v, true); break;
            case ComparisonOperator::GreaterEqual: tighten_lower(v, false); break;
            case ComparisonOperator::LessThan: tighten_upper(v, true); break;
            case ComparisonOperator::LessEqual: tighten_upper(v, false); break;
            case ComparisonOperator::Equal:
                tighten_lower(v, false);
                tighten_upper(v, false);
                break;
            case ComparisonOperator::NotEqual: excluded.push_back(v); break;
            }
            return true;
        };
        if (assigned) {
            lower = {true, *assigned, false};
            upper = {true, *assigned, false};
        } else if (!add_guard(l.lower) || !add_guard(l.upper)) {
            return false;
        }
        // The conjunction of parts; each part is a literal (0: true) or false.
        std::vector<Literal> parts;
        bool holds = true;
        auto part = [&](std::optional<Literal> p) {
            if (!p) holds = false;
            else if (*p != 0) parts.push_back(*p);
        };
        bool minmax = l.function == AggregateKind::min || l.function == AggregateKind::max;
        bool is_min = l.function == AggregateKind::min;
        size_t n = g.tuples.size();
        std::vector<Literal> elem(n);
        std::vector<int64_t> weights(n);
        std::vector<uint8_t> counts(n);
        bool recursive = false;
        for (size_t i = 0; i < n; ++i) {
            counts[i] = minmax ? !g.tuples[i].empty() : weight_of(l, g.tuples[i], weights[i]);
            if (counts[i]) elem[i] = disjunction_literal(g.conditions[i]);
            for (auto const& c : g.conditions[i])
                for (Literal x : c) recursive = recursive || recursive_literal(x);
        }
        // Elements read non-monotonically (by a constraint mixing signs, or by
        // !=) must be true exactly when their condition is, also where the
        // stability check compares smaller interpretations.
        std::vector<uint8_t> exact(n, 0);

        // sum(w * element) >= bound over (element index, signed weight) terms.
        auto weight_part = [&](std::vector<std::pair<size_t, int64_t>> const& terms,
                               int64_t bound) -> std::optional<Literal> {
            int64_t lo_sum = 0, hi_sum = 0;
            bool positive = false, negative = false;
            std::vector<WeightLiteral> body;
            for (auto [i, w] : terms) {
                if (w == 0) continue;
                if (elem[i] == 0) {
                    bound -= w;
                    continue;
                }
                (w < 0 ? lo_sum : hi_sum) += w;
                (w < 0 ? negative : positive) = true;
                body.push_back({elem[i], checked_weight(w, l.location)});
            }
            if (lo_sum >= bound) return Literal{0};
            if (hi_sum < bound) return std::nullopt;
            if (positive && negative)
                for (auto [i, w] : terms) exact[i] = exact[i] || w < 0;
            Atom x = aux();
            out->add_weight_rule(HeadType::disjunctive, std::span<Atom const>{&x, 1}, bound, body);
            return static_cast<Literal>(x);
        };
        // sum(w * element) != value.
        auto unequal_part = [&](std::vector<std::pair<size_t, int64_t>> const& terms,
                                int64_t value) -> std::optional<Literal> {
            int64_t lo_sum = 0, hi_sum = 0;
            std::vector<WeightLiteral> body;
            for (auto [i, w] : terms) {
                if (w == 0) continue;
                if (elem[i] == 0) {
                    value -= w;
                    continue;
                }
                (w < 0 ? lo_sum : hi_sum) += w;
                body.push_back({elem[i], checked_weight(w, l.location)});
            }
            if (value < lo_sum || value > hi_sum) return Literal{0};
            if (body.empty()) return std::nullopt; // the sum is exactly value
            for (auto [i, w] : terms) exact[i] = exact[i] || w != 0;
            Atom x = aux();
            out->add_unequal_rule(HeadType::disjunctive, std::span<Atom const>{&x, 1}, value, body);
            return static_cast<Literal>(x);
        };
        // Every element whose value passes the test is false (0: none can be true).
        auto all_false = [&](auto test) -> std::optional<Literal> {
            std::vector<Literal> body;
            for (size_t i = 0; i < n; ++i) {
                if (!counts[i] || !test(g.tuples[i][0])) continue;
                if (elem[i] == 0) return std::nullopt;
                body.push_back(negate(elem[i]));
            }
            if (body.empty()) return Literal{0};
            if (body.size() == 1) return body[0];
            Atom x = aux();
            out->add_rule(HeadType::disjunctive, std::span<Atom const>{&x, 1}, body);
            return static_cast<Literal>(x);
        };
        // Some element whose value passes the test is true.
        auto some_true = [&](auto test) -> std::optional<Literal> {
            std::vector<std::vector<Literal>> conds;
            for (size_t i = 0; i < n; ++i) {
                if (!counts[i] || !test(g.tuples[i][0])) continue;
                if (elem[i] == 0) return Literal{0};
                conds.push_back({elem[i]});
            }
            if (conds.empty()) return std::nullopt;
            return disjunction_literal(conds);
        };
        auto number_bound = [&](Bound const& b, bool is_lower, int64_t& value) -> int {
            // 1: always holds, -1: never, 0: value is the bound
            if (b.value.type() == SymbolType::Number) {
                value = b.value.number();
                if (b.strict) value += is_lower ? 1 : -1;
                return 0;
            }
            bool above_all = Symbols::compare(b.value, Symbol::create_number(0)) > 0;
            return (is_lower != above_all) ? 1 : -1;
        };
        auto bounds = [&](Bound const& lo, Bound const& up) {
            if (minmax) {
                Symbol neutral = is_min ? Symbol::create_supremum() : Symbol::create_infimum();
                auto ok_lo = [&](Symbol v) { return lo.strict ? Symbols::compare(v, lo.value) > 0 : Symbols::compare(v, lo.value) >= 0; };
                auto ok_up = [&](Symbol v) { return up.strict ? Symbols::compare(v, up.value) < 0 : Symbols::compare(v, up.value) <= 0; };
                // The empty set has the neutral value (#sup for min, #inf for
                // max): a bound the neutral value meets on the open side holds
                // for every value; one it misses needs some element.
                auto any = [](Symbol) { return true; };
                if (is_min) {
                    if (lo.present) part(all_false([&](Symbol v) { return !ok_lo(v); }));
                    if (up.present && !ok_up(neutral)) part(some_true(ok_up));
                    if (lo.present && !ok_lo(neutral)) part(some_true(any));
                } else {
                    if (up.present) part(all_false([&](Symbol v) { return !ok_up(v); }));
                    if (lo.present && !ok_lo(neutral)) part(some_true(ok_lo));
                    if (up.present && !ok_up(neutral)) part(some_true(any));
                }
                return;
            }
            int64_t value = 0;
            for (int side = 0; side < 2; ++side) {
                Bound const& b = side == 0 ? lo : up;
                if (!b.present) continue;
                int r = number_bound(b, side == 0, value);
                if (r < 0) part(std::nullopt);
                if (r != 0) continue;
                // sum >= value, or -sum >= -value for an upper bound.
                int64_t sign = side == 0 ? 1 : -1;
                std::vector<std::pair<size_t, int64_t>> terms;
                for (size_t i = 0; i < n; ++i)
                    if (counts[i]) terms.emplace_back(i, sign * weights[i]);
                part(weight_part(terms, sign * value));
            }
        };
        bounds(lower, upper);
        for (Symbol v : excluded) {
            if (minmax) {
                // min != v: some element below v, or none equal to v (v not
                // neutral); as one sum: K * below - equal >= 0 with K above
                // the number of equal elements.
                Symbol neutral = is_min ? Symbol::create_supremum() : Symbol::create_infimum();
                auto beyond = [&](Symbol x) { return is_min ? Symbols::compare(x, v) < 0 : Symbols::compare(x, v) > 0; };
                if (v == neutral) {
                    part(some_true(beyond));
                    continue;
                }
                int64_t equal = 0;
                for (size_t i = 0; i < n; ++i) equal += counts[i] && g.tuples[i][0] == v;
                std::vector<std::pair<size_t, int64_t>> terms;
                for (size_t i = 0; i < n; ++i) {
                    if (!counts[i]) continue;
                    if (beyond(g.tuples[i][0])) terms.emplace_back(i, equal + 1);
                    else if (g.tuples[i][0] == v) terms.emplace_back(i, -1);
                }
                part(weight_part(terms, 0));
                continue;
            }
            if (v.type() != SymbolType::Number) continue; // a sum is a number
            std::vector<std::pair<size_t, int64_t>> terms;
            for (size_t i = 0; i < n; ++i)
                if (counts[i]) terms.emplace_back(i, weights[i]);
            part(unequal_part(terms, v.number()));
        }
        if (recursive)
            for (size_t i = 0; i < n; ++i)
                if (exact[i]) define_exactly(elem[i], g.conditions[i]);
        if (assigned || l.sign == 0) {
            if (!holds) return false;
            lits.insert(lits.end(), parts.begin(), parts.end());
            return true;
        }
        if (l.sign == 1) {
            if (!holds) return true;
            Literal c = conjunction(parts);
            if (c == 0) return false;
            lits.push_back(negate(c));
            return true;
        }
        // not not: the aggregate's truth, without positive support.
        if (!holds) return false;
        Literal c = conjunction(parts);
        if (c != 0) lits.push_back(negate(negate(c)));
        return true;
    }

    int32_t checked_weight(int64_t w, Input::Location const& loc) {
        if (w < INT32_MIN || w > INT32_MAX) {
            logger.error(loc, "aggregate weight " + std::to_string(w) + " is out of range");
            throw GroundError(logger.text(Severity::error));
        }
        return static_cast<int32_t>(w);
    }

    // The condition of one element (a disjunction of conjunctions) as an atom
    // that the rules make true only with it: x -> (C1 or ... or Ck). Rules
    // x :- Ci alone let a smaller interpretation keep x without its
    // condition, which a non-monotone reading of x would exploit. Atoms of
    // earlier components and earlier calls are settled and get no rules.
    void define_exactly(Literal x, std::vector<std::vector<Literal>> const& conds) {
        if (x <= 0 || conds.empty() || (conds.size() == 1 && conds[0].size() == 1)) return;
        if (static_cast<Atom>(x) < state_of_atom.size() && state_of_atom[static_cast<Atom>(x)] != none) return;
        Atom xa = static_cast<Atom>(x);
        auto implies = [&](Atom from, std::vector<Literal> const& cond) {
            for (Literal c : cond) {
                if (c > 0 && recursive_literal(c) && static_cast<Atom>(c) >= first_new_atom) {
                    Atom ca = static_cast<Atom>(c);
                    Literal fl = static_cast<Literal>(from);
                    out->add_rule(HeadType::disjunctive, std::span<Atom const>{&ca, 1}, std::span<Literal const>{&fl, 1});
                } else if (c < 0) {
                    std::vector<Literal> con{static_cast<Literal>(from), -c};
                    out->add_rule(HeadType::disjunctive, {}, con);
                }
            }
        };
        if (conds.size() == 1) {
            implies(xa, conds[0]);
            return;
        }
        // One atom per conjunction, and x chooses among them.
        std::vector<Atom> choices;
        for (auto const& c : conds) {
            Atom y = aux();
            out->add_rule(HeadType::disjunctive, std::span<Atom const>{&y, 1}, c);
            Literal yl = static_cast<Literal>(y);
            out->add_rule(HeadType::disjunctive, std::span<Atom const>{&xa, 1}, std::span<Literal const>{&yl, 1});
            implies(y, c);
            choices.push_back(y);
        }
        out->add_rule(HeadType::disjunctive, choices, std::span<Literal const>{&x, 1});
    }

    Literal conjunction(std::vector<Literal> const& parts) {
        if (parts.empty()) return 0;
        if (parts.size() == 1) return parts[0];
        Atom x = aux();
        out->add_rule(HeadType::disjunctive, std::span<Atom const>{&x, 1}, parts);
        return static_cast<Literal>(x);
    }

    // ---- deferred body literals ---------------------------------------------------

    bool conditional(BodyLiteral const& l) {
        Element const& e = l.elements[0];
        bool ok = true;
        // Collected apart: the join of the condition still has its own
        // literals on `lits` while the callback runs.
        std::vector<Literal> parts;
        ground_element(e, [&](std::vector<Literal> cond) {
            if (!ok) return;
            Literal hl;
            bool value = literal_value(e.head[0], hl);
            if (value && hl == 0) return; // holds
            if (cond.empty()) {
                if (!value) ok = false;
                else parts.push_back(hl);
                return;
            }
            if (value && std::find(cond.begin(), cond.end(), hl) != cond.end()) return; // C, h -> h
            // cond -> head: an auxiliary atom true when the head holds or the
            // condition fails.
            Atom x = aux();
            bool recursive = std::any_of(cond.begin(), cond.end(), [&](Literal c) { return recursive_literal(c); });
            if (recursive) {
                // The condition may depend on this rule, so it is read in both
                // directions: k*head - sum(cond) >= 1 - k, as one weight body.
                std::vector<WeightLiteral> body;
                auto k = static_cast<int64_t>(cond.size());
                if (value) body.push_back({hl, checked_weight(k, l.location)});
                for (Literal c : cond) body.push_back({c, -1});
                out->add_weight_rule(HeadType::disjunctive, std::span<Atom const>{&x, 1}, 1 - k, body);
            } else {
                if (value) out->add_rule(HeadType::disjunctive, std::span<Atom const>{&x, 1}, std::span<Literal const>{&hl, 1});
                for (Literal c : cond) {
                    Literal nc = negate(c);
                    out->add_rule(HeadType::disjunctive, std::span<Atom const>{&x, 1}, std::span<Literal const>{&nc, 1});
                }
            }
            parts.push_back(static_cast<Literal>(x));
        });
        lits.insert(lits.end(), parts.begin(), parts.end());
        return ok;
    }

    // Bottom-up with explicit stacks: theory terms can be long chains.
    uint32_t theory_term(Statement const& st, Node const& root) {
        struct Frame {
            Node const* node;
            size_t next = 0; // next argument to build
        };
        auto arguments = [](Node const& n) -> Input::NodeArray const* {
            if (n.type() == AstType::TheoryFunction) return &n.nodes(A::Arguments);
            if (n.type() == AstType::TheorySequence) return &n.nodes(A::Terms);
            return nullptr;
        };
        std::vector<Frame> stack{{&root}};
        std::vector<uint32_t> ids;
        while (!stack.empty()) {
            Frame& f = stack.back();
            Node const& n = *f.node;
            Input::NodeArray const* args = arguments(n);
            if (args && f.next < args->size()) {
                Node const* arg = (*args)[f.next++].get();
                stack.push_back({arg}); // f dangles from here
                continue;
            }
            stack.pop_back();
            uint32_t id = 0;
            switch (n.type()) {
            case AstType::SymbolicTerm: {
                Symbol s = n.symbol(A::Symbol);
                auto it = constants.end();
                if (s.type() == SymbolType::Function && s.arguments().empty() && s.is_positive() && !s.is_tuple())
                    it = constants.find(s.name());
                id = theory->from_symbol(it != constants.end() ? it->second : s);
                break;
            }
            case AstType::Variable: id = theory->from_symbol(binding.value(st.theory_var(n.string(A::Name)))); break;
            case AstType::TheoryFunction:
            case AstType::TheorySequence: {
                std::span<uint32_t const> built{ids.data() + ids.size() - args->size(), args->size()};
                if (n.type() == AstType::TheoryFunction) {
                    id = theory->compound(TheoryTermType::function, n.string(A::Name), built);
                } else {
                    auto type = static_cast<Input::SequenceType>(n.number(A::SequenceType));
                    TheoryTermType tt = type == Input::SequenceType::Tuple  ? TheoryTermType::tuple
                                        : type == Input::SequenceType::List ? TheoryTermType::list
                                                                             : TheoryTermType::set;
                    id = theory->compound(tt, "", built);
                }
                ids.resize(ids.size() - args->size());
                break;
            }
            default: throw Input::LocatedError(st.location, "unexpected theory term");
            }
            ids.push_back(id);
        }
        return ids.back();
    }

    // The ground theory atom of the current binding; none when undefined.
    uint32_t theory_atom(Statement const& st, TheoryAtomInfo const& info, std::vector<Element> const& elements) {
        Symbol name;
        if (!eval(info.name, name)) return none;
        uint32_t name_id = theory->from_symbol(name);
        std::vector<uint32_t> element_ids;
        std::unordered_set<uint32_t> seen;
        for (auto const& e : elements) {
            ground_element(e, [&](std::vector<Literal> cond) {
                std::vector<uint32_t> tuple;
                for (auto const& t : e.theory_terms) tuple.push_back(theory_term(st, *t));
                bool created = false;
                uint32_t id = theory->element(tuple, cond, created);
                if (created) {
                    TheoryElement& te = out->theory.elements[id];
                    auto c = out->theory.condition(te);
                    std::vector<Literal> cv(c.begin(), c.end());
                    Literal cl = conjunction(cv);
                    out->theory.elements[id].condition_literal = cl == 0 ? static_cast<Literal>(fact_atom()) : cl;
                }
                if (seen.insert(id).second) element_ids.push_back(id);
            });
        }
        uint32_t guard = 0;
        if (info.has_guard) guard = theory_term(st, *info.guard);
        bool created = false;
        uint32_t id = theory->atom(name_id, element_ids, info.has_guard, info.relation, guard, created);
        if (created) {
            theory_atoms.emplace_back();
            Atom a = aux();
            theory_atoms[id].atom = a;
            out->theory.atoms[id].literal = static_cast<Literal>(a);
        }
        return id;
    }

    bool deferred_literals(Statement const& st) {
        for (auto const& l : st.body) {
            switch (l.kind) {
            case LiteralKind::aggregate:
                if (!l.assignment) {
                    AggregateGround g;
                    ground_aggregate(l, g);
                    if (!encode_aggregate(l, g)) return false;
                }
                break;
            case LiteralKind::conditional:
                if (!conditional(l)) return false;
                break;
            case LiteralKind::theory: {
                uint32_t id = theory_atom(st, l.theory, l.elements);
                if (id == none) return false;
                Literal a = static_cast<Literal>(theory_atoms[id].atom);
                lits.push_back(l.sign == 1 ? -a : l.sign == 2 ? negate(-a) : a);
                break;
            }
            default: break;
            }
        }
        return true;
    }

    // ---- heads --------------------------------------------------------------------

    ConstantMap constants;

    // Adds the possible head atoms to their domains (for deferred instances).
    void head_atoms_to_domains(Statement const& st) {
        Head const& h = st.head;
        if (h.kind == HeadKind::atom) {
            Symbol v;
            if (eval(h.atom, v)) add_to_domain(state(v, h.domain));
            return;
        }
        if (h.kind == HeadKind::disjunction || h.kind == HeadKind::choice) {
            for (auto const& e : h.elements) {
                ground_element(e, [&](std::vector<Literal> const&) {
                    Symbol v;
                    if (eval(e.head[0].atom, v)) add_to_domain(state(v, e.head[0].domain));
                });
            }
        }
    }

    void emit(Statement const& st, bool final_pass) {
        if (st.defer && !final_pass) {
            head_atoms_to_domains(st);
            Deferred d{static_cast<uint32_t>(&st - statements.data()), {}, {}, lits};
            for (uint32_t v = 0; v < binding.size(); ++v) {
                d.values.push_back(binding.value(v));
                d.bound.push_back(binding.is_bound(v));
            }
            deferred.push_back(std::move(d));
            return;
        }
        size_t base = lits.size();
        struct Restore {
            std::vector<Literal>& l;
            size_t n;
            ~Restore() { l.resize(n); }
        } restore{lits, base};
        // All predicate literals kept (none was a fact or known false).
        bool unchecked = st.distinct_instances && lits.size() == st.num_predicates;
        if (!deferred_literals(st)) return;
        // The body as a sorted set; a body with complementary literals never
        // holds, so its instance adds nothing.
        std::vector<Literal>& body = body_buffer;
        body.assign(lits.begin(), lits.end());
        std::sort(body.begin(), body.end());
        body.erase(std::unique(body.begin(), body.end()), body.end());
        for (auto it = body.begin(); it != body.end() && *it < 0; ++it)
            if (std::binary_search(body.begin(), body.end(), -*it)) return;
        Head const& h = st.head;
        switch (h.kind) {
        case HeadKind::trivial: return;
        case HeadKind::constraint:
            if (unchecked) out->add_rule(HeadType::disjunctive, {}, body);
            else rule_set.add(*out, HeadType::disjunctive, {}, body);
            return;
        case HeadKind::atom: {
            Symbol v;
            if (!eval(h.atom, v)) return;
            uint32_t s = state(v, h.domain);
            add_to_domain(s);
            if (atoms[s].fact) return;
            Atom a = atoms[s].atom;
            // A fact is added once: later instances stop at the test above.
            if (body.empty()) make_fact(s);
            if (unchecked || body.empty()) out->add_rule(HeadType::disjunctive, std::span<Atom const>{&a, 1}, body);
            else rule_set.add(*out, HeadType::disjunctive, std::span<Atom const>{&a, 1}, body);
            return;
        }
        case HeadKind::disjunction: {
            std::vector<Atom> head;
            for (auto const& e : h.elements) {
                ground_element(e, [&](std::vector<Literal> cond) {
                    Symbol v;
                    if (!eval(e.head[0].atom, v)) return;
                    uint32_t s = state(v, e.head[0].domain);
                    add_to_domain(s);
                    if (cond.empty()) {
                        head.push_back(atoms[s].atom);
                        return;
                    }
                    // a : C in a disjunction: x chooses "a where C holds";
                    // C must hold for x, and derives a with it. x holds
                    // whenever a and C do, so that a true for other reasons
                    // already satisfies the disjunction.
                    Atom x = aux();
                    head.push_back(x);
                    Literal xl = static_cast<Literal>(x);
                    Atom a = atoms[s].atom;
                    std::vector<Literal> support = cond;
                    support.push_back(xl);
                    out->add_rule(HeadType::disjunctive, std::span<Atom const>{&a, 1}, support);
                    for (Literal c : cond) {
                        std::vector<Literal> con{xl, -c};
                        out->add_rule(HeadType::disjunctive, {}, con);
                    }
                    std::vector<Literal> both = cond;
                    both.push_back(static_cast<Literal>(a));
                    out->add_rule(HeadType::disjunctive, std::span<Atom const>{&x, 1}, both);
                });
            }
            for (Atom a : head) {
                uint32_t s = a < state_of_atom.size() ? state_of_atom[a] : none;
                if (s != none && atoms[s].fact) return; // satisfied by a fact
            }
            std::sort(head.begin(), head.end());
            head.erase(std::unique(head.begin(), head.end()), head.end());
            if (head.size() == 1 && body.empty() && state_of_atom[head[0]] != none) make_fact(state_of_atom[head[0]]);
            rule_set.add(*out, HeadType::disjunctive, head, body);
            return;
        }
        case HeadKind::choice: choice(st, body); return;
        case HeadKind::theory: {
            uint32_t id = theory_atom(st, h.theory, h.elements);
            if (id == none) return;
            TheoryAtomState& ts = theory_atoms[id];
            Atom a = ts.atom;
            if (h.theory.directive) {
                if (!ts.directive) out->add_rule(HeadType::disjunctive, std::span<Atom const>{&a, 1}, {});
                ts.directive = true;
                return;
            }
            ts.head = true;
            rule_set.add(*out, HeadType::disjunctive, std::span<Atom const>{&a, 1}, body);
            return;
        }
        case HeadKind::show_term: {
            Symbol v;
            if (eval(h.atom, v)) out->add_show_term(v, body);
            return;
        }
        case HeadKind::external: {
            Symbol v;
            if (!eval(h.atom, v)) return;
            uint32_t s = state(v, h.domain);
            add_to_domain(s);
            // False until the application assigns it.
            if (!atoms[s].fact) out->add_external(atoms[s].atom, ExternalValue::falsity);
            return;
        }
        case HeadKind::minimize: {
            Symbol w, p;
            if (!eval(h.weight, w) || !eval(h.priority, p)) return;
            if (w.type() != SymbolType::Number || p.type() != SymbolType::Number) {
                logger.info(st.location, "minimize weight and priority must be integers: " + w.to_string() + "@" +
                                             p.to_string());
                return;
            }
            std::vector<Symbol> tuple{w, p};
            for (auto const& t : h.terms) {
                Symbol v;
                if (!eval(t, v)) return;
                tuple.push_back(v);
            }
            auto [it, fresh] = minimize.try_emplace(tuple, MinimizeState{w.number(), p.number()});
            MinimizeState& m = it->second;
            if (body.empty()) body.push_back(static_cast<Literal>(fact_atom()));
            if (fresh && body.size() == 1) {
                m.literal = body[0];
                return;
            }
            if (m.aux == 0) {
                m.aux = aux();
                if (m.literal != 0) out->add_rule(HeadType::disjunctive, std::span<Atom const>{&m.aux, 1}, std::span<Literal const>{&m.literal, 1});
                m.literal = static_cast<Literal>(m.aux);
            }
            out->add_rule(HeadType::disjunctive, std::span<Atom const>{&m.aux, 1}, body);
            return;
        }
        }
    }

    void choice(Statement const& st, std::vector<Literal> const& body) {
        Head const& h = st.head;
        // Several body literals: one auxiliary atom for the body.
        std::vector<Literal> b = body;
        if (b.size() > 1 && (h.lower.present || h.upper.present || h.elements.size() > 1)) b = {conjunction(body)};
        std::map<Atom, std::vector<std::vector<Literal>>> elements;
        std::vector<Atom> order;
        for (auto const& e : h.elements) {
            ground_element(e, [&](std::vector<Literal> cond) {
                Symbol v;
                if (!eval(e.head[0].atom, v)) return;
                uint32_t s = state(v, e.head[0].domain);
                add_to_domain(s);
                Atom a = atoms[s].atom;
                auto [it, fresh] = elements.try_emplace(a);
                if (fresh) order.push_back(a);
                it->second.push_back(cond);
                std::vector<Literal> rb = b;
                rb.insert(rb.end(), cond.begin(), cond.end());
                std::sort(rb.begin(), rb.end());
                rb.erase(std::unique(rb.begin(), rb.end()), rb.end());
                if (!atoms[s].fact) rule_set.add(*out, HeadType::choice, std::span<Atom const>{&a, 1}, rb);
            });
        }
        if (!h.lower.present && !h.upper.present) return;
        // The bounds as a count aggregate over "atom and its condition".
        AggregateGround g;
        for (Atom a : order) {
            uint32_t s = state_of_atom[a];
            std::vector<std::vector<Literal>> conds;
            for (auto c : elements[a]) {
                if (!atoms[s].fact) c.push_back(static_cast<Literal>(a));
                conds.push_back(std::move(c));
            }
            g.index.emplace(std::vector<Symbol>{atoms[s].symbol}, g.tuples.size());
            g.tuples.push_back({atoms[s].symbol});
            g.conditions.push_back(std::move(conds));
        }
        BodyLiteral agg;
        agg.kind = LiteralKind::aggregate;
        agg.function = AggregateKind::count;
        agg.lower = h.lower;
        agg.upper = h.upper;
        agg.sign = 1; // the constraint fires when the bounds fail
        agg.location = st.location;
        size_t n = lits.size();
        if (encode_aggregate(agg, g)) {
            std::vector<Literal> con(lits.begin() + static_cast<long>(n), lits.end());
            con.insert(con.end(), b.begin(), b.end());
            out->add_rule(HeadType::disjunctive, {}, con);
        }
        lits.resize(n);
    }

    // ---- steps ----------------------------------------------------------------------

    void ground_statement(Statement const& st, int delta_index) {
        current = &st;
        delta = delta_index;
        binding.resize(st.num_vars);
        lits.clear();
        auto const& order = delta_index < 0 ? st.body_plan : st.delta_plans[static_cast<size_t>(delta_index)];
        auto f = [&]() { emit(st, false); };
        join(st.body, order, 0, true, f);
    }

    void collect_signatures(BodyLiteral const& l, std::vector<uint32_t>& out_domains, bool& nested) {
        if (l.kind == LiteralKind::predicate) out_domains.push_back(l.domain);
        for (auto const& e : l.elements) {
            for (auto const& h : e.head)
                if (h.kind == LiteralKind::predicate) out_domains.push_back(h.domain);
            for (auto const& c : e.condition)
                if (c.kind == LiteralKind::predicate) out_domains.push_back(c.domain);
        }
        nested = !l.elements.empty();
    }

    // Strongly connected components of statements and predicates, dependencies first.
    std::vector<std::vector<uint32_t>> components() {
        size_t ns = statements.size(), nd = domains.size();
        // Nodes: statements [0, ns), domains [ns, ns + nd).
        std::vector<std::vector<uint32_t>> edges(ns + nd);
        for (uint32_t i = 0; i < ns; ++i) {
            Statement const& st = statements[i];
            std::vector<uint32_t> deps;
            bool nested = false;
            for (auto const& l : st.body) collect_signatures(l, deps, nested);
            for (auto const& e : st.head.elements)
                for (auto const& c : e.condition)
                    if (c.kind == LiteralKind::predicate) deps.push_back(c.domain);
            for (uint32_t d : deps) edges[i].push_back(static_cast<uint32_t>(ns + d));
            for (uint32_t d : head_domains(st)) edges[ns + d].push_back(i);
        }
        std::vector<uint32_t> index(ns + nd, none), low(ns + nd, 0);
        std::vector<uint8_t> on_stack(ns + nd, 0);
        std::vector<uint32_t> stack;
        std::vector<std::vector<uint32_t>> result;
        uint32_t counter = 0;
        // Iterative Tarjan: (node, next edge) frames.
        for (uint32_t root = 0; root < ns + nd; ++root) {
            if (index[root] != none) continue;
            std::vector<std::pair<uint32_t, uint32_t>> frames{{root, 0}};
            index[root] = low[root] = counter++;
            stack.push_back(root);
            on_stack[root] = 1;
            while (!frames.empty()) {
                auto& [v, e] = frames.back();
                if (e < edges[v].size()) {
                    uint32_t w = edges[v][e++];
                    if (index[w] == none) {
                        index[w] = low[w] = counter++;
                        stack.push_back(w);
                        on_stack[w] = 1;
                        frames.emplace_back(w, 0);
                    } else if (on_stack[w]) {
                        low[v] = std::min(low[v], index[w]);
                    }
                    continue;
                }
                uint32_t node = v;
                frames.pop_back();
                if (!frames.empty()) low[frames.back().first] = std::min(low[frames.back().first], low[node]);
                if (low[node] == index[node]) {
                    std::vector<uint32_t> comp;
                    uint32_t w;
                    do {
                        w = stack.back();
                        stack.pop_back();
                        on_stack[w] = 0;
                        comp.push_back(w);
                    } while (w != node);
                    result.push_back(std::move(comp));
                }
            }
        }
        return result;
    }

    static std::vector<uint32_t> head_domains(Statement const& st) {
        std::vector<uint32_t> out_d;
        if (st.head.kind == HeadKind::atom || st.head.kind == HeadKind::external) out_d.push_back(st.head.domain);
        if (st.head.kind == HeadKind::disjunction || st.head.kind == HeadKind::choice)
            for (auto const& e : st.head.elements) out_d.push_back(e.head[0].domain);
        return out_d;
    }

    void process_component(std::vector<uint32_t> const& comp) {
        size_t ns = statements.size();
        std::vector<uint32_t> stmts, doms;
        for (uint32_t n : comp) (n < ns ? stmts : doms).push_back(n < ns ? n : static_cast<uint32_t>(n - ns));
        if (stmts.empty()) return;
        for (uint32_t d : doms) {
            domains[d].complete = false;
            domains[d].in_component = true;
            domains[d].recursive = true;
        }
        auto in_comp = [&](uint32_t d) { return domains[d].in_component; };
        bool recursive = false;
        // Statements whose head conditions grow with the component: their
        // head atoms are collected anew in every round.
        std::vector<uint8_t> head_recursive(statements.size(), 0);
        for (uint32_t si : stmts) {
            Statement& st = statements[si];
            st.recursive_literals.clear();
            st.delta_plans.clear();
            st.defer = false;
            for (uint32_t i = 0; i < st.body.size(); ++i) {
                BodyLiteral const& l = st.body[i];
                std::vector<uint32_t> deps;
                bool nested = false;
                collect_signatures(l, deps, nested);
                bool rec = std::any_of(deps.begin(), deps.end(), in_comp);
                if (!rec) continue;
                if (l.kind == LiteralKind::predicate && l.sign == 0) st.recursive_literals.push_back(i);
                else if (l.kind == LiteralKind::aggregate && l.assignment)
                    logger.error(l.location, "recursive aggregates that assign a variable are not supported");
                else if (nested) st.defer = true;
            }
            for (auto const& e : st.head.elements)
                for (auto const& c : e.condition)
                    if (c.kind == LiteralKind::predicate && in_comp(c.domain)) {
                        st.defer = true;
                        head_recursive[si] = 1;
                        recursive = true;
                    }
            if (!st.recursive_literals.empty()) {
                recursive = true;
                auto outside = outside_variables(st);
                for (size_t r = 0; r < st.recursive_literals.size(); ++r) {
                    std::vector<uint8_t> bound(st.num_vars, 0);
                    st.delta_plans.push_back(plan(st.body, bound, static_cast<int>(st.recursive_literals[r]), outside));
                }
            }
        }
        if (logger.error_count() > 0) throw GroundError(logger.text(Severity::error));
        // The domains this component reads are complete (or growing with it):
        // plan the joins with their sizes.
        for (uint32_t si : stmts) {
            Statement& st = statements[si];
            std::vector<uint8_t> bound(st.num_vars, 0);
            st.body_plan = plan(st.body, bound, -1, outside_variables(st));
        }
        size_t deferred_begin = deferred.size();
        if (!recursive) {
            for (uint32_t si : stmts) ground_statement(statements[si], -1);
        } else {
            for (uint32_t d : doms) {
                domains[d].lo = 0;
                domains[d].hi = static_cast<uint32_t>(domains[d].states.size());
            }
            bool first = true;
            for (;;) {
                for (uint32_t si : stmts) {
                    Statement const& st = statements[si];
                    if (st.recursive_literals.empty()) {
                        if (first) ground_statement(st, -1);
                        continue;
                    }
                    for (size_t r = 0; r < st.recursive_literals.size(); ++r) ground_statement(st, static_cast<int>(r));
                }
                first = false;
                for (size_t i = deferred_begin; i < deferred.size(); ++i)
                    if (head_recursive[deferred[i].statement]) {
                        restore(deferred[i]);
                        head_atoms_to_domains(statements[deferred[i].statement]);
                    }
                bool grew = false;
                for (uint32_t d : doms) {
                    domains[d].lo = domains[d].hi;
                    domains[d].hi = static_cast<uint32_t>(domains[d].states.size());
                    grew |= domains[d].hi > domains[d].lo;
                }
                if (!grew) break;
            }
        }
        for (uint32_t d : doms) {
            domains[d].complete = true;
            domains[d].in_component = false;
        }
        // Instances whose aggregates or conditions depended on the component itself.
        for (size_t i = deferred_begin; i < deferred.size(); ++i) {
            Deferred d = deferred[i];
            restore(d);
            emit(statements[d.statement], true);
        }
        deferred.resize(deferred_begin);
        for (uint32_t d : doms) domains[d].recursive = false;
    }

    // The binding and body literals of a deferred instance.
    void restore(Deferred const& d) {
        Statement const& st = statements[d.statement];
        current = &st;
        binding.resize(st.num_vars);
        for (uint32_t v = 0; v < d.values.size(); ++v)
            if (d.bound[v]) binding.bind(v, d.values[v]);
        lits = d.body;
    }

    // Variables at plain positions of a term (not below arithmetic): the
    // term's value determines theirs.
    static void plain_variables(Term const& term, std::vector<uint32_t>& out) {
        visit_subterms(term, [&](Term const& t) {
            if (t.kind == TermKind::variable) out.push_back(t.var);
            return t.kind == TermKind::function;
        });
    }

    // A statement's instances are pairwise different rules when its body has
    // only predicates (each of another predicate or sign), comparisons and
    // ranges, and every variable sits at a plain position of a predicate or
    // of the head: the rule then determines the binding. They differ from the
    // rules of every other statement when no other statement has the same
    // head and a body with at least the same predicates (dropped fact
    // literals only shrink bodies; a disjunction may shrink to one atom or
    // none). Statements sharing their head with many others are left to the
    // duplicate check.
    void mark_distinct_instances() {
        using Shape = std::vector<std::pair<uint32_t, int>>; // (domain, sign) of body predicates, sorted
        std::vector<Shape> shapes(statements.size());
        std::map<std::pair<int, uint32_t>, std::vector<uint32_t>> by_head;
        std::set<uint32_t> disjunctive; // domains of disjunction elements
        bool disjunctions = false;
        for (auto const& st : statements)
            if (st.head.kind == HeadKind::disjunction) {
                disjunctions = true;
                for (auto const& e : st.head.elements) disjunctive.insert(e.head[0].domain);
            }
        for (uint32_t i = 0; i < statements.size(); ++i) {
            Statement& st = statements[i];
            st.distinct_instances = false;
            st.num_predicates = 0;
            for (auto const& l : st.body) st.num_predicates += l.kind == LiteralKind::predicate;
            if (st.head.kind != HeadKind::atom && st.head.kind != HeadKind::constraint) continue;
            if (st.head.kind == HeadKind::constraint ? disjunctions : disjunctive.count(st.head.domain) != 0) continue;
            bool simple = true;
            std::vector<uint32_t> plain;
            for (auto const& l : st.body) {
                if (l.kind == LiteralKind::predicate) {
                    if (l.sign == 2) simple = false;
                    shapes[i].emplace_back(l.domain, l.sign);
                    plain_variables(l.atom, plain);
                } else if (l.kind != LiteralKind::comparison && l.kind != LiteralKind::range &&
                           l.kind != LiteralKind::boolean) {
                    simple = false;
                }
            }
            std::sort(shapes[i].begin(), shapes[i].end());
            if (std::adjacent_find(shapes[i].begin(), shapes[i].end()) != shapes[i].end()) simple = false;
            // A constraint with -p may equal the one forbidding p and -p together.
            if (st.head.kind == HeadKind::constraint)
                for (auto const& [d, sign] : shapes[i])
                    if (sign == 0 && domains[d].signature.is_negative()) simple = false;
            if (st.head.kind == HeadKind::atom) plain_variables(st.head.atom, plain);
            for (uint32_t v = 0; v < st.num_vars && simple; ++v) simple = contains(plain, v);
            st.distinct_instances = simple && st.num_predicates > 0;
            by_head[{static_cast<int>(st.head.kind), st.head.kind == HeadKind::atom ? st.head.domain : 0}].push_back(i);
        }
        for (auto const& [head, group] : by_head) {
            for (uint32_t i : group) {
                Statement& st = statements[i];
                if (!st.distinct_instances) continue;
                if (group.size() > 64) {
                    st.distinct_instances = false;
                    continue;
                }
                for (uint32_t j : group)
                    if (j != i && std::includes(shapes[j].begin(), shapes[j].end(), shapes[i].begin(), shapes[i].end()))
                        st.distinct_instances = false;
            }
        }
    }

    void report_undefined_heads() {
        std::set<Signature> heads = head_signatures;
        for (auto const& st : statements)
            for (uint32_t d : head_domains(st)) heads.insert(domains[d].signature);
        head_signatures = heads;
        auto check = [&](BodyLiteral const& l) {
            if (l.kind != LiteralKind::predicate) return;
            Signature sig = domains[l.domain].signature;
            if (heads.count(sig) || defined.count(sig)) return;
            logger.info(l.location, "atom does not occur in any rule head: " + l.atom.to_string());
        };
        for (auto const& st : statements) {
            for (auto const& l : st.body) {
                check(l);
                for (auto const& e : l.elements) {
                    for (auto const& h : e.head) check(h);
                    for (auto const& c : e.condition) check(c);
                }
            }
            for (auto const& e : st.head.elements)
                for (auto const& c : e.condition) check(c);
        }
    }

    Symbol constant_value(Node const& def, ConstantMap const& known) {
        StatementBuilder builder{logger, [this](Signature s) { return domain_of(s); }, theories, known};
        Statement scratch;
        // A definition's value is a term: reuse the show-term path to convert it.
        NodePtr show = Input::make_node(AstType::ShowTerm, {def.location(), def.node(A::Value), Input::NodeArray{}});
        if (!builder.build(*show, scratch)) throw GroundError(logger.text(Severity::error));
        Term const& t = scratch.head.atom;
        if (t.kind != TermKind::constant) {
            logger.error(def.location(), std::string{"the value of constant '"} + def.string(A::Name) + "' must be ground");
            throw GroundError(logger.text(Severity::error));
        }
        return t.value;
    }

    void run(Input::Program const& program, std::span<Part const> parts, GroundOptions const& options,
             GroundProgram& target) {
        out = &target;
        first_new_atom = target.num_atoms() + 1;
        if (!theory) theory = std::make_unique<TheoryBuilder>(target.theory);
        statements.clear();
        size_t errors_before = logger.error_count();
        // Theory definitions of the whole program, since atoms may precede them.
        for (auto const& part : program.parts())
            for (auto const& st : part.statements)
                if (st->type() == AstType::TheoryDefinition && theory_definitions.insert(st.get()).second) {
                    try {
                        theories.add(*st);
                    } catch (Input::LocatedError const& e) {
                        logger.error(e.location(), e.text());
                    }
                }
        // Constants: definitions of the grounded parts, overridden by the options.
        ConstantMap overrides;
        for (auto const& [name, value] : options.constants) overrides[name] = value;
        std::vector<Input::ProgramPart const*> selected;
        for (auto const& p : parts) {
            auto const* part = program.find(p.name);
            if (!part) continue;
            if (part->parameters.size() != p.parameters.size()) {
                logger.error(Input::Location{}, "program part '" + p.name + "' expects " +
                                                    std::to_string(part->parameters.size()) + " parameters");
                continue;
            }
            selected.push_back(part);
        }
        constants = overrides;
        for (auto const* part : selected)
            for (auto const& st : part->statements)
                if (st->type() == AstType::Definition) {
                    std::string name = st->string(A::Name);
                    if (overrides.count(name) && st->number(A::IsDefault) != 0) continue;
                    constants[name] = constant_value(*st, constants);
                }
        for (size_t pi = 0; pi < selected.size(); ++pi) {
            auto const* part = selected[pi];
            ConstantMap scoped = constants;
            for (size_t i = 0; i < part->parameters.size(); ++i)
                scoped[part->parameters[i]] = parts[pi < parts.size() ? pi : 0].parameters[i];
            StatementBuilder builder{logger, [this](Signature s) { return domain_of(s); }, theories, scoped};
            for (auto const& node : part->statements) {
                switch (node->type()) {
                case AstType::Definition:
                case AstType::TheoryDefinition:
                case AstType::Program: continue;
                case AstType::Show: show_explicit = true; continue;
                case AstType::ShowSignature:
                    show_explicit = true;
                    shown.insert(Signature::create(node->string(A::Name), static_cast<uint32_t>(node->number(A::Arity)),
                                                   node->number(A::Positive) != 0));
                    continue;
                case AstType::Defined:
                    defined.insert(Signature::create(node->string(A::Name), static_cast<uint32_t>(node->number(A::Arity)),
                                                     node->number(A::Positive) != 0));
                    continue;
                default: break;
                }
                std::vector<NodePtr> alternatives;
                try {
                    for (auto const& alt : Input::unpool(node)) {
                        for (auto const& projected : project_anonymous(alt, projections)) {
                            alternatives.push_back(projected);
                        }
                    }
                } catch (std::exception const& e) {
                    logger.error(node->location(), e.what());
                    continue;
                }
                for (auto const& alt : alternatives) {
                    Statement st;
                    if (!builder.build(*alt, st)) continue;
                    if (st.head.kind == HeadKind::external)
                        defined.insert(domains[st.head.domain].signature);
                    if (analyse(st)) statements.push_back(std::move(st));
                }
            }
        }
        if (logger.error_count() > errors_before) throw GroundError(logger.text(Severity::error));
        report_undefined_heads();
        mark_distinct_instances();
        for (auto const& comp : components()) process_component(comp);
        finish();
    }

    void finish() {
        // Body-only theory atoms are free: the propagator decides them.
        for (auto& ts : theory_atoms) {
            if (ts.head || ts.directive || ts.free) continue;
            ts.free = true;
            out->add_rule(HeadType::choice, std::span<Atom const>{&ts.atom, 1}, {});
        }
        // Minimize literals of tuples first seen in this step.
        for (auto& [tuple, m] : minimize) {
            if (m.emitted) continue;
            m.emitted = true;
            out->add_minimize(m.literal, m.weight, m.priority);
        }
        // Classical negation: p and -p together are inconsistent.
        for (uint32_t s = 0; s < atoms.size(); ++s) {
            AtomState const& a = atoms[s];
            if (a.position == none || a.symbol.type() != SymbolType::Function || !a.symbol.is_negative()) continue;
            uint32_t positive = possible(a.symbol.flip_sign());
            if (positive == none) continue;
            if (!inconsistent_done.emplace(s, positive).second) continue;
            std::vector<Literal> body{static_cast<Literal>(a.atom), static_cast<Literal>(atoms[positive].atom)};
            out->add_rule(HeadType::disjunctive, {}, body);
        }
        // Names of the atoms that may be true.
        for (auto& a : atoms) {
            if (a.named || a.position == none) continue;
            a.named = true;
            Signature sig = domains[a.domain].signature;
            bool show = (!show_explicit || shown.count(sig) > 0) && !is_projection_name(sig.name());
            out->add_atom_name(a.atom, a.symbol, show);
        }
    }
};

Grounder::Grounder(Logger& logger) : impl_{std::make_unique<Impl>(logger)} {}
Grounder::~Grounder() = default;

void Grounder::ground(Input::Program const& program, std::span<Part const> parts, GroundOptions const& options,
                      GroundProgram& out) {
    impl_->run(program, parts, options, out);
}

Symbols::Symbol const* Grounder::atom_symbol(Atom atom) const {
    if (atom >= impl_->state_of_atom.size() || impl_->state_of_atom[atom] == none) return nullptr;
    return &impl_->atoms[impl_->state_of_atom[atom]].symbol;
}

} // namespace Gondra::Ground
