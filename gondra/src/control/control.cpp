#include "control/control.hpp"

#include "capi/api_guard.hpp"
#include "control/options.hpp"
#include "input/messages.hpp"
#include "input/parser.hpp"

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <stdexcept>

namespace Gondra::Control {

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The value of a constant definition; only terms without variables and
// arithmetic have one before grounding.
Symbols::Symbol constant_value(Input::Node const& node) {
    using Input::AstType;
    using Input::Attribute;
    switch (node.type()) {
    case AstType::SymbolicTerm:
        return node.symbol(Attribute::Symbol);
    case AstType::Function: {
        std::vector<Symbols::Symbol> args;
        for (auto const& arg : node.nodes(Attribute::Arguments)) {
            args.push_back(constant_value(*arg));
        }
        std::string_view name = node.string(Attribute::Name);
        return name.empty() ? Symbols::Symbol::create_tuple(args)
                            : Symbols::Symbol::create_function(name, args);
    }
    case AstType::UnaryOperation: {
        auto arg = constant_value(*node.node(Attribute::Argument));
        if (node.number(Attribute::OperatorType) == static_cast<int>(Input::UnaryOperator::Minus)) {
            if (arg.type() == Symbols::SymbolType::Number && arg.number() != INT32_MIN) {
                return Symbols::Symbol::create_number(-arg.number());
            }
            if (arg.type() == Symbols::SymbolType::Function && arg.name()[0] != '\0') {
                return arg.flip_sign();
            }
        }
        break;
    }
    default:
        break;
    }
    throw std::runtime_error(Input::format_location(node.location()) +
                             ": error: the value of a constant must be a ground term without arithmetic");
}

} // namespace

Control::Control(std::span<char const* const> arguments, gondra_logger_t logger, void* logger_data,
                 unsigned message_limit)
    : logger_([this](Ground::Diagnostic const& d) {
          if (d.severity != Ground::Severity::error) {
              warn(gondra_warning_other, d.format());
          }
      }),
      grounder_(logger_), log_callback_(logger), log_data_(logger_data), message_limit_(message_limit) {
    std::vector<std::string> constants;
    parse_control_arguments(arguments, configuration_, constants);
    for (auto const& text : constants) {
        auto eq = text.find('=');
        if (eq == std::string::npos || eq == 0) {
            throw std::runtime_error("invalid constant '" + text + "': name=term expected");
        }
        std::string name = text.substr(0, eq);
        Input::Messages messages;
        auto statements = Input::parse_statements("#const " + name + " = " + text.substr(eq + 1) + ".",
                                                  messages, "<constant>");
        if (!messages.empty() || statements.size() != 1 ||
            statements[0]->type() != Input::AstType::Definition) {
            throw std::runtime_error("invalid constant '" + text + "'" +
                                     (messages.empty() ? std::string() : ": " + messages.text()));
        }
        constants_.emplace_back(name, constant_value(*statements[0]->node(Input::Attribute::Value)));
    }
    theory_view_.data = &ground_.theory;
    init_view_.data = &ground_.theory;
    set_.set_theory_atoms(&init_view_);
}

Control::~Control() = default;

void Control::warn(gondra_warning_t code, std::string const& message) {
    if (log_callback_ != nullptr && messages_ < message_limit_) {
        ++messages_;
        log_callback_(code, message.c_str(), log_data_);
    }
}

void Control::parse(std::function<bool(Input::Parser&)> const& run, std::string const& part,
                    std::vector<std::string> const& parameters) {
    if (solving_) {
        throw std::logic_error("cannot add to the program while solving");
    }
    if (!part.empty()) {
        Input::NodeArray params;
        for (auto const& p : parameters) {
            params.push_back(Input::make_id(Input::Location{}, p));
        }
        program_.add(Input::make_node(Input::AstType::Program,
                                      {Input::Location{}, Input::intern(part), std::move(params)}));
    }
    Input::Messages messages;
    std::vector<Input::NodePtr> statements;
    Input::Parser parser(messages, [&](Input::NodePtr const& statement) {
        statements.push_back(statement);
        return true;
    });
    bool ok = run(parser);
    if (!ok || !messages.empty()) {
        throw std::runtime_error(messages.empty() ? std::string("parsing failed") : messages.text());
    }
    // All statements or none: a failing file leaves the program as it was.
    for (auto const& statement : statements) {
        program_.add(statement);
    }
}

void Control::add(std::string const& part, std::vector<std::string> const& parameters,
                  std::string_view text) {
    parse([&](Input::Parser& parser) { return parser.parse_string(text, "<string>"); },
          part.empty() ? "base" : part, parameters);
}

void Control::load(std::string const& file) {
    parse([&](Input::Parser& parser) { return parser.parse_file(file); }, "base", {});
}

void Control::ground(std::span<Ground::Part const> parts) {
    if (solving_) {
        throw std::logic_error("cannot ground while solving");
    }
    Ground::GroundOptions options;
    options.constants = constants_;
    grounder_.ground(program_, parts, options, ground_);
}

