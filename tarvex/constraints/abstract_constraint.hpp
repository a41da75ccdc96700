#pragma once

// Immutable description of one requirement on integer variables. Every solver
// thread asks it for a mutable state of its own.

#include "core/integer_types.hpp"

#include <memory>
#include <new>
#include <vector>

namespace Tarvex {

class AbstractConstraintState;

class AbstractConstraint {
public:
    AbstractConstraint(AbstractConstraint const&) = delete;
    AbstractConstraint& operator=(AbstractConstraint const&) = delete;
    virtual ~AbstractConstraint() = default;

    // A fresh state for one solver thread.
    virtual std::unique_ptr<AbstractConstraintState> make_state() const = 0;
    // The literal that switches the constraint on.
    virtual literal_t constraint_literal() const = 0;

    // Variable-size constraints carry their elements in the same allocation,
    // so the size of the block is not that of the class: free it unsized.
    static void operator delete(void* ptr) noexcept { ::operator delete(ptr); }

protected:
    AbstractConstraint() = default;
};

using UniqueConstraint = std::unique_ptr<AbstractConstraint>;
using ConstraintList = std::vector<UniqueConstraint>;

namespace Detail {

// Raw storage for a header of type T followed by extra bytes; the header is
// constructed by the caller with placement new.
template <class T> void* allocate_with_tail(std::size_t tail_bytes) {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    return ::operator new(sizeof(T) + tail_bytes);
}

} // namespace Detail

} // namespace Tarvex
