#include "ground/theory_builder.hpp"

#include "ground/flat_map.hpp"

#include "input/ast.hpp"

#include <algorithm>

namespace Gondra::Ground {

using Symbols::SymbolType;

// Numbers are keyed by value, symbols by their interned name, compounds by
// type, name and arguments; the types keep the three apart.
uint32_t TheoryBuilder::term(TheoryTermType type, int32_t number, char const* name, std::span<uint32_t const> args) {
    uint64_t hash = combine64(static_cast<uint64_t>(type) + 1,
                              type == TheoryTermType::number ? static_cast<uint64_t>(static_cast<uint32_t>(number))
                                                             : reinterpret_cast<uint64_t>(name));
    for (uint32_t a : args) hash = combine64(hash, a);
    auto fresh_id = static_cast<uint32_t>(data_.terms.size());
    auto [id, fresh] = terms_.insert(static_cast<uint32_t>(hash), fresh_id, [&](uint32_t stored) {
        TheoryTerm const& t = data_.terms[stored];
        if (t.type != type) return false;
        if (type == TheoryTermType::number) return t.number == number;
        auto stored_args = data_.arguments(t);
        return t.name == name && std::equal(stored_args.begin(), stored_args.end(), args.begin(), args.end());
    });
    if (fresh) {
        auto begin = static_cast<uint32_t>(data_.theory_ids.size());
        data_.theory_ids.insert(data_.theory_ids.end(), args.begin(), args.end());
        data_.terms.push_back({type, number, name, begin, static_cast<uint32_t>(data_.theory_ids.size())});
    }
    return id;
}

uint32_t TheoryBuilder::number(int32_t value) { return term(TheoryTermType::number, value, "", {}); }

uint32_t TheoryBuilder::symbol(char const* name) { return term(TheoryTermType::symbol, 0, Input::intern(name), {}); }

uint32_t TheoryBuilder::compound(TheoryTermType type, char const* name, std::span<uint32_t const> args) {
    return term(type, 0, Input::intern(name), args);
}

uint32_t TheoryBuilder::from_symbol(Symbols::Symbol root) {
    // Bottom-up with explicit stacks: grounding can nest symbols as deep as
    // it likes (c(N+1,f(X)) :- c(N,X), ...).
    struct Frame {
        Symbols::Symbol symbol;
        size_t next = 0; // next argument to convert
    };
    auto arguments = [](Symbols::Symbol s) -> size_t {
        if (s.type() != SymbolType::Function) return 0;
        return s.is_negative() ? 1 : s.arguments().size();
    };
    std::vector<Frame> stack{{root}};
    std::vector<uint32_t> ids;
    while (!stack.empty()) {
        Frame& f = stack.back();
        Symbols::Symbol s = f.symbol;
        size_t arity = arguments(s);
        if (f.next < arity) {
            Symbols::Symbol arg = s.is_negative() ? s.flip_sign() : s.arguments()[f.next];
            ++f.next;
            stack.push_back({arg}); // f dangles from here
            continue;
        }
        stack.pop_back();
        uint32_t id = 0;
        switch (s.type()) {
        case SymbolType::Number: id = number(s.number()); break;
        case SymbolType::Infimum: id = symbol("#inf"); break;
        case SymbolType::Supremum: id = symbol("#sup"); break;
        case SymbolType::String: {
            std::string text;
            Symbols::print_quoted(text, s.string_view());
            id = symbol(text.c_str());
            break;
        }
        case SymbolType::Function: {
            std::span<uint32_t const> args{ids.data() + ids.size() - arity, arity};
            // A classically negated function becomes unary "-".
            if (s.is_negative()) id = compound(TheoryTermType::function, "-", args);
            else if (!s.is_tuple() && arity == 0) id = symbol(s.name());
            else id = compound(s.is_tuple() ? TheoryTermType::tuple : TheoryTermType::function, s.name(), args);
            ids.resize(ids.size() - arity);
            break;
        }
        }
        ids.push_back(id);
    }
    return ids.back();
}

uint32_t TheoryBuilder::element(std::span<uint32_t const> tuple, std::vector<Literal> condition, bool& created) {
    std::sort(condition.begin(), condition.end());
    condition.erase(std::unique(condition.begin(), condition.end()), condition.end());
    uint64_t hash = combine64(0x6a09e667f3bcc909ULL, tuple.size());
    for (uint32_t t : tuple) hash = combine64(hash, t);
    for (Literal l : condition) hash = combine64(hash, static_cast<uint32_t>(l));
    auto fresh_id = static_cast<uint32_t>(data_.elements.size());
    auto [id, fresh] = elements_.insert(static_cast<uint32_t>(hash), fresh_id, [&](uint32_t stored) {
        TheoryElement const& e = data_.elements[stored];
        auto t = data_.tuple(e);
        auto c = data_.condition(e);
        return std::equal(t.begin(), t.end(), tuple.begin(), tuple.end()) &&
               std::equal(c.begin(), c.end(), condition.begin(), condition.end());
    });
    created = fresh;
    if (fresh) {
        TheoryElement e{};
        e.tuple_begin = static_cast<uint32_t>(data_.theory_ids.size());
        data_.theory_ids.insert(data_.theory_ids.end(), tuple.begin(), tuple.end());
        e.tuple_end = static_cast<uint32_t>(data_.theory_ids.size());
        e.condition_begin = static_cast<uint32_t>(data_.theory_literals.size());
        data_.theory_literals.insert(data_.theory_literals.end(), condition.begin(), condition.end());
        e.condition_end = static_cast<uint32_t>(data_.theory_literals.size());
        e.condition_literal = 0;
        data_.elements.push_back(e);
    }
    return id;
}

uint32_t TheoryBuilder::atom(uint32_t name, std::span<uint32_t const> elements, bool has_guard, char const* relation,
                             uint32_t guard, Input::Location const& location, bool& created) {
    relation = Input::intern(has_guard ? relation : "");
    // Equal atoms have the same elements in any order.
    std::vector<uint32_t>& sorted = probe_;
    sorted.assign(elements.begin(), elements.end());
    std::sort(sorted.begin(), sorted.end());
    uint32_t guard_key = has_guard ? guard : 0;
    uint64_t hash = combine64(combine64(name, has_guard ? 1 : 0), reinterpret_cast<uint64_t>(relation));
    hash = combine64(hash, guard_key);
    for (uint32_t e : sorted) hash = combine64(hash, e);
    auto fresh_id = static_cast<uint32_t>(data_.atoms.size());
    auto [id, fresh] = atoms_.insert(static_cast<uint32_t>(hash), fresh_id, [&](uint32_t stored) {
        TheoryAtom const& a = data_.atoms[stored];
        auto e = data_.elements_of(a);
        if (a.term != name || a.has_guard != has_guard || a.guard_connective != relation ||
            a.guard_term != guard_key || e.size() != sorted.size()) {
            return false;
        }
        sorted_.assign(e.begin(), e.end());
        std::sort(sorted_.begin(), sorted_.end());
        return sorted_ == sorted;
    });
    created = fresh;
    if (fresh) {
        TheoryAtom a{};
        a.term = name;
        a.elements_begin = static_cast<uint32_t>(data_.theory_ids.size());
        data_.theory_ids.insert(data_.theory_ids.end(), elements.begin(), elements.end());
        a.elements_end = static_cast<uint32_t>(data_.theory_ids.size());
        a.has_guard = has_guard;
        a.guard_connective = relation;
        a.guard_term = has_guard ? guard : 0;
        a.literal = 0;
        a.location = location;
        data_.atoms.push_back(a);
    }
    return id;
}

} // namespace Gondra::Ground