void Control::register_propagator(gondra_propagator_t const& record, void* data, bool sequential) {
    if (solving_) {
        throw std::logic_error("cannot register a propagator while solving");
    }
    propagators_.push_back(std::make_unique<ForeignPropagator>(record, data, sequential));
}

void Control::assign_external(int32_t literal, int value) {
    if (literal == 0 || (literal < 0 ? -int64_t{literal} : int64_t{literal}) > ground_.num_atoms()) {
        throw std::invalid_argument("invalid external literal " + std::to_string(literal));
    }
    if (value < -1 || value > 1) {
        throw std::invalid_argument("invalid truth value " + std::to_string(value));
    }
    if (literal < 0) {
        value = -value;
    }
    auto atom = static_cast<Ground::Atom>(literal < 0 ? -literal : literal);
    if (!declared_external(atom)) {
        return;
    }
    ground_.add_external(atom, value == 0  ? Ground::ExternalValue::free
                               : value > 0 ? Ground::ExternalValue::truth
                                           : Ground::ExternalValue::falsity);
}

void Control::release_external(int32_t literal) {
    if (literal == 0 || (literal < 0 ? -int64_t{literal} : int64_t{literal}) > ground_.num_atoms()) {
        throw std::invalid_argument("invalid external literal " + std::to_string(literal));
    }
    auto atom = static_cast<Ground::Atom>(literal < 0 ? -literal : literal);
    if (declared_external(atom)) {
        ground_.add_external(atom, Ground::ExternalValue::release);
    }
}

bool Control::declared_external(Ground::Atom atom) const {
    return std::any_of(ground_.externals.begin(), ground_.externals.end(),
                       [atom](Ground::External const& e) { return e.atom == atom; });
}

std::optional<Symbols::Symbol> Control::program_constant(std::string const& name) const {
    for (auto it = constants_.rbegin(); it != constants_.rend(); ++it) {
        if (it->first == name) {
            return it->second;
        }
    }
    for (auto const& part : program_.parts()) {
        for (auto const& statement : part.statements) {
            if (statement->type() == Input::AstType::Definition &&
                name == statement->string(Input::Attribute::Name)) {
                return constant_value(*statement->node(Input::Attribute::Value));
            }
        }
    }
    return std::nullopt;
}

bool Control::has_const(std::string const& name) const {
    for (auto const& [n, v] : constants_) {
        if (n == name) {
            return true;
        }
    }
    for (auto const& part : program_.parts()) {
        for (auto const& statement : part.statements) {
            if (statement->type() == Input::AstType::Definition &&
                name == statement->string(Input::Attribute::Name)) {
                return true;
            }
        }
    }
    return false;
}

Symbols::Symbol Control::get_const(std::string const& name) const {
    auto value = program_constant(name);
    if (!value) {
        throw std::runtime_error("constant '" + name + "' is not defined");
    }
    return *value;
}

void Control::interrupt() {
    // A request outside a call stops the next one.
    set_.interrupt();
}

