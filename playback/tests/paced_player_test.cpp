// The player's rules on a recording in memory and a manual clock: where a
// seek lands, how pictures are paced at each speed, what pause, step, gaps,
// the end and failures do. (The same player on a camera's replay is tested
// end to end in replay_end_to_end_test.cpp.)
#include "paced_player.h"

#include "fake_source.h"

#include <platform/clock.h>
#include <platform/surface.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace playback {
namespace {

using test::FakeSource;
using test::kFirstMs;
using test::kIntervalMs;

constexpr int kRealWaitMs = 5000;

// What the player told, as it told it.
class Watcher {
public:
    explicit Watcher(const platform::Clock& clock) : clock_(clock) {}

    PlayerCallbacks callbacks() {
        PlayerCallbacks c;
        c.picture = [this](const PictureShown& p) {
            std::lock_guard lock(mutex_);
            shown_.push_back({p, clock_.nowMs()});
            changed_.notify_all();
        };
        c.status = [this](const PlayerStatus& s) {
            std::lock_guard lock(mutex_);
            statuses_.push_back(s);
            changed_.notify_all();
        };
        return c;
    }

    struct Shown {
        PictureShown picture;
        int64_t atMs; // on the player's clock
    };
    // Waits (real time) until `count` pictures were shown.
    std::vector<Shown> awaitPictures(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(kRealWaitMs), [&] { return shown_.size() >= count; });
        return shown_;
    }
    // Waits (real time) until the player reports `mode`.
    PlayerStatus awaitMode(PlayerMode mode) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(kRealWaitMs),
                          [&] { return !statuses_.empty() && statuses_.back().mode == mode; });
        return statuses_.empty() ? PlayerStatus{} : statuses_.back();
    }
    std::vector<Shown> shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }

private:
    const platform::Clock& clock_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Shown> shown_;
    std::vector<PlayerStatus> statuses_;
};

class PacedPlayerTest : public ::testing::Test {
protected:
    FakeSource* open(FakeSource::Script script, int64_t startMs, bool play = false, double speed = 1) {
        auto source = std::make_unique<FakeSource>(std::move(script));
        FakeSource* raw = source.get();
        PacedPlayer::Settings s;
        s.output.surface = platform::SurfaceRegistry::add(surface_);
        surfaceHandle_ = s.output.surface;
        s.output.callbacks = watcher_->callbacks();
        s.startMs = startMs;
        s.playAtStart = play;
        s.speed = speed;
        s.clock = &clock_;
        player_ = std::make_unique<PacedPlayer>(std::move(source), s);
        return raw;
    }
    void TearDown() override {
        player_.reset();
        platform::SurfaceRegistry::remove(surfaceHandle_);
    }
    // For the next case of a table: a new player is opened after.
    void reset() {
        TearDown();
        watcher_ = std::make_unique<Watcher>(clock_);
    }
    // Lets the pace run until `count` pictures in all were shown, or the
    // player stops showing more. The clock moves only while the player waits
    // for its next picture, once per picture: counted before the player
    // waited, a picture would let the clock run one picture ahead.
    std::vector<Watcher::Shown> runUntil(std::size_t count) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRealWaitMs);
        while (watcher_->shown().size() < count && std::chrono::steady_clock::now() < giveUp) {
            const PlayerMode mode = player_->status().mode;
            if (mode == PlayerMode::Ended || mode == PlayerMode::Failed) break;
            const std::optional<int64_t> wake = clock_.awaitNextWake(50);
            if (!wake) continue;
            const std::size_t before = watcher_->shown().size();
            clock_.setMs(*wake);
            watcher_->awaitPictures(before + 1);
        }
        return watcher_->shown();
    }

    platform::ManualClock clock_{0};
    std::unique_ptr<Watcher> watcher_ = std::make_unique<Watcher>(clock_);
    std::shared_ptr<platform::RecordingSurface> surface_ = std::make_shared<platform::RecordingSurface>();
    uint32_t surfaceHandle_ = 0;
    std::unique_ptr<PacedPlayer> player_;
};

