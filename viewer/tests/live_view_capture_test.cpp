// Snapshot and Record wired into the live view, against a simulated camera:
// the keys reach the capture, a full-size JPEG and a clip land in the
// [Capture] folder, and the red mark and the menu item follow Record.
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include "capture/capture_set.h"
#include "live_view_fixture.h"

namespace tavolin::ui::test {
namespace {

TEST_F(LiveViewTest, SnapshotAndRecordKeysWriteTheirFilesAndRecordShowsItsMark) {
    startCamera(2);
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
    // Nothing was asked of the user.
    EXPECT_TRUE(shell.scripted.messages.empty());
}

} // namespace
} // namespace tavolin::ui::test
