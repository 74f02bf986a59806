// The decoder plug-in: chosen by processor name, bound by name.
#pragma once

#include <cstdint>
#include <string>

#include <decoder/contract.h>

#include "platform/module.h"
#include "platform/processor.h"

namespace ostrel {

using DecoderTable = decoder::FunctionTable;

// Decoder type 1 serves processors whose name or core name contains "PXA";
// every other processor, and an unreadable one, gets type 2.
int chooseDecoderType(const platform::ProcessorInfo& info);

} // namespace ostrel
