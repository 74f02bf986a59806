// What a replay session asks the camera on top of plain RTSP, as ONVIF's
// streaming specification words it: "Require: onvif-replay" on SETUP and
// PLAY, where to start ("Range: clock=...Z-", UTC on the camera's clock),
// "Rate-Control: no" (the camera sends as fast as we read; we pace the
// pictures ourselves by their own times), the speed as the camera takes it
// (Scale, or Speed for cameras that read that one), and "Frames: intra" for
// key pictures alone (fast forward, reverse).
#pragma once

#include "playback/camera_replay.h"

#include <cstdint>
#include <string>
#include <vector>

namespace playback {

struct ReplayRequest {
    int64_t fromMs = 0; // ms since 1970 on the camera's clock
    double speed = 1;   // negative: reverse (from fromMs back)
    bool intraOnly = false;
    int intraIntervalMs = 0; // at most one key picture this often; 0: every one
    RateHeader rateHeader = RateHeader::Scale;
};

enum class RtspStep { Setup, Play, Other };

struct HeaderLine {
    std::string name;
    std::string value;
    bool operator==(const HeaderLine&) const = default;
};

// The headers the step carries, in order. Any header of these names already
// on the request (GStreamer's RTSP source writes its own Range, Speed,
// Frames and Rate-Control from a seek) is taken off first.
std::vector<HeaderLine> replayHeaders(RtspStep step, const ReplayRequest& request);
// Every name replayHeaders() may write.
const std::vector<std::string>& replayHeaderNames();

// "clock=20261209T190100.250Z-" (no fraction on a whole second).
std::string clockRangeFrom(int64_t unixMs);

} // namespace playback
