#include "symbols/signature.hpp"

#include "symbols/function_node.hpp"
#include "symbols/intern_table.hpp"
#include "symbols/string_pool.hpp"

#include <new>
#include <stdexcept>

namespace Gondra::Symbols {

namespace {

struct SignatureNode {
    uint64_t hash;
    char const* name; // interned
    uint32_t arity;
    bool negative;
};

struct SignatureKey {
    char const* name;
    uint32_t arity;
    bool negative;

    uint64_t hash() const noexcept { return head_hash(name, arity, negative); }
    bool matches(SignatureNode const& node) const noexcept {
        return node.name == name && node.arity == arity && node.negative == negative;
    }
    SignatureNode* make() const { return new SignatureNode{hash(), name, arity, negative}; }
};

InternTable<SignatureNode>& signature_table() {
    static auto* table = new InternTable<SignatureNode>();
    return *table;
}

SignatureNode const* node_of(uint64_t rep) noexcept { return reinterpret_cast<SignatureNode const*>(rep); }

} // namespace

Signature Signature::create(std::string_view name, uint32_t arity, bool positive) {
    SignatureNode const* node = signature_table().intern(SignatureKey{intern_string(name), arity, !positive});
    return Signature{reinterpret_cast<uint64_t>(node)};
}

Signature Signature::of(Symbol function) {
    if (function.type() != SymbolType::Function) {
        throw std::runtime_error("symbol is not a function");
    }
    auto const* node = reinterpret_cast<FunctionNode const*>(function.rep() & ~uint64_t{7});
    SignatureNode const* sig = signature_table().intern(SignatureKey{node->name, node->arity, node->negative});
    return Signature{reinterpret_cast<uint64_t>(sig)};
}

char const* Signature::name() const noexcept { return node_of(rep_)->name; }

uint32_t Signature::arity() const noexcept { return node_of(rep_)->arity; }

bool Signature::is_negative() const noexcept { return node_of(rep_)->negative; }

uint64_t Signature::hash() const noexcept { return node_of(rep_)->hash; }

std::string Signature::to_string() const {
    std::string out = is_negative() ? "-" : "";
    out += name();
    out += '/';
    out += std::to_string(arity());
    return out;
}

std::strong_ordering operator<=>(Signature a, Signature b) noexcept {
    if (a.rep_ == b.rep_) {
        return std::strong_ordering::equal;
    }
    SignatureNode const* x = node_of(a.rep_);
    SignatureNode const* y = node_of(b.rep_);
    if (x->name != y->name) {
        int result = string_node_of(x->name)->view().compare(string_node_of(y->name)->view());
        return result < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
    }
    if (x->arity != y->arity) {
        return x->arity <=> y->arity;
    }
    return x->negative ? std::strong_ordering::greater : std::strong_ordering::less;
}

} // namespace Gondra::Symbols
