// The control channel: login, messages to and from the camera, keep-alive,
// stopping and disconnecting.
#include "v2_fixture.h"

#include "instance.h"
#include "platform/clock.h"
#include "platform/diagnostic_capture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using camsim::Channel;
using fenwa20test::CallbackLog;
using fenwa20test::configFor;
using fenwa20test::le32;

class ControlChannelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(camera.start()); }

    void login(int32_t type) {
        instance.setControlDataCallback(&log, &CallbackLog::callback);
        instance.setMediaConfig(configFor(camera, type));
        ASSERT_EQ(instance.connect(), 1);
        ASSERT_EQ(instance.startStreaming(), 1);
        ASSERT_TRUE(camera.waitControlLogin(5000));
    }

    static fenwa20::InstanceOptions options(platform::Clock* clock) {
        fenwa20::InstanceOptions o;
        o.control.clock = clock;
        return o;
    }

    camsim::V2Camera camera{fenwa20test::quietCamera()};
    platform::ManualClock clock;
    CallbackLog log;
    fenwa20::Instance instance{options(&clock)};
};

TEST_F(ControlChannelTest, LoginBlockLayout) {
    login(3);
    const auto blocks = camera.recording().on(Channel::Control);
    ASSERT_FALSE(blocks.empty());
    ASSERT_EQ(blocks[0].type, camsim::V2Camera::kLoginBlockType);
    const auto& b = blocks[0].payload;
    ASSERT_EQ(b.size(), 128u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data())), "admin");
    EXPECT_EQ(b[32], 1);
    EXPECT_EQ(b[33] | b[34] | b[35], 0);
    for (int i = 36; i < 64; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 64)), "admin");
    EXPECT_TRUE(instance.control().threadsExist());
}

TEST_F(ControlChannelTest, RefusedLoginStartsNoThreads) {
    camera.faults().refuseControlLogin = true;
    instance.setMediaConfig(configFor(camera, 3));
    ASSERT_EQ(instance.connect(), 1);
    platform::DiagnosticCapture reasons;
    EXPECT_EQ(instance.startStreaming(), 0);
    EXPECT_EQ(
        reasons.text(),
        "Fenwa20-M: connect to 127.0.0.1 failed at the control channel login: login refused for user \"admin\"\n");
    EXPECT_EQ(instance.control().state(), 2);
    EXPECT_EQ(instance.control().lastError(), 302);
    EXPECT_FALSE(instance.control().threadsExist());
}

TEST_F(ControlChannelTest, RefusedControlLoginSkipsTheVideoLogin) {
    camera.faults().refuseControlLogin = true;
    instance.setMediaConfig(configFor(camera, 2));
    ASSERT_EQ(instance.connect(), 1);
    EXPECT_EQ(instance.startStreaming(), 0);
    EXPECT_TRUE(camera.recording().on(Channel::VideoV2).empty());
}

TEST_F(ControlChannelTest, SilentCameraDoesNotHoldTheLoginForever) {
    fenwa20::InstanceOptions o;
    o.control.loginAnswerTimeoutMs = 200;
    fenwa20::Instance quick(o);
    camera.faults().silentControlLogin = true;
    quick.setMediaConfig(configFor(camera, 3));
    ASSERT_EQ(quick.connect(), 1);
    EXPECT_EQ(quick.startStreaming(), 0);
    EXPECT_EQ(quick.control().lastError(), 300);
}

TEST_F(ControlChannelTest, FailedVideoOpenClosesTheControlChannelWithoutAWord) {
    platform::TcpListener control;
    ASSERT_TRUE(control.listen("127.0.0.1", 0));
    MediaConfig c = configFor(camera, 2);
    c.controlPort = control.port();
    c.streamingPort = fenwa20test::closedPort();
    instance.setMediaConfig(c);
    EXPECT_EQ(instance.connect(), 0);
    EXPECT_FALSE(instance.control().isOpen());
    platform::TcpSocket peer = control.accept(1000);
    ASSERT_TRUE(peer.isOpen());
    peer.setReceiveTimeout(2000);
    uint8_t byte = 0;
    const platform::RecvResult r = peer.receiveSome(&byte, 1);
    EXPECT_EQ(r.status, platform::RecvStatus::Closed);
}

TEST_F(ControlChannelTest, SecondStartWhileThreadsRunFails) {
    login(3);
    EXPECT_EQ(instance.startStreaming(), 0);
    EXPECT_EQ(instance.control().lastError(), 300);
}

TEST_F(ControlChannelTest, CameraMessagesReachTheCallbackWithoutMagic) {
    login(3);
    ASSERT_TRUE(camera.sendControl(0x1000E, {0x05, 0x06, 0x07}));
    ASSERT_TRUE(log.waitFor(1));
    const auto block = log.blocks()[0];
    // type 0x1000E, length 3, payload: 4 + 4 + 3 bytes.
    const std::vector<uint8_t> expected = {0x0E, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00, 0x05, 0x06, 0x07};
    EXPECT_EQ(block, expected);
}

