#pragma once
// A non-ground program: statements grouped by the program part they belong
// to (#program directives switch parts; statements before any go to "base").

#include "input/ast.hpp"

#include <string>
#include <vector>

namespace Gondra::Input {

struct ProgramPart {
    std::string name;
    std::vector<std::string> parameters;
    NodeArray statements;
};

class Program {
public:
    // Appends a statement to the current part; #program statements switch it.
    void add(NodePtr const& statement);
    std::vector<ProgramPart> const& parts() const noexcept { return parts_; }
    ProgramPart const* find(std::string const& name) const;

private:
    std::vector<ProgramPart> parts_;
    size_t current_ = SIZE_MAX;
};

// The state behind gondra_program_builder_t: statements go in between begin and end.
class ProgramBuilder {
public:
    explicit ProgramBuilder(Program& program) : program_{program} {}
    void begin();
    void add(NodePtr const& statement);
    void end();

private:
    Program& program_;
    bool active_ = false;
};

} // namespace Gondra::Input

struct gondra_program_builder {
    explicit gondra_program_builder(Gondra::Input::Program& program) : builder{program} {}
    Gondra::Input::ProgramBuilder builder;
};
