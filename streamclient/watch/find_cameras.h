// tavolin-watch --find: lists the ONVIF cameras that answer a discovery
// probe, one line each.
#pragma once

#include <cstdio>

namespace watch {

// Probes, waits windowMs for answers and prints them to `out`. 0 when at
// least one camera answered, 1 when none did.
int findCameras(std::FILE* out, int windowMs = 2000);

} // namespace watch
