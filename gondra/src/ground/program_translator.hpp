#pragma once
// Turns a ground program into the solver's problem: one variable per atom
// that can become true, one shared variable per distinct rule body, the
// completion, weight bodies as native weight constraints, shifted disjunctions,
// externals and minimize terms; programs with positive loops get the
// unfounded-set check, and loops through head cycles or non-monotone
// aggregates (negative weights, !=) the minimality check of each model.
// Translation is incremental: each call adds only what
// the program gained since the previous one. Keeps the map from program to
// solver literals and reads shown symbols off models.
#include "ground/ground_program.hpp"
#include "ground/stable_propagator.hpp"
#include "solve/solver_set.hpp"
#include "symbols/symbol.hpp"

#include <cstdint>
#include <map>
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

    // Loads what program gained since the last call (atoms, rules, externals,
    // minimize terms, names, shown terms) into the problem of set, installs
    // the literal map and registers the stable-model check of new positive
    // loops. Atoms keep their solver literals from call to call, so set must
    // be the same each time; the translator must outlive its solve calls.
    // Later rules may not define atoms of earlier calls. After a
    // TranslateError the translator is unusable.
    void translate(GroundProgram const& program, Solve::SolverSet& set);

    // 1 for facts, -1 for atoms that cannot become true, else a variable's
    // literal (negated for negative program literals).
    int32_t solver_literal(Literal program_literal) const;
    // The truth values of assigned externals, as solver literals to assume.
    void external_assumptions(std::vector<int32_t>& out) const;
    uint32_t num_atoms() const { return static_cast<uint32_t>(atom_literals_.size() - 1); }
    // Atoms in positive loops (0 for tight programs).
    uint32_t num_loop_atoms() const { return num_loop_atoms_; }
    uint32_t num_bodies() const {
        return static_cast<uint32_t>(normal_bodies_.size() + weight_bodies_.size());
    }

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
    // How an atom's truth is settled: by its rules (completion), by its rules
    // and the application's value (external), or by nothing (free: theory
    // atoms no rule defines).
    enum class Input : uint8_t { none, external, free };
    class Builder;

    static std::vector<Symbols::Symbol> unique(std::vector<Symbols::Symbol> symbols);

    std::vector<int32_t> atom_literals_{0}; // index = program atom
    std::vector<Input> input_{Input::none};
    // Values of externals (1 true, -1 false, 0 free) by atom, and the atoms
    // ever declared external.
    std::vector<int8_t> external_value_{0};
    std::vector<Atom> externals_;
    // Per external atom a variable f that supports it like a rule "{a} :- f".
    // Assuming f makes the atom free, assuming -f leaves it to its rules.
    std::vector<int32_t> external_support_{0};
    std::map<std::vector<int32_t>, int32_t> normal_bodies_;
    std::map<std::vector<std::pair<int32_t, int64_t>>, int32_t> weight_bodies_;
    std::vector<std::pair<int32_t, Symbols::Symbol>> shown_atoms_;
    std::vector<ShownTerm> shown_terms_;
    std::vector<int32_t> term_conditions_;
    // The stability checks of each step: unfounded sets, minimality checks.
    std::vector<std::unique_ptr<Solve::Propagator>> stables_;
    uint32_t num_loop_atoms_ = 0;
    // What of the ground program was translated already.
    size_t rules_done_ = 0;
    size_t minimize_done_ = 0;
    size_t externals_done_ = 0;
    size_t names_done_ = 0;
    size_t show_terms_done_ = 0;
    size_t theory_atoms_done_ = 0;
    bool mapper_installed_ = false;
    bool broken_ = false;
};

} // namespace Gondra::Ground
