#include <gtest/gtest.h>

#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "camsim/settings_file.h"
#include "camsim/v2_camera.h"
#include "fake_shell.h"
#include "form/live_view_runner.h"
#include "form/tavolin_dlg.h"
#include "live/video_surface.h"
#include "live/wide_video_dlg.h"
#include "file_text.h"
#include "platform/network_guard.h"
#include "tavolin/camera_list.h"

namespace tavolin::ui {
namespace {

TEST(PlayTest, PlayOnCameraOneShowsTheSimulatedCameraAndSavesAllRecordsAfter) {
    ASSERT_TRUE(platform::loopbackOnly());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Tavolin.txt"));

    camsim::CameraOptions cameraOptions;
    cameraOptions.host = "127.0.0.1";
    cameraOptions.video.resolutionCode = 2;
    cameraOptions.video.frameRate = 10;
    cameraOptions.streamAudio = false;
    camsim::V2Camera camera(cameraOptions);
    ASSERT_TRUE(camera.start());
    // Every record of the file is at 127.0.0.1; camera 1 at the simulator.
    camsim::SettingsCamera one;
    one.name = "Simulated";
    one.controlPort = camera.controlPort();
    one.streamingPort = camera.videoPort();
    one.httpPort = camera.httpPort();
    one.user = "admin";
    one.password = "admin";
    ASSERT_TRUE(camsim::writeSettingsFile(path.toStdString(), {one}));

    test::FakeShell shell;
    CTavolinDlg form(shell, path.toStdString());
    QPointer<CWideVideoDlg> view;
    form.setLiveViewRunner(wideVideoRunner(shell, [&](CWideVideoDlg& opened) { view = &opened; }));
    for (int i = 0; i < kCameraCount; ++i) ASSERT_EQ(textOf(form.cameras().record(i)->host), "127.0.0.1");
    form.show();

    form.controls().play->click();
    ASSERT_TRUE(view);
    // The view is modal to the form, and the form's buttons wait for it.
    EXPECT_EQ(view->parentWidget(), &form);
    EXPECT_EQ(view->windowModality(), Qt::WindowModal);
    EXPECT_FALSE(form.controls().play->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->videoSurface().presentedCount() >= 3; }, 10000));
    EXPECT_TRUE(view->controller().isConnected());
    view->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view; }, 10000));
    EXPECT_TRUE(form.controls().play->isEnabled());
    // Saved again after the view: every section, with the viewer's own keys.
    const std::string text = test::fileText(path);
    for (int i = 0; i < kCameraCount; ++i) {
        EXPECT_NE(text.find("[" + std::to_string(i) + "]\nCameraName="), std::string::npos) << i;
    }
    EXPECT_EQ(textOf(CameraList(path.toStdString()).record(0)->name), "Simulated");
}

} // namespace
} // namespace tavolin::ui
