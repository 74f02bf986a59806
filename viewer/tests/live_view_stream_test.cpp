// The live view against simulated cameras: pictures, name label, progress,
// connection failures, network loss and close.
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "live/live_pictures.h"
#include "live/video_surface.h"
#include "live_view_fixture.h"

namespace tavolin::ui::test {
namespace {

constexpr uint32_t kV2DigitalOutput = 50;

bool near(QColor actual, QColor expected) {
    return std::abs(actual.red() - expected.red()) < 40 && std::abs(actual.green() - expected.green()) < 40 &&
           std::abs(actual.blue() - expected.blue()) < 40;
}

bool showsPicture(const QImage& image, const QString& resource) {
    return image.convertToFormat(QImage::Format_RGB32) == QImage(resource).convertToFormat(QImage::Format_RGB32);
}

class StreamProtocolTest : public LiveViewTest, public ::testing::WithParamInterface<int> {};

TEST_P(StreamProtocolTest, PicturesFillTheViewWithTheCameraPattern) {
    startCamera(GetParam());
    record(0).showName = 1;
    openView();
    ASSERT_TRUE(waitConnected());

    QRect dest;
    const QImage picture = view->videoSurface().latestPicture(&dest);
    EXPECT_EQ(picture.size(), QSize(352, 240));
    EXPECT_EQ(dest, QRect(0, 0, 320, 240));

    // The quadrants of the test pattern, stretched over the 320 x 240 view.
    const QImage shown = view->grab().toImage();
    ASSERT_EQ(shown.size(), QSize(320, 240));
    EXPECT_TRUE(near(shown.pixelColor(60, 50), Qt::red)) << shown.pixelColor(60, 50).name().toStdString();
    EXPECT_TRUE(near(shown.pixelColor(260, 50), Qt::green));
    EXPECT_TRUE(near(shown.pixelColor(60, 200), Qt::blue));
    EXPECT_TRUE(near(shown.pixelColor(260, 200), Qt::white));

    ASSERT_TRUE(waitFor([&] { return view->nameLabel()->isVisible(); }));
    EXPECT_EQ(view->nameLabel()->text(), QStringLiteral(" 1 - Camera - 1"));
    EXPECT_EQ(view->nameLabel()->geometry(), QRect(0, 0, 6 * 16, 16));
    EXPECT_FALSE(view->progressBar()->isVisible());
    EXPECT_EQ(shell.orientations, std::vector<int>{270});
    EXPECT_EQ(shell.fullScreenWindows, std::vector<QWidget*>{view.get()});
}

INSTANTIATE_TEST_SUITE_P(Protocols, StreamProtocolTest, ::testing::Values(1, 2));

TEST_F(LiveViewTest, NameLabelStaysHiddenWithShowNameOff) {
    startCamera(2);
    openView();
    ASSERT_TRUE(waitConnected());
    QTest::qWait(100); // the connect thread's last word has arrived by now
    EXPECT_FALSE(view->nameLabel()->isVisible());
    EXPECT_EQ(view->controller().nameText(), QStringLiteral(" 1 - Camera - 1"));
}

TEST_F(LiveViewTest, ClosedPortFailsWithMessageAndEndsTheView) {
    pointAtClosedPort(0);
    openView();
    int highest = 0;
    ASSERT_TRUE(waitFor(
        [&] {
            highest = std::max(highest, view->progressBar()->value());
            return !shell.scripted.messages.empty();
        },
        15000));
    EXPECT_EQ(shell.scripted.messages[0].text, QStringLiteral("Connect Fail!"));
    EXPECT_EQ(shell.scripted.messages[0].caption, QStringLiteral("Connect"));
    EXPECT_EQ(shell.scripted.messages[0].buttons, PromptButtons::Ok);
    // The bar stops at its maximum after nine seconds while the attempt goes on.
    EXPECT_EQ(highest, LiveViewController::kProgressMaximum);
    EXPECT_GT(view->controller().progressCount(), LiveViewController::kProgressMaximum);
    EXPECT_EQ(shell.scripted.messages[0].detail.left(10), QStringLiteral("connect to"));
    ASSERT_TRUE(waitFor([&] { return view->controller().isClosed(); }));
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(shell.orientations, (std::vector<int>{270, 0}));
    EXPECT_FALSE(view->controller().hasStream());
}

TEST_F(LiveViewTest, FailedSwitchKeepsTheFailedPictureWithoutMessage) {
    startCamera(2, 0);
    pointAtClosedPort(1);
    openView(0);
    ASSERT_TRUE(waitConnected());
    view->controller().streamClose();
    view->controller().streamOpen(1, LiveViewController::OpenMode::Switch);
    EXPECT_TRUE(view->controller().isConnecting());
    ASSERT_TRUE(waitFor([&] { return !view->controller().isConnecting(); }, 15000));
    QTest::qWait(50);
    EXPECT_TRUE(shell.scripted.messages.empty());
    EXPECT_FALSE(view->controller().isClosed());
    EXPECT_FALSE(view->controller().isConnected());
    EXPECT_EQ(view->controller().currentPosition(), 1);
    EXPECT_TRUE(showsPicture(view->background().toImage(), pictures::kBackgroundFailed));
    EXPECT_FALSE(view->progressBar()->isVisible());
}

TEST_F(LiveViewTest, ClosingDuringAnAttemptKeepsTheGuiRunningAndAsksNothing) {
    pointAtClosedPort(0);
    openView();
    ASSERT_TRUE(waitFor([&] { return view->progressBar()->value() >= 2; }));
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(50);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start();
    // The stream's worker is inside the connect until its bound runs out; the
    // view closes once it is over, with the GUI's events running meanwhile.
    view->controller().close();
    ASSERT_TRUE(waitFor([&] { return view->controller().isClosed(); }, 15000));
    EXPECT_GT(ticks, 20);
    QTest::qWait(50);
    EXPECT_TRUE(shell.scripted.messages.empty());
    EXPECT_EQ(shell.orientations, (std::vector<int>{270, 0}));
}

TEST_F(LiveViewTest, DroppedCameraAsksToReturnAndYesClosesTheView) {
    startCamera(2);
    openView();
    ASSERT_TRUE(waitConnected());
    shell.scripted.answers.push_back(PromptAnswer::Yes);
    v2->stop();
    ASSERT_TRUE(waitFor([&] { return view->controller().isClosed(); }));
    ASSERT_EQ(shell.scripted.messages.size(), 1u);
    EXPECT_EQ(shell.scripted.messages[0].text, QStringLiteral("Network Loss!\nReturn to main menu?"));
    EXPECT_EQ(shell.scripted.messages[0].caption, QStringLiteral("Connection"));
    EXPECT_EQ(shell.scripted.messages[0].buttons, PromptButtons::YesNo);
}

TEST_F(LiveViewTest, NoAfterNetworkLossKeepsTheViewOpen) {
    startCamera(2);
    openView();
    ASSERT_TRUE(waitConnected());
    shell.scripted.answers.push_back(PromptAnswer::No);
    v2->stop();
    ASSERT_TRUE(waitFor([&] { return !shell.scripted.messages.empty(); }));
    QTest::qWait(100);
    EXPECT_FALSE(view->controller().isClosed());
    EXPECT_TRUE(view->controller().isConnected());
}

TEST_F(LiveViewTest, LostCameraComesBackOnItsOwnUnderItsLastPicture) {
    startCamera(2);
    record(0).autoReconnect = 1;
    openView();
    ASSERT_TRUE(waitConnected());
    camsim::CameraOptions sameCamera = camsim::smallCameraOptions();
    sameCamera.controlPort = v2->controlPort();
    sameCamera.videoPort = v2->videoPort();
    sameCamera.httpPort = v2->httpPort();
    camera->stop();
    ASSERT_TRUE(waitFor([&] { return view->reconnectingLabel()->isVisible() && !shell.scripted.messages.empty(); }));
    camera = std::make_unique<camsim::SimulatedCamera>(2, sameCamera);
    ASSERT_TRUE(camera->start()) << camera->error();
    const long painted = view->videoSurface().paintedCount();
    EXPECT_TRUE(waitFor(
        [&] { return !view->reconnectingLabel()->isVisible() && view->videoSurface().paintedCount() >= painted + 3; },
        10000));
}

TEST_F(LiveViewTest, ClosingWhileTheLossQuestionIsUpDoesNotHang) {
    startCamera(2);
    openView();
    ASSERT_TRUE(waitConnected());
    shell.scripted.hold = true;
    v2->stop();
    ASSERT_TRUE(waitFor([&] { return shell.scripted.waiting() == 1; }));
    // The user's close while the question is up ends the view; the answer
    // that comes after changes nothing.
    view->controller().close();
    EXPECT_TRUE(waitFor([&] { return view->controller().isClosed(); }));
    shell.scripted.answers.push_back(PromptAnswer::Yes);
    shell.scripted.answerNext();
    QTest::qWait(50);
    EXPECT_EQ(shell.scripted.messages.size(), 1u);
    EXPECT_EQ(shell.orientations, (std::vector<int>{270, 0}));
}

TEST_F(LiveViewTest, CloseSetsTheOutputBackAndTurnsTheDisplayBack) {
    startCamera(2);
    openView();
    ASSERT_TRUE(waitConnected());
    view->controller().toggleOutput();
    ASSERT_TRUE(v2->recording().waitFor(camsim::Channel::Control, kV2DigitalOutput, 3000));
    EXPECT_TRUE(view->menu().triggerDo1->isChecked());
    view->controller().close();
    ASSERT_TRUE(waitFor([&] { return view->controller().isClosed(); }));
    EXPECT_FALSE(view->isVisible());
    std::vector<std::vector<uint8_t>> outputs;
    for (const auto& m : v2->recording().on(camsim::Channel::Control)) {
        if (m.type == kV2DigitalOutput) outputs.push_back(m.payload);
    }
    EXPECT_EQ(outputs, (std::vector<std::vector<uint8_t>>{{1}, {0}}));
    EXPECT_EQ(shell.orientations, (std::vector<int>{270, 0}));
    EXPECT_FALSE(view->controller().hasStream());
}

TEST_F(LiveViewTest, EscapeRunsClose) {
    startCamera(2);
    openView();
    ASSERT_TRUE(waitConnected());
    QTest::keyClick(view.get(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return view->controller().isClosed(); }));
    EXPECT_EQ(shell.orientations, (std::vector<int>{270, 0}));
}

} // namespace
} // namespace tavolin::ui::test
