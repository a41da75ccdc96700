// Publication of the theory's statistics into the host's trees.

#include "api/api_guard.hpp"
#include "host/host_error.hpp"
#include "tarvex.h"

#include <cstdint>

using namespace Tarvex;

extern "C" bool tarvex_on_statistics(tarvex_theory_t* theory, gondra_statistics_t* step,
                                     gondra_statistics_t* accu) {
    bool has_roots = false;
    bool ok = Host::guard([&] {
        require_theory(theory);
        uint64_t step_root = 0;
        uint64_t accu_root = 0;
        // Without roots the host has already set its error; keep it as it is.
        has_roots = gondra_statistics_root(step, &step_root) && gondra_statistics_root(accu, &accu_root);
        if (!has_roots) {
            return;
        }
        // Nothing is published yet.
    });
    return ok && has_roots;
}
