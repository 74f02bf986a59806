// tavolin-watch on an ONVIF camera's own recordings (its SD card's): the
// list of recordings and events (--recordings), a span saved as a clip
// (--replay T --record FILE) and the picture recorded at a time (--replay T
// --snapshot FILE).
#pragma once

#include <csignal>
#include <cstdio>

#include "watch_options.h"

namespace watch {

// Runs what the options ask of the camera's recordings and prints the
// outcome, one line each. The exit code: 0 done, 1 the camera or the file
// failed (the reason printed), 3 the camera does not offer its recordings.
int runReplay(const Options& options, std::FILE* out, const volatile std::sig_atomic_t& interrupted);

} // namespace watch
