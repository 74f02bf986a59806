#include "tavolin/playback_controller.h"

#include <algorithm>
#include <utility>

namespace tavolin {

using playback::kNoTime;
using playback::PlayerMode;

PlaybackController::PlaybackController(std::unique_ptr<PlaybackSource> source, Post post, playback::PlayerOutput output,
                                       int64_t dayStartMs, int64_t dayLengthMs, int64_t startMs)
    : source_(std::move(source)), post_(std::move(post)), output_(std::move(output)), startMs_(startMs) {
    timeline_.setDay(dayStartMs, dayLengthMs);
}

PlaybackController::~PlaybackController() {
    finishExport();
    finishSearch();
    // The player's thread is joined here; what it posted finds alive_ gone.
    player_.reset();
}

void PlaybackController::finishSearch() {
    if (!search_.joinable()) return;
    search_.request_stop();
    source_->cancel();
    search_.join();
}

void PlaybackController::finishExport() {
    if (!export_.joinable()) return;
    exportCancel_ = true;
    export_.join();
}

void PlaybackController::start() { runSearch(); }

void PlaybackController::showDay(int64_t dayStartMs, int64_t dayLengthMs) {
    timeline_.setDay(dayStartMs, dayLengthMs);
    timeline_.setSpans(SpanKind::Recording, {});
    timeline_.setSpans(SpanKind::Clip, {});
    timeline_.setEvents({});
    if (availability_ != PlaybackAvailability::Unavailable) runSearch();
    notify();
}

void PlaybackController::runSearch() {
    finishSearch();
    const int id = ++searchId_;
    const bool check = !checked_;
    if (availability_ != PlaybackAvailability::Ready)
        availability_ = check ? PlaybackAvailability::Checking : PlaybackAvailability::Searching;
    const int64_t from = timeline_.dayStart();
    const int64_t to = timeline_.dayEnd();
    std::weak_ptr<Alive> alive = alive_;
    // Answers of a search replaced by another are dropped by their id.
    auto answer = [this, alive, id](auto apply) {
        post_([this, alive, id, apply = std::move(apply)]() mutable {
            if (alive.lock() && id == searchId_) apply();
        });
    };
    search_ = std::jthread([this, check, from, to, answer](std::stop_token stop) {
        if (check) {
            PlaybackOffer offer = source_->check();
            if (stop.stop_requested()) return;
            const bool offered = offer.offered;
            answer([this, offer = std::move(offer)]() mutable { onOffer(std::move(offer)); });
            if (!offered) return;
        }
        PlaybackDay day = source_->searchDay(from, to);
        if (stop.stop_requested()) return;
        answer([this, day = std::move(day)]() mutable { onDay(std::move(day)); });
    });
}

void PlaybackController::onOffer(PlaybackOffer offer) {
    if (!offer.offered) {
        availability_ = PlaybackAvailability::Unavailable;
        reason_ = offer.reason.empty() ? "The camera does not replay its recordings" : std::move(offer.reason);
    } else {
        checked_ = true;
        availability_ = PlaybackAvailability::Searching;
    }
    notify();
}

void PlaybackController::onDay(PlaybackDay day) {
    timeline_.setSpans(SpanKind::Recording, std::move(day.recordings));
    timeline_.setSpans(SpanKind::Clip, std::move(day.clips));
    timeline_.setEvents(std::move(day.events));
    reason_ = std::move(day.incomplete);
    const bool first = availability_ != PlaybackAvailability::Ready;
    availability_ = PlaybackAvailability::Ready;
    // The picture at the start time shows as soon as there is something to play.
    if (first && !player_) openPlayerAt(startMs_, playWanted_);
    notify();
}

int64_t PlaybackController::playheadMs() const {
    if (seekInFlight_ || picture_.timeMs == kNoTime) return startMs_;
    return picture_.timeMs;
}

bool PlaybackController::speedOffered(double speed) const {
    return playback::isOfferedSpeed(speed, status_.reverseOffered);
}

SpanKind PlaybackController::kindAt(int64_t timeMs) const {
    if (timeline_.spanAt(timeMs, SpanKind::Recording)) return SpanKind::Recording;
    if (timeline_.spanAt(timeMs, SpanKind::Clip)) return SpanKind::Clip;
    return SpanKind::Recording;
}

void PlaybackController::openPlayerAt(int64_t timeMs, bool play) {
    player_.reset();
    playerKind_ = kindAt(timeMs);
    playerClip_ = playerKind_ == SpanKind::Clip ? timeline_.spanAt(timeMs, SpanKind::Clip) : std::nullopt;
    const int generation = ++playerGeneration_;
    std::weak_ptr<Alive> alive = alive_;
    playback::PlayerOutput output = output_;
    Post post = post_;
    // Reports of a player replaced by another are dropped by its generation.
    output.callbacks.status = [this, post, alive, generation](const playback::PlayerStatus& s) {
        post([this, alive, generation, s] {
            if (alive.lock() && generation == playerGeneration_) onStatus(s);
        });
    };
    output.callbacks.picture = [this, post, alive, generation](const playback::PictureShown& p) {
        post([this, alive, generation, p] {
            if (alive.lock() && generation == playerGeneration_) onPicture(p);
        });
    };
    startMs_ = timeMs;
    seekInFlight_ = true;
    status_ = playback::PlayerStatus{};
    status_.speed = speedWanted_;
    player_ = source_->openPlayer(timeMs, playerKind_, output, play);
    if (!player_) {
        seekInFlight_ = false;
        reason_ = "The recording could not be opened";
        return;
    }
    if (speedWanted_ != 1) player_->setSpeed(speedWanted_);
}

void PlaybackController::issueSeek(int64_t timeMs) {
    timeMs = std::clamp(timeMs, timeline_.dayStart(), timeline_.dayEnd() - 1);
    // Into another clip, or between a clip and the camera's recordings: another player.
    const SpanKind kind = kindAt(timeMs);
    const auto clip = kind == SpanKind::Clip ? timeline_.spanAt(timeMs, SpanKind::Clip) : std::nullopt;
    if (!player_ || status_.mode == PlayerMode::Failed || kind != playerKind_ || clip != playerClip_) {
        openPlayerAt(timeMs, playWanted_);
    } else {
        startMs_ = timeMs;
        seekInFlight_ = true;
        player_->seek(timeMs);
    }
    notify();
}

void PlaybackController::seek(int64_t timeMs) {
    if (!commandsEnabled()) {
        startMs_ = timeMs;
        return;
    }
    pendingScrub_.reset();
    issueSeek(timeMs);
}

void PlaybackController::scrubTo(int64_t timeMs) {
    if (!commandsEnabled()) return;
    if (seekInFlight_) {
        pendingScrub_ = timeMs;
        startMs_ = timeMs;
        notify();
        return;
    }
    issueSeek(timeMs);
}

void PlaybackController::onStatus(const playback::PlayerStatus& status) {
    status_ = status;
    playWanted_ = status.playWanted;
    if (status.mode == PlayerMode::Failed) {
        seekInFlight_ = false;
        pendingScrub_.reset();
    } else if (status.mode != PlayerMode::Opening && status.mode != PlayerMode::Seeking) {
        seekInFlight_ = false;
        if (pendingScrub_) issueSeek(*std::exchange(pendingScrub_, std::nullopt));
    }
    notify();
}

void PlaybackController::onPicture(const playback::PictureShown& picture) {
    picture_ = picture;
    // The picture shown stays on the timeline, playing or landed from a seek.
    timeline_.keepInView(picture.timeMs);
    notify();
}

void PlaybackController::play() {
    if (!commandsEnabled()) return;
    playWanted_ = true;
    if (!player_ || status_.mode == PlayerMode::Failed) {
        openPlayerAt(playheadMs(), true);
    } else {
        player_->play();
    }
    notify();
}

void PlaybackController::pause() {
    if (!commandsEnabled()) return;
    playWanted_ = false;
    if (player_) player_->pause();
    notify();
}

void PlaybackController::togglePlay() { playWanted_ ? pause() : play(); }

void PlaybackController::stepForward() {
    if (!commandsEnabled()) return;
    playWanted_ = false;
    if (!player_ || status_.mode == PlayerMode::Failed) {
        openPlayerAt(playheadMs(), false);
    } else {
        player_->stepForward();
    }
    notify();
}

void PlaybackController::stepBack() {
    if (!commandsEnabled()) return;
    pause();
    seek(playheadMs() - kBackStepMs);
}

void PlaybackController::jump(int64_t deltaMs) { seek(playheadMs() + deltaMs); }

bool PlaybackController::setSpeed(double speed) {
    if (!commandsEnabled() || !speedOffered(speed)) return false;
    speedWanted_ = speed;
    if (player_ && !player_->setSpeed(speed)) return false;
    status_.speed = speed;
    notify();
    return true;
}

bool PlaybackController::previousEvent() {
    if (!commandsEnabled()) return false;
    const auto t = timeline_.previousEvent(playheadMs());
    if (t) seek(*t);
    return t.has_value();
}

bool PlaybackController::nextEvent() {
    if (!commandsEnabled()) return false;
    const auto t = timeline_.nextEvent(playheadMs());
    if (t) seek(*t);
    return t.has_value();
}

void PlaybackController::backToLive() {
    player_.reset();
    if (goLive) goLive();
}

ExportPlan PlaybackController::exportPlan() const {
    const int64_t from = playheadMs();
    ExportPlan plan{{from, from + kExportMs}, SpanKind::Recording};
    if (const auto clip = timeline_.spanAt(from, SpanKind::Clip)) {
        const int64_t clipEnd = timeline_.spans()[*clip].toMs;
        if (plan.span.toMs <= clipEnd || !timeline_.spanAt(from, SpanKind::Recording)) {
            plan.kind = SpanKind::Clip;
            plan.span.toMs = std::min(plan.span.toMs, clipEnd);
        }
    }
    return plan;
}

namespace {

std::string fromText(SpanKind kind) { return kind == SpanKind::Clip ? "Tavolin's clip" : "the camera's recording"; }

std::string secondsText(int64_t ms) { return std::to_string((ms + 500) / 1000) + " s"; }

} // namespace

bool PlaybackController::exportMinute() {
    if (!commandsEnabled() || exporting_) return false;
    if (export_.joinable()) export_.join(); // the last one, finished
    const ExportPlan plan = exportPlan();
    exporting_ = true;
    exportCancel_ = false;
    exportMessage_ = "Saving the minute from the picture shown, from " + fromText(plan.kind) + "...";
    std::weak_ptr<Alive> alive = alive_;
    export_ = std::jthread([this, plan, alive] {
        playback::ExportOptions options;
        options.cancel = &exportCancel_;
        // Said once per second of pictures copied, not per picture.
        int64_t said = kNoTime;
        options.progress = [this, plan, alive, &said](int64_t timeMs) {
            if (said != kNoTime && timeMs - said < 1000) return;
            said = timeMs;
            post_([this, plan, alive, timeMs] {
                if (!alive.lock() || !exporting_) return;
                exportMessage_ = "Saving the minute from the picture shown: " +
                                 secondsText(std::max<int64_t>(0, timeMs - plan.span.fromMs)) + " of " +
                                 secondsText(plan.span.toMs - plan.span.fromMs) + " copied...";
                notify();
            });
        };
        playback::ExportResult result = source_->exportSpan(plan.span, plan.kind, options);
        post_([this, plan, alive, result = std::move(result)] {
            if (alive.lock()) onExported(plan, result);
        });
    });
    notify();
    return true;
}

void PlaybackController::onExported(const ExportPlan& plan, const playback::ExportResult& result) {
    exporting_ = false;
    if (result.ok) {
        exportMessage_ = "Saved the minute from the picture shown (" + secondsText(result.lastMs - result.firstMs) +
                         ", " + std::to_string(result.pictures) + " pictures, from " + fromText(plan.kind) + ") to " +
                         result.path;
    } else {
        exportMessage_ = "Not saved: " + (result.reason.empty() ? std::string("the export failed") : result.reason);
    }
    notify();
}

void PlaybackController::notify() {
    if (changed) changed();
}

} // namespace tavolin