unsigned Control::solve(std::span<int32_t const> assumptions, EventHandler const& handler) {
    if (solving_) {
        throw std::logic_error("solve called while solving");
    }
    auto start = Clock::now();
    solving_ = true;
    struct Reset {
        Control& c;
        ~Reset() { c.solving_ = false; }
    } reset{*this};

    try {
        translator_.translate(ground_, set_);
    } catch (Ground::TranslateError const& e) {
        throw std::runtime_error(e.what());
    }
    for (; propagators_added_ < propagators_.size(); ++propagators_added_) {
        set_.add_propagator(propagators_[propagators_added_].get());
    }

    Solve::SolveOptions options;
    options.threads = static_cast<uint32_t>(configuration_.get_integer("solve.threads"));
    options.models = configuration_.get_integer("solve.models");
    options.time_limit = configuration_.get_double("solve.time_limit");
    options.seed = static_cast<uint64_t>(configuration_.get_integer("solver.seed"));
    options.propagator_phase = configuration_.get("solver.propagator_phase") == "saved"
                                   ? Solve::PropagatorPhase::saved
                                   : Solve::PropagatorPhase::initial;
    options.application_objective = application_objective_;
    std::string objective_model = configuration_.get("solver.objective_model");
    options.restart_on_model = objective_model != "walk";
    options.block_on_restart = objective_model == "restart-block";
    options.drop_propagator_reasons = configuration_.get("solver.propagator_reasons") == "drop";
    std::vector<int32_t> wanted;
    for (int32_t lit : assumptions) {
        wanted.push_back(translator_.solver_literal(lit));
    }
    translator_.external_assumptions(wanted);
    // A false one (-1) still runs the call, so that propagators see its atoms.
    for (int32_t s : wanted) {
        if (s != 1) {
            options.assumptions.push_back(s);
        }
    }

    bool client_failed = false;
    auto report = [&](Solve::Model const& found, bool proven, uint64_t number) {
        if (!handler) {
            return true;
        }
        Model model(found, translator_, ground_, proven, number);
        gondra_model handle{&model};
        bool goon = true;
        if (!handler(gondra_solve_event_type_model, &handle, goon)) {
            client_failed = true;
            return false;
        }
        return goon;
    };
    bool search = true;
    auto started = [&] {
        if (!handler) {
            return true;
        }
        if (!handler(gondra_solve_event_type_start, nullptr, search)) {
            client_failed = true;
            return false;
        }
        return search;
    };
    Solve::SolveSummary summary;
    auto solve_start = Clock::now();
    summary = set_.solve(
        options, [&](Solve::Model const& found) { return report(found, false, found.number()); }, started);
    // The next call's propagators see the theory atoms grounded from now on.
    init_view_.first_atom = static_cast<uint32_t>(ground_.theory.atoms.size());
    double solve_seconds = seconds_since(solve_start);
    if (client_failed) {
        throw CApi::ClientError{};
    }
    if (summary.status == Solve::SolveStatus::error) {
        gondra_set_error(static_cast<gondra_error_t>(summary.failure.code), summary.failure.message.c_str());
        throw CApi::ClientError{};
    }
    ++steps_;
    update_statistics(summary, solve_seconds, seconds_since(start));
    // Search problem sizes of this step.
    step_.set("problem.atoms", ground_.num_atoms());
    step_.set("problem.rules", static_cast<double>(ground_.rules.size()));
    step_.set("problem.bodies", translator_.num_bodies());
    step_.set("problem.loop_atoms", translator_.num_loop_atoms());
    accumulated_.set("problem.atoms", ground_.num_atoms());
    accumulated_.set("problem.rules", static_cast<double>(ground_.rules.size()));
    accumulated_.set("problem.bodies", translator_.num_bodies());
    accumulated_.set("problem.loop_atoms", translator_.num_loop_atoms());

    unsigned result = 0;
    if (summary.models > 0) {
        result |= gondra_solve_result_satisfiable;
    } else if (summary.status == Solve::SolveStatus::unsatisfiable) {
        result |= gondra_solve_result_unsatisfiable;
    }
    if (summary.exhausted) {
        result |= gondra_solve_result_exhausted;
    }
    if (summary.interrupted) {
        result |= gondra_solve_result_interrupted;
    }
    if (handler) {
        bool goon = true;
        gondra_statistics_t* trees[2] = {step_.to_c(), accumulated_.to_c()};
        if (!handler(gondra_solve_event_type_statistics, trees, goon)) {
            throw CApi::ClientError{};
        }
        if (!handler(gondra_solve_event_type_finish, &result, goon)) {
            throw CApi::ClientError{};
        }
    }
    return result;
}

void Control::update_statistics(Solve::SolveSummary const& summary, double solve_seconds,
                                double total_seconds) {
    auto const& s = summary.statistics;
    auto fill = [&](Statistics& tree, bool add) {
        auto put = [&](std::string_view path, double value) {
            double old = 0;
            if (add) {
                try {
                    old = tree.get(path);
                } catch (std::exception const&) {
                    old = 0;
                }
            }
            tree.set(path, old + value);
        };
        put("summary.times.total", total_seconds);
        put("summary.times.solve", solve_seconds);
        put("summary.models.enumerated", static_cast<double>(summary.models));
        // An objective that the application enforces itself is optimal, as the
        // program's own, once the search is exhausted after a model.
        bool optimal = summary.status == Solve::SolveStatus::optimum ||
                       (application_objective_ && summary.exhausted && summary.models > 0);
        put("summary.models.optimal", optimal ? 1.0 : 0.0);
        put("summary.call", add ? 1.0 : static_cast<double>(steps_));
        put("solving.solvers.choices", static_cast<double>(s.choices));
        put("solving.solvers.conflicts", static_cast<double>(s.conflicts));
        put("solving.solvers.restarts", static_cast<double>(s.restarts));
        put("solving.solvers.propagations", static_cast<double>(s.propagations));
        put("solving.solvers.learnt_clauses", static_cast<double>(s.learnt_clauses));
        tree.set("problem.variables", static_cast<double>(s.variables));
        tree.set("problem.clauses", static_cast<double>(s.clauses));
        tree.set("problem.binary_clauses", static_cast<double>(s.binary_clauses));
        tree.set("problem.weight_constraints", static_cast<double>(s.weight_constraints));
        if (!summary.best_cost.empty()) {
            auto costs =
                tree.map_add_subkey(tree.map_add_subkey(tree.root(), "summary", Statistics::Type::Map),
                                    "costs", Statistics::Type::Array);
            if (tree.array_size(costs) == 0) {
                for (auto c : summary.best_cost) {
                    tree.value_set(tree.array_push(costs, Statistics::Type::Value), static_cast<double>(c));
                }
            }
        }
    };
    step_.clear();
    fill(step_, false);
    fill(accumulated_, true);
}

} // namespace Gondra::Control
