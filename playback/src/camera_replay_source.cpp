#include "camera_replay_source.h"

#include "paced_player.h"

#include <corvel/camera_url.h>

#include <algorithm>

namespace playback {

CameraReplaySource::CameraReplaySource(CameraReplay camera) : camera_(std::move(camera)) {
    std::sort(camera_.recordings.begin(), camera_.recordings.end(),
              [](const ReplayRecording& a, const ReplayRecording& b) { return a.fromMs < b.fromMs; });
}

CameraReplaySource::~CameraReplaySource() {
    std::unique_ptr<ReplaySession> ending;
    {
        std::lock_guard lock(mutex_);
        ending = std::move(session_);
    }
}

std::optional<std::size_t> CameraReplaySource::recordingFor(const std::vector<ReplayRecording>& recordings,
                                                            int64_t cameraMs, bool backwards) {
    if (recordings.empty()) return std::nullopt;
    if (backwards) {
        for (std::size_t i = recordings.size(); i-- > 0;) {
            if (recordings[i].fromMs <= cameraMs) return i;
        }
        return std::nullopt;
    }
    for (std::size_t i = 0; i < recordings.size(); ++i) {
        const bool newest = i + 1 == recordings.size();
        // The newest recording may still grow past what the search said.
        if (cameraMs < recordings[i].fromMs || cameraMs < recordings[i].toMs || newest) return i;
    }
    return std::nullopt;
}

void CameraReplaySource::setReason(const std::string& why) {
    std::lock_guard lock(mutex_);
    reason_ = why;
}

bool CameraReplaySource::openSession(std::size_t index) {
    const ReplayRecording& r = camera_.recordings[index];
    std::string why;
    const std::optional<std::string> uri =
        camera_.replayUri ? camera_.replayUri(r.token, why) : std::optional<std::string>();
    if (!uri) {
        setReason(why.empty() ? "the camera gives no replay address for recording " + r.token : why);
        return false;
    }
    // The host passes the loopback guard before anything is sent; a path
    // the camera wrote keeps every '@' it holds.
    const corvel::CameraUrl where = corvel::buildCameraUrl(*uri, 0, {}, "/etc/hosts", corvel::UserInfoEnd::BeforePath);
    if (!where.ok) {
        setReason(where.reason);
        return false;
    }
    ReplaySessionTarget target;
    target.url = where.url;
    target.user = camera_.user;
    target.password = camera_.password;
    target.deadlineMs = camera_.deadlineMs;
    auto session = std::make_unique<ReplaySession>(std::move(target));
    std::unique_ptr<ReplaySession> ending;
    {
        std::lock_guard lock(mutex_);
        ending = std::move(session_);
        session_ = std::move(session);
    }
    playing_ = index;
    return true;
}

Started CameraReplaySource::play(int64_t cameraMs) {
    ReplayRequest request;
    request.fromMs = cameraMs;
    request.speed = start_.speed;
    request.intraOnly = start_.intraOnly;
    request.rateHeader = camera_.rateHeader;
    const Started started = session_->play(request);
    if (started == Started::Failed) setReason(session_->reason());
    return started;
}

Started CameraReplaySource::start(const SourceStart& start) {
    if (interrupted_.exchange(false)) return Started::Interrupted;
    start_ = start;
    followPending_ = false;
    const int64_t cameraMs = start.fromMs + camera_.clockOffsetMs;
    const std::optional<std::size_t> index = recordingFor(camera_.recordings, cameraMs, start.speed < 0);
    nothingMore_ = !index;
    if (!index) {
        setReason(camera_.recordings.empty() ? "the camera holds no recordings"
                                             : "the camera recorded nothing after the time asked for");
        return Started::Yes;
    }
    if (!session_ || playing_ != index || session_->failed()) {
        if (!openSession(*index)) return Started::Failed;
    }
    return play(std::max(cameraMs, camera_.recordings[*index].fromMs));
}

Fetched CameraReplaySource::next(AccessUnit& unit, int timeoutMs) {
    if (nothingMore_) return Fetched::End;
    if (!session_) return Fetched::Nothing;
    if (followPending_) {
        followPending_ = false;
        const std::size_t following = *playing_ + 1;
        if (!openSession(following)) return Fetched::Failed;
        const Started s = play(camera_.recordings[following].fromMs);
        if (s == Started::Failed) return Fetched::Failed;
        if (s == Started::Interrupted) followPending_ = true; // the session stays; its answer is awaited again
        return Fetched::Nothing;
    }
    const Fetched got = session_->next(unit, timeoutMs);
    if (got == Fetched::Failed) setReason(session_->reason());
    if (got == Fetched::End) setReason("the camera recorded nothing after this picture");
    if (got != Fetched::Unit) return got;
    unit.sourceTimeMs = unit.timeMs;
    unit.timeMs -= camera_.clockOffsetMs;
    // At the end of a recording the next one, if any, takes over.
    const bool forward = start_.speed > 0;
    if (unit.last && forward && *playing_ + 1 < camera_.recordings.size()) {
        unit.last = false;
        followPending_ = true;
    }
    return Fetched::Unit;
}

void CameraReplaySource::interrupt() {
    interrupted_.store(true);
    std::lock_guard lock(mutex_);
    if (session_) session_->interrupt();
}

std::string CameraReplaySource::reason() const {
    std::lock_guard lock(mutex_);
    return reason_;
}

std::unique_ptr<Player> openCameraReplay(CameraReplay camera, const PlayerOutput& output, int64_t startMs, bool play) {
    PacedPlayer::Settings settings;
    settings.output = output;
    settings.startMs = startMs;
    settings.playAtStart = play;
    return std::make_unique<PacedPlayer>(std::make_unique<CameraReplaySource>(std::move(camera)), settings);
}

} // namespace playback
