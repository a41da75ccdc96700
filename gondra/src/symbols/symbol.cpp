#include "symbols/symbol.hpp"

#include "symbols/function_node.hpp"
#include "symbols/intern_table.hpp"
#include "symbols/string_pool.hpp"

#include <cstring>
#include <limits>
#include <new>
#include <ostream>
#include <stdexcept>
#include <vector>

namespace Gondra::Symbols {

namespace {

// Low three bits of a handle; nodes are at least 8-byte aligned, so pointers
// leave them free.
constexpr uint64_t tag_mask = 7;
constexpr uint64_t tag_number = 0; // so that the handle 0 is the number 0
constexpr uint64_t tag_infimum = 2;
constexpr uint64_t tag_supremum = 3;
constexpr uint64_t tag_function = 4;
constexpr uint64_t tag_string = 5;

constexpr uint64_t string_hash_seed = 0x5f3759df2c6b7a11ULL;

FunctionNode const* function_node(uint64_t rep) noexcept {
    return reinterpret_cast<FunctionNode const*>(rep & ~tag_mask);
}

StringNode const* string_node(uint64_t rep) noexcept { return reinterpret_cast<StringNode const*>(rep & ~tag_mask); }

struct FunctionKey {
    char const* name;
    std::span<Symbol const> args;
    bool negative;
    uint64_t key_hash;

