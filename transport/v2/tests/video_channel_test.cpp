// Connecting, logging in and reading frame records over the C interface.
#include "v2_fixture.h"

#include "instance.h"
#include "platform/diagnostic_capture.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

using fenwa20test::configFor;
using fenwa20test::picture;

class VideoChannelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(camera.start()); }

    // Connects and logs in with the given connection type.
    void stream(int32_t type) {
        MediaConfig c = configFor(camera, type);
        instance.setMediaConfig(c);
        ASSERT_EQ(instance.connect(), 1);
        ASSERT_EQ(instance.startStreaming(), 1);
        ASSERT_TRUE(camera.waitVideoLogin(5000));
    }

    int32_t next(int32_t& kind) { return instance.getNextFrame(&kind, buffer.get(), transport::kFrameBufferSize); }

    camsim::V2Camera camera{fenwa20test::quietCamera()};
    fenwa20::Instance instance;
    std::unique_ptr<uint8_t[]> buffer = std::make_unique<uint8_t[]>(transport::kFrameBufferSize);
};

TEST_F(VideoChannelTest, VideoLoginBlockCarriesUserAndPasswordFields) {
    stream(1);
    auto logins = camera.recording().on(camsim::Channel::VideoV2);
    ASSERT_EQ(logins.size(), 1u);
    const auto& block = logins[0].payload;
    ASSERT_EQ(block.size(), 128u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data())), "admin");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data() + 64)), "admin");
    EXPECT_EQ(instance.video().state(), 4);
    EXPECT_EQ(instance.video().loginValue(), camsim::V2Camera::kVideoLoginValue);
}

