#include "input/unpool.hpp"

#include <stdexcept>

namespace Gondra::Input {

namespace {

class Unpooler {
public:
    Unpooler(unsigned flags, size_t limit) : flags_{flags}, limit_{limit} {}

    std::vector<NodePtr> expand(NodePtr const& node, bool in_condition) {
        Node const& n = *node;
        bool active = (flags_ & (in_condition ? UnpoolCondition : UnpoolOther)) != 0;
        if (n.type() == AstType::Pool && active) {
            std::vector<NodePtr> out;
            for (auto const& arg : n.nodes(Attribute::Arguments)) {
                auto alts = expand(arg, in_condition);
                check(out.size() + alts.size());
                out.insert(out.end(), alts.begin(), alts.end());
            }
            return out;
        }
        // Alternatives of every attribute; the node expands into their product.
        std::vector<std::vector<Value>> choices(n.size());
        bool changed = false;
        auto const& args = constructor(n.type()).arguments;
        for (size_t i = 0; i < n.size(); ++i) {
            Value const& v = n.value_at(i);
            Attribute attr = args[i].attribute;
            bool cond = in_condition || attr == Attribute::Condition;
            if (auto const* child = std::get_if<NodePtr>(&v)) {
                for (auto& alt : expand(*child, cond)) {
                    changed |= alt != *child;
                    choices[i].emplace_back(std::move(alt));
                }
            } else if (auto const* opt = std::get_if<OptionalNode>(&v); opt && opt->node) {
                for (auto& alt : expand(opt->node, cond)) {
                    changed |= alt != opt->node;
                    choices[i].emplace_back(OptionalNode{std::move(alt)});
                }
            } else if (auto const* array = std::get_if<NodeArray>(&v)) {
                if (flattens(n.type(), attr)) {
                    NodeArray flat;
                    for (auto const& e : *array) {
                        auto alts = expand(e, cond);
                        changed |= alts.size() != 1 || alts.front() != e;
                        check(flat.size() + alts.size());
                        flat.insert(flat.end(), alts.begin(), alts.end());
                    }
                    choices[i].emplace_back(std::move(flat));
                } else {
                    std::vector<NodeArray> product(1);
                    for (auto const& e : *array) {
                        auto alts = expand(e, cond);
                        changed |= alts.size() != 1 || alts.front() != e;
                        if (e->type() == AstType::ConditionalLiteral) {
                            // A conditional literal is an element of the body: its
                            // alternatives stand side by side.
                            for (auto& prefix : product) {
                                check(prefix.size() + alts.size());
                                prefix.insert(prefix.end(), alts.begin(), alts.end());
                            }
                            continue;
                        }
                        check(product.size() * alts.size());
                        std::vector<NodeArray> next;
                        next.reserve(product.size() * alts.size());
                        for (auto const& prefix : product) {
                            for (auto const& alt : alts) {
                                next.push_back(prefix);
                                next.back().push_back(alt);
                            }
                        }
                        product = std::move(next);
                    }
                    for (auto& p : product) choices[i].emplace_back(std::move(p));
                }
            } else {
                choices[i].push_back(v);
            }
        }
        if (!changed) return {node};
        size_t total = 1;
        for (auto const& c : choices) {
            total *= c.size();
            check(total);
        }
        std::vector<NodePtr> out;
        out.reserve(total);
        std::vector<size_t> index(n.size(), 0);
        for (size_t k = 0; k < total; ++k) {
            std::vector<Value> values;
            values.reserve(n.size());
            for (size_t i = 0; i < n.size(); ++i) values.push_back(choices[i][index[i]]);
            out.push_back(NodePtr{new Node{n.type(), std::move(values)}});
            // The first attribute varies slowest, so alternatives keep source order.
            for (size_t i = n.size(); i-- > 0;) {
                if (++index[i] < choices[i].size()) break;
                index[i] = 0;
            }
        }
        return out;
    }

private:
    // Element lists absorb the alternatives of their elements.
    static bool flattens(AstType type, Attribute attr) {
        if (attr != Attribute::Elements) return false;
        return type == AstType::Aggregate || type == AstType::BodyAggregate || type == AstType::Disjunction ||
               type == AstType::TheoryAtom;
    }

    void check(size_t count) const {
        if (count > limit_) throw std::runtime_error("too many alternatives when expanding pools");
    }

    unsigned flags_;
    size_t limit_;
};

} // namespace

std::vector<NodePtr> unpool(NodePtr const& node, unsigned flags, size_t max_alternatives) {
    return Unpooler{flags, max_alternatives}.expand(node, false);
}

} // namespace Gondra::Input
