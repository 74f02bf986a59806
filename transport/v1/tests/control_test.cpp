#include "plugin_fixture.h"

#include <thread>

namespace fenwa10::test {
namespace {

using camsim::Channel;

class ControlTest : public PluginTest {
protected:
    // The payload of the last control message of a type.
    std::vector<uint8_t> lastPayload(uint32_t type) {
        std::vector<uint8_t> out;
        for (const auto& m : camera->recording().on(Channel::Control)) {
            if (m.type == type) out = m.payload;
        }
        return out;
    }
};

TEST_F(ControlTest, DigitalOutputGoesOutInTheHighNibble) {
    startStreaming();
    uint8_t value = 1;
    TransportCommand c{transport::kCommandDigitalOutput, &value, 1, nullptr, 0};
    EXPECT_EQ(M_XSendCommand(handle, &c, nullptr), 1);
    ASSERT_TRUE(camera->recording().waitFor(Channel::Control, 13, 5000));
    EXPECT_EQ(lastPayload(13), std::vector<uint8_t>{16});
    // The caller's buffer is const and stays as it was.
    EXPECT_EQ(value, 1);
}

TEST_F(ControlTest, CommandsKeepTheirPayloadAndNumber) {
    startStreaming();
    const uint8_t ptz[] = {0xFF, 0x01, 0x00, 0x04, 0x20, 0x00, 0x25};
    TransportCommand serial{transport::kCommandSerial, ptz, sizeof ptz, nullptr, 0};
    const uint8_t format[] = {3, 5};
    TransportCommand setting{transport::kCommandSerialSetting, format, 2, nullptr, 0};
    const uint8_t any[] = {9};
    TransportCommand special{transport::kCommandA0000051, any, 1, nullptr, 0};
    TransportCommand other{77, nullptr, 0, nullptr, 0};
    EXPECT_EQ(M_XSendCommand(handle, &serial, nullptr), 1);
    EXPECT_EQ(M_XSendCommand(handle, &setting, nullptr), 1);
    EXPECT_EQ(M_XSendCommand(handle, &special, nullptr), 1);
    EXPECT_EQ(M_XSendCommand(handle, &other, nullptr), 1);
    ASSERT_TRUE(camera->recording().waitFor(Channel::Control, 77, 5000));
    EXPECT_EQ(lastPayload(11), std::vector<uint8_t>(ptz, ptz + sizeof ptz));
    EXPECT_EQ(lastPayload(17), (std::vector<uint8_t>{3, 5}));
    EXPECT_EQ(lastPayload(8), std::vector<uint8_t>{9});
    EXPECT_TRUE(lastPayload(77).empty());
}

TEST_F(ControlTest, CommandsAreRefusedWithoutConnectionOrWithBadPayload) {
    startCamera();
    const uint8_t b[] = {1};
    TransportCommand c{transport::kCommandSerial, b, 1, nullptr, 0};
    EXPECT_EQ(M_XSendCommand(handle, &c, nullptr), 0);
    ASSERT_EQ(M_XConnect(handle), 1);
    TransportCommand noData{transport::kCommandSerial, nullptr, 4, nullptr, 0};
    EXPECT_EQ(M_XSendCommand(handle, &noData, nullptr), 0);
    std::vector<uint8_t> big(4097, 1);
    TransportCommand tooLong{transport::kCommandSerial, big.data(), 4097, nullptr, 0};
    EXPECT_EQ(M_XSendCommand(handle, &tooLong, nullptr), 0);
    TransportCommand negative{transport::kCommandSerial, b, -1, nullptr, 0};
    EXPECT_EQ(M_XSendCommand(handle, &negative, nullptr), 0);
    EXPECT_EQ(camera->recording().count(Channel::Control, 11), 0u);
}

TEST_F(ControlTest, SetVideoConfigSendsEachValueThenRereadsTheCamera) {
    startCamera();
    ASSERT_EQ(M_XConnect(handle), 1);
    VideoConfig v{1, 4, 9, 11, 12, 13, 14, 25};
    M_XSetVideoConfig(handle, &v);
    auto types = camera->recording().typesOn(Channel::Control);
    EXPECT_EQ(types, (std::vector<uint32_t>{2, 32, 32, 4, 5, 6, 7, 9, 10, 8, 32}));
    EXPECT_EQ(lastPayload(4), (std::vector<uint8_t>{11, 0, 0, 0}));
    EXPECT_EQ(lastPayload(10), (std::vector<uint8_t>{4, 0, 0, 0}));
    EXPECT_EQ(lastPayload(8), (std::vector<uint8_t>{25, 0, 0, 0}));
    VideoConfig back{};
    M_XGetVideoConfig(handle, &back);
    EXPECT_EQ(back.resolutionCode, 4);
    EXPECT_EQ(back.bitRateCode, 9);
    EXPECT_EQ(back.brightness, 11);
    EXPECT_EQ(back.hue, 14);
    EXPECT_EQ(back.frameRate, 25);
}

TEST_F(ControlTest, GetVideoConfigMapsTheCameraFieldsAndReturnsTheStandard) {
    options.video = camsim::CameraVideoSettings{1, 3, 12, -5, 6, 7, 8, 20, 0};
    startCamera();
    VideoConfig v{9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(M_XGetVideoConfig(handle, &v), 0);
    EXPECT_EQ(v.videoStandard, 0); // not connected: all zero
    EXPECT_EQ(v.frameRate, 0);
    ASSERT_EQ(M_XConnect(handle), 1);
    EXPECT_EQ(M_XGetVideoConfig(handle, &v), 1);
    EXPECT_EQ(v.resolutionCode, 3);
    EXPECT_EQ(v.bitRateCode, 12);
    EXPECT_EQ(v.brightness, -5);
    EXPECT_EQ(v.contrast, 6);
    EXPECT_EQ(v.saturation, 7);
    EXPECT_EQ(v.hue, 8);
    EXPECT_EQ(v.frameRate, 20);
}

TEST_F(ControlTest, MotionInfoTravelsUnchangedBothWays) {
    startCamera();
    MotionInfo none{};
    EXPECT_EQ(M_XSetMotionInfo(handle, &none), 0);
    ASSERT_EQ(M_XConnect(handle), 1);
    MotionInfo m{1, 2, {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}}, {13, 14, 15}};
    EXPECT_EQ(M_XSetMotionInfo(handle, &m), 1);
    ASSERT_TRUE(camera->recording().waitFor(Channel::Control, 14, 5000));
    EXPECT_EQ(lastPayload(14),
              std::vector<uint8_t>(reinterpret_cast<uint8_t*>(&m), reinterpret_cast<uint8_t*>(&m) + 68));
    MotionInfo back{};
    EXPECT_EQ(M_XGetMotionInfo(handle, &back), 1);
    EXPECT_EQ(std::memcmp(&back, &m, sizeof m), 0);
}

// Waits out one real five-second answer time-out.
TEST_F(ControlTest, UnansweredMotionRequestLeavesTheRecordAndClosesControl) {
    startCamera();
    ASSERT_EQ(M_XConnect(handle), 1);
    camera->faults().ignoreConfigRequests = true;
    MotionInfo m{};
    m.regionCount = 2;
    EXPECT_EQ(M_XGetMotionInfo(handle, &m), 0);
    EXPECT_EQ(m.regionCount, 2);
    EXPECT_EQ(instance().control().state(), 0);
    ASSERT_TRUE(camera->recording().waitFor(Channel::Control, 18, 5000));
}

TEST_F(ControlTest, NoticesAreForwardedWithoutFrameReading) {
    startCamera();
    ASSERT_EQ(M_XConnect(handle), 1);
    ASSERT_TRUE(camera->sendDigitalInput(14));
    ASSERT_TRUE(camera->sendMotion(3));
    ASSERT_TRUE(camera->sendControl(0x10077, {1, 2, 3}));
    std::vector<uint8_t> block;
    ASSERT_TRUE(log.waitForType(0x10077, &block));
    EXPECT_EQ(block, (std::vector<uint8_t>{0x77, 0x00, 0x01, 0x00, 3, 0, 0, 0, 1, 2, 3}));
    ASSERT_TRUE(log.waitForType(0x1000C, &block));
    EXPECT_EQ(block, (std::vector<uint8_t>{0x0C, 0x00, 0x01, 0x00, 1, 0, 0, 0, 14}));
    ASSERT_TRUE(log.waitForType(0x1000E, &block));
    EXPECT_EQ(block.back(), 3);
}

TEST_F(ControlTest, StatusNoticeIsForwardedWithTheDerivedStatusInItsLastByte) {
    startCamera();
    ASSERT_EQ(M_XConnect(handle), 1);
    struct Case {
        uint8_t received;
        uint8_t derived;
    };
    for (Case c : {Case{0x21, 0x00}, Case{0x20, 0x20}, Case{0x02, 0x01}, Case{0x80, 0x80}}) {
        ASSERT_TRUE(camera->sendControl(0x10013, {c.received, 0xAA, 0xBB}));
        ASSERT_TRUE(camera->sendControl(0x10078, {})); // marks the end of this case
        std::vector<uint8_t> block;
        ASSERT_TRUE(log.waitForType(0x10078));
        ASSERT_TRUE(log.waitForType(0x10013, &block));
        ASSERT_EQ(block.size(), 11u);
        EXPECT_EQ(std::vector<uint8_t>(block.begin() + 8, block.end()),
                  (std::vector<uint8_t>{c.received, 0xAA, c.derived}))
            << int(c.received);
        EXPECT_EQ(instance().control().peekStatusBytes().status, c.derived);
        log.clear();
    }
}

TEST_F(ControlTest, LongStatusNoticeIsCutToItsBlockInsteadOfOverrunningIt) {
    startCamera();
    ASSERT_EQ(M_XConnect(handle), 1);
    std::vector<uint8_t> payload(500, 0x11);
    payload[0] = 0x40;
    ASSERT_TRUE(camera->sendControl(0x10013, payload));
    std::vector<uint8_t> block;
    ASSERT_TRUE(log.waitForType(0x10013, &block));
    ASSERT_EQ(block.size(), 64u);
    EXPECT_EQ(block[8], 0x40);
    EXPECT_EQ(block[63], 0x40);
}

TEST_F(ControlTest, KeepAliveGoesOutOnceTheAnswerIsFiveSecondsOld) {
    startStreaming();
    clock.advanceMs(4000);
    ASSERT_TRUE(camera->sendControl(0x10079, {})); // wakes the receive thread
    ASSERT_TRUE(log.waitForType(0x10079));
    ASSERT_TRUE(camera->sendControl(0x1007A, {}));
    ASSERT_TRUE(log.waitForType(0x1007A));
    EXPECT_EQ(camera->recording().count(Channel::Control, 3), 0u);
    clock.advanceMs(2000);
    ASSERT_TRUE(camera->sendControl(0x1007B, {}));
    EXPECT_TRUE(camera->recording().waitFor(Channel::Control, 3, 5000));
    EXPECT_TRUE(camera->recording().on(Channel::Control).back().payload.empty());
}

TEST_F(ControlTest, NinetySecondsWithoutKeepAliveAnswerLosesTheConnection) {
    startStreaming();
    camera->faults().ignoreKeepAlive = true;
    clock.advanceMs(60000);
    ASSERT_TRUE(camera->sendControl(0x10079, {}));
    ASSERT_TRUE(camera->recording().waitFor(Channel::Control, 3, 5000));
    EXPECT_FALSE(instance().connectionLost());
    clock.advanceMs(31000);
    // Other messages keep coming, but the keep-alive answer is too old.
    ASSERT_TRUE(camera->sendControl(0x1007A, {}));
    EXPECT_TRUE(log.waitForLoss());
    EXPECT_TRUE(instance().connectionLost());
}

TEST_F(ControlTest, KeepAliveAnswerRenewsTheConnection) {
    startStreaming();
    clock.advanceMs(60000);
    ASSERT_TRUE(camera->sendControl(0x10079, {}));
    ASSERT_TRUE(camera->recording().waitFor(Channel::Control, 3, 5000));
    const int64_t now = clock.nowMs() / 1000;
    for (int i = 0; i < 500 && instance().control().lastKeepAliveAnswerSeconds() != now; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(instance().control().lastKeepAliveAnswerSeconds(), now);
    clock.advanceMs(60000);
    ASSERT_TRUE(camera->sendControl(0x1007B, {}));
    ASSERT_TRUE(log.waitForType(0x1007B));
    EXPECT_FALSE(instance().connectionLost());
}

TEST_F(ControlTest, ClosedControlChannelGivesTheLossNoticeOnce) {
    startStreaming();
    camera->closeChannel(Channel::Control);
    ASSERT_TRUE(log.waitForLoss());
    EXPECT_TRUE(instance().connectionLost());
    M_XDisconnect(handle);
    EXPECT_EQ(log.countType(static_cast<uint32_t>(transport::kNetworkLossNotice)), 1u);
}

TEST_F(ControlTest, LossWithoutCallbackStillSetsTheFlag) {
    startStreaming();
    M_XSetControlDataCallBack(handle, nullptr, nullptr);
    camera->closeChannel(Channel::Control);
    for (int i = 0; i < 500 && !instance().connectionLost(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(instance().connectionLost());
}

TEST_F(ControlTest, WrongMagicOnControlIsALoss) {
    startStreaming();
    const std::vector<uint8_t> bad = {'V', 'e', 'x', 'x', 0x0C, 0, 1, 0, 0, 0, 0, 0};
    ASSERT_TRUE(camera->sendControlRaw(bad));
    EXPECT_TRUE(log.waitForLoss());
}

TEST_F(ControlTest, LossOfOneInstanceLeavesAnotherStreaming) {
    startStreaming();
    camsim::CameraOptions second = options;
    camsim::V1Camera other(second);
    ASSERT_TRUE(other.start());
    void* otherHandle = M_XInit();
    MediaConfig otherConfig = mediaConfigFor(other, options.user.c_str(), options.password.c_str());
    M_XSetMediaConfig(otherHandle, &otherConfig);
    ASSERT_EQ(M_XConnect(otherHandle), 1);
    ASSERT_EQ(M_XStartStreaming(otherHandle), 1);

    camera->closeChannel(Channel::Control);
    ASSERT_TRUE(log.waitForLoss());
    EXPECT_TRUE(instance().connectionLost());
    EXPECT_FALSE(instanceFromHandle(otherHandle)->connectionLost());

    camsim::VideoFrame f;
    f.data = camsim::SyntheticVideoSource::makePredicted(200);
    ASSERT_TRUE(other.sendVideo(f));
    int32_t k = 0;
    EXPECT_EQ(M_XGetNextFrame(otherHandle, &k, frame.data(), static_cast<int32_t>(frame.size())), 12 + 16 + 200 + 32);
    M_XExit(otherHandle);
}

TEST_F(ControlTest, ExportedInstanceKeepsItsKeepAliveTimesOnTheSystemClock) {
    startCamera();
    void* exported = M_XInit();
    ASSERT_NE(exported, nullptr);
    M_XSetMediaConfig(exported, &config);
    ASSERT_EQ(M_XConnect(exported), 1);
    const int64_t before = platform::SystemClock::instance().nowMs() / 1000;
    ASSERT_EQ(M_XStartStreaming(exported), 1);
    const int64_t after = platform::SystemClock::instance().nowMs() / 1000;
    const int64_t started = instanceFromHandle(exported)->control().lastKeepAliveAnswerSeconds();
    EXPECT_GE(started, before);
    EXPECT_LE(started, after);
    M_XExit(exported);
}

} // namespace
} // namespace fenwa10::test
