// The transport plug-in bound by name into the contract's table.
#pragma once

#include <transport/contract.h>

#include <string>

#include "platform/module.h"

namespace ostrel {

// Entries in lookup order. A name the plug-in lacks leaves its entry null.
using TransportTable = transport::FunctionTable;

// Looks every entry up in table order (the engine-only ones only for
// streaming type 2). Returns the name of the first required entry the module
// lacks, or an empty text when the table is usable.
std::string bindTransportTable(const platform::Module& module, int streamingType, TransportTable& table);

} // namespace ostrel
