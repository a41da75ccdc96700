#pragma once
// Turns a ground program into the solver's problem: one variable per atom
// that can become true, one shared variable per distinct rule body, the
// completion, weight bodies as native weight constraints, shifted disjunctions,
// externals and minimize terms; programs with positive loops get the
// unfounded-set check. Keeps the map from program to solver literals and
// reads shown symbols off models.
#include "ground/ground_program.hpp"
#include "ground/stable_propagator.hpp"
#include "solve/solver_set.hpp"
#include "symbols/symbol.hpp"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace Gondra::Ground {

// Programs the translation cannot handle, and malformed ground programs.
class TranslateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ProgramTranslator {
public:
    ProgramTranslator();
    ~ProgramTranslator();
    ProgramTranslator(ProgramTranslator const&) = delete;
    ProgramTranslator& operator=(ProgramTranslator const&) = delete;

    // Loads program into the (fresh) problem of set, installs the literal map
    // and registers the stable-model check when needed. The translator must
    // outlive the solve calls of set.
    void translate(GroundProgram const& program, Solve::SolverSet& set);

    // 1 for facts, -1 for atoms that cannot become true, else a variable's
    // literal (negated for negative program literals).
    int32_t solver_literal(Literal program_literal) const;
    uint32_t num_atoms() const { return static_cast<uint32_t>(atom_literals_.size() - 1); }
    // Atoms in positive loops (0 for tight programs).
    uint32_t num_loop_atoms() const { return stable_ ? stable_->num_atoms() : 0; }
    uint32_t num_bodies() const { return num_bodies_; }

    // Shown atoms, then shown terms, each symbol once, in program order.
    template <class IsTrue> std::vector<Symbols::Symbol> shown_symbols(IsTrue&& is_true) const {
        std::vector<Symbols::Symbol> out;
        for (auto const& [lit, symbol] : shown_atoms_) {
            if (is_true(lit)) {
                out.push_back(symbol);
            }
        }
        for (auto const& term : shown_terms_) {
            bool holds = true;
            for (uint32_t i = term.begin; i < term.end && holds; ++i) {
                holds = is_true(term_conditions_[i]);
            }
            if (holds) {
                out.push_back(term.symbol);
            }
        }
        return unique(std::move(out));
    }
    std::vector<Symbols::Symbol> shown_symbols(Solve::Model const& model) const {
        return shown_symbols([&](int32_t lit) { return model.is_true(lit); });
    }

private:
    struct ShownTerm {
        Symbols::Symbol symbol;
        uint32_t begin, end; // into term_conditions_
    };
    class Builder;

    static std::vector<Symbols::Symbol> unique(std::vector<Symbols::Symbol> symbols);

    std::vector<int32_t> atom_literals_{0}; // index = program atom
    uint32_t num_bodies_ = 0;
    std::vector<std::pair<int32_t, Symbols::Symbol>> shown_atoms_;
    std::vector<ShownTerm> shown_terms_;
    std::vector<int32_t> term_conditions_;
    std::unique_ptr<StablePropagator> stable_;
};

} // namespace Gondra::Ground
