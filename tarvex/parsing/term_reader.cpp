#include "parsing/term_reader.hpp"

#include "parsing/symbol_operations.hpp"
#include "parsing/syntax_error.hpp"
#include "parsing/term_algebra.hpp"
#include "parsing/term_evaluation.hpp"

#include <cstring>
#include <utility>

namespace Tarvex {

namespace {

// What differs between reading linear and nonlinear terms.
struct LinearElements {
    using Term = LinearTerm;
    static void constant(Term& out, value_t value) { out.emplace_back(value, no_var); }
    static void variable(Term& out, var_id v) { out.emplace_back(1, v); }
    static void multiply(Term const& left, Term const& right, Term& out) { multiply_linear(left, right, out); }
};

struct ProductElements {
    using Term = std::vector<ProductTerm>;
    static void constant(Term& out, value_t value) { out.push_back({value, {}}); }
    static void variable(Term& out, var_id v) { out.push_back({1, {v}}); }
    static void multiply(Term const& left, Term const& right, Term& out) { multiply_products(left, right, out); }
};

bool is_operator(char const* name, char const* text) {
    return std::strcmp(name, text) == 0;
}

template <class Elements> class Reader {
public:
    using Term = typename Elements::Term;

    explicit Reader(AbstractConstraintBuilder& builder) : builder_{builder} {}

    void read(TermRef term, Term& out, std::size_t depth) {
        if (depth > max_term_depth) {
            throw_syntax(too_deep);
        }
        auto type = term.type();
        if (type == gondra_theory_term_type_number) {
            Elements::constant(out, term.number());
            return;
        }
        if (type == gondra_theory_term_type_function) {
            auto arguments = term.arguments();
            char const* name = term.name();
            if (arguments.size() == 2 && (is_operator(name, "+") || is_operator(name, "-"))) {
                read_chain(term, out, depth);
                return;
            }
            if (arguments.size() == 1 && is_operator(name, "-")) {
                std::size_t mark = out.size();
                read(term.argument(0), out, depth + 1);
                negate_from(out, mark);
                return;
            }
            if (arguments.size() == 1 && is_operator(name, "+")) {
                read(term.argument(0), out, depth + 1);
                return;
            }
            if (arguments.size() == 2 && is_operator(name, "*")) {
                Term left;
                Term right;
                read(term.argument(0), left, depth + 1);
                read(term.argument(1), right, depth + 1);
                Elements::multiply(left, right, out);
                return;
            }
            if (arguments.size() == 2 &&
                (is_operator(name, "**") || is_operator(name, "/") || is_operator(name, "\\"))) {
                auto value = evaluate_term(term, depth);
                if (!is_number(value)) {
                    throw_syntax(invalid_syntax);
                }
                Elements::constant(out, Host::symbol_number(value));
                return;
            }
        }
        if (type == gondra_theory_term_type_function || type == gondra_theory_term_type_symbol ||
            type == gondra_theory_term_type_tuple) {
            Elements::variable(out, builder_.variable_for_symbol(evaluate_term(term, depth)));
            return;
        }
        throw_syntax(invalid_sum);
    }

private:
    // Long sums are left-nested chains of binary + and -; walking the chain
    // iteratively keeps the recursion depth independent of the sum's length.
    void read_chain(TermRef term, Term& out, std::size_t depth) {
        // Last arguments, outermost first, with whether they are subtracted.
        std::vector<std::pair<gondra_id_t, bool>> links;
        while (term.type() == gondra_theory_term_type_function && term.arguments().size() == 2) {
            char const* name = term.name();
            bool minus = is_operator(name, "-");
            if (!minus && !is_operator(name, "+")) {
                break;
            }
            links.emplace_back(term.arguments()[1], minus);
            term = term.argument(0);
        }
        read(term, out, depth + 1);
        for (auto it = links.rbegin(); it != links.rend(); ++it) {
            std::size_t mark = out.size();
            read({term.atoms, it->first}, out, depth + 1);
            if (it->second) {
                negate_from(out, mark);
            }
        }
    }

    AbstractConstraintBuilder& builder_;
};

} // namespace

void read_linear_term(AbstractConstraintBuilder& builder, TermRef term, LinearTerm& out) {
    Reader<LinearElements>{builder}.read(term, out, 0);
}

void read_nonlinear_term(AbstractConstraintBuilder& builder, TermRef term, std::vector<ProductTerm>& out) {
    Reader<ProductElements>{builder}.read(term, out, 0);
}

} // namespace Tarvex
