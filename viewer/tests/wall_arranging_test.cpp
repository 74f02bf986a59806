// Arranging the wall with the mouse, over fake streams: a drag from one cell
// onto another swaps the cameras, each keeping the stream it had.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "fake_shell.h"
#include "fake_stream.h"
#include "platform/clock.h"
#include "tavolin/camera_record.h"
#include "wall/camera_wall_dlg.h"
#include "wall/wall_cell.h"

namespace tavolin::ui::test {
namespace {

TEST(WallArrangingTest, DraggingACellOntoAnotherSwapsThemWithoutReconnecting) {
    std::array<CameraRecord, kCameraCount> records{};
    CameraWallDlg::Records pointers{};
    for (int i = 0; i < kCameraCount; ++i) {
        CameraRecord& r = records[static_cast<std::size_t>(i)];
        r = defaultCameraRecord(i);
        setText(r.host, i < 3 ? "127.0.0.1" : "");
        r.streamingPort += static_cast<uint32_t>(i);
        pointers[static_cast<std::size_t>(i)] = &r;
    }
    std::vector<std::string> log;
    int made = 0;
    FakeShell shell;
    shell.screen = QSize(640, 480);
    platform::ManualClock clock;
    {
        CameraWallDlg wall(
            pointers, WallSettings{.layout = WallLayout::Grid2x2},
            [&](const StreamSettings& settings) -> std::unique_ptr<LiveStream> {
                ++made;
                return std::make_unique<FakeStream>(settings, log);
            },
            {}, shell, clock);
        wall.show();
        const int opened = made;
        ASSERT_EQ(wall.cell(0)->camera(), 0);
        ASSERT_EQ(wall.cell(2)->camera(), 2);
        log.clear();

        // Downwards: no swipe.
        QTest::mousePress(&wall, Qt::LeftButton, {}, wall.cell(0)->geometry().center());
        QTest::mouseRelease(&wall, Qt::LeftButton, {}, wall.cell(2)->geometry().center());
        EXPECT_EQ(wall.cell(0)->camera(), 2);
        EXPECT_EQ(wall.cell(2)->camera(), 0);
        EXPECT_EQ(wall.controller().shownLayout(), 1);
        EXPECT_EQ(made, opened);
        EXPECT_EQ(std::count(log.begin(), log.end(), "close"), 0);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
} // namespace tavolin::ui::test
