#include "parsing/relation_normaliser.hpp"

#include "core/checked_arithmetic.hpp"
#include "parsing/syntax_error.hpp"

#include <array>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace Tarvex {

namespace {

wide_t absolute(wide_t value) {
    return value < 0 ? -value : value;
}

wide_t gcd(wide_t a, wide_t b) {
    while (b != 0) {
        wide_t r = a % b;
        a = b;
        b = r;
    }
    return a;
}

// Coefficient access shared by both term kinds.
value_t& coefficient_of(CoefVar& element) {
    return element.first;
}
value_t& coefficient_of(ProductTerm& element) {
    return element.coefficient;
}
value_t coefficient_of(CoefVar const& element) {
    return element.first;
}
value_t coefficient_of(ProductTerm const& element) {
    return element.coefficient;
}
std::size_t variable_count(ProductTerm const& element) {
    return element.variables.size();
}

template <class Term> void divide_term_by_gcd(Term& term, value_t& constant) {
    // Computed in 64 bits so that the absolute value of the smallest 32-bit
    // number cannot overflow.
    wide_t g = constant;
    for (auto& element : term) {
        wide_t c = coefficient_of(element);
        if (g == 0) {
            g = absolute(c);
        } else if (c != 0) {
            g = absolute(gcd(g, c));
        } else {
            g = absolute(g);
        }
    }
    if (g > 1) {
        for (auto& element : term) {
            coefficient_of(element) = static_cast<value_t>(coefficient_of(element) / g);
        }
        constant = static_cast<value_t>(constant / g);
    }
}

bool post(AbstractConstraintBuilder& builder, literal_t lit, LinearTerm const& term, value_t rhs, bool strict) {
    return builder.build_sum(lit, term, rhs, strict);
}

bool post(AbstractConstraintBuilder& builder, literal_t lit, std::vector<ProductTerm> const& term, value_t rhs,
          bool strict) {
    NonlinearShape shape = check_nonlinear_shape(term);
    return builder.build_nonlinear(lit, shape.a, shape.x, shape.y, shape.c, shape.z, rhs, strict);
}

bool clause(AbstractConstraintBuilder& builder, std::initializer_list<literal_t> literals) {
    return builder.push_clause({literals.begin(), literals.size()});
}

// Whether the sum can equal rhs at all: not when the coefficients have a
// common divisor that rhs lacks.
template <class Term> bool equality_possible(Term const& term, value_t rhs) {
    wide_t g = 0;
    for (auto const& element : term) {
        g = absolute(gcd(g, coefficient_of(element)));
    }
    return g == 0 || rhs % g == 0;
}

template <class Term>
bool add_relation(AbstractConstraintBuilder& builder, literal_t lit, Term const& term, Relation relation,
                  value_t rhs, bool body) {
    if ((relation == Relation::equal || relation == Relation::not_equal) && !equality_possible(term, rhs)) {
        // Decided by parity alone, which bound propagation cannot see: an
        // equality never holds, an inequality always does.
        bool holds = relation == Relation::not_equal;
        if (holds && !body) {
            return true;
        }
        return clause(builder, {holds ? lit : -lit});
    }
    switch (relation) {
    case Relation::greater:
        return add_relation(builder, lit, term, Relation::greater_equal, checked_add(rhs, 1), body);
    case Relation::less:
        return add_relation(builder, lit, term, Relation::less_equal, checked_pred(rhs), body);
    case Relation::greater_equal: {
        value_t negated_rhs = checked_neg(rhs);
        Term negated = term;
        for (auto& element : negated) {
            coefficient_of(element) = checked_neg(coefficient_of(element));
        }
        return add_relation(builder, lit, negated, Relation::less_equal, negated_rhs, body);
    }
    case Relation::less_equal:
        if (body && term.size() == 1) {
            return post(builder, lit, term, rhs, true);
        }
        if (!builder.literal_is_true(-lit) && !post(builder, lit, term, rhs, false)) {
            return false;
        }
        return !body || add_relation(builder, -lit, term, Relation::greater, rhs, false);
    case Relation::equal: {
        if (!body) {
            return add_relation(builder, lit, term, Relation::less_equal, rhs, false) &&
                   add_relation(builder, lit, term, Relation::greater_equal, rhs, false);
        }
        literal_t a = true_literal;
        literal_t b = true_literal;
        if (!builder.literal_is_true(lit)) {
            a = builder.new_literal();
            b = builder.new_literal();
        }
        // The sum is at most or at least rhs, so a and b are never false
        // together; bound propagation alone would find that out only by
        // moving the bounds one value at a time.
        return clause(builder, {-lit, a}) && clause(builder, {-lit, b}) && clause(builder, {-a, -b, lit}) &&
               (a == true_literal || clause(builder, {a, b})) &&
               add_relation(builder, a, term, Relation::less_equal, rhs, true) &&
               add_relation(builder, b, term, Relation::greater_equal, rhs, true);
    }
    case Relation::not_equal: {
        if (body) {
            return add_relation(builder, -lit, term, Relation::equal, rhs, true);
        }
        literal_t p = builder.new_literal();
        literal_t q = builder.new_literal();
        return clause(builder, {p, q, -lit}) && clause(builder, {-p, -q}) && clause(builder, {lit, -p}) &&
               clause(builder, {lit, -q}) && add_relation(builder, p, term, Relation::less, rhs, false) &&
               add_relation(builder, q, term, Relation::greater, rhs, false);
    }
    }
    return true;
}

} // namespace

Relation parse_relation(char const* text) {
    static constexpr std::array<std::pair<char const*, Relation>, 6> relations{{
        {"<=", Relation::less_equal},
        {"=", Relation::equal},
        {"!=", Relation::not_equal},
        {"<", Relation::less},
        {">", Relation::greater},
        {">=", Relation::greater_equal},
    }};
    for (auto const& [name, relation] : relations) {
        if (std::strcmp(name, text) == 0) {
            return relation;
        }
    }
    throw_syntax(invalid_syntax);
}

void divide_by_gcd(LinearTerm& term, value_t& constant) {
    divide_term_by_gcd(term, constant);
}

void divide_by_gcd(std::vector<ProductTerm>& term, value_t& constant) {
    divide_term_by_gcd(term, constant);
}

NonlinearShape check_nonlinear_shape(std::vector<ProductTerm> const& term) {
    NonlinearShape shape;
    bool linear_seen = false;
    bool product_seen = false;
    for (auto const& element : term) {
        std::size_t count = variable_count(element);
        if (count > 2) {
            throw_syntax(too_many_variables);
        }
        if (count == 1) {
            if (linear_seen) {
                throw_syntax(second_linear);
            }
            linear_seen = true;
            shape.c = element.coefficient;
            shape.z = element.variables[0];
        } else if (count == 2) {
            if (product_seen) {
                throw_syntax(second_product);
            }
            product_seen = true;
            shape.a = element.coefficient;
            shape.x = element.variables[0];
            shape.y = element.variables[1];
        }
    }
    return shape;
}

bool add_sum_relation(AbstractConstraintBuilder& builder, literal_t lit, LinearTerm const& term, Relation relation,
                      value_t rhs, bool body) {
    return add_relation(builder, lit, term, relation, rhs, body);
}

bool add_nonlinear_relation(AbstractConstraintBuilder& builder, literal_t lit, std::vector<ProductTerm> const& term,
                            Relation relation, value_t rhs, bool body) {
    return add_relation(builder, lit, term, relation, rhs, body);
}

} // namespace Tarvex
