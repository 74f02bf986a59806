// The camera wall against simulated cameras: four cameras in 2x2, one of them
// lost and back while the others keep showing pictures, and a click that
// opens the single live view and returns to the running wall.
#include <QPointer>
#include <QTest>
#include <array>
#include <functional>
#include <memory>

#include "camsim/simulated_camera.h"
#include "camsim/v1_camera.h"
#include "camsim/v2_camera.h"
#include "fake_shell.h"
#include "form/live_view_runner.h"
#include "live/camera_stream.h"
#include "live/video_surface.h"
#include "live/wide_video_dlg.h"
#include "platform/clock.h"
#include "platform/network_guard.h"
#include "tavolin/camera_record.h"
#include "wall/camera_wall_dlg.h"
#include "wall/wall_cell.h"

namespace tavolin::ui::test {
namespace {

constexpr int kShown = 4;

// Half the rate of the live view's cameras: four of them stay cheap.
camsim::CameraOptions cellCamera() {
    camsim::CameraOptions options = camsim::smallCameraOptions();
    options.video.frameRate = 15;
    return options;
}

class CameraWallTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::loopbackOnly());
        for (int i = 0; i < kCameraCount; ++i) {
            records[static_cast<std::size_t>(i)] = defaultCameraRecord(i);
            // Records without a host are not on the wall.
            CameraRecord& r = records[static_cast<std::size_t>(i)];
            setText(r.host, "");
            r.registerPort = r.controlPort = r.streamingPort = r.httpPort = 0;
            pointers[static_cast<std::size_t>(i)] = &records[static_cast<std::size_t>(i)];
        }
        shell.screen = QSize(640, 480);
    }

    void TearDown() override { wall.reset(); }

    // Starts (or restarts, on the ports it had) the camera at `position`:
    // protocol 1 for the last, 2 for the others.
    void startCamera(int position) {
        CameraRecord& r = records[static_cast<std::size_t>(position)];
        camsim::CameraOptions options = cellCamera();
        setText(r.host, "127.0.0.1");
        setText(r.userName, "admin");
        setText(r.password, "admin");
        r.showEvents = 0;
        if (position == kShown - 1) {
            r.streamingType = 1;
            v1 = std::make_unique<camsim::V1Camera>(options);
            ASSERT_TRUE(v1->start());
            r.registerPort = v1->loginPort();
            r.controlPort = v1->controlPort();
            r.streamingPort = v1->mediaPort();
            return;
        }
        r.streamingType = 2;
        options.controlPort = static_cast<uint16_t>(r.controlPort);
        options.videoPort = static_cast<uint16_t>(r.streamingPort);
        options.httpPort = static_cast<uint16_t>(r.httpPort);
        auto& camera = v2[static_cast<std::size_t>(position)];
        camera = std::make_unique<camsim::V2Camera>(options);
        ASSERT_TRUE(camera->start());
        r.controlPort = camera->controlPort();
        r.streamingPort = camera->videoPort();
        r.httpPort = camera->httpPort();
    }

    void openWall(CameraWallDlg::SingleViewRunner singleView) {
        auto streams = [this](const StreamSettings& settings) -> std::unique_ptr<LiveStream> {
            return std::make_unique<CameraStream>(settings);
        };
        wall = std::make_unique<CameraWallDlg>(pointers, WallSettings{.layout = WallLayout::Grid2x2}, streams,
                                               std::move(singleView), shell, clock);
        wall->show();
    }

    WallCell& cell(int index) { return *wall->cell(index); }
    bool showing(int index) { return cell(index).status().state == CellState::Showing; }

    std::array<long, kShown> pictureCounts() {
        std::array<long, kShown> counts{};
        for (int i = 0; i < kShown; ++i) counts[static_cast<std::size_t>(i)] = cell(i).presentedPictures();
        return counts;
    }

    // True once every shown cell but `except` has had `more` pictures more
    // than `since`.
    bool othersMovedOn(const std::array<long, kShown>& since, int except, long more = 3) {
        for (int i = 0; i < kShown; ++i) {
            if (i != except && cell(i).presentedPictures() < since[static_cast<std::size_t>(i)] + more) return false;
        }
        return true;
    }

    FakeShell shell;
    platform::ManualClock clock;
    std::array<CameraRecord, kCameraCount> records{};
    std::array<CameraRecord*, kCameraCount> pointers{};
    std::array<std::unique_ptr<camsim::V2Camera>, kShown> v2;
    std::unique_ptr<camsim::V1Camera> v1;
    std::unique_ptr<CameraWallDlg> wall;
};

