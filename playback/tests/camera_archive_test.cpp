// A camera's archive over ONVIF, wired end to end with the simulated camera
// (search, replay address, clock offset) and into a player; and what a
// camera without replay makes of it.
#include "playback/camera_archive.h"

#include "replay_fixture.h"

#include <gtest/gtest.h>

namespace playback {
namespace {

constexpr int64_t kClockAheadMs = 5 * 60 * 1000;

class CameraArchiveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(camera.start()) << camera.error(); }
    ArchiveCamera address() { return {"127.0.0.1", camera.onvif().port(), test::kUser, test::kPassword, 3000}; }

    test::SimulatedCard camera{kClockAheadMs};
};

TEST_F(CameraArchiveTest, ListsOnOurClockAndReplaysWhatItListed) {
    CameraArchive archive(address());
    ASSERT_TRUE(archive.connect()) << archive.reason();
    ASSERT_TRUE(archive.replayOffered()) << archive.reason();
    EXPECT_NEAR(static_cast<double>(archive.clockOffsetMs()), static_cast<double>(kClockAheadMs), 1000);
    const auto recordings = archive.recordings();
    ASSERT_TRUE(recordings.complete) << recordings.error;
    const auto card = camera.card().recordings(camera.card().nowMs());
    ASSERT_EQ(recordings.items.size(), card.size());
    const onvif::Recording& listed = recordings.items[recordings.items.size() - 2];
    EXPECT_EQ(listed.span.fromMs, card[card.size() - 2].span.fromMs - archive.clockOffsetMs());

    const int64_t hourAgo = listed.span.fromMs;
    const auto events = archive.events(hourAgo, hourAgo + 3600000);
    ASSERT_TRUE(events.complete) << events.error;
    ASSERT_FALSE(events.items.empty());
    const auto onCard = camera.card().events(hourAgo + archive.clockOffsetMs(),
                                             hourAgo + archive.clockOffsetMs() + 3600000, camera.card().nowMs());
    ASSERT_FALSE(onCard.empty());
    EXPECT_EQ(events.items.front().timeMs, onCard.front().timeMs - archive.clockOffsetMs());

    test::PictureWatcher watcher;
    auto player = openCameraReplay(archive.replay(), watcher.output(), events.items.front().timeMs);
    const auto seen = watcher.awaitPictures(1);
    ASSERT_EQ(seen.size(), 1u) << player->status().reason;
    EXPECT_EQ(*seen[0].stripMs, seen[0].shown.sourceTimeMs);
    EXPECT_GE(seen[0].shown.timeMs, events.items.front().timeMs);
    EXPECT_LT(seen[0].shown.timeMs, events.items.front().timeMs + 100);
}

TEST_F(CameraArchiveTest, CameraWithoutReplaySaysSo) {
    camera.onvif().setFault(camsim::OnvifFault::NoReplay);
    CameraArchive archive(address());
    ASSERT_TRUE(archive.connect()) << archive.reason();
    EXPECT_FALSE(archive.replayOffered());
    EXPECT_EQ(archive.reason(), "the camera offers no replay of its recordings (no ONVIF replay service)");
}

} // namespace
} // namespace playback
