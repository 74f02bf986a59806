// Snapshot and Record wired into the live view, against a simulated camera
// that serves one video connection at a time: the view holds the one
// connection and the capture copies it, so the picture, the commands, a
// full-size JPEG and a clip all come through it; the red mark and the menu
// item follow Record.
#include <QAction>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include "camera_session.h"
#include "camsim/recording.h"
#include "capture/capture_set.h"
#include "live_view_fixture.h"

namespace tavolin::ui::test {
namespace {

TEST_F(LiveViewTest, ACameraServingOneConnectionShowsItsPictureAndTakesCommandsWhileCapturing) {
    startCamera(2);
    v2->faults().oneVideoClient = true;
    CameraRecord& r = record(0);
    r.ptzEnabled = 1;
    r.ptzSourceType = 1;
    setText(r.ptzProtocolFile, shippedProtocol("Pelco-D.ptz").toStdString());
    r.ptzAddress = 1;
    QTemporaryDir folder;
    CaptureConfig capture;
    capture.settings.folder = folder.path().toStdString();
    capture.settings.preRollSeconds = 1;
    view = std::make_unique<CWideVideoDlg>(pointers, 0, shell, nullptr, capture);
    view->show();
    ASSERT_TRUE(waitConnected());
    const QDir files(folder.path());

    QTest::keyClick(view.get(), Qt::Key_S);
    ASSERT_TRUE(waitFor([&] { return !files.entryList({"*.jpg"}).isEmpty(); }));
    EXPECT_EQ(QImage(files.filePath(files.entryList({"*.jpg"})[0])).size(), QSize(352, 240));

    QTest::keyClick(view.get(), Qt::Key_R);
    EXPECT_TRUE(view->recordingMark()->isVisible());
    EXPECT_TRUE(view->menu().record->isChecked());
    // Frames reach the clip before Record is pressed again.
    ASSERT_TRUE(waitFor([&] { return view->captures()->capture(0)->recorder().status().writer.framesWritten > 10; }));
    QTest::keyClick(view.get(), Qt::Key_R);
    EXPECT_FALSE(view->recordingMark()->isVisible());
    EXPECT_FALSE(view->menu().record->isChecked());
    ASSERT_TRUE(
        waitFor([&] { return !view->captures()->capture(0)->recorder().status().writer.finishedFiles.empty(); }));
    EXPECT_EQ(files.entryList({"*.mkv"}).size(), 1);

    // The pointer's PTZ and "Trigger DO1" reach the camera.
    QTest::mousePress(view.get(), Qt::LeftButton, {}, {50, 120});
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, {50, 120});
    EXPECT_TRUE(waitFor([&] { return v2->recording().count(camsim::Channel::Control, kSerialBytesMessage) >= 2; }));
    view->menu().triggerDo1->trigger();
    EXPECT_TRUE(waitFor([&] { return v2->head().state().lamp; }));

    // One connection of each kind, the whole time.
    EXPECT_EQ(v2->videoLogins(), 1);
    EXPECT_EQ(v2->mostVideoAtOnce(), 1);
    EXPECT_EQ(v2->controlLogins(), 1);
    EXPECT_FALSE(view->captures()->capture(0)->holdsConnection());
    // Nothing was asked of the user.
    EXPECT_TRUE(shell.scripted.messages.empty());
}

} // namespace
} // namespace tavolin::ui::test
