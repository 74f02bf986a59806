// Where a playback view's pictures and timeline come from, behind a small
// interface: a camera's own recordings in the program, a fake in tests.
// check() and searchDay() block (they ask the camera) and run on the view's
// search thread; openPlayer() only starts a player and runs on the GUI thread;
// exportSpan() blocks and runs on the view's export thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <playback/clip_export.h>
#include <playback/player.h>

#include "tavolin/timeline_model.h"

namespace tavolin {

struct PlaybackOffer {
    bool offered = false;
    std::string reason; // why not, in one line
};

struct PlaybackDay {
    std::vector<TimelineSpan> recordings;
    std::vector<TimelineSpan> clips;
    std::vector<TimelineEvent> events;
    std::string incomplete; // why the search stopped short; empty when it did not
};

class PlaybackSource {
public:
    virtual ~PlaybackSource() = default;
    // Whether the camera replays its recordings.
    virtual PlaybackOffer check() = 0;
    // What was recorded in [fromMs, toMs).
    virtual PlaybackDay searchDay(int64_t fromMs, int64_t toMs) = 0;
    // Ends check() or searchDay() under way, from another thread.
    virtual void cancel() = 0;
    // A player showing the picture at startMs (after searchDay()): the
    // camera's recording, or the clip found there.
    virtual std::unique_ptr<playback::Player> openPlayer(int64_t startMs, SpanKind kind,
                                                         const playback::PlayerOutput& output, bool play) = 0;
    // Saves a span as a new file in the capture folder, named as a live
    // clip of the camera: from the clip found there (kind Clip) or the
    // camera's recording.
    virtual playback::ExportResult exportSpan(const playback::ExportSpan& span, SpanKind kind,
                                              const playback::ExportOptions& options) = 0;
};

} // namespace tavolin
