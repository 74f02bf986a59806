// Camera control requests carried to simulated cameras: PTZ bytes, fallbacks,
// digital output, serial settings and the quad display mode.
#include <gtest/gtest.h>
#include <ostrel/stream_client.h>

#include <chrono>
#include <memory>
#include <thread>

#include "camsim/http_server.h"
#include "camsim/v1_camera.h"
#include "camsim/v2_camera.h"
#include "camsim_session.h"
#include "platform/tcp_socket.h"

namespace ostrel::test {
namespace {

using Bytes = std::vector<uint8_t>;
using camsim::Channel;

// Check byte: sum of bytes 2 to 6; the address goes into byte 2.
const char* const kChecksummed = R"(
[ATTRIBUTES]
ADDRIDSTART;0x01
ADDRIDPOS;2
CHECKSUM;$B7=$B2+$B3+$B4+$B5+$B6
[PANTILT]
PANLEFT;3;0;0xFF,0x00,0x00,0x04,0x18,0x00,0x00
PANRIGHT;3;0;0xFF,0x00,0x00,0x02,0x18,0x00,0x00
TILTUP;3;0;0xFF,0x00,0x00,0x08,0x00,0x18,0x00
MOVEUPRIGHT;3;0;0xFF,0x00,0x00,0x0A,0x18,0x18,0x00
PANTILTSTOP;0;0;0xFF,0x00,0x00,0x00,0x00,0x00,0x00
[ZOOM]
ZOOMIN;1;0;0xFF,0x00,0x00,0x20,0x00,0x00,0x00
ZOOMOUT;1;0;0xFF,0x00,0x00,0x40,0x00,0x00,0x00
ZOOMSTOP;0;0;0xFF,0x00,0x00,0x00,0x00,0x00,0x00
[PRESET]
PRESETGOTO;2;0;0xFF,0x00,0x00,0x07,0x00,0x02,0x00
PRESETSET;2;0;0xFF,0x00,0x00,0x03,0x00,0x02,0x00
[OSD]
OSDRIGHT;0;0;0xFF,0x00,0x00,0x02,0x20,0x00,0x00
)";

// The same commands for address 5, worked by hand.
const Bytes kPanLeft3 = {0xFF, 0x05, 0x00, 0x04, 0x18, 0x00, 0x21};
const Bytes kPanRight3 = {0xFF, 0x05, 0x00, 0x02, 0x18, 0x00, 0x1F};
const Bytes kMoveUpRight3 = {0xFF, 0x05, 0x00, 0x0A, 0x18, 0x18, 0x3F};
const Bytes kPanTiltStop = {0xFF, 0x05, 0x00, 0x00, 0x00, 0x00, 0x05};
const Bytes kZoomIn = {0xFF, 0x05, 0x00, 0x20, 0x00, 0x00, 0x25};
const Bytes kZoomOut = {0xFF, 0x05, 0x00, 0x40, 0x00, 0x00, 0x45};
const Bytes kPresetGoto2 = {0xFF, 0x05, 0x00, 0x07, 0x00, 0x02, 0x0E};
const Bytes kPresetSet2 = {0xFF, 0x05, 0x00, 0x03, 0x00, 0x02, 0x0A};
const Bytes kOsdRight = {0xFF, 0x05, 0x00, 0x02, 0x20, 0x00, 0x27};

// No diagonals, no stop command, no address: bytes as written.
const char* const kPlain = R"(
[PANTILT]
PANLEFT;0;0;0xA0,0x10,0x00
PANLEFT;3;0;0xA0,0x10,0x03
PANRIGHT;0;0;0xA0,0x20,0x00
PANRIGHT;3;0;0xA0,0x20,0x03
TILTUP;0;0;0xA0,0x30,0x00
TILTUP;3;0;0xA0,0x30,0x03
TILTDOWN;0;0;0xA0,0x40,0x00
TILTDOWN;3;0;0xA0,0x40,0x03
)";

// Neither PANLEFT nor TILTUP.
const char* const kGappy = R"(
[PANTILT]
PANRIGHT;0;0;0xB0,0x20,0x00
PANRIGHT;3;0;0xB0,0x20,0x03
TILTDOWN;0;0;0xB0,0x40,0x00
TILTDOWN;3;0;0xB0,0x40,0x03
)";

