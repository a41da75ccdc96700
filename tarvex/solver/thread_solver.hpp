#pragma once

// Everything one host solver thread needs to decide the integer constraints:
// variable bounds with their order literals, one state per constraint, the
// watches that wake states when bounds move, undo records per decision level
// and the propagation queue.

#include "constraints/abstract_constraint.hpp"
#include "constraints/abstract_constraint_state.hpp"
#include "core/integer_types.hpp"
#include "core/interval_set.hpp"
#include "core/theory_config.hpp"
#include "host/assignment.hpp"
#include "propagator/theory_stats.hpp"
#include "solver/abstract_clause_creator.hpp"
#include "solver/bound_trail.hpp"
#include "solver/difference_graph.hpp"
#include "solver/literal_entry.hpp"
#include "solver/literal_map.hpp"
#include "solver/value_literals.hpp"
#include "solver/variable_state.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Tarvex {

class InitClauseCreator;

class ThreadSolver {
public:
    struct Watch {
        value_t coefficient;
        AbstractConstraintState* state;
    };
    struct RemovedWatch {
        AbstractConstraintState* state;
        value_t coefficient;
        var_id var;
    };
    struct Level {
        level_t level;
        std::size_t bound_trail;
        std::size_t inactive;
        std::size_t removed_watches;
        std::size_t graph_trail;
    };

    ThreadSolver(ThreadConfig const& config, ThreadStats& stats);
    ThreadSolver(ThreadSolver const&) = delete;
    ThreadSolver& operator=(ThreadSolver const&) = delete;
    ThreadSolver(ThreadSolver&&) = default;
    ThreadSolver& operator=(ThreadSolver&&) = default;
    ~ThreadSolver();

    // ---- used by constraint states
    ThreadConfig const& config() const { return *config_; }
    ThreadStats& stats() { return *stats_; }
    VariableState& var_state(var_id var) { return var_states_[var]; }
    VariableState const& var_state(var_id var) const { return var_states_[var]; }
    std::size_t num_variables() const { return var_states_.size(); }
    // Scratch buffer for building clauses; contents meaningless between calls.
    std::vector<literal_t>& temp_reason() { return temp_reason_; }
    void add_var_watch(var_id var, value_t coefficient, AbstractConstraintState& state);
    // Erases the first equal watch, keeping the order of the others.
    void remove_var_watch(var_id var, value_t coefficient, AbstractConstraintState& state);
    // Switches a satisfied state off until the solver backtracks below the
    // current level.
    void mark_inactive(AbstractConstraintState& state);
    std::optional<wide_t> minimize_bound() const { return minimize_bound_; }
    DifferenceGraph& difference_graph() { return graph_; }
    DifferenceGraph const& difference_graph() const { return graph_; }
    bool objective_translated() const { return objective_translated_; }
    void set_objective_translated() { objective_translated_ = true; }

    // ---- order literals
    // The order literal of x <= v, created if needed.
    literal_t get_literal(AbstractClauseCreator& cc, VariableState& vs, value_t v);
    // As get_literal, but on level 0 with truth true (1) or false (any other
    // non-zero value) records a fact instead of creating a literal.
    literal_t update_literal(AbstractClauseCreator& cc, VariableState& vs, value_t v, int truth);
    // Makes lit the order literal of x <= v in the literal map and links it.
    void register_literal(VariableState& vs, value_t v, literal_t lit);
    // Points the stored neighbours of v at lit (0: v is being removed);
    // returns (prev, next) around v.
    std::pair<literal_t, literal_t> link_literal(VariableState& vs, literal_t lit, value_t v);
    LiteralEntry const& lookup_literal(literal_t lit) const;
    // A literal that holds exactly when x = v, made on first use from the
    // order literals of v - 1 and v with its three defining clauses; 0 when
    // the host refused one of them (the caller must stop).
    literal_t value_literal(AbstractClauseCreator& cc, VariableState& vs, value_t v);
    // Forgets the order literals created after the latest initialisation.
    void drop_search_literals();
    std::uint32_t init_literal_count() const { return init_literal_count_; }
    void set_init_literal_count(std::uint32_t count) { init_literal_count_ = count; }

    // ---- search
    // The host's propagate: literals that became true.
    bool propagate_changes(AbstractClauseCreator& cc, std::span<literal_t const> literals);
    // Propagates queued facts, bound changes and states until nothing is left.
    bool fixpoint(AbstractClauseCreator& cc, bool check_state);
    // On a total assignment: splits a domain, or verifies every active
    // constraint once all variables are assigned.
    void check_total(AbstractClauseCreator& cc, bool check_solution);
    // Undoes the newest decision level record.
    void undo();
    void update_minimize_bound(AbstractConstraint const& objective, level_t level, wide_t bound);
    literal_t decide(literal_t fallback) const;
    // The truth of every host atom on a total assignment that is a model, for
    // decide to follow while model phases are on.
    void save_model_phases(Host::Assignment assignment);
    bool has_model_phases() const { return !model_phases_.empty(); }

