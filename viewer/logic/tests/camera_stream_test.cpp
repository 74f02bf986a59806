// The stream object over the stream client against simulated cameras: it
// connects on its worker, reports on the GUI thread, carries the commands in
// order and closes without the GUI thread ever waiting. Bytes are Pelco-D
// frames for address 1 (FF, address, command 1, command 2, data 1, data 2,
// sum of bytes 2 to 6), worked out by hand.
#include "live/camera_stream.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <memory>
#include <vector>

#include "camera_session.h"
#include "camsim/simulated_camera.h"
#include "camsim/v2_camera.h"
#include "platform/audio.h"
#include "platform/tcp_socket.h"

namespace tavolin::ui::test {
namespace {

const Bytes kPanLeft3 = {0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1D};
const Bytes kUpLeft5 = {0xFF, 0x01, 0x00, 0x0C, 0x3F, 0x3F, 0x8B};
const Bytes kStop = {0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01};
const Bytes kZoomIn = {0xFF, 0x01, 0x00, 0x20, 0x00, 0x00, 0x21};
const Bytes kZoomOut = {0xFF, 0x01, 0x00, 0x40, 0x00, 0x00, 0x41};
const Bytes kOsdUp = {0xFF, 0x01, 0x00, 0x08, 0x00, 0x20, 0x29};
const Bytes kOsdDown = {0xFF, 0x01, 0x00, 0x10, 0x00, 0x20, 0x31};
const Bytes kOsdLeave = {0xFF, 0x01, 0x04, 0x00, 0x00, 0x00, 0x05};
const Bytes kOsdEnter = {0xFF, 0x01, 0x02, 0x00, 0x00, 0x00, 0x03};
constexpr uint32_t kTokenRelease = 49;

// What a stream reported, in order.
struct Reports {
    explicit Reports(LiveStream& s) {
        QObject::connect(&s, &LiveStream::connected, [this] { seen.push_back("connected"); });
        QObject::connect(&s, &LiveStream::failed, [this](const QString& why) {
            seen.push_back("failed");
            reason = why;
        });
        QObject::connect(&s, &LiveStream::progress, [this](int step) { lastStep = step; });
        QObject::connect(&s, &LiveStream::networkLost, [this] { seen.push_back("lost"); });
        QObject::connect(&s, &LiveStream::talkResult, [this](TalkResult r, const QString& who) {
            talk = r;
            holder = who;
        });
        QObject::connect(&s, &LiveStream::closed, [this] { seen.push_back("closed"); });
    }
    bool has(const std::string& what) const { return std::find(seen.begin(), seen.end(), what) != seen.end(); }
    std::vector<std::string> seen;
    QString reason;
    QString holder;
    int lastStep = 0;
    std::optional<TalkResult> talk;
};

StreamSettings settingsFor(const camsim::V2Camera& camera, const QString& protocol = {}) {
    StreamSettings s;
    s.streamingType = 2;
    s.connection = camsim::loopbackMediaConfig(camera, 3);
    if (!protocol.isEmpty()) {
        PTZEnableInfo ptz{};
        ptz.sourceType = OSTREL_PTZ_SOURCE_FILE;
        std::strncpy(ptz.fileName, protocol.toUtf8().constData(), sizeof ptz.fileName - 1);
        ptz.addressId = 1;
        s.ptz = ptz;
    }
    return s;
}

class CameraStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        camera = std::make_unique<camsim::V2Camera>(camsim::quietCameraOptions());
        ASSERT_TRUE(camera->start());
    }
    void openWith(const StreamSettings& settings) {
        stream = std::make_unique<CameraStream>(settings);
        reports = std::make_unique<Reports>(*stream);
        stream->open();
    }
    bool connect(const QString& protocol = shippedProtocol("Pelco-D.ptz")) {
        openWith(settingsFor(*camera, protocol));
        return QTest::qWaitFor([&] { return reports->has("connected"); }, 10000) && camera->waitControlLogin(5000);
    }
    std::vector<Bytes> serialBytes(std::size_t count) {
        (void)QTest::qWaitFor(
            [&] { return camera->recording().count(camsim::Channel::Control, kSerialBytesMessage) >= count; }, 5000);
        std::vector<Bytes> out;
        for (const auto& m : camera->recording().on(camsim::Channel::Control)) {
            if (m.type == kSerialBytesMessage) out.push_back(m.payload);
        }
        return out;
    }

