// From a fresh form to a steered ONVIF camera: "Find..." (a directed probe to
// 127.0.0.1), login, PTZ, Play; a pan, a preset, a digital input, and the
// camera lost and back.
#include <gtest/gtest.h>

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "camsim/onvif_camera.h"
#include "camsim/onvif_rtsp_streams.h"
#include "camsim/settings_file.h"
#include "dialogs/find_camera_dlg.h"
#include "fake_shell.h"
#include "form/live_view_runner.h"
#include "form/tavolin_dlg.h"
#include "live/live_menu.h"
#include "live/video_surface.h"
#include "live/wide_video_dlg.h"
#include "modal_helpers.h"
#include "platform/network_guard.h"
#include "platform/udp_socket.h"

namespace tavolin::ui {
namespace {

// Short searches keep the test fast; a camera on loopback answers at once.
constexpr int kSearchMs = 300;

class OnvifFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::loopbackOnly());
        path = folder.filePath(QStringLiteral("Tavolin.txt"));
        // Every record at 127.0.0.1; camera 1 a 2.0 camera until the search fills it.
        ASSERT_TRUE(camsim::writeSettingsFile(path.toStdString(), {camsim::SettingsCamera{}}));
        shell.protocols = QCoreApplication::applicationDirPath() + QStringLiteral("/protocol");
    }
    void TearDown() override { qunsetenv(onvif::kDiscoveryPortVariable); }

    void probeAt(uint16_t port) { qputenv(onvif::kDiscoveryPortVariable, QByteArray::number(port)); }

    CTavolinDlg& openForm() {
        form = std::make_unique<CTavolinDlg>(shell, path.toStdString());
        form->setLiveViewRunner(wideVideoRunner(shell));
        form->setSearchWindowMs(kSearchMs);
        return *form;
    }

    // Presses "Find..." and acts in the dialog once its search has ended.
    void find(const std::function<void(CFindCameraDlg&)>& act) {
        test::whenDialogOpens<CFindCameraDlg>([act](CFindCameraDlg& dialog) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isSearching(); }, 3000));
            act(dialog);
        });
        form->controls().find->click();
        ASSERT_TRUE(test::dialogsClosed(10000));
    }

    QTemporaryDir folder;
    QString path;
    test::FakeShell shell;
    std::unique_ptr<CTavolinDlg> form;
};

TEST_F(OnvifFormTest, FoundCameraPlaysPansKeepsAPresetShowsItsInputsAndComesBackAfterALoss) {
    camsim::OnvifOptions options;
    options.name = "Garden Dome";
    for (auto& profile : options.profiles) profile.frameRate = 10;
    auto head = std::make_shared<camsim::CameraHead>();
    camsim::RtspProfileSettings streamSettings;
    streamSettings.audio = false;
    auto streams = std::make_shared<camsim::RtspProfileStreams>(options, head, streamSettings);
    ASSERT_TRUE(streams->start()) << streams->error();
    camsim::OnvifCamera camera(options, head, streams);
    ASSERT_TRUE(camera.start());
    ASSERT_TRUE(camera.startDiscovery(0));

    // Nobody answers at first: the dialog says so; the second search finds it.
    platform::UdpSocket silent;
    ASSERT_TRUE(silent.bind("127.0.0.1", 0));
    probeAt(silent.localPort());
    const CTavolinDlg::Controls& c = openForm().controls();
    QString firstStatus;
    QStringList listed;
    find([&](CFindCameraDlg& dialog) {
        firstStatus = dialog.statusLabel()->text();
        probeAt(camera.discoveryPort());
        dialog.searchButton()->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isSearching(); }, 3000));
        ASSERT_EQ(dialog.cameraList()->topLevelItemCount(), 1);
        for (int column = 0; column < 3; ++column) listed << dialog.cameraList()->topLevelItem(0)->text(column);
        dialog.okButton()->click();
    });
    EXPECT_EQ(firstStatus, QStringLiteral("No camera answered"));
    EXPECT_EQ(listed,
              (QStringList{QStringLiteral("Garden Dome"), QStringLiteral("camsim-ptz"), QStringLiteral("127.0.0.1")}));
    EXPECT_EQ(c.streamingType->currentText(), QStringLiteral("ONVIF"));
    EXPECT_EQ(c.host->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(c.httpPort->text(), QString::number(camera.port()));
    EXPECT_FALSE(c.registerPort->isEnabled());
    EXPECT_TRUE(c.autoReconnect->isChecked());

    c.userName->setText(QStringLiteral("admin"));
    c.password->setText(QStringLiteral("admin"));
    if (!c.showEvents->isChecked()) c.showEvents->click();
    c.ptzSetting->click();
    EXPECT_TRUE(shell.scripted.fileDialogs.empty());
    shell.scripted.answers = {PromptAnswer::Yes, PromptAnswer::Ok};

    bool played = false;
    test::whenDialogOpens<CWideVideoDlg>([&](CWideVideoDlg& view) {
        const auto waitFor = [](const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 8000); };
        ASSERT_TRUE(
            waitFor([&] { return view.controller().isConnected() && view.videoSurface().presentedCount() >= 3; }));
        // A press in the right-hand cell pans right until released.
        const double startX = head->window().x;
        const QPoint right(view.width() * 5 / 6, view.height() / 2);
        QTest::mousePress(&view, Qt::LeftButton, {}, right);
        EXPECT_TRUE(waitFor([&] { return head->window().x > startX + 0.05; }));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, right);
        EXPECT_TRUE(waitFor([&] { return head->state().pan == 0; }));

        view.menu().setPreset[2]->trigger();
        const auto named = [](const std::string& name) { return !name.empty(); };
        EXPECT_TRUE(waitFor([&] { return std::ranges::any_of(camera.presetNames(), named); }));
        const camsim::ViewWindow preset = head->window();
        QTest::mousePress(&view, Qt::LeftButton, {}, right);
        EXPECT_TRUE(waitFor([&] { return head->window().x > preset.x + 0.05; }));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, right);
        view.menu().gotoPreset[2]->trigger();
        EXPECT_TRUE(waitFor([&] { return head->window() == preset; }));

        head->pulseInputs(1, 5000);
        EXPECT_TRUE(waitFor([&] { return view.controller().eventFlag(LiveViewController::DI1); }));

        // The camera goes away and comes back at the same address: the view
        // stays (the loss question is answered No), tries again by itself and
        // shows pictures of the camera again.
        shell.scripted.answers.clear();
        camera.stop();
        streams->stop();
        EXPECT_TRUE(waitFor([&] { return view.controller().isReconnecting(); }));
        camsim::OnvifOptions again = options;
        again.port = camera.port();
        auto backStreams = std::make_shared<camsim::RtspProfileStreams>(again, head, streamSettings);
        ASSERT_TRUE(backStreams->start()) << backStreams->error();
        camsim::OnvifCamera back(again, head, backStreams);
        ASSERT_TRUE(back.start());
        const int before = view.videoSurface().presentedCount();
        EXPECT_TRUE(waitFor(
            [&] { return !view.controller().isReconnecting() && view.videoSurface().presentedCount() >= before + 3; }));
        played = true;
        view.close();
    });
    c.play->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return played && QApplication::activeModalWidget() == nullptr; }, 60000));
    EXPECT_TRUE(played);
}

} // namespace
} // namespace tavolin::ui
