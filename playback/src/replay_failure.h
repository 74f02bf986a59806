// Why a replay session failed, in one line for the person who asked: from
// what GStreamer's RTSP source reported (its error's kind and its debug
// text, which holds the camera's status as "Error (551): ...").
#pragma once

#include <optional>
#include <string>

namespace playback {

struct SourceError {
    enum class Kind { Other, NotAuthorized, NotFound, Timeout };
    Kind kind = Kind::Other;
    std::string message; // GStreamer's
    std::string debug;   // GStreamer's debug text, where the status hides
};

// The camera's RTSP status in a debug text; nothing when none is named.
std::optional<int> rtspStatusIn(const std::string& debug);

// One line naming what went wrong; `deadlineMs` is the wait that ran out.
std::string replayFailure(const SourceError& error, int deadlineMs);

} // namespace playback
