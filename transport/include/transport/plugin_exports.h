// The contract's functions as C declarations with default visibility. A
// plug-in includes this before defining them, so a definition whose signature
// drifts from the contract does not compile; tests and benchmarks that link a
// plug-in's code call through the same declarations.
#pragma once

#include "transport/contract.h"

extern "C" {
#define TRANSPORT_DECLARE_EXPORT(name, slot, result, params, need)                                                     \
    __attribute__((visibility("default"))) name##_fn name;
TRANSPORT_CONTRACT_FUNCTIONS(TRANSPORT_DECLARE_EXPORT)
#undef TRANSPORT_DECLARE_EXPORT
}
