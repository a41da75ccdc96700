#pragma once
// Turns the non-ground statements of program parts into the ground program:
// dependency analysis into components, semi-naive instantiation with hash
// indexes on bound argument positions (joins ordered by the sizes of the
// domains when a component is grounded, equalities assigning as soon as one
// side is bound), simplification by facts, removal of repeated rule
// instances, and the encodings of choices, aggregates, optimisation and
// theory atoms.

#include "ground/ground_program.hpp"
#include "ground/logger.hpp"
#include "input/program.hpp"
#include "symbols/symbol.hpp"

#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace Gondra::Ground {

// A program part to ground with the values of its parameters.
struct Part {
    std::string name;
    std::vector<Symbols::Symbol> parameters;
};

struct GroundOptions {
    // -c name=value: replaces the value of `#const name = ...`.
    std::vector<std::pair<std::string, Symbols::Symbol>> constants;
};

class Grounder {
public:
    explicit Grounder(Logger& logger);
    ~Grounder();
    Grounder(Grounder const&) = delete;
    Grounder& operator=(Grounder const&) = delete;

    // Grounds the parts into out; later calls append to the same program
    // (atoms keep their numbers). Throws GroundError when a statement is
    // erroneous (every error is reported to the logger first).
    void ground(Input::Program const& program, std::span<Part const> parts, GroundOptions const& options,
                GroundProgram& out);

    // The name of a program atom (nullptr for auxiliary atoms).
    Symbols::Symbol const* atom_symbol(Atom atom) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace Gondra::Ground
