#pragma once
// A model as the application sees it during a model event: shown symbols of
// the program (and those added by extend), costs, number, thread and whether
// optimality is proven. Valid only while the event is delivered.
#include "ground/program_translator.hpp"
#include "solve/solver_set.hpp"
#include "symbols/symbol.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace Gondra::Control {

class Model {
public:
    enum Show : unsigned { shown = 2, atoms = 4, terms = 8, theory = 16, complement = 32 };

    // number counts the models of the whole solve call (the solver's own
    // count restarts when the optimal models are reported).
    Model(Solve::Model const& model, Ground::ProgramTranslator const& translator,
          Ground::GroundProgram const& program, bool optimality_proven, uint64_t number);

    // Symbols selected by a gondra_show_type bitset. The last selection is
    // kept until the model is extended: applications ask for its size first.
    std::vector<Symbols::Symbol> const& symbols(unsigned show) const;
    bool contains(Symbols::Symbol atom) const;
    bool is_true_program_literal(int32_t literal) const;
    uint64_t number() const { return number_; }
    uint32_t thread_id() const { return model_.thread_id(); }
    std::vector<int64_t> const& cost() const { return model_.cost(); }
    bool optimality_proven() const { return optimality_proven_; }
    void extend(std::span<Symbols::Symbol const> symbols);
    std::vector<Symbols::Symbol> const& extension() const { return extension_; }

private:
    Solve::Model const& model_;
    Ground::ProgramTranslator const& translator_;
    Ground::GroundProgram const& program_;
    bool optimality_proven_;
    uint64_t number_;
    std::vector<Symbols::Symbol> extension_;
    mutable std::optional<unsigned> cached_show_;
    mutable std::vector<Symbols::Symbol> cached_;
};

} // namespace Gondra::Control

// The handle of the C interface.
struct gondra_model {
    Gondra::Control::Model* model;
};
