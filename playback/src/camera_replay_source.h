// A camera's recordings as one source: the recording holding the time asked
// for (or the next one after it) plays in a replay session of its own; at
// its end the next recording follows, after a gap when they do not meet.
// Times are moved between the camera's clock and ours here.
#pragma once

#include "media_source.h"
#include "playback/camera_replay.h"
#include "replay_session.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace playback {

class CameraReplaySource final : public MediaSource {
public:
    explicit CameraReplaySource(CameraReplay camera);
    ~CameraReplaySource() override;

    bool reverseOffered() const override { return camera_.reverseOffered; }
    Started start(const SourceStart& start) override;
    Fetched next(AccessUnit& unit, int timeoutMs) override;
    void interrupt() override;
    std::string reason() const override;

    // The recording to play for a time on the camera's clock: the one
    // holding it, else the next one after it (backwards: before it);
    // nothing when there is none. `recordings` sorted by start.
    static std::optional<std::size_t> recordingFor(const std::vector<ReplayRecording>& recordings, int64_t cameraMs,
                                                   bool backwards);

private:
    // Makes the session of recording `index` current.
    bool openSession(std::size_t index);
    Started play(int64_t cameraMs);
    void setReason(const std::string& why);

    CameraReplay camera_;
    SourceStart start_;
    std::optional<std::size_t> playing_; // the recording of the current session
    bool nothingMore_ = false;           // the last start found no recording
    bool followPending_ = false;         // the recording ended; the next one follows

    mutable std::mutex mutex_; // session_ (for interrupt()), reason_
    std::unique_ptr<ReplaySession> session_;
    std::string reason_;
    std::atomic<bool> interrupted_{false};
};

} // namespace playback
