// The playback window's wiring on a fake source and player: a click on the
// timeline seeks the player to the time under the pointer.
#include <gtest/gtest.h>

#include <QTest>

#include "fake_player.h"
#include "playback/playback_picture.h"
#include "playback/playback_window.h"
#include "playback/timeline_strip.h"

namespace tavolin::ui::test {
namespace {

TEST(PlaybackWindowTest, AClickOnTheTimelineSeeksThePlayerToTheTimeUnderIt) {
    constexpr int64_t kStart = 1'700'000'000'000;
    auto log = std::make_shared<testing::PlayerLog>();
    PlaybackDay day;
    day.recordings = {{kStart - 3'600'000, kStart + 3'600'000, SpanKind::Recording}};
    PlaybackWindow window(defaultCameraRecord(0),
                          std::make_unique<testing::FakeSource>(PlaybackOffer{true, {}}, day, log), nullptr, kStart);
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.controller().commandsEnabled(); }, 5000));
    ASSERT_EQ(log->calls, (std::vector<std::string>{"open " + std::to_string(kStart)}));
    EXPECT_EQ(log->output.surface, window.picture()->surfaceHandle());
    log->calls.clear();

    TimelineStrip* strip = window.timeline();
    const QPoint at(strip->width() / 3, TimelineStrip::kHeight / 2);
    const int64_t expected = window.controller().timeline().timeAt(at.x());
    QTest::mouseClick(strip, Qt::LeftButton, {}, at);
    EXPECT_EQ(log->calls, (std::vector<std::string>{"seek " + std::to_string(expected)}));
}

} // namespace
} // namespace tavolin::ui::test