TEST_F(CameraWallTest, LostCameraComesBackOnItsOwnWhileTheOthersKeepShowing) {
    for (int i = 0; i < kShown; ++i) startCamera(i);
    openWall({});
    ASSERT_TRUE(QTest::qWaitFor([&] { return showing(0) && showing(1) && showing(2) && showing(3); }, 8000));
    EXPECT_EQ(wall->streamCount(), kShown);

    v2[1].reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return cell(1).status().state == CellState::Reconnecting; }, 5000));
    EXPECT_EQ(cell(1).status().secondsLeft, 1);
    EXPECT_EQ(WallCell::stateText(cell(1).status()), QStringLiteral("Reconnecting in 1 s"));
    const auto lost = pictureCounts();
    ASSERT_TRUE(QTest::qWaitFor([&] { return othersMovedOn(lost, 1); }, 5000));

    // Back on its ports; the attempt waits for the schedule, not for a user.
    startCamera(1);
    QTest::qWait(2 * CameraWallDlg::kTickMs);
    EXPECT_EQ(cell(1).status().state, CellState::Reconnecting);
    clock.advanceMs(1000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return showing(1) && cell(1).presentedPictures() >= 3; }, 8000));
    EXPECT_TRUE(showing(0) && showing(2) && showing(3));
}

TEST_F(CameraWallTest, ClickOpensTheSingleViewAndTheWallKeepsRunningBehindIt) {
    for (int i = 0; i < kShown; ++i) startCamera(i);
    int opened = -1;
    bool closed = false;
    QPointer<CWideVideoDlg> view;
    const SingleViewOverWall single = wideVideoOverWall(shell, [&](CWideVideoDlg& shown) { view = &shown; });
    openWall([&](int position, QWidget* parent, ViewHandover handover, CameraWallDlg::SingleViewClosed done) {
        opened = position;
        single(pointers, position, parent, std::move(handover),
               [&, done = std::move(done)](const LiveViewChanges& changed) {
                   closed = true;
                   done(changed);
               });
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return showing(0) && showing(1) && showing(2) && showing(3); }, 8000));

    QTest::mouseClick(wall.get(), Qt::LeftButton, {}, cell(2).geometry().center());
    EXPECT_EQ(opened, 2);
    ASSERT_TRUE(view);
    // Over the wall, modal to it, without an event loop of its own.
    EXPECT_EQ(view->parentWidget(), wall.get());
    EXPECT_EQ(view->windowModality(), Qt::WindowModal);
    // Until its own first picture it shows the cell's, whose stream runs on.
    EXPECT_TRUE(view->videoSurface().hasStandIn());
    EXPECT_TRUE(wall->controller().hasStream(2));
    // The single view shows pictures while the wall's other cells go on
    // behind it; the camera it took keeps no cell stream meanwhile.
    const auto before = pictureCounts();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return view->controller().isConnected() && view->videoSurface().paintedCount() >= 2; }, 8000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return othersMovedOn(before, 2); }, 8000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !wall->controller().hasStream(2); }, 8000));
    view->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed; }, 8000));
    EXPECT_EQ(wall->controller().grid().selectedCell(), 2);
    // Back on the wall the camera gets its cell's stream again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return showing(2) && cell(2).presentedPictures() >= 3; }, 8000));
    EXPECT_TRUE(wall->isVisible());
}

} // namespace
} // namespace tavolin::ui::test
