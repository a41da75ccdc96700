#pragma once
// Solver literals: the outside world numbers variables from 1 and negates
// literals arithmetically; inside, a literal is the dense code 2*var + sign so
// that per-literal tables are plain arrays.
#include <cstdint>

namespace Gondra::Solve {

using Lit = uint32_t;
using Var = uint32_t;

inline constexpr Lit lit_undef = 0;

inline Lit to_lit(int32_t external) {
    return external > 0 ? (static_cast<uint32_t>(external) << 1)
                        : ((static_cast<uint32_t>(-static_cast<int64_t>(external)) << 1) | 1u);
}
inline int32_t to_external(Lit lit) {
    auto v = static_cast<int32_t>(lit >> 1);
    return (lit & 1u) != 0 ? -v : v;
}
inline Var var_of(Lit lit) {
    return lit >> 1;
}
inline Lit negate(Lit lit) {
    return lit ^ 1u;
}
inline Lit make_lit(Var var, bool negative) {
    return (var << 1) | (negative ? 1u : 0u);
}

} // namespace Gondra::Solve
