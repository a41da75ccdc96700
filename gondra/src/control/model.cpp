#include "control/model.hpp"

#include <unordered_set>

namespace Gondra::Control {

Model::Model(Solve::Model const& model, Ground::ProgramTranslator const& translator,
             Ground::GroundProgram const& program, bool optimality_proven, uint64_t number)
    : model_(model), translator_(translator), program_(program), optimality_proven_(optimality_proven),
      number_(number) {}

bool Model::is_true_program_literal(int32_t literal) const {
    return model_.is_true(translator_.solver_literal(literal));
}

std::vector<Symbols::Symbol> const& Model::symbols(unsigned show) const {
    if (cached_show_ == show) {
        return cached_;
    }
    std::vector<Symbols::Symbol>& out = cached_;
    out.clear();
    // Symbols are interned: equal ones have equal representations.
    std::unordered_set<uint64_t> seen;
    auto add = [&](Symbols::Symbol s) {
        if (seen.insert(s.rep()).second) {
            out.push_back(s);
        }
    };
    bool negate = (show & complement) != 0;
    if ((show & shown) != 0 && negate) {
        // The complement of the shown atoms: those hidden by falsity.
        for (auto const& name : program_.atom_names) {
            if (name.shown && !is_true_program_literal(static_cast<int32_t>(name.atom))) {
                add(name.symbol);
            }
        }
    } else if ((show & shown) != 0) {
        for (auto s : translator_.shown_symbols(model_)) {
            add(s);
        }
        for (auto s : extension_) {
            add(s);
        }
    }
    if ((show & atoms) != 0) {
        for (auto const& name : program_.atom_names) {
            if (is_true_program_literal(static_cast<int32_t>(name.atom)) != negate) {
                add(name.symbol);
            }
        }
    }
    if ((show & terms) != 0) {
        for (auto const& term : program_.show_terms) {
            bool holds = true;
            for (auto lit : program_.condition(term)) {
                holds = holds && is_true_program_literal(lit);
            }
            if (holds) {
                add(term.term);
            }
        }
    }
    cached_show_ = show;
    return out;
}

bool Model::contains(Symbols::Symbol atom) const {
    for (auto const& name : program_.atom_names) {
        if (name.symbol == atom) {
            return is_true_program_literal(static_cast<int32_t>(name.atom));
        }
    }
    return false;
}

void Model::extend(std::span<Symbols::Symbol const> symbols) {
    extension_.insert(extension_.end(), symbols.begin(), symbols.end());
    cached_show_.reset();
}

} // namespace Gondra::Control
