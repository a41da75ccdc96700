#pragma once

// The literals of one thread that say that a variable takes a value, looked
// up per variable: in a flat array over the variable's root domain when that
// is small enough, in a hash map otherwise.

#include "core/integer_types.hpp"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Tarvex {

class ValueLiterals {
public:
    // Root domains of up to this many values get a flat array.
    static constexpr wide_t dense_limit = wide_t{1} << 16;

    // The stored literal of x = v, 0 if none; domain [min, max] is x's root
    // domain, used when the variable's first literal is stored.
    literal_t find(var_id var, value_t v) const {
        if (var < tables_.size()) {
            auto const& table = tables_[var];
            wide_t index = static_cast<wide_t>(v) - table.offset;
            if (index >= 0 && index < static_cast<wide_t>(table.dense.size())) {
                return table.dense[static_cast<std::size_t>(index)];
            }
        }
        auto it = sparse_.find(key(var, v));
        return it != sparse_.end() ? it->second : 0;
    }

    void store(var_id var, value_t v, literal_t lit, value_t min, value_t max) {
        if (var >= tables_.size()) {
            tables_.resize(var + 1);
        }
        auto& table = tables_[var];
        if (table.dense.empty() && static_cast<wide_t>(max) - min < dense_limit) {
            table.offset = min;
            table.dense.assign(static_cast<std::size_t>(static_cast<wide_t>(max) - min + 1), 0);
        }
        wide_t index = static_cast<wide_t>(v) - table.offset;
        if (index >= 0 && index < static_cast<wide_t>(table.dense.size())) {
            table.dense[static_cast<std::size_t>(index)] = lit;
        } else {
            sparse_[key(var, v)] = lit;
        }
    }

    // Forgets every literal for which drop(literal) holds.
    template <class F> void erase_if(F&& drop) {
        for (auto& table : tables_) {
            for (auto& lit : table.dense) {
                if (lit != 0 && drop(lit)) {
                    lit = 0;
                }
            }
        }
        std::erase_if(sparse_, [&](auto const& entry) { return drop(entry.second); });
    }

private:
    struct Table {
        value_t offset = 0;
        std::vector<literal_t> dense;
    };

    static std::uint64_t key(var_id var, value_t v) {
        return (std::uint64_t{var} << 32) | static_cast<std::uint32_t>(v);
    }

    std::vector<Table> tables_;
    std::unordered_map<std::uint64_t, literal_t> sparse_;
};

} // namespace Tarvex
