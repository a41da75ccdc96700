#include "parsing/theory_atom_parser.hpp"

#include "core/checked_arithmetic.hpp"
#include "parsing/conditional_elements.hpp"
#include "parsing/located_error.hpp"
#include "parsing/domain_intervals.hpp"
#include "parsing/relation_normaliser.hpp"
#include "parsing/symbol_operations.hpp"
#include "parsing/syntax_error.hpp"
#include "parsing/term_algebra.hpp"
#include "parsing/term_evaluation.hpp"
#include "parsing/term_reader.hpp"

#include <iterator>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Tarvex {

namespace {

class AtomParser {
public:
    AtomParser(AbstractConstraintBuilder& builder, Host::TheoryAtoms atoms)
        : builder_{builder}, atoms_{atoms}, conditional_{builder} {}

    bool parse() {
        std::size_t size = atoms_.size();
        for (std::size_t i = 0; i < size; ++i) {
            auto atom = static_cast<gondra_id_t>(i);
            try {
                if (!parse_atom(atom)) {
                    return false;
                }
            } catch (...) {
                // The user needs to know which atom of the input was wrong.
                rethrow_located(atoms_.atom_location(atom));
            }
        }
        return conditional_.finish(root_domains_);
    }

private:
    TermRef term(gondra_id_t id) const { return {atoms_, id}; }

    bool parse_atom(gondra_id_t atom) {
        TermRef name = term(atoms_.atom_term(atom));
        auto is = [&](char const* text) { return term_matches(name, text, 0); };
        if (is("__sum_h") || is("__sum_b")) {
            return parse_sum(atom, is("__sum_b"));
        }
        if (is("__diff_h") || is("__diff_b")) {
            return parse_difference(atom, is("__diff_b"));
        }
        if (is("__nsum_h") || is("__nsum_b")) {
            return parse_nonlinear(atom, is("__nsum_b"));
        }
        if (is("distinct")) {
            return parse_distinct(atom);
        }
        if (is("disjoint")) {
            return parse_disjoint(atom);
        }
        if (is("show")) {
            parse_show(atom);
            return true;
        }
        if (is("dom")) {
            return parse_domain(atom);
        }
        if (is("minimize") || is("maximize")) {
            return parse_objective(atom, is("minimize") ? 1 : -1);
        }
        return true;
    }

    // The guard of a comparison atom, which must have one.
    std::pair<Relation, TermRef> comparison_guard(gondra_id_t atom) const {
        if (!atoms_.atom_has_guard(atom)) {
            throw_syntax(invalid_syntax);
        }
        auto [relation, guard] = atoms_.atom_guard(atom);
        return {parse_relation(relation), term(guard)};
    }

    // The tuple of an element, checked to be non-empty (or of exactly one
    // term) and unconditional.
    std::span<gondra_id_t const> element_tuple(gondra_id_t element, bool single, char const* message) const {
        auto tuple = atoms_.element_tuple(element);
        if (tuple.empty() || (single && tuple.size() != 1) || !atoms_.element_condition(element).empty()) {
            throw_syntax(message);
        }
        return tuple;
    }

    // The solver literal of an element's condition, 1 for an empty one.
    literal_t condition_literal(gondra_id_t element) {
        if (atoms_.element_condition(element).empty()) {
            return 1;
        }
        return builder_.map_solver_literal(atoms_.element_condition_id(element));
    }

    // The first terms of all elements, then the guard moved to the left. An
    // element with a condition counts through the conditional encoding.
    // False on a conflict.
    bool read_sum_elements(gondra_id_t atom, std::optional<TermRef> guard, LinearTerm& out) {
        for (auto element : atoms_.atom_elements(atom)) {
            auto tuple = atoms_.element_tuple(element);
            if (tuple.empty()) {
                throw_syntax(invalid_sum);
            }
            if (atoms_.element_condition(element).empty()) {
                read_linear_term(builder_, term(tuple[0]), out);
                continue;
            }
            LinearTerm value;
            read_linear_term(builder_, term(tuple[0]), value);
            if (!conditional_.add_sum_element(condition_literal(element), std::move(value), out)) {
                return false;
            }
        }
        if (guard) {
            std::size_t mark = out.size();
            read_linear_term(builder_, *guard, out);
            negate_from(out, mark);
        }
        return true;
    }

    bool parse_sum(gondra_id_t atom, bool body) {
        auto [relation, guard] = comparison_guard(atom);
        literal_t lit = builder_.map_solver_literal(atoms_.atom_literal(atom));
        LinearTerm term;
        if (!read_sum_elements(atom, guard, term)) {
            return false;
        }
        value_t constant = simplify_linear(term);
        divide_by_gcd(term, constant);
        return add_sum_relation(builder_, lit, term, relation, constant, body);
    }

