// The stream a place shows, against a simulated ONVIF camera with a large and
// a small profile of one scene: its wall cell runs on the small one, the
// single view opened from the cell on the large one (showing the cell's
// picture until its own), and back on the wall the cell on the small one
// again; a cell zoomed in with the wheel takes the large one.
#include <gtest/gtest.h>

#include <QPointer>
#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <array>
#include <memory>

#include "camsim/onvif_camera.h"
#include "camsim/onvif_rtsp_streams.h"
#include "camsim/simulated_camera.h"
#include "fake_shell.h"
#include "form/live_view_runner.h"
#include "live/camera_stream.h"
#include "live/wide_video_dlg.h"
#include "platform/clock.h"
#include "platform/network_guard.h"
#include "stream/stream_catalogues.h"
#include "wall/camera_wall_dlg.h"
#include "wall/wall_cell.h"

namespace tavolin::ui::test {
namespace {

constexpr std::size_t kLarge = 0; // the camera's profiles, as it lists them
constexpr std::size_t kSmall = 1;

class StreamChoiceEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::loopbackOnly());
        camsim::SimulatedCameraSettings settings;
        settings.streamingType = camsim::kOnvifStreamingType;
        settings.options.host = "127.0.0.1";
        settings.options.httpPort = 0;
        settings.rtsp.frameRate = 10;
        settings.rtsp.keyFrameInterval = 20;
        settings.rtsp.audio = false;
        camsim::OnvifProfile large{"large", "Large"};
        large.width = 512;
        large.height = 288;
        camsim::OnvifProfile small{"small", "Small"};
        small.width = 256;
        small.height = 144;
        settings.onvifProfiles = {large, small};
        camera = std::make_unique<camsim::SimulatedCamera>(settings);
        ASSERT_TRUE(camera->start()) << camera->error();

        for (int i = 0; i < kCameraCount; ++i) {
            records[static_cast<std::size_t>(i)] = defaultCameraRecord(i);
            setText(records[static_cast<std::size_t>(i)].host, "");
            pointers[static_cast<std::size_t>(i)] = &records[static_cast<std::size_t>(i)];
        }
        CameraRecord& r = records[0];
        r.streamingType = camsim::kOnvifStreamingType;
        setText(r.host, "127.0.0.1");
        r.httpPort = camera->onvif()->port();
        setText(r.userName, "admin");
        setText(r.password, "admin");
        r.showEvents = 0;
        shell.screen = QSize(512, 384); // 2x2 cells of 256x192
    }

    void TearDown() override {
        wall.reset();
        camera.reset();
    }

    int sessions(std::size_t profile) { return camera->onvifStreams()->camera(profile).sessionsStarted(); }
    WallCell& cell() { return *wall->cell(0); }
    bool cellShows() { return cell().status().state == CellState::Showing; }

    std::unique_ptr<camsim::SimulatedCamera> camera;
    std::array<CameraRecord, kCameraCount> records{};
    CameraWallDlg::Records pointers{};
    FakeShell shell;
    platform::ManualClock clock;
    StreamCatalogues catalogues;
    std::unique_ptr<CameraWallDlg> wall;
};

TEST_F(StreamChoiceEndToEndTest, TheWallCellShowsTheSmallProfileAndTheSingleViewTheLargeOne) {
    QPointer<CWideVideoDlg> view;
    bool closed = false;
    const SingleViewOverWall single = wideVideoOverWall(
        shell, [&](CWideVideoDlg& shown) { view = &shown; }, {}, &catalogues);
    const auto streams = [](const StreamSettings& settings) -> std::unique_ptr<LiveStream> {
        return std::make_unique<CameraStream>(settings);
    };
    wall = std::make_unique<CameraWallDlg>(
        pointers, WallSettings{.layout = WallLayout::Grid2x2}, streams,
        [&](int position, QWidget* parent, ViewHandover handover, CameraWallDlg::SingleViewClosed done) {
            single(pointers, position, parent, std::move(handover),
                   [&, done = std::move(done)](const LiveViewChanges& changed) {
                       closed = true;
                       done(changed);
                   });
        },
        shell, clock, nullptr, std::nullopt, &catalogues);
    wall->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return cellShows() && cell().presentedPictures() >= 2; }, 8000));
    EXPECT_EQ(sessions(kSmall), 1);
    EXPECT_EQ(sessions(kLarge), 0);

    QTest::mouseClick(wall.get(), Qt::LeftButton, {}, cell().geometry().center());
    ASSERT_TRUE(view);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->videoSurface().hasOwnPicture(); }, 8000));
    EXPECT_EQ(sessions(kLarge), 1);
    EXPECT_EQ(view->videoSurface().latestPicture().size(), QSize(512, 288));
    // The cell's stream goes once the single view shows its own picture.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !wall->controller().hasStream(0); }, 8000));

    view->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed; }, 8000));
    const long before = cell().presentedPictures();
    ASSERT_TRUE(QTest::qWaitFor([&] { return cell().presentedPictures() >= before + 2; }, 8000));
    EXPECT_EQ(sessions(kSmall), 2);
    EXPECT_EQ(sessions(kLarge), 1);
}

TEST_F(StreamChoiceEndToEndTest, ACellZoomedInWithTheWheelSwitchesToTheLargeProfile) {
    const auto streams = [](const StreamSettings& settings) -> std::unique_ptr<LiveStream> {
        return std::make_unique<CameraStream>(settings);
    };
    wall = std::make_unique<CameraWallDlg>(pointers, WallSettings{.layout = WallLayout::Grid2x2}, streams,
                                           CameraWallDlg::SingleViewRunner{}, shell, clock, nullptr, std::nullopt,
                                           &catalogues);
    wall->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return cellShows() && cell().presentedPictures() >= 1; }, 8000));

    // Two notches: 1.56 times a cell of 256 pixels needs more than the small profile's.
    const QPointF at = cell().geometry().center();
    QWheelEvent wheel(at, wall->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(wall.get(), &wheel);
    EXPECT_GT(cell().zoom().factor(), 1.5);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto picture = cell().newestPicture();
            return sessions(kLarge) == 1 && picture && picture->pictureSize().width() > 256;
        },
        8000));
}

} // namespace
} // namespace tavolin::ui::test
