// A player that only writes down what it was asked, and a source handing it
// out, for the playback controller's tests. The test plays the player's
// thread: it calls report() and show() and then runs what was posted.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <playback/player.h>

#include "tavolin/playback_source.h"

namespace tavolin::testing {

struct PlayerLog {
    std::vector<std::string> calls;
    playback::PlayerOutput output; // of the last player opened
    bool reverseOffered = false;
    // An export waits for its cancel flag (as one stopped by a closing view).
    bool exportWaitsForCancel = false;
};

class FakePlayer final : public playback::Player {
public:
    explicit FakePlayer(std::shared_ptr<PlayerLog> log) : log_(std::move(log)) {}
    void seek(int64_t timeMs) override { log_->calls.push_back("seek " + std::to_string(timeMs)); }
    void play() override { log_->calls.push_back("play"); }
    void pause() override { log_->calls.push_back("pause"); }
    void stepForward() override { log_->calls.push_back("step"); }
    bool setSpeed(double speed) override {
        log_->calls.push_back("speed " + std::to_string(speed));
        return playback::isOfferedSpeed(speed, log_->reverseOffered);
    }
    playback::PlayerStatus status() const override { return {}; }

private:
    std::shared_ptr<PlayerLog> log_;
};

class FakeSource final : public PlaybackSource {
public:
    FakeSource(PlaybackOffer offer, PlaybackDay day, std::shared_ptr<PlayerLog> log)
        : offer_(std::move(offer)), day_(std::move(day)), log_(std::move(log)) {}
    PlaybackOffer check() override { return offer_; }
    PlaybackDay searchDay(int64_t fromMs, int64_t) override {
        PlaybackDay day = day_;
        day.incomplete = "searched from " + std::to_string(fromMs);
        return day;
    }
    void cancel() override {}
    std::unique_ptr<playback::Player> openPlayer(int64_t startMs, SpanKind kind, const playback::PlayerOutput& output,
                                                 bool play) override {
        log_->calls.push_back("open " + std::to_string(startMs) + (kind == SpanKind::Clip ? " clip" : "") +
                              (play ? " playing" : ""));
        log_->output = output;
        return std::make_unique<FakePlayer>(log_);
    }
    // On the export thread: the test reads the log once the result was posted.
    playback::ExportResult exportSpan(const playback::ExportSpan& span, SpanKind kind,
                                      const playback::ExportOptions& options) override {
        log_->calls.push_back("export " + std::to_string(span.fromMs) + " " + std::to_string(span.toMs) +
                              (kind == SpanKind::Clip ? " clip" : ""));
        while (log_->exportWaitsForCancel && !options.cancel->load()) std::this_thread::yield();
        options.progress(span.fromMs);
        return {true, "/clips/" + std::to_string(span.fromMs) + ".mkv", {}, span.fromMs, span.toMs, 3, 0};
    }

private:
    PlaybackOffer offer_;
    PlaybackDay day_;
    std::shared_ptr<PlayerLog> log_;
};

} // namespace tavolin::testing