constexpr uint32_t kV2SerialBytes = 54;
constexpr uint32_t kV2DigitalOutput = 50;
constexpr uint32_t kV1SerialBytes = 11;
constexpr uint32_t kV1DigitalOutput = 13;
constexpr uint32_t kV1SerialSetting = 17;

class V2ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        camera = std::make_unique<camsim::V2Camera>(camsim::quietCameraOptions());
        ASSERT_TRUE(camera->start());
        handle = openQuietInterface(clock);
        ASSERT_NE(handle, nullptr);
        M_KSetStreamingType(handle, 2);
        MediaConfig c = camsim::loopbackMediaConfig(*camera);
        ASSERT_EQ(M_KSetMediaConfig(handle, &c), 1);
    }
    void TearDown() override {
        M_KDisconnect(handle);
        M_KCloseInterface(handle);
        camera.reset();
    }

    void connectWith(const char* protocolText, int32_t addressId = 5) {
        file = std::make_unique<ProtocolFile>("test.ptz", protocolText);
        const PTZEnableInfo info = file->enableInfo(addressId);
        ASSERT_EQ(M_KEnablePTZProtocol(handle, 1, &info), 1);
        ASSERT_EQ(connectOnStandingClock(handle, clock), 1);
        ASSERT_TRUE(camera->waitControlLogin(5000));
    }
    // Sends a known command and waits for it, so that everything sent before
    // it has arrived too.
    std::vector<Bytes> sentUpToFence() {
        EXPECT_EQ(M_KPTZ_RIGHT(handle, 3), 1);
        EXPECT_TRUE(camera->recording().waitFor(
            [&](const camsim::ReceivedMessage& m) {
                return m.channel == Channel::Control && m.type == kV2SerialBytes && m.payload == fenceBytes;
            },
            5000));
        std::vector<Bytes> all = payloads(camera->recording(), Channel::Control, kV2SerialBytes);
        if (!all.empty()) all.pop_back();
        return all;
    }
    // Right at speed 3 in the protocol in use.
    Bytes fenceBytes = kPanRight3;

    platform::ManualClock clock;
    std::unique_ptr<camsim::V2Camera> camera;
    std::unique_ptr<ProtocolFile> file;
    OstrelInterface* handle = nullptr;
};

TEST_F(V2ControlTest, PanBytesArriveAsSerialMessage) {
    connectWith(kChecksummed);
    EXPECT_EQ(M_KPTZ_LEFT(handle, 3), 1);
    EXPECT_EQ(sentUpToFence(), (std::vector<Bytes>{kPanLeft3}));
}

TEST_F(V2ControlTest, EachExportAsksForItsCommandAndParameter) {
    connectWith(kChecksummed);
    EXPECT_EQ(M_KPTZ_ZOOM_IN(handle), 1);
    EXPECT_EQ(M_KPTZ_ZOOM_OUT(handle), 1);
    EXPECT_EQ(M_KPTZ_ZOOM_STOP(handle), 1);
    EXPECT_EQ(M_KPTZ_GOTO_PRESET(handle, 2), 1);
    EXPECT_EQ(M_KPTZ_SET_PRESET(handle, 2), 1);
    EXPECT_EQ(M_KPTZ_OSD_RIGHTT(handle), 1);
    EXPECT_EQ(sentUpToFence(),
              (std::vector<Bytes>{kZoomIn, kZoomOut, kPanTiltStop, kPresetGoto2, kPresetSet2, kOsdRight}));
}

TEST_F(V2ControlTest, CommandsTheProtocolLacksReturnZeroAndSendNothing) {
    connectWith(kChecksummed);
    EXPECT_EQ(M_KPTZ_DOWN(handle, 3), 0);
    EXPECT_EQ(M_KPTZ_LEFT(handle, 4), 0); // no line for speed 4
    EXPECT_EQ(M_KPTZ_OSD_ON(handle), 0);
    EXPECT_EQ(M_KPTZ_GOTO_PRESET(handle, 3), 0);
    EXPECT_TRUE(sentUpToFence().empty());
}

