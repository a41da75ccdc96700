#include "solve/propagate_init.hpp"

#include "solve/solver.hpp"
#include "solve/solver_set.hpp"

#include <algorithm>

namespace Gondra::Solve {

namespace {

size_t literal_code(int32_t lit) {
    auto var = static_cast<size_t>(lit < 0 ? -static_cast<int64_t>(lit) : lit);
    return 2 * var + (lit < 0 ? 1 : 0);
}

// Marks lit as watched by all threads; false if it was already.
bool mark_watched(std::vector<bool>& watched, int32_t lit) {
    size_t code = literal_code(lit);
    if (code >= watched.size()) {
        watched.resize(std::max(code + 1, 2 * watched.size()), false);
    }
    if (watched[code]) {
        return false;
    }
    watched[code] = true;
    return true;
}

int64_t watch_key(int32_t lit, uint32_t thread) {
    return static_cast<int64_t>((static_cast<uint64_t>(thread) << 32) | static_cast<uint32_t>(lit));
}

} // namespace

PropagateInit::PropagateInit(SolverSet& set, Solver& master, uint32_t slot)
    : set_(set), master_(master), slot_(slot) {}

int32_t PropagateInit::solver_literal(int32_t program_literal) const {
    if (set_.mapper_) {
        return set_.mapper_(program_literal);
    }
    set_.problem_.check_literal(program_literal);
    return program_literal;
}

void PropagateInit::add_watch(int32_t lit) {
    set_.problem_.check_literal(lit);
    auto& reg = set_.propagators_[slot_];
    if (mark_watched(reg.watched, lit)) {
        reg.watches.push_back(lit);
    }
    master_.watch(slot_, lit);
}

void PropagateInit::add_watch_to_thread(int32_t lit, uint32_t thread_id) {
    set_.problem_.check_literal(lit);
    if (thread_id >= set_.threads_) {
        throw ProblemError("invalid thread id " + std::to_string(thread_id));
    }
    auto& reg = set_.propagators_[slot_];
    if (reg.thread_known.insert(watch_key(lit, thread_id)).second) {
        reg.thread_watches.emplace_back(thread_id, lit);
    }
    if (thread_id == 0) {
        master_.watch(slot_, lit);
    }
}

void PropagateInit::remove_watch(int32_t lit) {
    set_.problem_.check_literal(lit);
    auto& reg = set_.propagators_[slot_];
    if (size_t code = literal_code(lit); code < reg.watched.size() && reg.watched[code]) {
        reg.watched[code] = false;
        reg.watches.erase(std::remove(reg.watches.begin(), reg.watches.end(), lit), reg.watches.end());
    }
    std::erase_if(reg.thread_watches, [&](auto const& w) {
        if (w.second != lit) {
            return false;
        }
        reg.thread_known.erase(watch_key(lit, w.first));
        return true;
    });
    reg.removed.push_back(lit);
    master_.unwatch(slot_, lit);
}

void PropagateInit::freeze_literal(int32_t lit) const {
    // Nothing is eliminated by preprocessing, so every variable stays.
    set_.problem_.check_literal(lit);
}

void const* PropagateInit::theory_atoms() const {
    return set_.theory_atoms_;
}

uint32_t PropagateInit::number_of_threads() const {
    return set_.threads_;
}

void PropagateInit::set_check_mode(CheckMode mode) {
    set_.propagators_[slot_].mode = mode;
    master_.set_check_mode(slot_, mode);
}

CheckMode PropagateInit::check_mode() const {
    return set_.propagators_[slot_].mode;
}

bool PropagateInit::sync() {
    return master_.sync(set_.problem_);
}

int32_t PropagateInit::add_literal(bool) {
    int32_t lit = set_.problem_.add_propagator_variable();
    sync();
    return lit;
}

bool PropagateInit::add_clause(std::span<int32_t const> lits) {
    set_.problem_.add_clause(lits);
    return sync();
}

bool PropagateInit::add_weight_constraint(int32_t lit, std::span<WeightedLiteral const> lits, int64_t bound,
                                          WeightType type, bool compare_equal) {
    set_.problem_.add_weight_constraint(lit, lits, bound, type, compare_equal);
    return sync();
}

void PropagateInit::add_minimize(int32_t lit, int32_t weight, int32_t priority) {
    set_.problem_.add_minimize(lit, weight, priority);
    sync();
}

bool PropagateInit::propagate() {
    return master_.propagate_root();
}

} // namespace Gondra::Solve
