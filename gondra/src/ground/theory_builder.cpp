#include "ground/theory_builder.hpp"

#include "input/ast.hpp"

#include <algorithm>

namespace Gondra::Ground {

using Symbols::SymbolType;

uint32_t TheoryBuilder::number(int32_t value) {
    Key key{{4, static_cast<uint64_t>(static_cast<uint32_t>(value))}};
    auto [it, fresh] = terms_.emplace(std::move(key), static_cast<uint32_t>(data_.terms.size()));
    if (fresh) {
        uint32_t at = static_cast<uint32_t>(data_.theory_ids.size());
        data_.terms.push_back({TheoryTermType::number, value, "", at, at});
    }
    return it->second;
}

uint32_t TheoryBuilder::symbol(char const* name) {
    name = Input::intern(name);
    Key key{{5, reinterpret_cast<uint64_t>(name)}};
    auto [it, fresh] = terms_.emplace(std::move(key), static_cast<uint32_t>(data_.terms.size()));
    if (fresh) {
        uint32_t at = static_cast<uint32_t>(data_.theory_ids.size());
        data_.terms.push_back({TheoryTermType::symbol, 0, name, at, at});
    }
    return it->second;
}

uint32_t TheoryBuilder::compound(TheoryTermType type, char const* name, std::span<uint32_t const> args) {
    name = Input::intern(name);
    Key key{{static_cast<uint64_t>(type), reinterpret_cast<uint64_t>(name)}};
    key.data.insert(key.data.end(), args.begin(), args.end());
    auto [it, fresh] = terms_.emplace(std::move(key), static_cast<uint32_t>(data_.terms.size()));
    if (fresh) {
        uint32_t begin = static_cast<uint32_t>(data_.theory_ids.size());
        data_.theory_ids.insert(data_.theory_ids.end(), args.begin(), args.end());
        data_.terms.push_back({type, 0, name, begin, static_cast<uint32_t>(data_.theory_ids.size())});
    }
    return it->second;
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
    Key key;
    key.data.push_back(tuple.size());
    key.data.insert(key.data.end(), tuple.begin(), tuple.end());
    for (Literal l : condition) key.data.push_back(static_cast<uint64_t>(static_cast<uint32_t>(l)));
    auto [it, fresh] = elements_.emplace(std::move(key), static_cast<uint32_t>(data_.elements.size()));
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
    return it->second;
}

uint32_t TheoryBuilder::atom(uint32_t name, std::span<uint32_t const> elements, bool has_guard, char const* relation,
                             uint32_t guard, Input::Location const& location, bool& created) {
    relation = Input::intern(has_guard ? relation : "");
    std::vector<uint32_t> sorted(elements.begin(), elements.end());
    std::sort(sorted.begin(), sorted.end());
    Key key{{name, has_guard ? 1u : 0u, reinterpret_cast<uint64_t>(relation), has_guard ? guard : 0u}};
    key.data.insert(key.data.end(), sorted.begin(), sorted.end());
    auto [it, fresh] = atoms_.emplace(std::move(key), static_cast<uint32_t>(data_.atoms.size()));
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
    return it->second;
}

} // namespace Gondra::Ground
