// tavolin-watch's pointing: measures a PTZ camera's moves from its picture
// and turns it onto a point or into a box, printing what happened.
#pragma once

#include <ostrel/stream_client.h>

#include <cstdio>
#include <string>

#include "watch_options.h"

namespace watch {

// The PTZ protocol file pointing drives the camera with: the one given, or
// ONVIF.ptz beside the program (then the installed one) for ONVIF cameras.
std::string pointingProtocolFile(const Options& options);

// Runs --calibrate, --centre and --zoom-box on a connected stream. Returns
// the exit code: 0 done, 4 when the camera could not be moved or measured.
int runPointing(OstrelInterface* handle, const Options& options, std::FILE* out);

} // namespace watch