TEST_F(VideoChannelTest, RecordArrivesWholeAndUnchanged) {
    stream(1);
    const auto frame = picture(3000, true);
    const std::vector<uint8_t> expected = camera.frameRecord(frame, 1, 0);
    ASSERT_TRUE(camera.sendFrame(frame));
    int32_t kind = -1;
    ASSERT_EQ(next(kind), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(std::memcmp(buffer.get(), expected.data(), expected.size()), 0);
    // An intra record keeps its group-of-VOP start code at offset 75.
    EXPECT_TRUE(transport::isIFrameRecord(buffer.get(), expected.size()));
}

TEST_F(VideoChannelTest, AudioRecordsReportKindTwoAndOthersZero) {
    stream(1);
    camsim::VideoFrame audio;
    audio.data.assign(320, 0x10);
    ASSERT_TRUE(camera.sendFrame(audio, 2));
    ASSERT_TRUE(camera.sendFrame(audio, 7));
    int32_t kind = -1;
    EXPECT_EQ(next(kind), 44 + 320);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(next(kind), 44 + 320);
    EXPECT_EQ(kind, 0);
}

TEST_F(VideoChannelTest, BadStartCodeFailsButKeepsTheConnection) {
    stream(1);
    // A 12-byte record head with a wrong start code and no body, then a good record.
    std::vector<uint8_t> bad = {0x00, 0x00, 0x01, 0xB3, 1, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(camera.sendVideoRaw(bad));
    const auto frame = picture(500, false);
    ASSERT_TRUE(camera.sendFrame(frame));
    int32_t kind = 0;
    EXPECT_EQ(next(kind), -1);
    EXPECT_TRUE(instance.video().isOpen());
    EXPECT_EQ(next(kind), static_cast<int32_t>(camera.frameRecord(frame, 1, 0).size()));
}

TEST_F(VideoChannelTest, OneSecondWithoutDataTimesOutAndCloses) {
    stream(1);
    int32_t kind = 0;
    EXPECT_EQ(next(kind), -2);
    EXPECT_FALSE(instance.video().isOpen());
    EXPECT_EQ(instance.video().state(), 0);
    EXPECT_EQ(next(kind), -1);
}

TEST_F(VideoChannelTest, CameraClosingGivesZeroThenMinusOne) {
    stream(1);
    camera.closeChannel(camsim::Channel::VideoV2);
    int32_t kind = 0;
    EXPECT_EQ(next(kind), 0);
    EXPECT_EQ(next(kind), -1);
}

TEST_F(VideoChannelTest, RecordLongerThanTheBufferIsSkippedWithoutOverrun) {
    stream(1);
    const auto big = picture(5000, false);
    const auto small = picture(100, false);
    ASSERT_TRUE(camera.sendFrame(big));
    ASSERT_TRUE(camera.sendFrame(small));
    std::vector<uint8_t> area(1000 + 64, 0xCD);
    int32_t kind = 0;
    EXPECT_EQ(instance.getNextFrame(&kind, area.data(), 1000), -1);
    for (std::size_t i = 1000; i < area.size(); ++i) ASSERT_EQ(area[i], 0xCD) << i;
    // The stream is still in step: the next call yields the next record.
    const auto expected = camera.frameRecord(small, 1, 0);
    EXPECT_EQ(instance.getNextFrame(&kind, area.data(), 1000), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(std::memcmp(area.data(), expected.data(), expected.size()), 0);
}

TEST_F(VideoChannelTest, BackToBackRecordsStayInStepWhateverRoomTheBufferLeaves) {
    stream(1);
    std::vector<std::vector<uint8_t>> records;
    for (std::size_t size : {100u, 50u, 3000u, 10u, 700u}) {
        const auto frame = picture(size, false);
        records.push_back(camera.frameRecord(frame, 1, 0));
        ASSERT_TRUE(camera.sendFrame(frame));
    }
    // No room after the record, 11 bytes, exactly a record head, plenty, none.
    const int spare[] = {0, 11, 12, 5000, 0};
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& expected = records[i];
        std::vector<uint8_t> area(expected.size() + spare[i] + 16, 0xCD);
        int32_t kind = 0;
        ASSERT_EQ(instance.getNextFrame(&kind, area.data(), static_cast<int32_t>(expected.size() + spare[i])),
                  static_cast<int32_t>(expected.size()))
            << i;
        EXPECT_EQ(std::memcmp(area.data(), expected.data(), expected.size()), 0) << i;
        for (std::size_t k = expected.size() + spare[i]; k < area.size(); ++k) ASSERT_EQ(area[k], 0xCD) << i;
    }
}

TEST_F(VideoChannelTest, ImplausibleRecordLengthClosesTheChannel) {
    stream(1);
    std::vector<uint8_t> head = {0x00, 0x00, 0x01, 0xB2, 1, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF};
    ASSERT_TRUE(camera.sendVideoRaw(head));
    int32_t kind = 0;
    EXPECT_EQ(next(kind), -1);
    EXPECT_FALSE(instance.video().isOpen());
}

TEST_F(VideoChannelTest, TinyBufferIsNeverWritten) {
    stream(1);
    uint8_t small[8];
    std::memset(small, 0xAB, sizeof small);
    int32_t kind = 9;
    EXPECT_EQ(instance.getNextFrame(&kind, small, sizeof small), -1);
    EXPECT_EQ(instance.getNextFrame(&kind, nullptr, 1000), -1);
    for (uint8_t b : small) EXPECT_EQ(b, 0xAB);
    EXPECT_EQ(kind, 9);
    EXPECT_TRUE(instance.video().isOpen());
}

TEST_F(VideoChannelTest, NextIFrameSkipsUpToAndIncludingTheIntraRecord) {
    stream(1);
    const auto p1 = picture(200, false);
    const auto intra = picture(2000, true);
    const auto p2 = picture(300, false);
    ASSERT_TRUE(camera.sendFrame(p1));
    ASSERT_TRUE(camera.sendFrame(p1));
    ASSERT_TRUE(camera.sendFrame(intra));
    ASSERT_TRUE(camera.sendFrame(p2));
    EXPECT_EQ(instance.getNextIFrame(), static_cast<int32_t>(camera.frameRecord(intra, 1, 0).size()));
    int32_t kind = 0;
    EXPECT_EQ(next(kind), static_cast<int32_t>(camera.frameRecord(p2, 1, 0).size()));
}

TEST_F(VideoChannelTest, NextIFrameReturnsTheFailureInsteadOfWaiting) {
    stream(1);
    ASSERT_TRUE(camera.sendFrame(picture(200, false)));
    EXPECT_EQ(instance.getNextIFrame(), -2);
}

TEST_F(VideoChannelTest, RefusedVideoLoginFails) {
    camera.faults().refuseVideoLogin = true;
    instance.setMediaConfig(configFor(camera, 1));
    ASSERT_EQ(instance.connect(), 1);
    EXPECT_EQ(instance.startStreaming(), 0);
    EXPECT_EQ(instance.video().state(), 2);
    EXPECT_EQ(instance.video().lastError(), 203);
}

TEST_F(VideoChannelTest, WrongPasswordIsRefused) {
    MediaConfig c = configFor(camera, 1);
    std::strcpy(c.password, "wrong");
    instance.setMediaConfig(c);
    ASSERT_EQ(instance.connect(), 1);
    EXPECT_EQ(instance.startStreaming(), 0);
}

TEST_F(VideoChannelTest, LoginWithoutConnectFails) {
    instance.setMediaConfig(configFor(camera, 1));
    EXPECT_EQ(instance.startStreaming(), 0);
    EXPECT_EQ(instance.video().lastError(), 201);
}

TEST_F(VideoChannelTest, ConnectionTypeOneOpensNoControlChannel) {
    platform::TcpListener control;
    ASSERT_TRUE(control.listen("127.0.0.1", 0));
    MediaConfig c = configFor(camera, 1);
    c.controlPort = control.port();
    instance.setMediaConfig(c);
    ASSERT_EQ(instance.connect(), 1);
    ASSERT_EQ(instance.startStreaming(), 1);
    // A connection attempt would be waiting in the backlog by now.
    EXPECT_FALSE(control.accept(100).isOpen());
    const uint8_t bytes[3] = {1, 2, 3};
    for (int32_t type : {11, 13, 99}) {
        TransportCommand command{type, bytes, 3, nullptr, 0};
        EXPECT_EQ(instance.sendCommand(command), 0) << type;
    }
    EXPECT_FALSE(instance.control().threadsExist());
}

TEST_F(VideoChannelTest, UnreachableControlPortFailsBeforeTheStreamingPort) {
    platform::TcpListener video;
    ASSERT_TRUE(video.listen("127.0.0.1", 0));
    MediaConfig c = configFor(camera, 2);
    c.controlPort = fenwa20test::closedPort();
    c.streamingPort = video.port();
    instance.setMediaConfig(c);
    platform::DiagnosticCapture reasons;
    EXPECT_EQ(instance.connect(), 0);
    EXPECT_EQ(reasons.text(), "Fenwa20-M: connect to 127.0.0.1 failed at the control channel (port " +
                                  std::to_string(c.controlPort) + "): connection refused\n");
    EXPECT_FALSE(video.accept(100).isOpen());
    EXPECT_EQ(instance.control().lastError(), 302);
}

TEST_F(VideoChannelTest, UnknownConnectionTypeFails) {
    instance.setMediaConfig(configFor(camera, 4));
    EXPECT_EQ(instance.connect(), 0);
    EXPECT_EQ(instance.startStreaming(), 0);
}

TEST_F(VideoChannelTest, StopWakesABlockedReaderAndLeavesTheChannelClosed) {
    stream(1);
    camera.faults().stallVideo = true;
    int32_t result = 99;
    std::thread reader([&] {
        int32_t kind = 0;
        result = next(kind);
    });
    // Whether the reader is already blocked or not, it must end with a failure.
    instance.stopStreaming();
    reader.join();
    EXPECT_LE(result, 0);
    EXPECT_FALSE(instance.video().isOpen());
    int32_t kind = 0;
    EXPECT_EQ(next(kind), -1);
}

TEST_F(VideoChannelTest, StreamingAgainTakesANewConnect) {
    stream(1);
    instance.stopStreaming();
    EXPECT_EQ(instance.startStreaming(), 0);
    instance.disconnect();
    ASSERT_EQ(instance.connect(), 1);
    ASSERT_EQ(instance.startStreaming(), 1);
    // The camera records a login block before it answers it.
    ASSERT_EQ(camera.recording().on(camsim::Channel::VideoV2).size(), 2u);
}

} // namespace

namespace {

TEST(CameraStream, LiveStreamOpensWithAnIFrameAndCarriesWholeRecords) {
    camsim::V2Camera camera; // streams its own pictures once the video login is accepted
    ASSERT_TRUE(camera.start());
    fenwa20::Instance instance;
    instance.setMediaConfig(configFor(camera, 2));
    ASSERT_EQ(instance.connect(), 1);
    ASSERT_EQ(instance.startStreaming(), 1);
    EXPECT_GT(instance.getNextIFrame(), 80);
    auto buffer = std::make_unique<uint8_t[]>(transport::kFrameBufferSize);
    for (int i = 0; i < 10; ++i) {
        int32_t kind = 0;
        const int32_t n = instance.getNextFrame(&kind, buffer.get(), transport::kFrameBufferSize);
        ASSERT_GE(n, 44);
        EXPECT_EQ(std::memcmp(buffer.get(), transport::kFrameStartCode, 4), 0);
        EXPECT_EQ(transport::getUint32Le(buffer.get() + 8), static_cast<uint32_t>(n - 12));
        EXPECT_TRUE(kind == 1 || kind == 2);
    }
    instance.disconnect();
    instance.stopStreaming();
}

} // namespace
