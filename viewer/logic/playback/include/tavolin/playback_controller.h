// What happens in a playback view, without widgets: the camera is checked
// and its day searched on a thread of the controller's own, the timeline
// filled from what was found, and a player (one at a time) driven by the
// view's clicks, drags, buttons and keys. Everything but the search and an
// export (each on a thread of the controller's own) runs on the GUI thread:
// the player's reports, the search's results and the export's progress come
// back through `post`, which runs a call there later (never at once).
//
// A camera that does not replay its recordings leaves every command greyed,
// with the reason; nothing here touches its live streams.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <playback/player.h>

#include "tavolin/playback_source.h"
#include "tavolin/timeline_model.h"

namespace tavolin {

enum class PlaybackAvailability { Checking, Searching, Ready, Unavailable };

// What an export saves, and from where.
struct ExportPlan {
    playback::ExportSpan span;
    SpanKind kind = SpanKind::Recording; // Clip: copied from the clip holding the span's start
    bool operator==(const ExportPlan& o) const {
        return span.fromMs == o.span.fromMs && span.toMs == o.span.toMs && kind == o.kind;
    }
};

class PlaybackController {
public:
    using Post = std::function<void(std::function<void()>)>;
    // How far Left/Right with Shift, and Left alone, move.
    static constexpr int64_t kJumpMs = 10'000;
    static constexpr int64_t kBackStepMs = 1'000;
    // What an export saves from the picture shown.
    static constexpr int64_t kExportMs = 60'000;

    // `output` is where the player draws (its callbacks are the
    // controller's). The day shown first holds startMs.
    PlaybackController(std::unique_ptr<PlaybackSource> source, Post post, playback::PlayerOutput output,
                       int64_t dayStartMs, int64_t dayLengthMs, int64_t startMs);
    // Ends the search and the player, waiting for both.
    ~PlaybackController();
    PlaybackController(const PlaybackController&) = delete;
    PlaybackController& operator=(const PlaybackController&) = delete;

    // Called on the GUI thread after anything shown changed.
    std::function<void()> changed;
    // Back to live: the view closes.
    std::function<void()> goLive;

    // Checks the camera and searches the day.
    void start();
    // Another day (the search starts again).
    void showDay(int64_t dayStartMs, int64_t dayLengthMs);

    PlaybackAvailability availability() const { return availability_; }
    // Why playback is not offered, or why the search stopped short.
    const std::string& reason() const { return reason_; }
    bool commandsEnabled() const { return availability_ == PlaybackAvailability::Ready; }
    TimelineModel& timeline() { return timeline_; }
    const TimelineModel& timeline() const { return timeline_; }
    const playback::PlayerStatus& status() const { return status_; }
    // The time of the picture shown, else of the one asked for.
    int64_t playheadMs() const;
    // The picture shown's own time as its source stamped it; kNoTime before one.
    int64_t pictureSourceTimeMs() const { return picture_.sourceTimeMs; }
    bool playing() const { return playWanted_; }
    double speed() const { return status_.speed; }
    bool speedOffered(double speed) const;

    // A click on the timeline, or a jump.
    void seek(int64_t timeMs);
    // A drag: seeks follow the pointer, one at a time (the next once the
    // player shows the last one's picture).
    void scrubTo(int64_t timeMs);
    void play();
    void pause();
    void togglePlay();
    // Right: the next picture (pausing).
    void stepForward();
    // Left: a second back (the player steps forward only).
    void stepBack();
    void jump(int64_t deltaMs);
    bool setSpeed(double speed);
    // To the event before or after the picture shown; false with none.
    bool previousEvent();
    bool nextEvent();
    void backToLive();

    // The minute from the picture shown: from the clip there when the clip
    // holds all of it, or when the camera recorded nothing there (then up to
    // the clip's end); else from the camera's recording.
    ExportPlan exportPlan() const;
    // Saves exportPlan() on the export thread; false while one runs or
    // nothing plays. Closing the view cancels it.
    bool exportMinute();
    bool exporting() const { return exporting_; }
    // How the last export goes or went, in one line; empty before one.
    const std::string& exportMessage() const { return exportMessage_; }

private:
    struct Alive {};
    void runSearch();
    void finishSearch();
    void finishExport();
    void onExported(const ExportPlan& plan, const playback::ExportResult& result);
    void onOffer(PlaybackOffer offer);
    void onDay(PlaybackDay day);
    void onStatus(const playback::PlayerStatus& status);
    void onPicture(const playback::PictureShown& picture);
    void openPlayerAt(int64_t timeMs, bool play);
    void issueSeek(int64_t timeMs);
    // What plays a time: the camera's recording there, else a clip there,
    // else the camera (which shows what it has next).
    SpanKind kindAt(int64_t timeMs) const;
    void notify();

    std::unique_ptr<PlaybackSource> source_;
    Post post_;
    playback::PlayerOutput output_;
    TimelineModel timeline_;
    PlaybackAvailability availability_ = PlaybackAvailability::Checking;
    std::string reason_;
    bool checked_ = false; // the camera said it replays (check() once per view)
    int64_t startMs_;
    int searchId_ = 0;
    int playerGeneration_ = 0;
    SpanKind playerKind_ = SpanKind::Recording;
    std::optional<std::size_t> playerClip_; // the clip span the player plays
    playback::PlayerStatus status_;
    playback::PictureShown picture_;
    bool playWanted_ = false;
    double speedWanted_ = 1;
    std::optional<int64_t> pendingScrub_;
    bool seekInFlight_ = false;
    // Last: the posted calls see it gone once the controller is.
    std::shared_ptr<Alive> alive_ = std::make_shared<Alive>();
    std::unique_ptr<playback::Player> player_;
    bool exporting_ = false;
    std::string exportMessage_;
    std::atomic<bool> exportCancel_{false};
    std::jthread search_;
    std::jthread export_;
};

} // namespace tavolin