// Pointing requests are the ONVIF plug-in's; the protocol plug-ins would pass
// any command on to the camera as a message of its type.
TEST_F(V2ControlTest, PointingRequestsNeverReachAProtocolCamera) {
    connectWith(kChecksummed);
    uint32_t spaces = 99;
    EXPECT_EQ(M_KPTZ_GET_SPACES(handle, &spaces), 0);
    EXPECT_EQ(spaces, 0u);
    EXPECT_EQ(M_KPTZ_RELATIVE_MOVE(handle, 1, 0.5f, 0.0f, 1.0f), 0);
    EXPECT_EQ(M_KPTZ_ABSOLUTE_MOVE(handle, 0.0f, 0.0f, 0.0f), 0);
    EXPECT_EQ(M_KPTZ_GET_POSITION(handle, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(sentUpToFence().empty());
    for (const auto& m : camera->recording().on(Channel::Control)) EXPECT_NE(m.type, 21u);
}

TEST_F(V2ControlTest, NegativePresetSendsNothing) {
    connectWith(kChecksummed);
    EXPECT_EQ(M_KPTZ_GOTO_PRESET(handle, -1), 0);
    EXPECT_EQ(M_KPTZ_SET_PRESET(handle, -1), 0);
    EXPECT_TRUE(sentUpToFence().empty());
}

TEST_F(V2ControlTest, DiagonalUsesTheDiagonalCommandWhenThereIsOne) {
    connectWith(kChecksummed);
    EXPECT_EQ(M_KPTZ_UP_RIGHT(handle, 3), 1);
    EXPECT_EQ(sentUpToFence(), (std::vector<Bytes>{kMoveUpRight3}));
}

TEST_F(V2ControlTest, DiagonalWithoutItSendsVerticalThenHorizontal) {
    connectWith(kPlain);
    EXPECT_EQ(M_KPTZ_UP_RIGHT(handle, 3), 1);
    EXPECT_EQ(M_KPTZ_DOWN_LEFT(handle, 3), 1);
    // The fence's bytes are also the second half of the first diagonal, so
    // the fence alone does not say that everything arrived: count to five.
    EXPECT_EQ(M_KPTZ_RIGHT(handle, 3), 1);
    ASSERT_TRUE(waitForCount(camera->recording(), Channel::Control, kV2SerialBytes, 5));
    EXPECT_EQ(payloads(camera->recording(), Channel::Control, kV2SerialBytes),
              (std::vector<Bytes>{
                  {0xA0, 0x30, 0x03}, {0xA0, 0x20, 0x03}, {0xA0, 0x40, 0x03}, {0xA0, 0x10, 0x03}, {0xA0, 0x20, 0x03}}));
}

TEST_F(V2ControlTest, DiagonalWithoutVerticalCommandSendsNothing) {
    fenceBytes = {0xB0, 0x20, 0x03};
    connectWith(kGappy);
    EXPECT_EQ(M_KPTZ_UP_RIGHT(handle, 3), 0);
    EXPECT_TRUE(sentUpToFence().empty());
}

TEST_F(V2ControlTest, StopUsesPanTiltStopWhenThereIsOne) {
    connectWith(kChecksummed);
    EXPECT_EQ(M_KPTZ_STOP(handle, 0), 1);
    EXPECT_EQ(M_KPTZ_STOP(handle, 3), 1);
    EXPECT_EQ(sentUpToFence(), (std::vector<Bytes>{kPanTiltStop, kPanTiltStop}));
}

TEST_F(V2ControlTest, StopAllWithoutStopCommandSendsEveryMoveAtSpeedZero) {
    fenceBytes = {0xA0, 0x20, 0x03};
    connectWith(kPlain);
    EXPECT_EQ(M_KPTZ_STOP(handle, 0), 1);
    EXPECT_EQ(sentUpToFence(),
              (std::vector<Bytes>{{0xA0, 0x20, 0x00}, {0xA0, 0x10, 0x00}, {0xA0, 0x40, 0x00}, {0xA0, 0x30, 0x00}}));
}

TEST_F(V2ControlTest, StopAllSkipsMovesTheProtocolLacks) {
    fenceBytes = {0xB0, 0x20, 0x03};
    connectWith(kGappy);
    EXPECT_EQ(M_KPTZ_STOP(handle, 0), 1);
    EXPECT_EQ(sentUpToFence(), (std::vector<Bytes>{{0xB0, 0x20, 0x00}, {0xB0, 0x40, 0x00}}));
}

TEST_F(V2ControlTest, StopByDirectionSendsThatMoveAtSpeedZero) {
    fenceBytes = {0xA0, 0x20, 0x03};
    connectWith(kPlain);
    EXPECT_EQ(M_KPTZ_STOP(handle, 1), 1);
    EXPECT_EQ(M_KPTZ_STOP(handle, 2), 1);
    EXPECT_EQ(M_KPTZ_STOP(handle, 3), 1);
    EXPECT_EQ(M_KPTZ_STOP(handle, 4), 1);
    EXPECT_EQ(M_KPTZ_STOP(handle, 5), 0);
    EXPECT_EQ(M_KPTZ_STOP(handle, -1), 0);
    EXPECT_EQ(sentUpToFence(),
              (std::vector<Bytes>{{0xA0, 0x30, 0x00}, {0xA0, 0x40, 0x00}, {0xA0, 0x10, 0x00}, {0xA0, 0x20, 0x00}}));
}

TEST_F(V2ControlTest, DisablingPtzStopsRequests) {
    connectWith(kChecksummed);
    EXPECT_EQ(M_KEnablePTZProtocol(handle, 0, nullptr), 1);
    EXPECT_EQ(M_KPTZ_LEFT(handle, 3), 0);
    EXPECT_EQ(M_KEnablePTZProtocol(handle, 0, nullptr), 1); // nothing left to close
    const PTZEnableInfo info = file->enableInfo(5);
    ASSERT_EQ(M_KEnablePTZProtocol(handle, 1, &info), 1);
    EXPECT_EQ(sentUpToFence().size(), 0u);
}

TEST_F(V2ControlTest, ConcurrentRequestsArriveWhole) {
    connectWith(kChecksummed);
    constexpr int kEach = 200;
    std::thread left([&] {
        for (int i = 0; i < kEach; ++i) M_KPTZ_LEFT(handle, 3);
    });
    std::thread zoom([&] {
        for (int i = 0; i < kEach; ++i) M_KPTZ_ZOOM_IN(handle);
    });
    left.join();
    zoom.join();
    const std::vector<Bytes> sent = sentUpToFence();
    ASSERT_EQ(sent.size(), 2u * kEach);
    for (const Bytes& b : sent) EXPECT_TRUE(b == kPanLeft3 || b == kZoomIn);
}

TEST_F(V2ControlTest, DigitalOutputArrivesUnchanged) {
    connectWith(kChecksummed);
    M_KSendDO(handle, 1);
    ASSERT_TRUE(waitForCount(camera->recording(), Channel::Control, kV2DigitalOutput, 1));
    EXPECT_EQ(payloads(camera->recording(), Channel::Control, kV2DigitalOutput), (std::vector<Bytes>{{1}}));
}

// Requests on an interface object that cannot carry them.
class UnboundControlTest : public ::testing::Test {
protected:
    void TearDown() override { M_KCloseInterface(handle); }
    platform::ManualClock clock;
    OstrelInterface* handle = openQuietInterface(clock);
};

TEST_F(UnboundControlTest, NullHandleDoesNothing) {
    EXPECT_EQ(M_KEnablePTZProtocol(nullptr, 0, nullptr), 0);
    EXPECT_EQ(M_KPTZ_LEFT(nullptr, 3), 0);
    EXPECT_EQ(M_KPTZ_UP_RIGHT(nullptr, 3), 0);
    EXPECT_EQ(M_KPTZ_STOP(nullptr, 0), 0);
    EXPECT_EQ(M_KPTZ_GOTO_PRESET(nullptr, 1), 0);
    EXPECT_EQ(M_KQuadSetDisplayMode(nullptr, 2), 0);
    EXPECT_EQ(M_KSendRS232Setting(nullptr, 3, 4), 0);
    M_KSendDO(nullptr, 1);
    uint32_t spaces = 7;
    EXPECT_EQ(M_KPTZ_GET_SPACES(nullptr, &spaces), 0);
    EXPECT_EQ(spaces, 0u);
    EXPECT_EQ(M_KPTZ_RELATIVE_MOVE(nullptr, 1, 0.0f, 0.0f, 1.0f), 0);
    uint8_t gray[4] = {};
    EXPECT_EQ(M_KGetPictureSample(nullptr, gray, 2, 2, 0), 0);
}

TEST_F(UnboundControlTest, WithoutTransportEverythingFails) {
    ProtocolFile file("test.ptz", kChecksummed);
    const PTZEnableInfo info = file.enableInfo(5);
    ASSERT_EQ(M_KEnablePTZProtocol(handle, 1, &info), 1);
    EXPECT_EQ(M_KPTZ_LEFT(handle, 3), 0);
    EXPECT_EQ(M_KPTZ_STOP(handle, 0), 0);
    EXPECT_EQ(M_KSendRS232Setting(handle, 3, 4), 0);
}

TEST_F(UnboundControlTest, EnableNeedsAKnownSourceAndARecord) {
    EXPECT_EQ(M_KEnablePTZProtocol(handle, 0, nullptr), 1);
    EXPECT_EQ(M_KEnablePTZProtocol(handle, 1, nullptr), 0);
    PTZEnableInfo info{};
    info.sourceType = 3;
    EXPECT_EQ(M_KEnablePTZProtocol(handle, 1, &info), 0);
    info.sourceType = OSTREL_PTZ_SOURCE_BUILTIN; // empty vendor and protocol
    EXPECT_EQ(M_KEnablePTZProtocol(handle, 1, &info), 0);
}

TEST_F(UnboundControlTest, UnterminatedEnableRecordIsReadWithinItsFields) {
    PTZEnableInfo info;
    std::memset(&info, 'x', sizeof info);
    info.sourceType = OSTREL_PTZ_SOURCE_BUILTIN;
    info.addressId = 1;
    // Vendor "xxx…" and protocol "xxx…" name no built-in text.
    EXPECT_EQ(M_KEnablePTZProtocol(handle, 1, &info), 0);
}

class V1ControlTest : public ::testing::Test {
protected:
    void start(int32_t connectionType) {
        camera = std::make_unique<camsim::V1Camera>(camsim::quietCameraOptions());
        ASSERT_TRUE(camera->start());
        handle = openQuietInterface(clock);
        ASSERT_NE(handle, nullptr);
        M_KSetStreamingType(handle, 1);
        MediaConfig c = camsim::loopbackMediaConfig(*camera);
        c.connectionType = connectionType;
        ASSERT_EQ(M_KSetMediaConfig(handle, &c), 1);
        file = std::make_unique<ProtocolFile>("test.ptz", kChecksummed);
        const PTZEnableInfo info = file->enableInfo(5);
        ASSERT_EQ(M_KEnablePTZProtocol(handle, 1, &info), 1);
        ASSERT_EQ(connectOnStandingClock(handle, clock), 1);
    }
    void TearDown() override {
        if (handle != nullptr) {
            M_KDisconnect(handle);
            M_KCloseInterface(handle);
        }
        camera.reset();
    }

    platform::ManualClock clock;
    std::unique_ptr<camsim::V1Camera> camera;
    std::unique_ptr<ProtocolFile> file;
    OstrelInterface* handle = nullptr;
};

TEST_F(V1ControlTest, PtzBytesArriveAsSerialMessage) {
    start(2);
    EXPECT_EQ(M_KPTZ_LEFT(handle, 3), 1);
    EXPECT_EQ(M_KPTZ_UP_RIGHT(handle, 3), 1);
    ASSERT_TRUE(waitForCount(camera->recording(), Channel::Control, kV1SerialBytes, 2));
    EXPECT_EQ(payloads(camera->recording(), Channel::Control, kV1SerialBytes),
              (std::vector<Bytes>{kPanLeft3, kMoveUpRight3}));
}

TEST_F(V1ControlTest, VideoOnlyConnectionRefusesPtzButSendsDigitalOutput) {
    start(1);
    EXPECT_EQ(M_KPTZ_LEFT(handle, 3), 0);
    EXPECT_EQ(M_KPTZ_UP_RIGHT(handle, 3), 0);
    EXPECT_EQ(M_KPTZ_STOP(handle, 0), 0);
    EXPECT_EQ(M_KPTZ_ZOOM_IN(handle), 0);
    EXPECT_EQ(M_KPTZ_GOTO_PRESET(handle, 2), 0);
    EXPECT_EQ(M_KPTZ_OSD_RIGHTT(handle), 0);
    M_KSendDO(handle, 1);
    ASSERT_TRUE(waitForCount(camera->recording(), Channel::Control, kV1DigitalOutput, 1));
    // The protocol 1 plug-in moves the value into the high nibble.
    EXPECT_EQ(payloads(camera->recording(), Channel::Control, kV1DigitalOutput), (std::vector<Bytes>{{0x10}}));
    EXPECT_EQ(camera->recording().count(Channel::Control, kV1SerialBytes), 0u);
}

TEST_F(V1ControlTest, SerialSettingCarriesFormatAndBaudRate) {
    start(2);
    EXPECT_EQ(M_KSendRS232Setting(handle, 3, 4), 1);
    ASSERT_TRUE(waitForCount(camera->recording(), Channel::Control, kV1SerialSetting, 1));
    EXPECT_EQ(payloads(camera->recording(), Channel::Control, kV1SerialSetting), (std::vector<Bytes>{{3, 4}}));
}

// The quad display mode needs only the web server.
class QuadModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        camera = std::make_unique<camsim::V2Camera>(camsim::quietCameraOptions());
        ASSERT_TRUE(camera->start());
        handle = openQuietInterface(clock);
    }
    void TearDown() override {
        M_KCloseInterface(handle);
        camera.reset();
    }
    void configure(const char* user, const char* password, uint16_t httpPort) {
        MediaConfig c = cameraConfig(2, 0, camera->videoPort(), camera->controlPort(), httpPort);
        std::strcpy(c.userName, user);
        std::strcpy(c.password, password);
        M_KSetStreamingType(handle, 2);
        M_KSetMediaConfig(handle, &c);
    }

    platform::ManualClock clock;
    std::unique_ptr<camsim::V2Camera> camera;
    OstrelInterface* handle = nullptr;
};