    std::unique_ptr<camsim::V2Camera> camera;
    std::unique_ptr<CameraStream> stream;
    std::unique_ptr<Reports> reports;
};

TEST_F(CameraStreamTest, SectorsStartWithTheirSpeedAndStopInTheOrderGiven) {
    ASSERT_TRUE(connect());
    stream->startMove(PtzSector::Left, 3);
    stream->stopMove(PtzSector::Left);
    stream->startMove(PtzSector::UpLeft, 5);
    stream->stopMove(PtzSector::UpLeft);
    stream->startMove(PtzSector::ZoomIn, 3);
    stream->stopMove(PtzSector::ZoomIn);
    stream->startMove(PtzSector::ZoomOut, 3);
    stream->stopMove(PtzSector::ZoomOut);
    EXPECT_EQ(serialBytes(8), (std::vector<Bytes>{kPanLeft3, kStop, kUpLeft5, kStop, kZoomIn, kStop, kZoomOut, kStop}));
}

TEST_F(CameraStreamTest, OsdCommandsDriveTheCamerasMenu) {
    ASSERT_TRUE(connect());
    for (OsdCommand c : {OsdCommand::Up, OsdCommand::StopUp, OsdCommand::Down, OsdCommand::StopDown, OsdCommand::Leave,
                         OsdCommand::Enter}) {
        stream->osd(c);
    }
    EXPECT_EQ(serialBytes(6), (std::vector<Bytes>{kOsdUp, kStop, kOsdDown, kStop, kOsdLeave, kOsdEnter}));
}

// Without a pan-tilt stop command each sector stops with its own direction:
// the move command at speed 0.
const char* const kNoStopCommand = R"(
[PANTILT]
PANLEFT;0;0;0xA0,0x10,0x00
PANLEFT;2;0;0xA0,0x10,0x02
PANRIGHT;0;0;0xA0,0x20,0x00
TILTUP;0;0;0xA0,0x30,0x00
TILTDOWN;0;0;0xA0,0x40,0x00
[ZOOM]
ZOOMSTOP;0;0;0xA0,0x50,0x00
)";

TEST_F(CameraStreamTest, EachSectorStopsItsOwnDirection) {
    ProtocolText protocol(kNoStopCommand);
    ASSERT_TRUE(connect(protocol.path()));
    for (PtzSector s :
         {PtzSector::Left, PtzSector::Up, PtzSector::Right, PtzSector::Down, PtzSector::ZoomIn, PtzSector::DownRight}) {
        stream->stopMove(s);
    }
    EXPECT_EQ(serialBytes(9), (std::vector<Bytes>{{0xA0, 0x10, 0x00},
                                                  {0xA0, 0x30, 0x00},
                                                  {0xA0, 0x20, 0x00},
                                                  {0xA0, 0x40, 0x00},
                                                  {0xA0, 0x50, 0x00},
                                                  // all four for a diagonal
                                                  {0xA0, 0x20, 0x00},
                                                  {0xA0, 0x10, 0x00},
                                                  {0xA0, 0x40, 0x00},
                                                  {0xA0, 0x30, 0x00}}));
}

TEST_F(CameraStreamTest, RefusedTokenNamesItsHolderAndIsFreed) {
    ASSERT_TRUE(connect());
    camera->faults().refuseAudioToken = true;
    camera->setAudioTokenHolder({192, 168, 0, 5});
    stream->startTalking();
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports->talk.has_value(); }, 5000));
    EXPECT_EQ(*reports->talk, TalkResult::Refused);
    EXPECT_EQ(reports->holder, QStringLiteral("192.168.0.5"));
    EXPECT_TRUE(camera->recording().waitFor(camsim::Channel::AudioOut, kTokenRelease, 2000));
}

TEST_F(CameraStreamTest, WithoutMicrophoneTalkingFailsAndTheTokenGoesBack) {
    const auto devices = platform::makeSystemAudioDevices();
    if (devices && devices->inputDeviceCount() > 0) GTEST_SKIP() << "this machine has a capture device";
    ASSERT_TRUE(connect());
    stream->startTalking();
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports->talk.has_value(); }, 5000));
    EXPECT_EQ(*reports->talk, TalkResult::Failed);
    EXPECT_TRUE(camera->recording().waitFor(camsim::Channel::AudioOut, kTokenRelease, 2000));
}

