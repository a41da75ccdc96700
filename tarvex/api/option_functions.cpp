// Configuration of the theory: command-line options, settings by name and the
// adjustment of the host's settings before solving.

#include "api/api_guard.hpp"
#include "api/option_values.hpp"
#include "host/host_error.hpp"
#include "host/theory_atoms.hpp"
#include "parsing/term_ref.hpp"
#include "tarvex.h"

#include <cstring>
#include <functional>
#include <limits>
#include <locale>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

using namespace Tarvex;

namespace {

char const* const group = "CSP Options";

constexpr std::int32_t int_bound = 1073741823;
constexpr std::uint32_t unsigned_max = std::numeric_limits<std::uint32_t>::max();

char const* const per_thread_bool_suffix = "]\n      <arg>: {yes|no}[,<i>]\n      <i>  : Only enable for thread <i>";

std::string yes_no(bool value) {
    return value ? "yes" : "no";
}

std::string shown(double value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

std::string lower_bound_models_name(LowerBoundModels mode) {
    switch (mode) {
    case LowerBoundModels::Yes:
        return "yes";
    case LowerBoundModels::No:
        return "no";
    default:
        return "auto";
    }
}

// The graph of difference constraints is set for every thread alike.
void set_difference_graph(TheoryConfig& config, bool on) {
    config.default_solver_config.difference_graph = on;
    for (auto& thread : config.solver_configs) {
        thread.difference_graph = on;
    }
}

std::string heuristic_name(HeuristicMode mode) {
    switch (mode) {
    case HeuristicMode::MaxChain:
        return "max-chain";
    case HeuristicMode::LowerBound:
        return "lower-bound";
    case HeuristicMode::Auto:
        return "auto";
    default:
        return "none";
    }
}

std::string model_phases_name(ModelPhases mode) {
    switch (mode) {
    case ModelPhases::Yes:
        return "yes";
    case ModelPhases::Auto:
        return "auto";
    default:
        return "no";
    }
}

std::string distinct_name(DistinctPropagation mode) {
    switch (mode) {
    case DistinctPropagation::Values:
        return "values";
    case DistinctPropagation::Bounds:
        return "bounds";
    default:
        return "ends";
    }
}

std::string disjoint_name(DisjointPropagation mode) {
    return mode == DisjointPropagation::EdgeFinding ? "edge-finding" : "windows";
}

// The host calls a parser with its data pointer, the parser owned by the
// handle. An exception becomes false, with its text left in the host's error
// state so that the host can name the reason.
bool parse_trampoline(char const* value, void* data) {
    try {
        return (*static_cast<std::function<bool(char const*)>*>(data))(value != nullptr ? value : "");
    } catch (...) {
        Host::report_current_exception();
        return false;
    }
}

class OptionRegistrar {
public:
    OptionRegistrar(tarvex_theory& theory, gondra_options_t* options) : theory_{&theory}, options_{options} {}

    void flag(char const* name, std::string const& help, bool& target) {
        Host::check(gondra_options_add_flag(options_, group, name, help.c_str(), &target));
    }

    void option(char const* name, std::string const& help, std::function<bool(char const*)> parser, bool multi,
                char const* placeholder) {
        auto& parsers = theory_->option_parsers;
        parsers.push_front(std::move(parser));
        Host::check(gondra_options_add(options_, group, name, help.c_str(), parse_trampoline, &parsers.front(),
                                       multi, placeholder));
    }

    // A per-thread setting goes to the pending map; a second value for the
    // same target and thread scope is refused and the first stays.
    void thread_option(char const* name, std::string const& help, Target target,
                       std::int32_t (*read)(std::string_view)) {
        auto* theory = theory_;
        option(
            name, help,
            [theory, target, read](char const* text) {
                auto [setting, thread] = split_value(text);
                std::int32_t value = read(setting);
                std::optional<std::uint32_t> index;
                if (thread) {
                    index = read_thread_index(*thread);
                }
                return theory->pending_thread_options.emplace(ThreadOptionKey{target, index}, value).second;
            },
            true, nullptr);
    }

private:
    tarvex_theory* theory_;
    gondra_options_t* options_;
};

std::int32_t heuristic_value(std::string_view part) {
    return static_cast<std::int32_t>(read_heuristic(part));
}
std::int32_t distinct_value(std::string_view part) {
    return static_cast<std::int32_t>(read_distinct_propagation(part));
}
std::int32_t disjoint_value(std::string_view part) {
    return static_cast<std::int32_t>(read_disjoint_propagation(part));
}
std::int32_t model_phases_value(std::string_view part) {
    return static_cast<std::int32_t>(read_model_phases(part));
}
std::int32_t sign_value(std::string_view part) {
    return read_sign_value(part);
}
std::int32_t bool_value(std::string_view part) {
    return read_bool(part) ? 1 : 0;
}

void configure_thread(TheoryConfig& config, Target target, std::string_view value,
                      std::int32_t (*read)(std::string_view)) {
    auto [setting, thread] = split_value(value);
    std::int32_t parsed = read(setting);
    std::optional<std::uint32_t> index;
    if (thread) {
        index = read_thread_index(*thread);
    }
    apply_thread_option(config, target, index, parsed);
}

} // namespace

extern "C" {

bool tarvex_register_options(tarvex_theory_t* theory, gondra_options_t* options) {
    return Host::guard([&] {
        auto& handle = require_theory(theory);
        if (options == nullptr) {
            throw std::invalid_argument("invalid options");
        }
        auto& config = handle.propagator.config();
        auto const& thread = config.default_solver_config;
        OptionRegistrar add{handle, options};
        add.flag("shift-constraints",
                 "Shift constraints into head of integrity constraints [" + yes_no(handle.shift_constraints) + "]",
                 handle.shift_constraints);
        add.flag("sort-constraints", "Sort constraint elements [" + yes_no(config.sort_constraints) + "]",
                 config.sort_constraints);
        add.option(
            "translate-clauses",
            "Restrict translation to clauses [" + std::to_string(config.clause_limit) + "," +
                std::to_string(config.clause_limit_total) +
                "]\n      <n>: maximum clauses per constraint\n      <m>: maximum clauses total",
            [&config](char const* text) {
                auto limits = read_clause_limits(text);
                config.clause_limit = limits.limit;
                if (limits.total) {
                    config.clause_limit_total = *limits.total;
                }
                return true;
            },
            false, "<n>[,<m>]");
        add.flag("literals-only",
                 "Only create literals during translation but no clauses [" + yes_no(config.literals_only) + "]",
                 config.literals_only);
        add.option(
            "translate-pb",
            "Translate to weight constraints if ratio of variables and literals is less equal <r> [" +
                shown(config.weight_constraint_ratio) + "]",
            [&config](char const* text) {
                config.weight_constraint_ratio = read_double_in(text);
                return true;
            },
            false, "<r>");
        add.option(
            "translate-distinct",
            "Restrict translation of distinct constraints to <n> pb constraints [" +
                std::to_string(config.distinct_limit) + "]",
            [&config](char const* text) {
                config.distinct_limit = read_unsigned_in(text, 0, unsigned_max);
                return true;
            },
            false, "<n>");
        add.option(
            "translate-opt",
            "Configure translation of minimize constraint [" + std::to_string(config.minimize_limit) +
                "]\n      <n>: translate if required literals less than <n>\n        0  : never translate\n"
                "        max: always translate",
            [&config](char const* text) {
                config.minimize_limit = read_unsigned_in(text, 0, unsigned_max);
                return true;
            },
            false, "<n>");
        add.flag("add-order-clauses",
                 "Add binary clauses for order literals after translation [" + yes_no(config.add_order_clauses) + "]",
                 config.add_order_clauses);
        add.thread_option("order-heuristic",
                          "Make the decision heuristic aware of order literls [" + heuristic_name(thread.heuristic) +
                              "]\n      <arg>: {auto,none,max-chain,lower-bound}[,<i>]\n"
                              "        auto     : lower-bound while an objective is optimised,\n"
                              "                   none otherwise\n"
                              "        none     : use voskel's heuristic\n"
                              "        max-chain: assign chains of literals\n"
                              "        lower-bound: assign a decided variable its lower bound and\n"
                              "                   split domains there\n      <i>  : Only enable for thread <i>",
                          Target::heuristic, heuristic_value);
        add.thread_option("model-phases",
                          "Decide atoms as they were in the last model [" + model_phases_name(thread.model_phases) +
                              "]\n      <arg>: {auto,yes,no}[,<i>]\n"
                              "        auto: while an objective is optimised\n"
                              "        yes : always; no: never\n      <i>  : Only enable for thread <i>",
                          Target::model_phases, model_phases_value);
        add.thread_option("sign-value",
                          "Configure the sign of order literals [" + std::to_string(thread.sign_value) +
                              "]\n      <arg>: {<n>|+|-}[,<i>]\n        <n>: negative iff its value is greater or "
                              "equal to <n>\n        +  : always positive\n        -  : always negative\n"
                              "      <i>  : Only enable for thread <i>",
                          Target::sign_value, sign_value);
        add.thread_option("refine-reasons",
                          "Refine reasons during propagation [" + yes_no(thread.refine_reasons) +
                              per_thread_bool_suffix,
                          Target::refine_reasons, bool_value);
        add.thread_option("refine-introduce",
                          "Introduce order literals when generating reasons [" + yes_no(thread.refine_introduce) +
                              per_thread_bool_suffix,
                          Target::refine_introduce, bool_value);
        add.thread_option("propagate-chain",
                          "Use closest order literal as reason [" + yes_no(thread.propagate_chain) +
                              per_thread_bool_suffix,
                          Target::propagate_chain, bool_value);
        add.thread_option("split-all",
                          "Split all domains on total assignment [" + yes_no(thread.split_all) +
                              per_thread_bool_suffix,
                          Target::split_all, bool_value);
        add.thread_option(
            "distinct-propagation",
            "Configure propagation of distinct constraints [" + distinct_name(thread.distinct_propagation) +
                "]\n      <arg>: {ends,values,bounds}[,<i>]\n        ends  : move terms whose lowest or highest "
                "value a fixed term takes\n        values: also cut that value out of one-variable terms\n"
                "        bounds: also close intervals that terms fill to the others\n      <i>  : Only enable for "
                "thread <i>",
            Target::distinct_propagation, distinct_value);
        add.thread_option(
            "disjoint-propagation",
            "Configure propagation of disjoint constraints [" + disjoint_name(thread.disjoint_propagation) +
                "]\n      <arg>: {windows,edge-finding}[,<i>]\n        windows     : overloads and exactly "
                "filled windows\n        edge-finding: edge finding in both directions\n      <i>  : Only enable "
                "for thread <i>",
            Target::disjoint_propagation, disjoint_value);
        add.option(
            "lower-bound-models",
            "Take lower bounds as values when they satisfy all sums, instead of splitting domains [" +
                lower_bound_models_name(config.lower_bound_models) +
                "]\n      <arg>: {auto|yes|no}\n        auto: when one model is asked for or an objective is "
                "optimised\n        yes : always (models that differ only there are not enumerated)",
            [&config](char const* text) {
                config.lower_bound_models = read_lower_bound_models(text);
                return true;
            },
            false, "<arg>");
        add.option(
            "diff-cycles",
            "Find cycles of difference constraints in a graph [" + yes_no(thread.difference_graph) + "]",
            [&config](char const* text) {
                set_difference_graph(config, read_bool(text));
                return true;
            },
            false, "{yes|no}");
        add.option(
            "min-int,@2", "Set minimum integer [" + std::to_string(config.min_int) + "]",
            [&config](char const* text) {
                config.min_int = read_int_in(text, -int_bound, int_bound);
                return true;
            },
            false, "<i>");
        add.option(
            "max-int,@2", "Set maximum integer [" + std::to_string(config.max_int) + "]",
            [&config](char const* text) {
                config.max_int = read_int_in(text, -int_bound, int_bound);
                return true;
            },
            false, "<i>");
        add.flag("check-solution,@2", "Verify solutions [" + yes_no(config.check_solution) + "]",
                 config.check_solution);
        add.flag("check-state,@2", "Check state invariants [" + yes_no(config.check_state) + "]",
                 config.check_state);
    });
}

bool tarvex_validate_options(tarvex_theory_t* theory) {
    return Host::guard([&] {
        auto& handle = require_theory(theory);
        auto& config = handle.propagator.config();
        auto& pending = handle.pending_thread_options;
        // Settings for all threads take effect before thread-specific ones,
        // whatever their order on the command line.
        try {
            for (auto const& [key, value] : pending) {
                if (!key.second) {
                    apply_thread_option(config, key.first, key.second, value);
                }
            }
            for (auto const& [key, value] : pending) {
                if (key.second) {
                    apply_thread_option(config, key.first, key.second, value);
                }
            }
        } catch (...) {
            pending.clear();
            throw;
        }
        pending.clear();
        if (config.min_int > config.max_int) {
            throw std::runtime_error("min-int must be smaller than or equal to max-int");
        }
    });
}

bool tarvex_configure(tarvex_theory_t* theory, char const* key, char const* value) {
    return Host::guard([&] {
        auto& handle = require_theory(theory);
        if (key == nullptr || value == nullptr) {
            throw std::invalid_argument("invalid argument");
        }
        auto& config = handle.propagator.config();
        std::string_view name{key};
        std::string_view text{value};
        // Every field is written only once its whole value has been read.
        struct Flag {
            std::string_view name;
            bool* field;
        };
        for (auto const& flag : {Flag{"shift-constraints", &handle.shift_constraints},
                                 Flag{"sort-constraints", &config.sort_constraints},
                                 Flag{"literals-only", &config.literals_only},
                                 Flag{"add-order-clauses", &config.add_order_clauses},
                                 Flag{"check-solution", &config.check_solution},
                                 Flag{"check-state", &config.check_state}}) {
            if (name == flag.name) {
                *flag.field = read_bool(text);
                return;
            }
        }
        if (name == "translate-clauses") {
            auto limits = read_clause_limits(text);
            config.clause_limit = limits.limit;
            if (limits.total) {
                config.clause_limit_total = *limits.total;
            }
        } else if (name == "translate-pb") {
            config.weight_constraint_ratio = read_double_in(text);
        } else if (name == "translate-distinct") {
            config.distinct_limit = read_unsigned_in(text, 0, unsigned_max);
        } else if (name == "translate-opt") {
            config.minimize_limit = read_unsigned_in(text, 0, unsigned_max);
        } else if (name == "min-int") {
            config.min_int = read_int_in(text, -int_bound, int_bound);
        } else if (name == "max-int") {
            config.max_int = read_int_in(text, -int_bound, int_bound);
        } else if (name == "lower-bound-models") {
            config.lower_bound_models = read_lower_bound_models(text);
        } else if (name == "diff-cycles") {
            set_difference_graph(config, read_bool(text));
        } else if (name == "order-heuristic") {
            configure_thread(config, Target::heuristic, text, heuristic_value);
        } else if (name == "model-phases") {
            configure_thread(config, Target::model_phases, text, model_phases_value);
        } else if (name == "sign-value") {
            configure_thread(config, Target::sign_value, text, sign_value);
        } else if (name == "refine-reasons") {
            configure_thread(config, Target::refine_reasons, text, bool_value);
        } else if (name == "refine-introduce") {
            configure_thread(config, Target::refine_introduce, text, bool_value);
        } else if (name == "propagate-chain") {
            configure_thread(config, Target::propagate_chain, text, bool_value);
        } else if (name == "split-all") {
            configure_thread(config, Target::split_all, text, bool_value);
        } else if (name == "distinct-propagation") {
            configure_thread(config, Target::distinct_propagation, text, distinct_value);
        } else if (name == "disjoint-propagation") {
            configure_thread(config, Target::disjoint_propagation, text, disjoint_value);
        } else {
            // A misspelt key must not pass for a setting that took effect.
            throw std::runtime_error("unknown option: " + std::string{name});
        }
    });
}

bool tarvex_prepare(tarvex_theory_t* theory, gondra_control_t* control) {
    return Host::guard([&] {
        auto& handle = require_theory(theory);
        if (control == nullptr) {
            throw std::invalid_argument("invalid control");
        }
        gondra_configuration_t* configuration = nullptr;
        Host::check(gondra_control_configuration(control, &configuration));
        gondra_id_t root = 0;
        Host::check(gondra_configuration_root(configuration, &root));
        gondra_id_t solve = 0;
        Host::check(gondra_configuration_map_at(configuration, root, "solve", &solve));
        gondra_id_t models = 0;
        Host::check(gondra_configuration_map_at(configuration, solve, "models", &models));
        size_t size = 0;
        Host::check(gondra_configuration_value_get_size(configuration, models, &size));
        std::string value(size, '\0');
        Host::check(gondra_configuration_value_get(configuration, models, value.data(), size));
        // A non-empty objective asks for models until the optimum is proven,
        // unless the user chose the number of models.
        gondra_theory_atoms_t const* atoms_c = nullptr;
        Host::check(gondra_control_theory_atoms(control, &atoms_c));
        Host::TheoryAtoms atoms{atoms_c};
        bool objective = false;
        std::size_t count = atoms.size();
        for (std::size_t i = 0; i < count && !objective; ++i) {
            auto atom = static_cast<gondra_id_t>(i);
            TermRef name{atoms, atoms.atom_term(atom)};
            objective = (term_matches(name, "minimize", 0) || term_matches(name, "maximize", 0)) &&
                        !atoms.atom_elements(atom).empty();
        }
        bool unset = std::strcmp(value.c_str(), "-1") == 0;
        // Unset, the host looks for one model.
        handle.propagator.config().single_model_search =
            objective || unset || std::strcmp(value.c_str(), "1") == 0;
        if (unset && objective) {
            Host::check(gondra_configuration_value_set(configuration, models, "0"));
        }
    });
}

} // extern "C"
