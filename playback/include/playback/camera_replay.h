// A camera's own recordings (an SD card's, offered over ONVIF's replay
// service) played through a Player: one RTSP replay session per recording,
// a new one where a seek or the end of a recording leads into another.
//
// Times here are on the CAMERA's clock, as its search service lists them;
// the player's times are on ours (clockOffsetMs apart).
#pragma once

#include "playback/player.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace playback {

// How a camera takes a playback speed: ONVIF's Scale, or RFC 2326's Speed,
// which some cameras read instead.
enum class RateHeader { Scale, Speed };

struct ReplayRecording {
    std::string token;
    int64_t fromMs = 0; // the camera's clock
    int64_t toMs = 0;   // the newest picture (a recording still growing grows past it)
};

struct CameraReplay {
    std::vector<ReplayRecording> recordings; // any order
    // The rtsp:// address a recording plays at (the replay service's
    // GetReplayUri), without credentials; nothing, with the reason in `why`,
    // when there is none. Called on the player's thread.
    std::function<std::optional<std::string>(const std::string& token, std::string& why)> replayUri;
    std::string user;
    std::string password;      // goes out by digest only
    int64_t clockOffsetMs = 0; // the camera's clock minus ours
    bool reverseOffered = false;
    RateHeader rateHeader = RateHeader::Scale;
    int deadlineMs = 10000; // for each set-up and answer
};

// A player showing the camera's picture at startMs (our clock), paused or
// playing. It fails (status and reason) when the camera refuses replay; the
// camera's live streams are never touched.
std::unique_ptr<Player> openCameraReplay(CameraReplay camera, const PlayerOutput& output, int64_t startMs,
                                         bool play = false);

} // namespace playback
