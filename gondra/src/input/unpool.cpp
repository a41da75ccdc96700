#include "input/unpool.hpp"

#include <stdexcept>

namespace Gondra::Input {

namespace {

bool is_active_pool(Node const& n, unsigned flags, bool in_condition) {
    return n.type() == AstType::Pool && (flags & (in_condition ? UnpoolCondition : UnpoolOther)) != 0;
}

// Whether any pool inside the tree would expand; most statements have none.
bool has_pool(Node const& root, unsigned flags) {
    std::vector<std::pair<Node const*, bool>> todo{{&root, false}};
    while (!todo.empty()) {
        auto [n, cond] = todo.back();
        todo.pop_back();
        if (is_active_pool(*n, flags, cond)) return true;
        auto const& args = constructor(n->type()).arguments;
        for (size_t i = 0; i < n->size(); ++i) {
            bool c = cond || args[i].attribute == Attribute::Condition;
            Value const& v = n->value_at(i);
            if (auto const* child = std::get_if<NodePtr>(&v)) todo.emplace_back(child->get(), c);
            else if (auto const* opt = std::get_if<OptionalNode>(&v); opt && opt->node) todo.emplace_back(opt->node.get(), c);
            else if (auto const* array = std::get_if<NodeArray>(&v))
                for (auto const& e : *array) todo.emplace_back(e.get(), c);
        }
    }
    return false;
}

// Expands bottom-up: every node's alternatives are made from those of its
// children. The pending nodes live on an explicit stack since trees can be
// as deep as the input makes them.
class Unpooler {
public:
    Unpooler(unsigned flags, size_t limit) : flags_{flags}, limit_{limit} {}

    std::vector<NodePtr> expand(NodePtr const& root) {
        if (!has_pool(*root, flags_)) return {root};
        std::vector<Frame> stack;
        stack.push_back(frame(root, false));
        for (;;) {
            Frame& f = stack.back();
            if (f.results.size() < f.children.size()) {
                auto [child, cond] = f.children[f.results.size()];
                stack.push_back(frame(*child, cond)); // f dangles from here
                continue;
            }
            std::vector<NodePtr> alternatives = combine(f);
            stack.pop_back();
            if (stack.empty()) return alternatives;
            stack.back().results.push_back(std::move(alternatives));
        }
    }

private:
    struct Frame {
        NodePtr node;
        bool in_condition;
        std::vector<std::pair<NodePtr const*, bool>> children; // in attribute order
        std::vector<std::vector<NodePtr>> results;             // alternatives of each child
    };

    Frame frame(NodePtr const& node, bool in_condition) const {
        Frame f{node, in_condition, {}, {}};
        Node const& n = *node;
        auto const& args = constructor(n.type()).arguments;
        for (size_t i = 0; i < n.size(); ++i) {
            bool cond = in_condition || args[i].attribute == Attribute::Condition;
            Value const& v = n.value_at(i);
            if (auto const* child = std::get_if<NodePtr>(&v)) f.children.emplace_back(child, cond);
            else if (auto const* opt = std::get_if<OptionalNode>(&v); opt && opt->node) f.children.emplace_back(&opt->node, cond);
            else if (auto const* array = std::get_if<NodeArray>(&v))
                for (auto const& e : *array) f.children.emplace_back(&e, cond);
        }
        return f;
    }

    std::vector<NodePtr> combine(Frame& f) const {
        Node const& n = *f.node;
        size_t next = 0; // next child result
        if (is_active_pool(n, flags_, f.in_condition)) {
            std::vector<NodePtr> out;
            for (auto& alts : f.results) {
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
            if (auto const* child = std::get_if<NodePtr>(&v)) {
                for (auto& alt : f.results[next++]) {
                    changed |= alt != *child;
                    choices[i].emplace_back(std::move(alt));
                }
            } else if (auto const* opt = std::get_if<OptionalNode>(&v); opt && opt->node) {
                for (auto& alt : f.results[next++]) {
                    changed |= alt != opt->node;
                    choices[i].emplace_back(OptionalNode{std::move(alt)});
                }
            } else if (auto const* array = std::get_if<NodeArray>(&v)) {
                if (flattens(n.type(), attr)) {
                    NodeArray flat;
                    for (auto const& e : *array) {
                        auto& alts = f.results[next++];
                        changed |= alts.size() != 1 || alts.front() != e;
                        check(flat.size() + alts.size());
                        flat.insert(flat.end(), alts.begin(), alts.end());
                    }
                    choices[i].emplace_back(std::move(flat));
                } else {
                    std::vector<NodeArray> product(1);
                    for (auto const& e : *array) {
                        auto& alts = f.results[next++];
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
                        if (alts.size() == 1) {
                            // Extending in place keeps long argument lists linear.
                            for (auto& prefix : product) prefix.push_back(alts.front());
                            continue;
                        }
                        check(product.size() * alts.size());
                        std::vector<NodeArray> extended;
                        extended.reserve(product.size() * alts.size());
                        for (auto const& prefix : product) {
                            for (auto const& alt : alts) {
                                extended.push_back(prefix);
                                extended.back().push_back(alt);
                            }
                        }
                        product = std::move(extended);
                    }
                    for (auto& p : product) choices[i].emplace_back(std::move(p));
                }
            } else {
                choices[i].push_back(v);
            }
        }
        if (!changed) return {f.node};
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
    return Unpooler{flags, max_alternatives}.expand(node);
}

} // namespace Gondra::Input