    bool parse_difference(gondra_id_t atom, bool body) {
        auto [relation, guard] = comparison_guard(atom);
        literal_t lit = builder_.map_solver_literal(atoms_.atom_literal(atom));
        auto elements = atoms_.atom_elements(atom);
        if (elements.size() != 1) {
            throw_syntax(invalid_difference);
        }
        TermRef difference = term(element_tuple(elements[0], false, invalid_sum)[0]);
        if (!term_matches(difference, "-", 2)) {
            throw_syntax(invalid_difference);
        }
        LinearTerm list;
        auto first = evaluate_term(difference.argument(0));
        if (is_number(first)) {
            list.emplace_back(Host::symbol_number(first), no_var);
        } else {
            list.emplace_back(1, builder_.variable_for_symbol(first));
        }
        auto last = evaluate_term(difference.argument(1));
        if (is_number(last)) {
            list.emplace_back(checked_neg(Host::symbol_number(last)), no_var);
        } else {
            list.emplace_back(-1, builder_.variable_for_symbol(last));
        }
        auto bound = evaluate_term(guard);
        if (!is_number(bound)) {
            throw_syntax(invalid_difference);
        }
        list.emplace_back(checked_neg(Host::symbol_number(bound)), no_var);
        value_t constant = simplify_linear(list);
        divide_by_gcd(list, constant);
        return add_sum_relation(builder_, lit, list, relation, constant, body);
    }

    bool parse_nonlinear(gondra_id_t atom, bool body) {
        auto [relation, guard] = comparison_guard(atom);
        literal_t lit = builder_.map_solver_literal(atoms_.atom_literal(atom));
        std::vector<ProductTerm> list;
        for (auto element : atoms_.atom_elements(atom)) {
            read_nonlinear_term(builder_, term(element_tuple(element, false, invalid_sum)[0]), list);
        }
        std::size_t mark = list.size();
        read_nonlinear_term(builder_, guard, list);
        negate_from(list, mark);
        value_t constant = combine_products(list);
        divide_by_gcd(list, constant);
        return add_nonlinear_relation(builder_, lit, list, relation, constant, body);
    }

    bool parse_distinct(gondra_id_t atom) {
        std::vector<DistinctElement> elements;
        std::vector<literal_t> conditions;
        for (auto element : atoms_.atom_elements(atom)) {
            auto tuple = atoms_.element_tuple(element);
            if (tuple.empty()) {
                throw_syntax(invalid_distinct);
            }
            auto& distinct = elements.emplace_back();
            read_linear_term(builder_, term(tuple[0]), distinct.term);
            distinct.constant = checked_neg(simplify_linear(distinct.term));
            conditions.push_back(condition_literal(element));
        }
        literal_t lit = builder_.map_solver_literal(atoms_.atom_literal(atom));
        return build_conditional(lit, elements, conditions,
                                 [&](literal_t l, auto const& list) { return builder_.build_distinct(l, list); });
    }

    // lit implies the constraint over the elements whose condition holds: the
    // unconditional ones form one constraint, and every pair with a condition
    // gets its own under the conjunction of lit and both conditions. Pairs
    // suffice since both all-different and non-overlap are pairwise.
    template <class Element, class Build>
    bool build_conditional(literal_t lit, std::vector<Element> const& elements,
                           std::vector<literal_t> const& conditions, Build build) {
        std::vector<Element> unconditional;
        std::vector<std::size_t> conditional;
        for (std::size_t i = 0; i < elements.size(); ++i) {
            if (conditions[i] == 1 || builder_.literal_is_true(conditions[i])) {
                unconditional.push_back(elements[i]);
            } else if (!builder_.literal_is_true(-conditions[i])) {
                conditional.push_back(i);
            }
        }
        if (conditional.empty() || unconditional.size() >= 2) {
            if (!build(lit, unconditional)) {
                return false;
            }
        }
        if (conditional.empty() || builder_.literal_is_true(-lit)) {
            return true;
        }
        std::vector<Element> pair(2);
        for (std::size_t k = 0; k < conditional.size(); ++k) {
            std::size_t i = conditional[k];
            auto with = [&](Element const& other, literal_t other_condition) {
                literal_t both = conditional_.conjunction({lit, conditions[i], other_condition});
                if (both == -1) {
                    return true;
                }
                pair[0] = elements[i];
                pair[1] = other;
                return build(both, pair);
            };
            for (auto const& other : unconditional) {
                if (!with(other, 1)) {
                    return false;
                }
            }
            for (std::size_t m = k + 1; m < conditional.size(); ++m) {
                if (!with(elements[conditional[m]], conditions[conditional[m]])) {
                    return false;
                }
            }
        }
        return true;
    }

