#include "api/thread_option.hpp"

namespace Tarvex {

namespace {

void set_field(ThreadConfig& config, Target target, std::int32_t value) {
    switch (target) {
    case Target::heuristic:
        config.heuristic = static_cast<HeuristicMode>(value);
        break;
    case Target::sign_value:
        config.sign_value = value;
        break;
    case Target::refine_reasons:
        config.refine_reasons = value != 0;
        break;
    case Target::refine_introduce:
        config.refine_introduce = value != 0;
        break;
    case Target::propagate_chain:
        config.propagate_chain = value != 0;
        break;
    case Target::split_all:
        config.split_all = value != 0;
        break;
    case Target::distinct_propagation:
        config.distinct_propagation = static_cast<DistinctPropagation>(value);
        break;
    case Target::disjoint_propagation:
        config.disjoint_propagation = static_cast<DisjointPropagation>(value);
        break;
    case Target::model_phases:
        config.model_phases = static_cast<ModelPhases>(value);
        break;
    }
}

} // namespace

void apply_thread_option(TheoryConfig& config, Target target, std::optional<std::uint32_t> thread,
                         std::int32_t value) {
    if (thread) {
        set_field(config.solver_config(*thread), target, value);
        return;
    }
    set_field(config.default_solver_config, target, value);
    for (auto& thread_config : config.solver_configs) {
        set_field(thread_config, target, value);
    }
}

} // namespace Tarvex
