// The live view's commands on a 320 x 240 view over simulated cameras whose
// heads answer them: the pointer, the keys, the popup menu and patrol. Bytes
// are Pelco-D frames for address 1, worked out by hand.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <cmath>
#include <limits>

#include "camera_session.h"
#include "live_view_fixture.h"

namespace tavolin::ui {
namespace {

using test::Bytes;

const Bytes kPanLeft3 = {0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1D};
const Bytes kPanLeft4 = {0xFF, 0x01, 0x00, 0x04, 0x28, 0x00, 0x2D};
const Bytes kUpLeft3 = {0xFF, 0x01, 0x00, 0x0C, 0x18, 0x18, 0x3D};
const Bytes kStop = {0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01};
const Bytes kZoomIn = {0xFF, 0x01, 0x00, 0x20, 0x00, 0x00, 0x21};
const Bytes kZoomOut = {0xFF, 0x01, 0x00, 0x40, 0x00, 0x00, 0x41};
const Bytes kOsdOn = {0xFF, 0x01, 0x00, 0x07, 0x00, 0x5F, 0x67};
const Bytes kOsdUp = {0xFF, 0x01, 0x00, 0x08, 0x00, 0x20, 0x29};
constexpr uint32_t kDigitalOutputMessage = 50;

// The horizontal shift that best lays the middle band of `before` over
// `after` (positive: the content moved right).
int bestShift(const QImage& before, const QImage& after) {
    const QImage a = before.convertToFormat(QImage::Format_Grayscale8);
    const QImage b = after.convertToFormat(QImage::Format_Grayscale8);
    int best = 0;
    double bestDiff = std::numeric_limits<double>::max();
    for (int shift = -120; shift <= 120; ++shift) {
        double sum = 0;
        long n = 0;
        for (int y = a.height() * 3 / 10; y < a.height() * 7 / 10; y += 2) {
            for (int x = 0; x < a.width(); ++x) {
                const int bx = x + shift;
                if (bx < 0 || bx >= b.width()) continue;
                sum += std::abs(a.constScanLine(y)[x] - b.constScanLine(y)[bx]);
                ++n;
            }
        }
        if (n > a.width() * 4 && sum / static_cast<double>(n) < bestDiff) {
            bestDiff = sum / static_cast<double>(n);
            best = shift;
        }
    }
    return best;
}

class LiveCommandsTest : public test::LiveViewTest {
protected:
    // A protocol 2 camera that draws its scene, with Pelco-D at address 1.
    camsim::V2Camera& startSteerableCamera(int position, const char* name = "CAM") {
        camsim::CameraOptions options = camsim::smallCameraOptions();
        options.video.frameRate = 10;
        options.scene.enabled = true;
        options.scene.name = name;
        auto camera = std::make_unique<camsim::V2Camera>(options);
        EXPECT_TRUE(camera->start());
        CameraRecord& r = record(position);
        r.streamingType = 2;
        setText(r.userName, "admin");
        setText(r.password, "admin");
        r.controlPort = camera->controlPort();
        r.streamingPort = camera->videoPort();
        r.httpPort = camera->httpPort();
        r.ptzEnabled = 1;
        r.ptzSourceType = 1;
        setText(r.ptzProtocolFile, test::shippedProtocol("Pelco-D.ptz").toStdString());
        r.ptzAddress = 1;
        r.ptzSpeed = 0;
        cameras.push_back(std::move(camera));
        return *cameras.back();
    }
    void openConnected(int position = 0) {
        openView(position);
        ASSERT_TRUE(waitFor([&] { return view->controller().isConnected(); }));
    }
    std::vector<Bytes> serialBytes(camsim::V2Camera& camera, std::size_t count) {
        waitFor([&] { return camera.recording().count(camsim::Channel::Control, test::kSerialBytesMessage) >= count; });
        std::vector<Bytes> out;
        for (const auto& m : camera.recording().on(camsim::Channel::Control)) {
            if (m.type == test::kSerialBytesMessage) out.push_back(m.payload);
        }
        return out;
    }
    void press(QPoint p) { QTest::mousePress(view.get(), Qt::LeftButton, {}, p); }
    void drag(QPoint p) { QTest::mouseMove(view.get(), p); }
    void release(QPoint p) { QTest::mouseRelease(view.get(), Qt::LeftButton, {}, p); }
    void key(QEvent::Type type, int k, bool autoRepeat = false) {
        QKeyEvent event(type, k, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(view.get(), &event);
    }
    void tap(int k) {
        key(QEvent::KeyPress, k);
        key(QEvent::KeyRelease, k);
    }
    int shownCamera() const { return view->controller().currentPosition() + 1; }

    std::vector<std::unique_ptr<camsim::V2Camera>> cameras;
};

TEST_F(LiveCommandsTest, PressInTheLeftCellPansThePictureUntilRelease) {
    camsim::V2Camera& camera = startSteerableCamera(0);
    openConnected();
    ASSERT_TRUE(waitFor([&] { return view->videoSurface().paintedCount() >= 3; }));
    const QImage before = view->videoSurface().latestPicture();
    const double startX = camera.head().window().x;

    press({50, 120});
    EXPECT_TRUE(view->arrow(2)->isVisible());
    EXPECT_EQ(view->arrow(2)->pos(), QPoint(26, 108));
    ASSERT_TRUE(waitFor([&] { return camera.head().window().x < startX - 0.05; }));
    release({50, 120});
    EXPECT_FALSE(view->arrow(2)->isVisible());
    ASSERT_TRUE(waitFor([&] { return camera.head().state().pan == 0; }));
    // Speed 0 in the record goes out as 3.
    EXPECT_EQ(serialBytes(camera, 2), (std::vector<Bytes>{kPanLeft3, kStop}));

    // What was at x is now further right in the picture the view shows.
    const long painted = view->videoSurface().paintedCount();
    ASSERT_TRUE(waitFor([&] { return view->videoSurface().paintedCount() >= painted + 5; }));
    EXPECT_GT(bestShift(before, view->videoSurface().latestPicture()), 10);
}

TEST_F(LiveCommandsTest, ActionKeyAndRightButtonOpenTheMenuAtTheTopLeft) {
    startSteerableCamera(0);
    openConnected();
    QMenu& menu = view->menu().popup();
    tap(Qt::Key_Return);
    ASSERT_TRUE(menu.isVisible());
    EXPECT_EQ(menu.geometry().top(), view->mapToGlobal(QPoint(0, 0)).y());
    EXPECT_LE(menu.geometry().left(), view->mapToGlobal(QPoint(0, 0)).x());
    // "Return" takes the menu away and leaves the video as it is.
    view->menu().returnItem->trigger();
    menu.hide();
    EXPECT_FALSE(view->controller().isClosed());
    QTest::mouseClick(view.get(), Qt::RightButton, {}, {200, 200});
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
}

TEST_F(LiveCommandsTest, PresetSetAndGoReturnThePicture) {
    camsim::V2Camera& camera = startSteerableCamera(0);
    openConnected();
    view->menu().setPreset[2]->trigger();
    ASSERT_TRUE(waitFor([&] { return camera.head().state().presets[2].has_value(); }));
    const camsim::ViewWindow preset = camera.head().window();
    press({300, 120});
    ASSERT_TRUE(waitFor([&] { return camera.head().window().x > preset.x + 0.05; }));
    release({300, 120});
    view->menu().gotoPreset[2]->trigger();
    EXPECT_TRUE(waitFor([&] { return camera.head().window() == preset; }));
}

TEST_F(LiveCommandsTest, ChosenSpeedIsCheckedUsedAndKeptInTheRecord) {
    camsim::V2Camera& camera = startSteerableCamera(0);
    openConnected();
    view->menu().speed[3]->trigger();
    for (int n = 0; n < 5; ++n) EXPECT_EQ(view->menu().speed[n]->isChecked(), n == 3);
    press({50, 120});
    release({50, 120});
    EXPECT_EQ(serialBytes(camera, 2), (std::vector<Bytes>{kPanLeft4, kStop}));
    EXPECT_EQ(view->controller().changes()[0].ptzSpeed, 4);
}

TEST_F(LiveCommandsTest, TriggerDo1TogglesTheLampAndClosingTurnsItOff) {
    camsim::V2Camera& camera = startSteerableCamera(0);
    openConnected();
    QAction* trigger = view->menu().triggerDo1;
    trigger->trigger();
    EXPECT_TRUE(trigger->isChecked());
    ASSERT_TRUE(waitFor([&] { return camera.head().state().lamp; }));
    trigger->trigger();
    EXPECT_FALSE(trigger->isChecked());
    ASSERT_TRUE(waitFor([&] { return !camera.head().state().lamp; }));
    trigger->trigger();
    view->controller().close();
    ASSERT_TRUE(waitFor([&] { return view->controller().isClosed(); }));
    std::vector<Bytes> sent;
    for (const auto& m : camera.recording().on(camsim::Channel::Control)) {
        if (m.type == kDigitalOutputMessage) sent.push_back(m.payload);
    }
    EXPECT_EQ(sent, (std::vector<Bytes>{{1}, {0}, {1}, {0}}));
}

TEST_F(LiveCommandsTest, MonitorItemsSetTheQuadServersDisplay) {
    camsim::V2Camera& camera = startSteerableCamera(0);
    record(0).quadServer = 1;
    openConnected();
    view->menu().monitor[1]->trigger();
    EXPECT_TRUE(waitFor([&] { return camera.displayMode() == 2; }));
    view->menu().monitorQuad->trigger();
    EXPECT_TRUE(waitFor([&] { return camera.displayMode() == 0; }));
}

TEST_F(LiveCommandsTest, AudioMenusFollowWhatHappened) {
    camsim::V2Camera& camera = startSteerableCamera(0);
    openConnected();
    LiveMenu& menu = view->menu();
    menu.audioInOn->trigger();
    EXPECT_EQ(view->controller().changes()[0].playAudio, 1);
    EXPECT_TRUE(menu.audioInOn->isChecked());
    EXPECT_FALSE(menu.audioInOff->isChecked());
    menu.audioInOff->trigger();
    EXPECT_EQ(view->controller().changes()[0].playAudio, 0);
    EXPECT_TRUE(menu.audioInOff->isChecked());

    camera.faults().refuseAudioToken = true;
    camera.setAudioTokenHolder({10, 1, 2, 3});
    menu.audioOutOn->trigger();
    ASSERT_TRUE(waitFor([&] { return !shell.scripted.messages.empty(); }));
    ASSERT_EQ(shell.scripted.messages.size(), 1u);
    EXPECT_EQ(shell.scripted.messages[0].text, QStringLiteral("Get Audio Out Token Fail!\n 10.1.2.3 Take It!"));
    EXPECT_FALSE(menu.audioOutOn->isChecked());
    EXPECT_TRUE(menu.audioOutOff->isChecked());
}

// An ONVIF camera without a speaker: "Audio Out" greyed, saying why.
TEST_F(LiveCommandsTest, OnvifCameraWithoutASpeakerGreysAudioOut) {
    camsim::SimulatedCameraSettings s;
    s.streamingType = camsim::kOnvifStreamingType;
    s.options = camsim::smallCameraOptions();
    s.rtsp.audio = false;
    s.onvifFault = camsim::OnvifFault::NoBackChannel;
    camera = std::make_unique<camsim::SimulatedCamera>(s);
    ASSERT_TRUE(camera->start()) << camera->error();
    const camsim::SettingsCamera where = camera->section();
    CameraRecord& r = record(0);
    r.streamingType = camsim::kOnvifStreamingType;
    setText(r.userName, where.user);
    setText(r.password, where.password);
    r.httpPort = where.httpPort;
    openConnected();
    const LiveMenu& menu = view->menu();
    ASSERT_TRUE(waitFor([&] { return !menu.audioOutMenu->menuAction()->isEnabled(); }));
    EXPECT_EQ(menu.audioOutMenu->title(), QStringLiteral("Audio Out (the camera reports no audio output)"));
}

// The wiring of pointing: a double-click on an ONVIF camera with the
// field-of-view space brings the point to the picture's middle and draws
// the target; the rules are the controller's and the library's.
TEST_F(LiveCommandsTest, DoubleClickBringsThePointToTheMiddle) {
    camsim::SimulatedCameraSettings s;
    s.streamingType = camsim::kOnvifStreamingType;
    s.options = camsim::smallCameraOptions();
    s.rtsp.audio = false;
    camera = std::make_unique<camsim::SimulatedCamera>(s);
    ASSERT_TRUE(camera->start()) << camera->error();
    const camsim::SettingsCamera where = camera->section();
    CameraRecord& r = record(0);
    r.streamingType = camsim::kOnvifStreamingType;
    setText(r.userName, where.user);
    setText(r.password, where.password);
    r.httpPort = where.httpPort;
    r.ptzEnabled = 1;
    r.ptzSourceType = 1;
    setText(r.ptzProtocolFile, test::shippedProtocol("ONVIF.ptz").toStdString());
    openConnected();
    ASSERT_TRUE(waitConnected());
    // A point in the middle row, right of centre, where a press pans right.
    const QPoint at(view->width() * 3 / 4, view->height() / 2);
    const QRect area = view->controller().pictureArea();
    const camsim::ViewWindow before = camera->head().window();
    const double share = static_cast<double>(at.x() - area.x()) / area.width();
    const double sceneX = before.x + (share - 0.5) * before.width();
    QTest::mouseDClick(view.get(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(view->aimOverlay().target().has_value());
    EXPECT_TRUE(waitFor([&] { return std::abs(camera->head().window().x - sceneX) < 0.02 * before.width(); }))
        << camera->head().window().x << " for " << sceneX;
    EXPECT_TRUE(waitFor([&] { return !view->controller().isAiming(); }));
}

TEST_F(LiveCommandsTest, OsdModeTurnsTheKeysToTheCamerasMenu) {
    camsim::V2Camera& camera = startSteerableCamera(0);
    startSteerableCamera(1);
    record(0).inSwitchGroup = 1;
    record(1).inSwitchGroup = 1;
    openConnected();
    view->menu().osdOn->trigger();
    ASSERT_TRUE(view->controller().isOsdMode());
    key(QEvent::KeyPress, Qt::Key_Up);
    key(QEvent::KeyPress, Qt::Key_Up, true); // held: the repeat sends nothing
    key(QEvent::KeyRelease, Qt::Key_Up);
    EXPECT_EQ(serialBytes(camera, 3), (std::vector<Bytes>{kOsdOn, kOsdUp, kStop}));
    EXPECT_TRUE(waitFor([&] { return camera.head().state().osd.open; }));
    EXPECT_EQ(shownCamera(), 1);
    view->menu().osdOff->trigger();
    EXPECT_FALSE(view->controller().isOsdMode());
    tap(Qt::Key_Down);
    EXPECT_TRUE(waitFor([&] { return shownCamera() == 2; }));
}

TEST_F(LiveCommandsTest, PatrolStepsThroughTheGroupOnly) {
    // Cameras 2, 5 and 9 are in the group; camera 5 is shown.
    for (int position : {1, 4, 8}) {
        startSteerableCamera(position);
        record(position).inSwitchGroup = 1;
    }
    openConnected(4);
    tap(Qt::Key_Down);
    ASSERT_TRUE(waitFor([&] { return shownCamera() == 9 && view->controller().isConnected(); }));
    EXPECT_EQ(view->controller().nameText(), QStringLiteral(" 9 - ") + QString::fromUtf8(record(8).name));
    key(QEvent::KeyPress, Qt::Key_Down);
    key(QEvent::KeyPress, Qt::Key_Down, true); // held: still one step
    key(QEvent::KeyRelease, Qt::Key_Down);
    ASSERT_TRUE(waitFor([&] { return shownCamera() == 2 && view->controller().isConnected(); }));
    tap(Qt::Key_Up);
    EXPECT_TRUE(waitFor([&] { return shownCamera() == 9; }));
    EXPECT_TRUE(shell.scripted.messages.empty());
}

} // namespace
} // namespace tavolin::ui