TEST_F(CameraStreamTest, ClosedPortFailsWithTheReason) {
    platform::TcpListener listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    StreamSettings s = settingsFor(*camera);
    s.connection.controlPort = listener.port();
    s.connection.streamingPort = listener.port();
    listener.close(); // nobody listens there any more
    openWith(s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports->seen.empty(); }, 15000));
    EXPECT_EQ(reports->seen, std::vector<std::string>{"failed"});
    EXPECT_TRUE(reports->reason.contains(QStringLiteral("connection refused"))) << reports->reason.toStdString();
    EXPECT_TRUE(reports->reason.contains(QString::number(s.connection.controlPort))) << reports->reason.toStdString();
}

// Two streams failing at once each tell their own reason, never the other's.
TEST_F(CameraStreamTest, StreamsFailingTogetherKeepTheirOwnReasons) {
    std::vector<QString> urls;
    std::vector<std::unique_ptr<CameraStream>> streams;
    std::vector<std::unique_ptr<Reports>> reports;
    for (int i = 0; i < 2; ++i) {
        platform::TcpListener listener;
        ASSERT_TRUE(listener.listen("127.0.0.1", 0));
        urls.push_back(QStringLiteral("127.0.0.1:%1/live").arg(listener.port()));
        listener.close(); // nobody listens there any more
        StreamSettings s; // RTSP, which gives up at once on a refused connection
        s.streamingType = 4;
        s.connection.connectionType = 1;
        const QByteArray url = QStringLiteral("rtsp://%1").arg(urls.back()).toUtf8();
        std::strncpy(s.connection.cameraAddress, url.constData(), sizeof s.connection.cameraAddress - 1);
        streams.push_back(std::make_unique<CameraStream>(s));
        reports.push_back(std::make_unique<Reports>(*streams.back()));
    }
    for (auto& stream : streams) stream->open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports[0]->has("failed") && reports[1]->has("failed"); }, 5000));
    for (std::size_t i : {0u, 1u}) {
        const QString& reason = reports[i]->reason;
        EXPECT_TRUE(reason.contains(urls[i])) << reason.toStdString();
        EXPECT_FALSE(reason.contains(urls[1 - i])) << reason.toStdString();
    }
}

TEST_F(CameraStreamTest, ClosingDuringASilentLoginKeepsTheGuiRunningAndEndsWithClosed) {
    camera->faults().silentControlLogin = true;
    openWith(settingsFor(*camera));
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports->lastStep >= 3; }, 5000));
    QElapsedTimer clock;
    clock.start();
    stream->close();
    EXPECT_LT(clock.elapsed(), 50); // close only asks
    // The GUI's own timers keep running while the attempt runs out.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    const int stepWhenClosed = reports->lastStep;
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports->has("closed"); }, 15000));
    EXPECT_GT(ticks, 10);
    EXPECT_EQ(reports->seen, std::vector<std::string>{"closed"});
    EXPECT_EQ(reports->lastStep, stepWhenClosed); // no progress after close
}

TEST_F(CameraStreamTest, DroppedCameraIsReportedLostOnce) {
    ASSERT_TRUE(connect());
    camera->stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports->has("lost"); }, 10000));
    QTest::qWait(100);
    stream->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports->has("closed"); }, 10000));
    EXPECT_EQ(reports->seen, (std::vector<std::string>{"connected", "lost", "closed"}));
}

TEST_F(CameraStreamTest, SerialSettingGoesOutOnceAfterConnectingWithPtz) {
    StreamSettings s = settingsFor(*camera, shippedProtocol("Pelco-D.ptz"));
    s.serialControl = 8;
    s.serialBaudRate = 4;
    openWith(s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !camera->serialSetting().empty(); }, 10000));
    stream->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports->has("closed"); }, 10000));
    const auto requests = camera->recording().on(camsim::Channel::Http);
    const auto serial = std::count_if(requests.begin(), requests.end(), [](const camsim::ReceivedMessage& m) {
        return std::string(m.payload.begin(), m.payload.end()).find("SERIAL_SETTING") != std::string::npos;
    });
    EXPECT_EQ(serial, 1);
}

TEST_F(CameraStreamTest, DestroyingAnOpenStreamClosesIt) {
    ASSERT_TRUE(connect());
    stream->setOutput(true);
    QElapsedTimer clock;
    clock.start();
    stream.reset();
    // The command queued before went out first; the close waited for nothing
    // but the stream client's own ending.
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(camera->recording().waitFor(camsim::Channel::Control, 50, 2000));
}

} // namespace
} // namespace tavolin::ui::test
