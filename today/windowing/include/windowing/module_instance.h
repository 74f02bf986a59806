// Which loaded module (program or shared library) holds an address: the
// module instance a library passes to the window system, and its file.
#pragma once

#include <string>

#include "windowing/drawing.h"
#include "windowing/window.h"

namespace windowing {

// The instance of the module holding `address` (its load address); null when
// the address belongs to no loaded module.
TAVOLIN_WINDOWING_API ModuleInstance moduleInstanceOf(const void* address);
// The file the module holding `address` was loaded from; empty when unknown.
TAVOLIN_WINDOWING_API std::string moduleFileOf(const void* address);

} // namespace windowing