TEST_F(PacedPlayerTest, SeekShowsThePictureAtTheTimeAskedNotTheKeyPictureBefore) {
    const int64_t asked = kFirstMs + 1130; // key picture at +1000; pictures at +1120 and +1160
    FakeSource* source = open({}, asked);
    const PlayerStatus paused = watcher_->awaitMode(PlayerMode::Paused);
    auto shown = watcher_->awaitPictures(1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].picture.timeMs, kFirstMs + 1160);
    EXPECT_EQ(shown[0].picture.sourceTimeMs, kFirstMs + 1160 + 600000);
    EXPECT_FALSE(shown[0].picture.afterGap);
    EXPECT_EQ(paused.shownMs, kFirstMs + 1160);
    EXPECT_EQ(paused.requestedMs, asked);
    EXPECT_EQ(surface_->snapshot().width, 96);
    ASSERT_EQ(source->starts().size(), 1u);
    EXPECT_EQ(source->starts()[0].fromMs, asked);
    // Decoded from the key picture: five units for the one picture shown.
    EXPECT_EQ(source->unitsHandedOut(), 5);

    // Seeking while paused shows the new time and stays paused.
    player_->seek(kFirstMs + 5000);
    shown = watcher_->awaitPictures(2);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].picture.timeMs, kFirstMs + 5000);
    EXPECT_EQ(watcher_->awaitMode(PlayerMode::Paused).shownMs, kFirstMs + 5000);
}

TEST_F(PacedPlayerTest, PicturesArePacedByTheirOwnTimesAtTheSpeedSet) {
    for (const double speed : {1.0, 2.0, 0.5}) {
        SCOPED_TRACE(speed);
        reset();
        open({}, kFirstMs + 2000, true, speed);
        const auto shown = runUntil(6);
        ASSERT_GE(shown.size(), 6u);
        for (std::size_t i = 1; i < shown.size(); ++i) {
            EXPECT_EQ(shown[i].picture.timeMs - shown[i - 1].picture.timeMs, kIntervalMs);
            EXPECT_EQ(shown[i].atMs - shown[i - 1].atMs, static_cast<int64_t>(kIntervalMs / speed));
        }
    }
}

TEST_F(PacedPlayerTest, FastSpeedsAskForKeyPicturesAloneAndSlowerOnesForAllAgain) {
    for (const bool ignoresIntra : {false, true}) {
        SCOPED_TRACE(ignoresIntra ? "a source that sends every picture anyway" : "a source that obliges");
        reset();
        FakeSource::Script script;
        script.ignoresIntra = ignoresIntra;
        FakeSource* source = open(script, kFirstMs + 1000, true);
        runUntil(3);
        const int64_t shownBefore = player_->status().shownMs;
        ASSERT_TRUE(player_->setSpeed(8));
        auto shown = runUntil(6);
        ASSERT_GE(source->starts().size(), 2u);
        const SourceStart fast = source->starts()[1];
        EXPECT_TRUE(fast.intraOnly);
        EXPECT_EQ(fast.speed, 8);
        EXPECT_GT(fast.fromMs, shownBefore);
        EXPECT_LE(fast.fromMs, shownBefore + kIntervalMs);
        // Key pictures one second apart, shown an eighth of a second apart.
        const std::size_t n = shown.size();
        EXPECT_EQ(shown[n - 1].picture.timeMs - shown[n - 2].picture.timeMs, 1000);
        EXPECT_EQ(shown[n - 1].atMs - shown[n - 2].atMs, 125);

        ASSERT_TRUE(player_->setSpeed(1));
        shown = runUntil(n + 3);
        ASSERT_GE(source->starts().size(), 3u);
        EXPECT_FALSE(source->starts()[2].intraOnly);
        EXPECT_EQ(shown.back().picture.timeMs - shown[shown.size() - 2].picture.timeMs, kIntervalMs);
    }
}

TEST_F(PacedPlayerTest, PauseHoldsThePictureAndStepShowsTheNextOne) {
    open({}, kFirstMs + 1000, true);
    runUntil(3);
    player_->pause();
    const PlayerStatus paused = watcher_->awaitMode(PlayerMode::Paused);
    const std::size_t count = watcher_->shown().size();
    // Time passes; nothing more is shown.
    clock_.advanceMs(5000);
    EXPECT_EQ(watcher_->shown().size(), count);
    EXPECT_EQ(player_->status().shownMs, paused.shownMs);

    player_->stepForward();
    auto shown = watcher_->awaitPictures(count + 1);
    ASSERT_EQ(shown.size(), count + 1);
    EXPECT_EQ(shown.back().picture.timeMs, paused.shownMs + kIntervalMs);
    EXPECT_EQ(player_->status().shownMs, paused.shownMs + kIntervalMs);

    player_->play();
    watcher_->awaitMode(PlayerMode::Playing);
    shown = runUntil(count + 3);
    EXPECT_EQ(shown.back().picture.timeMs, paused.shownMs + 3 * kIntervalMs);
}

