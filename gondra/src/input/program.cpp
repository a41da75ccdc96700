#include "input/program.hpp"

#include <stdexcept>

namespace Gondra::Input {

namespace {

bool is_statement(AstType type) {
    switch (type) {
    case AstType::Rule:
    case AstType::Definition:
    case AstType::ShowSignature:
    case AstType::ShowTerm:
    case AstType::Show:
    case AstType::Minimize:
    case AstType::Program:
    case AstType::External:
    case AstType::Defined:
    case AstType::TheoryDefinition: return true;
    default: return false;
    }
}

} // namespace

ProgramPart const* Program::find(std::string const& name) const {
    for (auto const& p : parts_)
        if (p.name == name) return &p;
    return nullptr;
}

void Program::add(NodePtr const& statement) {
    if (!statement || !is_statement(statement->type())) throw std::invalid_argument("not a statement");
    if (statement->type() == AstType::Program) {
        std::string name = statement->string(Attribute::Name);
        std::vector<std::string> params;
        for (auto const& p : statement->nodes(Attribute::Parameters)) params.emplace_back(p->string(Attribute::Name));
        for (size_t i = 0; i < parts_.size(); ++i) {
            if (parts_[i].name == name) {
                if (parts_[i].parameters.size() != params.size())
                    throw std::runtime_error(format_location(statement->location()) +
                                             ": error: program part '" + name +
                                             "' redefined with a different number of parameters");
                current_ = i;
                return;
            }
        }
        parts_.push_back(ProgramPart{name, std::move(params), {}});
        current_ = parts_.size() - 1;
        return;
    }
    if (current_ == SIZE_MAX) {
        current_ = parts_.size();
        for (size_t i = 0; i < parts_.size(); ++i)
            if (parts_[i].name == "base") current_ = i;
        if (current_ == parts_.size()) parts_.push_back(ProgramPart{"base", {}, {}});
    }
    parts_[current_].statements.push_back(statement);
}

void ProgramBuilder::begin() {
    if (active_) throw std::logic_error("program builder already started");
    active_ = true;
}

void ProgramBuilder::add(NodePtr const& statement) {
    if (!active_) throw std::logic_error("program builder not started");
    program_.add(statement);
}

void ProgramBuilder::end() {
    if (!active_) throw std::logic_error("program builder not started");
    active_ = false;
}

} // namespace Gondra::Input
