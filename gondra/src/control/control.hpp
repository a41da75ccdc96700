#pragma once
// The control object: program parts, grounding, solving with start, model,
// statistics and finish events, registered propagators, configuration and
// statistics trees. One solver set lives as long as the control: every solve
// call translates what the ground program gained since the previous call, so
// atoms keep their literals, and propagators are initialised again with the
// theory atoms grounded since then.
#include "control/configuration.hpp"
#include "control/foreign_propagator.hpp"
#include "control/model.hpp"
#include "control/statistics.hpp"
#include "gondra.h"
#include "ground/ground_program.hpp"
#include "ground/grounder.hpp"
#include "ground/logger.hpp"
#include "ground/program_translator.hpp"
#include "ground/theory_atoms_view.hpp"
#include "input/parser.hpp"
#include "input/program.hpp"
#include "solve/solver_set.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace Gondra::Control {

// Receives solve events as the C interface describes them; false means the
// handler failed (it has set the error).
using EventHandler = std::function<bool(unsigned type, void* event, bool& goon)>;

class Control {
public:
    Control(std::span<char const* const> arguments, gondra_logger_t logger, void* logger_data,
            unsigned message_limit);
    ~Control();
    Control(Control const&) = delete;
    Control& operator=(Control const&) = delete;

    void add(std::string const& part, std::vector<std::string> const& parameters, std::string_view text);
    void load(std::string const& file);
    void ground(std::span<Ground::Part const> parts);
    // Returns the gondra_solve_result bits. Throws CApi::ClientError when an
    // application callback failed (its error is kept).
    unsigned solve(std::span<int32_t const> assumptions, EventHandler const& handler);
    void interrupt();
    // Whether the ground program has an objective of its own (#minimize,
    // #maximize, weak constraints); terms that propagators add are not counted.
    bool has_program_objective() const { return !ground_.minimize.empty(); }
    // The application enforces an objective of its own in the following calls.
    void declare_objective(bool declared) { application_objective_ = declared; }

    void register_propagator(gondra_propagator_t const& record, void* data, bool sequential);
    void assign_external(int32_t literal, int value);
    void release_external(int32_t literal);

    bool has_const(std::string const& name) const;
    Symbols::Symbol get_const(std::string const& name) const;

    Configuration& configuration() { return configuration_; }
    Statistics const& statistics() const { return accumulated_; }
    gondra_theory_atoms_t const* theory_atoms() const { return &theory_view_; }
    gondra_program_builder* program_builder() { return &builder_; }
    Ground::GroundProgram const& ground_program() const { return ground_; }

private:
    void parse(std::function<bool(Input::Parser&)> const& run, std::string const& part,
               std::vector<std::string> const& parameters);
    void update_statistics(Solve::SolveSummary const& summary, double solve_seconds, double total_seconds);
    void warn(gondra_warning_t code, std::string const& message);
    std::optional<Symbols::Symbol> program_constant(std::string const& name) const;
    // Whether the program declared the atom external (assignments to other
    // atoms have no effect).
    bool declared_external(Ground::Atom atom) const;

    Configuration configuration_;
    Statistics step_;
    Statistics accumulated_;
    Input::Program program_;
    gondra_program_builder builder_{program_};
    Ground::Logger logger_;
    Ground::Grounder grounder_;
    Ground::GroundProgram ground_;
    std::vector<std::pair<std::string, Symbols::Symbol>> constants_;
    gondra_theory_atoms theory_view_{};
    gondra_theory_atoms init_view_{}; // the atoms new to a solve call
    std::vector<std::unique_ptr<ForeignPropagator>> propagators_;
    size_t propagators_added_ = 0; // to the solver set
    Ground::ProgramTranslator translator_;
    Solve::SolverSet set_;

    gondra_logger_t log_callback_;
    void* log_data_;
    unsigned message_limit_;
    unsigned messages_ = 0;

    bool application_objective_ = false;
    bool solving_ = false;
    uint64_t steps_ = 0;
};

} // namespace Gondra::Control

// The handle of the C interface.
struct gondra_control {
    std::unique_ptr<Gondra::Control::Control> control;
};
