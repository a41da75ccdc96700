#pragma once
// What the programs print on standard output: the models as they are found,
// the statistics and the summary, as text or as one JSON document. Both forms
// are written as the search goes, model by model, so that memory does not grow
// with the number of models and an interrupted run has printed all it found.
//
// The JSON document: "models" (each with "atoms" and "costs"), "result"
// (optimum, satisfiable, unsatisfiable or unknown), "costs" (of the best
// model, with an objective only), "exhausted", "interrupted" (only when a
// signal stopped the search), "time" in seconds, "statistics" with the trees
// "step" and "accumulated" (--stats only), and "error" when the search ended
// with one.

#include "gondra.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace Gondra::App {

struct RunSummary {
    enum class Result { unknown, satisfiable, unsatisfiable, optimum };
    Result result = Result::unknown;
    uint64_t models = 0;
    bool exhausted = false;         // no further model exists
    bool interrupted = false;       // by a signal or another interrupt request
    std::span<int64_t const> costs; // of the best model; empty without objective
    double seconds = 0;
    std::string error; // why the search ended early; empty when it did not fail
};

class ProgramOutput {
public:
    virtual ~ProgramOutput() = default;
    // The program has been read and the search begins.
    virtual void search_started() = 0;
    virtual void model(uint64_t number, std::span<std::string const> atoms,
                       std::span<int64_t const> costs) = 0;
    // Renders the step and the accumulated trees while they are valid; false
    // with the error state set when reading them failed.
    virtual bool statistics(gondra_statistics_t const* step, gondra_statistics_t const* accumulated) = 0;
    // Ends the output.
    virtual void summary(RunSummary const& summary) = 0;
};

std::unique_ptr<ProgramOutput> make_text_output(std::FILE* out);
std::unique_ptr<ProgramOutput> make_json_output(std::FILE* out);

} // namespace Gondra::App