    uint64_t hash() const noexcept { return key_hash; }
    bool matches(FunctionNode const& node) const noexcept {
        return node.name == name && node.arity == args.size() && node.negative == negative &&
               (args.empty() || std::memcmp(node.args(), args.data(), args.size() * sizeof(Symbol)) == 0);
    }
    FunctionNode* make() const {
        void* memory = ::operator new(sizeof(FunctionNode) + args.size() * sizeof(Symbol));
        auto* node = new (memory) FunctionNode{key_hash, name, static_cast<uint32_t>(args.size()), negative};
        auto* out = reinterpret_cast<Symbol*>(node + 1);
        for (size_t i = 0; i < args.size(); ++i) {
            new (out + i) Symbol(args[i]);
        }
        return node;
    }
};

InternTable<FunctionNode>& function_table() {
    static auto* table = new InternTable<FunctionNode>();
    return *table;
}

Symbol make_function(char const* name, std::span<Symbol const> args, bool negative) {
    if (args.size() > std::numeric_limits<uint32_t>::max()) {
        throw std::length_error("function has too many arguments");
    }
    uint64_t hash = head_hash(name, static_cast<uint32_t>(args.size()), negative);
    for (Symbol arg : args) {
        hash = combine_hash(hash, arg.hash());
    }
    FunctionNode const* node = function_table().intern(FunctionKey{name, args, negative, hash});
    return Symbol::from_rep(reinterpret_cast<uint64_t>(node) | tag_function);
}

[[noreturn]] void wrong_type(char const* wanted) {
    throw std::runtime_error(std::string("symbol is not a ") + wanted);
}

int compare_bytes(std::string_view a, std::string_view b) noexcept {
    int result = a.compare(b);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

template <class T> int compare_values(T a, T b) noexcept { return a < b ? -1 : (b < a ? 1 : 0); }

} // namespace

Symbol Symbol::create_number(int32_t number) noexcept {
    return Symbol{(static_cast<uint64_t>(static_cast<uint32_t>(number)) << 32) | tag_number};
}

Symbol Symbol::create_infimum() noexcept { return Symbol{tag_infimum}; }

Symbol Symbol::create_supremum() noexcept { return Symbol{tag_supremum}; }

Symbol Symbol::create_string(std::string_view text) {
    return Symbol{reinterpret_cast<uint64_t>(intern_string_node(text)) | tag_string};
}

Symbol Symbol::create_id(std::string_view name, bool positive) { return create_function(name, {}, positive); }

Symbol Symbol::create_function(std::string_view name, std::span<Symbol const> arguments, bool positive) {
    return make_function(intern_string(name), arguments, !positive);
}

Symbol Symbol::create_tuple(std::span<Symbol const> arguments) { return create_function("", arguments, true); }

SymbolType Symbol::type() const noexcept {
    switch (rep_ & tag_mask) {
    case tag_number:
        return SymbolType::Number;
    case tag_infimum:
        return SymbolType::Infimum;
    case tag_supremum:
        return SymbolType::Supremum;
    case tag_function:
        return SymbolType::Function;
    default:
        return SymbolType::String;
    }
}

int32_t Symbol::number() const {
    if ((rep_ & tag_mask) != tag_number) {
        wrong_type("number");
    }
    return static_cast<int32_t>(static_cast<uint32_t>(rep_ >> 32));
}

char const* Symbol::string() const {
    if ((rep_ & tag_mask) != tag_string) {
        wrong_type("string");
    }
    return string_node(rep_)->data();
}

std::string_view Symbol::string_view() const {
    if ((rep_ & tag_mask) != tag_string) {
        wrong_type("string");
    }
    return string_node(rep_)->view();
}

char const* Symbol::name() const {
    if ((rep_ & tag_mask) != tag_function) {
        wrong_type("function");
    }
    return function_node(rep_)->name;
}

bool Symbol::is_positive() const { return !is_negative(); }

bool Symbol::is_negative() const {
    if ((rep_ & tag_mask) != tag_function) {
        wrong_type("function");
    }
    return function_node(rep_)->negative;
}

bool Symbol::is_tuple() const noexcept {
    return (rep_ & tag_mask) == tag_function && function_node(rep_)->name[0] == '\0';
}

std::span<Symbol const> Symbol::arguments() const {
    if ((rep_ & tag_mask) != tag_function) {
        wrong_type("function");
    }
    return function_node(rep_)->arguments();
}

Symbol Symbol::flip_sign() const {
    if ((rep_ & tag_mask) != tag_function) {
        wrong_type("function");
    }
    FunctionNode const* node = function_node(rep_);
    return make_function(node->name, node->arguments(), !node->negative);
}

uint64_t Symbol::hash() const noexcept {
    switch (rep_ & tag_mask) {
    case tag_function:
        return function_node(rep_)->hash;
    case tag_string:
        return combine_hash(string_hash_seed, string_node(rep_)->hash);
    default:
        return mix_hash(rep_);
    }
}

std::strong_ordering operator<=>(Symbol a, Symbol b) noexcept {
    int result = compare(a, b);
    return result < 0 ? std::strong_ordering::less
                      : (result > 0 ? std::strong_ordering::greater : std::strong_ordering::equal);
}

int compare(Symbol a, Symbol b) noexcept {
    // Equal symbols have equal handles, so two argument lists compare like
    // their first differing pair: descending into it replaces recursion.
    while (a != b) {
        SymbolType ta = a.type();
        SymbolType tb = b.type();
        if (ta != tb) {
            return compare_values(static_cast<int>(ta), static_cast<int>(tb));
        }
        switch (ta) {
        case SymbolType::Number:
            return compare_values(a.number(), b.number());
        case SymbolType::String:
            return compare_bytes(string_node(a.rep())->view(), string_node(b.rep())->view());
        case SymbolType::Function: {
            FunctionNode const* fa = function_node(a.rep());
            FunctionNode const* fb = function_node(b.rep());
            if (fa->arity != fb->arity) {
                return compare_values(fa->arity, fb->arity);
            }
            if (fa->name != fb->name) {
                return compare_bytes(string_node_of(fa->name)->view(), string_node_of(fb->name)->view());
            }
            if (fa->negative != fb->negative) {
                return fa->negative ? 1 : -1;
            }
            uint32_t i = 0;
            while (fa->args()[i] == fb->args()[i]) {
                ++i;
            }
            a = fa->args()[i];
            b = fb->args()[i];
            break;
        }
        default: // #inf and #sup are unique
            return 0;
        }
    }
    return 0;
}

void print_quoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    out += '"';
}

void Symbol::print(std::string& out) const {
    // Iterative so that deeply nested terms (long lists built from tuples)
    // cannot exhaust the stack.
    struct Frame {
        FunctionNode const* node;
        uint32_t next;
    };
    std::vector<Frame> stack;
    Symbol current = *this;
    while (true) {
        switch (current.type()) {
        case SymbolType::Number:
            out += std::to_string(current.number());
            break;
        case SymbolType::Infimum:
            out += "#inf";
            break;
        case SymbolType::Supremum:
            out += "#sup";
            break;
        case SymbolType::String:
            print_quoted(out, string_node(current.rep_)->view());
            break;
        case SymbolType::Function: {
            FunctionNode const* node = function_node(current.rep_);
            if (node->negative) {
                out += '-';
            }
            out += node->name;
            if (node->arity > 0) {
                out += '(';
                stack.push_back({node, 0});
                current = node->args()[0];
                continue;
            }
            if (node->name[0] == '\0') {
                out += "()";
            }
            break;
        }
        }
        // current is complete: close finished argument lists, move to the next argument
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (++frame.next < frame.node->arity) {
                out += ',';
                current = frame.node->args()[frame.next];
                break;
            }
            if (frame.node->arity == 1 && frame.node->name[0] == '\0') {
                out += ',';
            }
            out += ')';
            stack.pop_back();
        }
        if (stack.empty()) {
            return;
        }
    }
}

std::string Symbol::to_string() const {
    std::string out;
    print(out);
    return out;
}

std::ostream& operator<<(std::ostream& out, Symbol symbol) { return out << symbol.to_string(); }

} // namespace Gondra::Symbols