TEST_F(PacedPlayerTest, GapIsJumpedNotWaitedOut) {
    FakeSource::Script script;
    script.gap = {{kFirstMs + 2000, kFirstMs + 5000}};
    open(script, kFirstMs + 1880, true);
    const auto shown = runUntil(5);
    ASSERT_GE(shown.size(), 5u);
    EXPECT_EQ(shown[2].picture.timeMs, kFirstMs + 1960);
    EXPECT_EQ(shown[3].picture.timeMs, kFirstMs + 5000);
    EXPECT_TRUE(shown[3].picture.afterGap);
    EXPECT_FALSE(shown[2].picture.afterGap);
    EXPECT_LE(shown[3].atMs - shown[2].atMs, kIntervalMs);
    EXPECT_EQ(shown[4].atMs - shown[3].atMs, kIntervalMs);
}

TEST_F(PacedPlayerTest, RecordingThatEndsEndsPlayingWithItsLastPicture) {
    for (const bool marked : {true, false}) {
        SCOPED_TRACE(marked ? "last picture marked" : "the source just ends");
        reset();
        FakeSource::Script script;
        script.endless = !marked;
        open(script, kFirstMs + (test::kPictures - 3) * kIntervalMs, true);
        const auto shown = runUntil(3);
        const PlayerStatus ended = watcher_->awaitMode(PlayerMode::Ended);
        EXPECT_EQ(ended.mode, PlayerMode::Ended);
        EXPECT_FALSE(ended.reason.empty());
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back().picture.timeMs, kFirstMs + (test::kPictures - 1) * kIntervalMs);
        // Play does nothing more; a seek still works.
        player_->play();
        player_->seek(kFirstMs);
        EXPECT_EQ(watcher_->awaitPictures(shown.size() + 1).back().picture.timeMs, kFirstMs);
    }
}

TEST_F(PacedPlayerTest, FailuresReachTheStatusWithTheirReason) {
    FakeSource::Script refused;
    refused.failStart = "the camera refused replay (551 Option not supported)";
    open(refused, kFirstMs);
    PlayerStatus failed = watcher_->awaitMode(PlayerMode::Failed);
    EXPECT_EQ(failed.reason, refused.failStart);
    EXPECT_TRUE(watcher_->shown().empty());

    reset();
    FakeSource::Script lost;
    lost.failAtMs = kFirstMs + 1200;
    open(lost, kFirstMs + 1000, true);
    runUntil(20);
    failed = watcher_->awaitMode(PlayerMode::Failed);
    EXPECT_EQ(failed.reason, "the camera closed the connection");
    EXPECT_EQ(failed.shownMs, kFirstMs + 1160);
}

TEST_F(PacedPlayerTest, ReverseOnlyWhereTheSourceOffersIt) {
    open({}, kFirstMs + 1000);
    watcher_->awaitMode(PlayerMode::Paused);
    EXPECT_FALSE(player_->setSpeed(-1));
    EXPECT_FALSE(player_->setSpeed(3));
    EXPECT_FALSE(player_->status().reason.empty());
    EXPECT_FALSE(player_->status().reverseOffered);

    reset();
    FakeSource::Script script;
    script.reverse = true;
    FakeSource* source = open(script, kFirstMs + 5000, true);
    runUntil(1);
    ASSERT_TRUE(player_->setSpeed(-2));
    const auto shown = runUntil(4);
    ASSERT_GE(source->starts().size(), 2u);
    EXPECT_EQ(source->starts()[1].speed, -2);
    EXPECT_TRUE(source->starts()[1].intraOnly);
    const std::size_t n = shown.size();
    EXPECT_EQ(shown[n - 2].picture.timeMs - shown[n - 1].picture.timeMs, 1000);
    EXPECT_EQ(shown[n - 1].atMs - shown[n - 2].atMs, 500);
}

} // namespace
} // namespace playback
