// What each RTSP transport plug-in adds to the shared exports: the instance
// M_XInit hands out.
#pragma once

#include "corvel/instance.h"

#include <memory>

namespace corvel {

// Defined once per plug-in; null when out of memory.
std::unique_ptr<Instance> makePluginInstance();

} // namespace corvel