    bool parse_disjoint(gondra_id_t atom) {
        std::vector<DisjointElement> elements;
        std::vector<literal_t> conditions;
        for (auto element : atoms_.atom_elements(atom)) {
            auto tuple = atoms_.element_tuple(element);
            if (tuple.empty()) {
                throw_syntax(invalid_disjoint);
            }
            TermRef task = term(tuple[0]);
            if (!term_matches(task, "@", 2)) {
                throw_syntax(invalid_disjoint);
            }
            auto start = evaluate_term(task.argument(0));
            auto duration = evaluate_term(task.argument(1));
            if (is_number(start) || !is_number(duration)) {
                throw_syntax(invalid_disjoint);
            }
            value_t length = Host::symbol_number(duration);
            if (length > 0) {
                var_id v = builder_.variable_for_symbol(start);
                check_value_range(length);
                elements.push_back({length, v});
                conditions.push_back(condition_literal(element));
            }
        }
        literal_t lit = builder_.map_solver_literal(atoms_.atom_literal(atom));
        return build_conditional(lit, elements, conditions,
                                 [&](literal_t l, auto const& list) { return builder_.build_disjoint(l, list); });
    }

    void parse_show(gondra_id_t atom) {
        builder_.enable_show();
        for (auto element : atoms_.atom_elements(atom)) {
            TermRef shown = term(element_tuple(element, true, invalid_show)[0]);
            if (term_matches(shown, "/", 2)) {
                auto name = evaluate_term(shown.argument(0));
                if (Host::symbol_type(name) != gondra_symbol_type_function ||
                    !Host::symbol_arguments(name).empty()) {
                    throw_syntax(invalid_show);
                }
                auto arity = evaluate_term(shown.argument(1));
                if (!is_number(arity)) {
                    throw_syntax(invalid_show);
                }
                builder_.show_by_signature(Host::symbol_name(name), Host::symbol_number(arity));
                continue;
            }
            auto symbol = evaluate_term(shown);
            if (is_number(symbol)) {
                throw_syntax(invalid_show);
            }
            builder_.show_by_variable(builder_.variable_for_symbol(symbol));
        }
    }

    bool parse_domain(gondra_id_t atom) {
        IntervalSet domain;
        for (auto element : atoms_.atom_elements(atom)) {
            TermRef range = term(element_tuple(element, true, invalid_dom)[0]);
            value_t lower = 0;
            value_t upper = 0;
            if (term_matches(range, "..", 2)) {
                auto first = evaluate_term(range.argument(0));
                auto last = evaluate_term(range.argument(1));
                if (!is_number(first) || !is_number(last)) {
                    throw_syntax(invalid_dom);
                }
                lower = Host::symbol_number(first);
                upper = checked_add(Host::symbol_number(last), 1);
            } else {
                auto value = evaluate_term(range);
                if (!is_number(value)) {
                    throw_syntax(invalid_dom);
                }
                lower = Host::symbol_number(value);
                upper = checked_add(lower, 1);
            }
            if (upper > lower) {
                check_value_range(lower);
                check_value_range(upper - 1);
                add_interval(domain, lower, upper);
            }
        }
        if (!atoms_.atom_has_guard(atom)) {
            throw_syntax(invalid_dom);
        }
        var_id v = builder_.variable_for_symbol(evaluate_term(term(atoms_.atom_guard(atom).second)));
        literal_t lit = builder_.map_solver_literal(atoms_.atom_literal(atom));
        if (!domain.empty() && (lit == 1 || builder_.literal_is_true(lit))) {
            // Domains that always hold bound the variables of conditional
            // terms; several intersect.
            std::pair<value_t, value_t> bounds{domain.begin()->first, std::prev(domain.end())->second - 1};
            auto [it, fresh] = root_domains_.emplace(v, bounds);
            if (!fresh) {
                it->second = {std::max(it->second.first, bounds.first), std::min(it->second.second, bounds.second)};
            }
        }
        return builder_.build_domain(lit, v, domain);
    }

    bool parse_objective(gondra_id_t atom, value_t sign) {
        LinearTerm list;
        if (!read_sum_elements(atom, std::nullopt, list)) {
            return false;
        }
        for (auto const& [coefficient, variable] : list) {
            builder_.build_objective_term(checked_mul(sign, coefficient), variable);
        }
        return true;
    }

    AbstractConstraintBuilder& builder_;
    Host::TheoryAtoms atoms_;
    ConditionalElements conditional_;
    std::unordered_map<var_id, std::pair<value_t, value_t>> root_domains_;
};

} // namespace

bool parse_theory_atoms(AbstractConstraintBuilder& builder, Host::TheoryAtoms atoms) {
    return AtomParser{builder, atoms}.parse();
}

} // namespace Tarvex
