#include "ground/anonymous_projection.hpp"

#include <string>
#include <string_view>

namespace Gondra::Ground {

namespace {

using Input::AstType;
using Input::NodeArray;
using Input::NodePtr;
using A = Input::Attribute;

bool is_anonymous(NodePtr const& term) {
    return term->type() == AstType::Variable && std::string_view{term->string(A::Name)} == "_";
}

// The function term of a negative literal with an anonymous argument, else null.
NodePtr projected_function(NodePtr const& literal) {
    if (literal->type() != AstType::Literal || literal->number(A::Sign) == static_cast<int>(Input::Sign::None)) {
        return {};
    }
    auto const& atom = literal->node(A::Atom);
    if (atom->type() != AstType::SymbolicAtom) {
        return {};
    }
    auto const& function = atom->node(A::Symbol);
    if (function->type() != AstType::Function) {
        return {};
    }
    for (auto const& arg : function->nodes(A::Arguments)) {
        if (is_anonymous(arg)) {
            return function;
        }
    }
    return {};
}

NodePtr positive_literal(Input::Location const& loc, std::string_view name, NodeArray args) {
    return Input::make_literal(loc, Input::Sign::None,
                               Input::make_node(AstType::SymbolicAtom, {Input::make_function(loc, name, std::move(args))}));
}

} // namespace

std::vector<NodePtr> project_anonymous(NodePtr const& statement, uint32_t& counter) {
    std::vector<NodePtr> out{statement};
    if (statement->type() != AstType::Rule) {
        return out;
    }
    NodePtr rewritten;
    auto const& body = statement->nodes(A::Body);
    for (size_t i = 0; i < body.size(); ++i) {
        NodePtr function = projected_function(body[i]);
        if (!function) {
            continue;
        }
        auto const& loc = body[i]->location();
        std::string name = "#proj" + std::to_string(counter++);
        NodeArray kept;
        NodeArray fresh;
        NodeArray pattern;
        for (auto const& arg : function->nodes(A::Arguments)) {
            if (is_anonymous(arg)) {
                pattern.push_back(arg);
                continue;
            }
            auto var = Input::make_variable(loc, "#V" + std::to_string(fresh.size()));
            kept.push_back(arg);
            fresh.push_back(var);
            pattern.push_back(var);
        }
        out.push_back(Input::make_node(
            AstType::Rule, {loc, positive_literal(loc, name, fresh),
                            NodeArray{positive_literal(loc, function->string(A::Name), pattern)}}));
        if (!rewritten) {
            rewritten = Input::shallow_copy(*statement);
        }
        auto sign = static_cast<Input::Sign>(body[i]->number(A::Sign));
        rewritten->nodes(A::Body)[i] = Input::make_literal(
            loc, sign, Input::make_node(AstType::SymbolicAtom, {Input::make_function(loc, name, kept)}));
    }
    if (rewritten) {
        out[0] = rewritten;
    }
    return out;
}

} // namespace Gondra::Ground
