#include "parsing/term_evaluation.hpp"

#include "parsing/symbol_operations.hpp"
#include "parsing/syntax_error.hpp"

#include <array>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace Tarvex {

namespace {

std::optional<ArithmeticOperator> binary_operator(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, ArithmeticOperator>, 6> operators{{
        {"+", ArithmeticOperator::add},
        {"-", ArithmeticOperator::sub},
        {"*", ArithmeticOperator::mul},
        {"/", ArithmeticOperator::div},
        {"\\", ArithmeticOperator::mod},
        {"**", ArithmeticOperator::pow},
    }};
    for (auto const& [text, op] : operators) {
        if (text == name) {
            return op;
        }
    }
    return std::nullopt;
}

} // namespace

bool term_matches(TermRef term, std::string_view name, std::size_t arity) {
    auto type = term.type();
    if (type == gondra_theory_term_type_symbol) {
        return arity == 0 && term.name() == name;
    }
    if (type == gondra_theory_term_type_function) {
        return term.arguments().size() == arity && term.name() == name;
    }
    return false;
}

Host::symbol_t evaluate_term(TermRef term, std::size_t depth) {
    if (depth > max_term_depth) {
        throw_syntax(too_deep);
    }
    auto type = term.type();
    if (type == gondra_theory_term_type_symbol) {
        return symbol_from_name(term.name());
    }
    if (type == gondra_theory_term_type_number) {
        return Host::create_number(term.number());
    }
    if (type != gondra_theory_term_type_function && type != gondra_theory_term_type_tuple) {
        throw_syntax(invalid_syntax);
    }
    auto arguments = term.arguments();
    char const* name = type == gondra_theory_term_type_function ? term.name() : "";
    if (type == gondra_theory_term_type_function) {
        if (arguments.size() == 2) {
            if (auto op = binary_operator(name)) {
                auto first = evaluate_term({term.atoms, arguments[0]}, depth + 1);
                if (!is_number(first)) {
                    throw_syntax(invalid_syntax);
                }
                auto last = evaluate_term({term.atoms, arguments[1]}, depth + 1);
                return apply_operator(*op, first, last);
            }
            if (std::strcmp(name, "..") == 0) {
                throw_syntax(invalid_syntax);
            }
        } else if (arguments.size() == 1 && std::strcmp(name, "-") == 0) {
            return negate_symbol(evaluate_term({term.atoms, arguments[0]}, depth + 1));
        }
    }
    std::vector<Host::symbol_t> values;
    values.reserve(arguments.size());
    for (auto argument : arguments) {
        values.push_back(evaluate_term({term.atoms, argument}, depth + 1));
    }
    return Host::create_function(name, values);
}

} // namespace Tarvex
