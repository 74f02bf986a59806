// Where a player's coded pictures come from: a camera's replay session or a
// clip file, each able to start again anywhere. A source hands out access
// units (one coded picture each) with the picture's own time; the player
// decodes, lands and paces them.
#pragma once

#include "playback/player.h"

#include <decoder/contract.h>

#include <cstdint>
#include <string>
#include <vector>

namespace playback {

struct AccessUnit {
    int64_t timeMs = kNoTime;       // the picture's time on our clock
    int64_t sourceTimeMs = kNoTime; // as the source stamped it
    bool key = false;               // a decoder may start here
    // Not continuous with the unit before: the first after a start, or
    // after a gap in the recording.
    bool discontinuity = false;
    bool last = false; // nothing follows it
    DecoderCodec codec = kDecoderCodecH264;
    std::vector<uint8_t> data; // Annex-B (H.264, H.265) or a JPEG picture
};

struct SourceStart {
    int64_t fromMs = 0; // our clock
    double speed = 1;   // negative: reverse
    bool intraOnly = false;
};

enum class Started {
    Yes,         // units of this start follow, none of an earlier one
    Interrupted, // interrupt() was called; nothing changed for sure
    Failed,      // reason() says why
};

enum class Fetched {
    Unit,    // the next unit of the latest start
    Nothing, // none within the time, or interrupt() was called
    End,     // nothing more after the last unit
    Failed,  // reason() says why
};

class MediaSource {
public:
    virtual ~MediaSource() = default;

    // Whether the source can play backwards (key pictures only).
    virtual bool reverseOffered() const = 0;
    // Starts at the key picture at or before fromMs (after a gap, the first
    // picture after it; backwards, at or after). May wait for the source.
    virtual Started start(const SourceStart& start) = 0;
    virtual Fetched next(AccessUnit& unit, int timeoutMs) = 0;
    // From any thread: the wait of a start() or next() under way, or of the
    // next one to begin, ends at once.
    virtual void interrupt() = 0;
    // Why the source failed or ended, in one line.
    virtual std::string reason() const = 0;
};

} // namespace playback
