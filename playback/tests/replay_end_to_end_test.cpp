// A camera's recordings played end to end: the simulated SD card's replay
// server on 127.0.0.1, GStreamer's RTSP source, the decoder and the player.
// Each picture's own time strip, read back from the surface, is held
// against the time the player says it shows.
#include "playback/camera_replay.h"

#include "replay_fixture.h"

#include <gtest/gtest.h>

namespace playback {
namespace {

using test::PictureWatcher;
using test::SeenPicture;
using test::SimulatedCard;

constexpr int64_t kPictureMs = 100;
constexpr int64_t kCameraAheadMs = 10 * 60 * 1000;

// Every picture shows the time the player gives for it.
void expectTrueTimes(const std::vector<SeenPicture>& pictures, int64_t offsetMs) {
    for (const SeenPicture& p : pictures) {
        ASSERT_TRUE(p.stripMs.has_value()) << "no time strip on the picture of " << p.shown.sourceTimeMs;
        EXPECT_EQ(*p.stripMs, p.shown.sourceTimeMs);
        EXPECT_EQ(p.shown.sourceTimeMs - p.shown.timeMs, offsetMs);
    }
}

class ReplayEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(camera.start()) << camera.error(); }

    SimulatedCard camera{kCameraAheadMs};
    PictureWatcher watcher;
};

TEST_F(ReplayEndToEndTest, SeeksLandOnThePictureAtTheTimeAskedOnACameraWhoseClockIsOff) {
    const camsim::CardRecording r = camera.finished();
    const int64_t asked = r.span.fromMs - kCameraAheadMs + 61234; // our clock
    auto player = openCameraReplay(camera.replay(), watcher.output(), asked);
    auto seen = watcher.awaitPictures(1);
    ASSERT_EQ(seen.size(), 1u) << player->status().reason;
    EXPECT_GE(seen[0].shown.timeMs, asked);
    EXPECT_LT(seen[0].shown.timeMs, asked + kPictureMs);
    EXPECT_EQ(watcher.awaitMode(PlayerMode::Paused).shownMs, seen[0].shown.timeMs);

    // Again in the same session, half an hour on.
    player->seek(asked + 1800 * 1000);
    seen = watcher.awaitPictures(2);
    ASSERT_EQ(seen.size(), 2u) << player->status().reason;
    EXPECT_GE(seen[1].shown.timeMs, asked + 1800 * 1000);
    EXPECT_LT(seen[1].shown.timeMs, asked + 1800 * 1000 + kPictureMs);
    expectTrueTimes(seen, kCameraAheadMs);
    EXPECT_EQ(camera.streams().replaySessionsStarted(), 1);
}

TEST_F(ReplayEndToEndTest, SpeedChangesKeepEveryPictureAtItsOwnTime) {
    const camsim::CardRecording r = camera.finished();
    const int64_t asked = r.span.fromMs - kCameraAheadMs + 120000;
    auto player = openCameraReplay(camera.replay(), watcher.output(), asked, true);
    ASSERT_EQ(watcher.awaitPictures(5).size(), 5u) << player->status().reason;
    ASSERT_TRUE(player->setSpeed(8));
    const std::size_t before = watcher.pictures().size();
    auto seen = watcher.awaitPictures(before + 6);
    ASSERT_GE(seen.size(), before + 6);
    // Key pictures a second apart, shown an eighth of a second apart.
    const SeenPicture& a = seen[seen.size() - 2];
    const SeenPicture& b = seen.back();
    EXPECT_EQ(b.shown.timeMs - a.shown.timeMs, 1000);
    EXPECT_NEAR(static_cast<double>(b.atMs - a.atMs), 125.0, 60.0);
    ASSERT_TRUE(player->setSpeed(1));
    seen = watcher.awaitPictures(seen.size() + 4);
    EXPECT_EQ(seen.back().shown.timeMs - seen[seen.size() - 2].shown.timeMs, kPictureMs);
    expectTrueTimes(seen, kCameraAheadMs);
}

TEST_F(ReplayEndToEndTest, GapInTheRecordingIsJumped) {
    const camsim::CardRecording r = camera.finished();
    const int64_t key = r.span.fromMs + 60000; // camera clock
    camera.card().setGap(camsim::CardSpan{key + 1000, key + 4000});
    auto player = openCameraReplay(camera.replay(), watcher.output(), key - kCameraAheadMs + 700, true);
    const auto seen = watcher.awaitPictures(6);
    ASSERT_EQ(seen.size(), 6u) << player->status().reason;
    EXPECT_EQ(seen[2].shown.sourceTimeMs, key + 900);
    EXPECT_EQ(seen[3].shown.sourceTimeMs, key + 4000);
    EXPECT_TRUE(seen[3].shown.afterGap);
    EXPECT_LT(seen[3].atMs - seen[2].atMs, 1000); // not the three seconds of the gap
    expectTrueTimes(seen, kCameraAheadMs);
}

TEST_F(ReplayEndToEndTest, RecordingThatEndsWhilePlayedEndsThePlayer) {
    const int64_t now = camera.card().nowMs();
    camera.card().stopRecordingAt(now + 600);
    auto player = openCameraReplay(camera.replay(), watcher.output(), now - kCameraAheadMs - 300, true);
    const PlayerStatus ended = watcher.awaitMode(PlayerMode::Ended);
    EXPECT_EQ(ended.mode, PlayerMode::Ended) << ended.reason;
    const auto seen = watcher.pictures();
    ASSERT_FALSE(seen.empty());
    EXPECT_GT(seen.back().shown.sourceTimeMs, now + 600 - 2 * kPictureMs);
    EXPECT_LT(seen.back().shown.sourceTimeMs, now + 600);
    expectTrueTimes(seen, kCameraAheadMs);
}

TEST_F(ReplayEndToEndTest, CameraThatRefusesReplaySaysWhy) {
    camera.streams().refuseReplay(true);
    auto player = openCameraReplay(camera.replay(), watcher.output(), camera.finished().span.fromMs, true);
    const PlayerStatus failed = watcher.awaitMode(PlayerMode::Failed);
    EXPECT_EQ(failed.reason, "the camera refused replay (551 Option not supported)");
    EXPECT_TRUE(watcher.pictures().empty());
}

} // namespace
} // namespace playback