TEST_F(QuadModeTest, ModeGoesToTheQuadScript) {
    configure("admin", "admin", camera->httpPort());
    EXPECT_EQ(M_KQuadSetDisplayMode(handle, 2), 1);
    ASSERT_TRUE(camera->http().waitForRequests(1, 5000));
    const camsim::HttpRequest request = camera->http().requests().back();
    EXPECT_EQ(request.target, "/cgi-bin/quad?USER=admin&PWD=admin&DISPLAY=2");
    EXPECT_EQ(request.header("user-agent"), "DeViru");
    EXPECT_EQ(camera->displayMode(), 2);
}

TEST_F(QuadModeTest, AServerThatDoesNotAnswerHoldsTheCallerAboutASecond) {
    configure("admin", "admin", camera->httpPort());
    camera->http().faults().delayMs = 2500;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(M_KQuadSetDisplayMode(handle, 3), 1);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(took, 2.0);
    EXPECT_GE(took, 0.9);
}

TEST_F(QuadModeTest, CredentialsCannotAddParameters) {
    configure("ad&DISPLAY=4", "p w#=%", camera->httpPort());
    EXPECT_EQ(M_KQuadSetDisplayMode(handle, 1), 1);
    ASSERT_TRUE(camera->http().waitForRequests(1, 5000));
    const auto parameters = camera->http().requests().back().parameters();
    ASSERT_EQ(parameters.size(), 3u);
    EXPECT_EQ(parameters[0].first, "USER");
    EXPECT_EQ(parameters[0].second, "ad&DISPLAY=4");
    EXPECT_EQ(parameters[1].first, "PWD");
    EXPECT_EQ(parameters[1].second, "p w#=%");
    EXPECT_EQ(parameters[2].first, "DISPLAY");
    EXPECT_EQ(parameters[2].second, "1");
    EXPECT_EQ(camera->displayMode(), 1);
}

TEST_F(QuadModeTest, SucceedsEvenWhenNobodyAnswers) {
    uint16_t closedPort = 0;
    {
        platform::TcpListener listener;
        ASSERT_TRUE(listener.listen("127.0.0.1", 0));
        closedPort = listener.port();
    }
    configure("admin", "admin", closedPort);
    EXPECT_EQ(M_KQuadSetDisplayMode(handle, 2), 1);
    camera->http().faults().errorStatus.store(500);
    configure("admin", "admin", camera->httpPort());
    EXPECT_EQ(M_KQuadSetDisplayMode(handle, 3), 1);
}

} // namespace
} // namespace ostrel::test