TEST_F(ControlChannelTest, OversizedPayloadIsDroppedAndTheNextMessageArrives) {
    login(3);
    ASSERT_TRUE(camera.sendControl(0x10030, std::vector<uint8_t>(4097, 0x42)));
    ASSERT_TRUE(camera.sendControl(0x10031, {0x09}));
    ASSERT_TRUE(log.waitFor(1));
    const auto blocks = log.blocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0], (std::vector<uint8_t>{0x31, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x09}));
}

TEST_F(ControlChannelTest, AbsurdLengthIsTakenForNoiseNotSkipped) {
    login(3);
    ASSERT_TRUE(camera.sendControlRaw({'V', 'e', 'x', 'o', 1, 0, 1, 0, 0xF0, 0xFF, 0xFF, 0xFF}));
    ASSERT_TRUE(camera.sendControl(0x10034, {0x05}));
    ASSERT_TRUE(log.waitFor(1));
    EXPECT_EQ(log.blocks()[0], (std::vector<uint8_t>{0x34, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x05}));
}

TEST_F(ControlChannelTest, LargestPayloadIsStillDelivered) {
    login(3);
    ASSERT_TRUE(camera.sendControl(0x10032, std::vector<uint8_t>(4096, 0x17)));
    ASSERT_TRUE(log.waitFor(1));
    const auto block = log.blocks()[0];
    ASSERT_EQ(block.size(), 8u + 4096u);
    EXPECT_EQ(block[8], 0x17);
    EXPECT_EQ(block.back(), 0x17);
}

