// The decoder contract's functions as C declarations with default
// visibility; a decoder plug-in includes this before defining them, so a
// definition that drifts from the contract does not compile.
#pragma once

#include "decoder/contract.h"

extern "C" {
#define DECODER_DECLARE_EXPORT(name, slot, result, params, need) __attribute__((visibility("default"))) name##_fn name;
DECODER_CONTRACT_FUNCTIONS(DECODER_DECLARE_EXPORT)
#undef DECODER_DECLARE_EXPORT
}