    // ---- initialisation
    var_id add_variable(value_t min, value_t max);
    bool add_dom(AbstractClauseCreator& cc, literal_t lit, var_id var, IntervalSet const& domain);
    bool add_simple(AbstractClauseCreator& cc, literal_t lit, value_t coefficient, var_id var, value_t rhs,
                    bool strict);
    AbstractConstraintState& add_constraint(AbstractConstraint const& constraint);
    void remove_constraint(AbstractConstraint const& constraint);
    bool simplify(AbstractClauseCreator& cc, bool check_state);
    bool import_bounds(AbstractClauseCreator& cc, ThreadSolver& other, bool check_state);
    bool translate(InitClauseCreator& cc, TheoryStats& stats, TheoryConfig const& config,
                   ConstraintList& constraints);
    void shrink();
    void copy_state(ThreadSolver const& master);

    // ---- inspection
    level_t current_level() const { return levels_.back().level; }
    std::size_t num_levels() const { return levels_.size(); }
    AbstractConstraintState* state_of(AbstractConstraint const& constraint) const;
    std::size_t num_states() const { return states_.size(); }
    std::vector<Watch> const& var_watches(var_id var) const { return var_watches_[var]; }
    std::vector<AbstractConstraintState*> const& todo() const { return todo_; }
    std::vector<AbstractConstraintState*> const& inactive() const { return inactive_; }
    std::vector<Fact> const& fact_queue() const { return fact_queue_; }
    std::uint32_t split_cursor() const { return split_cursor_; }
    void set_split_cursor(std::uint32_t cursor) { split_cursor_ = cursor; }
    level_t minimize_level() const { return minimize_level_; }
    BoundTrail const& bound_trail() const { return bound_trail_; }

private:
    LiteralEntry* find_entry(literal_t lit);
    void push_level(level_t level);
    void enqueue(AbstractConstraintState& state);
    bool propagate_literal(AbstractClauseCreator& cc, literal_t lit);
    bool update_bounds(AbstractClauseCreator& cc, literal_t lit);
    bool update_upper(AbstractClauseCreator& cc, VariableState& vs, literal_t antecedent, value_t v,
                      literal_t next);
    bool update_lower(AbstractClauseCreator& cc, VariableState& vs, literal_t antecedent, value_t v,
                      literal_t prev);
    void fix_literal(literal_t lit);
    // Puts the bound on the trail unless it was saved on the current level.
    void save_bound(VariableState& vs, bool upper);
    // Restores the bounds of one side saved from the trail index begin on.
    void undo_bounds(std::size_t begin, bool upper);
    void notify_watches(var_id var, value_t diff);
    void undo_level(Level const& level);
    literal_t split_literal(AbstractClauseCreator& cc, VariableState& vs);
    // Whether some variable is not fixed and the lower bounds satisfy every
    // constraint that is on.
    bool lower_bounds_are_model(Host::Assignment assignment);
    // Checks every constraint that is on against the lower bounds.
    void check_lower_bound_model(Host::Assignment assignment);

    ThreadConfig const* config_;
    ThreadStats* stats_;
    std::vector<VariableState> var_states_;
    std::vector<Level> levels_;
    LiteralMap literal_map_;
    std::vector<Fact> fact_queue_;
    std::unordered_map<AbstractConstraint const*, UniqueConstraintState> states_;
    std::vector<std::vector<Watch>> var_watches_;
    std::vector<value_t> upper_diff_;
    std::vector<var_id> upper_changed_;
    std::vector<value_t> lower_diff_;
    std::vector<var_id> lower_changed_;
    std::vector<AbstractConstraintState*> todo_;
    std::unordered_multimap<literal_t, AbstractConstraintState*> literal_states_;
    // A bit per literal (2 |lit| + sign) that may have states above: nearly
    // every literal the host delivers is an order literal with none, which
    // then skips the hash lookup.
    std::vector<bool> state_literals_;
    void add_literal_state(literal_t lit, AbstractConstraintState* state);
    bool may_have_states(literal_t lit) const {
        auto code = literal_code(lit);
        return code < state_literals_.size() && state_literals_[code];
    }
    static std::size_t literal_code(literal_t lit) {
        auto var = static_cast<std::size_t>(std::abs(static_cast<wide_t>(lit)));
        return 2 * var + (lit < 0 ? 1 : 0);
    }
    BoundTrail bound_trail_;
    std::vector<AbstractConstraintState*> inactive_;
    std::vector<RemovedWatch> removed_watches_;
    std::vector<literal_t> temp_reason_;
    ValueLiterals value_literals_;
    std::vector<AbstractConstraintState*> lower_bound_states_;
    DifferenceGraph graph_;
    // By host atom: 1 true, -1 false in the last model, 0 created after it.
    std::vector<std::int8_t> model_phases_;
    std::uint32_t split_cursor_ = 0;
    std::uint32_t trail_offset_ = 0;
    std::optional<wide_t> minimize_bound_;
    level_t minimize_level_ = 0;
    std::uint32_t init_literal_count_ = 0;
    bool objective_translated_ = false;
};

} // namespace Tarvex