TEST_F(ControlChannelTest, GarbageBeforeAMessageIsSkipped) {
    login(3);
    ASSERT_TRUE(camera.sendControlRaw({'x', 'V', 'e', 'V', 'e', 'x', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(camera.sendControl(0x10033, {0x01, 0x02}));
    ASSERT_TRUE(log.waitFor(1));
    EXPECT_EQ(log.blocks()[0], (std::vector<uint8_t>{0x33, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x02}));
}

TEST_F(ControlChannelTest, LostConnectionIsReportedOnce) {
    login(3);
    camera.closeChannel(Channel::Control);
    ASSERT_TRUE(log.waitFor(1));
    EXPECT_EQ(log.blocks()[0], le32(0xA0010001u));
    instance.stopStreaming();
    EXPECT_EQ(log.blocks().size(), 1u);
}

TEST_F(ControlChannelTest, CommandsBecomeTheirProtocolMessages) {
    login(3);
    const uint8_t ptz[4] = {0xFF, 0x01, 0x00, 0x08};
    const uint8_t output = 1;
    const uint8_t raw[2] = {0xAA, 0xBB};
    TransportCommand serial{11, ptz, 4, nullptr, 0};
    TransportCommand digital{13, &output, 1, nullptr, 0};
    TransportCommand special{static_cast<int32_t>(0xA0000051u), raw, 2, nullptr, 0};
    TransportCommand other{99, raw, 2, nullptr, 0};
    EXPECT_EQ(instance.sendCommand(serial), 1);
    EXPECT_EQ(instance.sendCommand(digital), 1);
    EXPECT_EQ(instance.sendCommand(special), 1);
    EXPECT_EQ(instance.sendCommand(other), 1);
    ASSERT_TRUE(camera.recording().waitFor(Channel::Control, 99, 5000));
    camsim::ReceivedMessage m;
    ASSERT_TRUE(camera.recording().waitFor(Channel::Control, 54, 0, &m));
    EXPECT_EQ(m.payload, (std::vector<uint8_t>{0xFF, 0x01, 0x00, 0x08}));
    ASSERT_TRUE(camera.recording().waitFor(Channel::Control, 50, 0, &m));
    EXPECT_EQ(m.payload, std::vector<uint8_t>{1});
    ASSERT_TRUE(camera.recording().waitFor(Channel::Control, 0xA0000051u, 0, &m));
    EXPECT_EQ(m.payload, (std::vector<uint8_t>{0xAA, 0xBB}));
    EXPECT_EQ(camera.recording().count(Channel::Control, 11), 0u);
    EXPECT_EQ(camera.recording().count(Channel::Control, 13), 0u);
}

TEST_F(ControlChannelTest, CommandsThatCannotBeFramedAreRefused) {
    login(3);
    std::vector<uint8_t> big(4097, 1);
    TransportCommand tooLong{11, big.data(), 4097, nullptr, 0};
    TransportCommand negative{11, big.data(), -1, nullptr, 0};
    TransportCommand missing{11, nullptr, 4, nullptr, 0};
    EXPECT_EQ(instance.sendCommand(tooLong), 0);
    EXPECT_EQ(instance.sendCommand(negative), 0);
    EXPECT_EQ(instance.sendCommand(missing), 0);
}

TEST_F(ControlChannelTest, CommandBeforeConnectSendsNothing) {
    instance.setMediaConfig(configFor(camera, 3));
    const uint8_t ptz[2] = {1, 2};
    TransportCommand serial{11, ptz, 2, nullptr, 0};
    EXPECT_EQ(instance.sendCommand(serial), 0);
}

TEST_F(ControlChannelTest, KeepAliveGoesOutAfterMoreThanTenWholeSeconds) {
    login(3);
    ASSERT_TRUE(clock.awaitWaiters(1)); // the keep-alive thread noted its start time
    clock.advanceMs(10999);
    // Short of its time the thread goes on waiting and sends nothing.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(clock.waiterCount(), 1);
    EXPECT_EQ(camera.recording().count(Channel::Control, 48), 0u);
    clock.advanceMs(1);
    camsim::ReceivedMessage first;
    ASSERT_TRUE(camera.recording().waitFor(Channel::Control, 48, 5000, &first));
    EXPECT_TRUE(first.payload.empty());
    // The next one is due eleven seconds after the first: once the thread
    // waits again, nearly all of them pass without a second one.
    ASSERT_TRUE(clock.awaitWaiters(1));
    clock.advanceMs(10999);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(camera.recording().count(Channel::Control, 48), 1u);
    clock.advanceMs(1);
    EXPECT_TRUE(camera.recording().waitFor(
        [&](const camsim::ReceivedMessage& m) {
            return m.channel == Channel::Control && m.type == 48 && m.sequence > first.sequence;
        },
        5000));
}

TEST_F(ControlChannelTest, StopEndsTheKeepAliveWaitWithoutMovingTheClock) {
    login(3);
    ASSERT_TRUE(clock.awaitWaiters(1));
    instance.stopStreaming();
    EXPECT_FALSE(instance.control().threadsExist());
    EXPECT_EQ(clock.waiterCount(), 0);
    EXPECT_EQ(camera.recording().count(Channel::Control, 48), 0u);
}

TEST_F(ControlChannelTest, LostConnectionEndsTheKeepAliveWait) {
    login(3);
    ASSERT_TRUE(clock.awaitWaiters(1));
    camera.closeChannel(Channel::Control);
    ASSERT_TRUE(log.waitFor(1));
    // The keep-alive thread leaves its wait without the clock moving.
    for (int i = 0; i < 500 && clock.waiterCount() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(clock.waiterCount(), 0);
}

TEST_F(ControlChannelTest, StopReturnsAlthoughTheCameraSendsNothing) {
    login(3);
    instance.stopStreaming();
    EXPECT_FALSE(instance.control().threadsExist());
    // The control socket stays usable until the disconnection.
    const uint8_t b = 0;
    TransportCommand digital{13, &b, 1, nullptr, 0};
    EXPECT_EQ(instance.sendCommand(digital), 1);
    instance.disconnect();
    ASSERT_TRUE(camera.recording().waitFor(Channel::Control, 49, 5000));
    EXPECT_TRUE(log.blocks().empty());
}

TEST_F(ControlChannelTest, DisconnectBeforeStopWorksAndReportsTheLoss) {
    login(2);
    instance.disconnect();
    ASSERT_TRUE(camera.recording().waitFor(Channel::Control, 49, 5000));
    ASSERT_TRUE(log.waitFor(1));
    EXPECT_EQ(log.blocks()[0], le32(0xA0010001u));
    instance.stopStreaming();
    EXPECT_FALSE(instance.control().isOpen());
    EXPECT_FALSE(instance.video().isOpen());
    EXPECT_EQ(instance.control().state(), 0);
}

TEST_F(ControlChannelTest, ReconnectAfterDisconnect) {
    login(2);
    instance.stopStreaming();
    instance.disconnect();
    ASSERT_EQ(instance.connect(), 1);
    ASSERT_EQ(instance.startStreaming(), 1);
    EXPECT_TRUE(instance.control().threadsExist());
    instance.stopStreaming();
    instance.disconnect();
}

TEST_F(ControlChannelTest, ExitWithoutStopEndsTheThreads) {
    auto other = std::make_unique<fenwa20::Instance>();
    other->setControlDataCallback(&log, &CallbackLog::callback);
    other->setMediaConfig(configFor(camera, 3));
    ASSERT_EQ(other->connect(), 1);
    ASSERT_EQ(other->startStreaming(), 1);
    other.reset(); // joins; the sanitizers and the test's time limit catch a hang or a leak
    EXPECT_TRUE(log.blocks().empty());
}

} // namespace
