#include "plugin_fixture.h"

#include "vol_table.h"

#include <atomic>
#include <thread>

namespace fenwa10::test {
namespace {

using camsim::Channel;

class StreamingTest : public PluginTest {
protected:
    // Sends a notice and waits until the plug-in has taken it in.
    void notice(uint32_t type, uint8_t value) {
        log.clear();
        ASSERT_TRUE(camera->sendControl(type, {value}));
        ASSERT_TRUE(log.waitForType(type));
    }
};

TEST_F(StreamingTest, IntraMessageBecomesRecordWithSequenceHeaders) {
    startStreaming();
    ASSERT_TRUE(sendIntra(1000, 0x0A0B0C0D, 0x42));
    const int32_t L = 12 + 16 + 1000;
    ASSERT_EQ(nextFrame(), L + 47);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(transport::getUint32Le(frame.data() + 8), static_cast<uint32_t>(L + 35));
    EXPECT_EQ(std::vector<uint8_t>(frame.begin(), frame.begin() + 5), (std::vector<uint8_t>{0, 0, 1, 0xB2, 1}));
    EXPECT_EQ(std::vector<uint8_t>(frame.begin() + 12, frame.begin() + 17),
              (std::vector<uint8_t>{0x0D, 0x0C, 0x0B, 0x0A, 0x42}));
    EXPECT_EQ(frame[17], 1); // status before any notice
    EXPECT_EQ(frame[18], 0);
    EXPECT_EQ(frame[19], 3);
    EXPECT_EQ(frame[24], 1);  // resolution code of the camera
    EXPECT_EQ(frame[25], 6);  // bit-rate code
    EXPECT_EQ(frame[27], 15); // frame rate
    EXPECT_EQ(0, std::memcmp(frame.data() + 54, volEntry(1, 15).data(), kVolEntrySize));
    EXPECT_TRUE(transport::isIFrameRecord(frame.data(), static_cast<std::size_t>(L + 47)));
}

TEST_F(StreamingTest, PredictedMessageBecomesRecordWithWholePayload) {
    startStreaming();
    ASSERT_TRUE(sendIntra(300, 0x01020304, 9));
    ASSERT_GT(nextFrame(), 0);
    ASSERT_TRUE(sendPredicted(984)); // payload 1000
    ASSERT_EQ(nextFrame(), 1044);
    EXPECT_EQ(transport::getUint32Le(frame.data() + 8), 1032u);
    EXPECT_EQ(std::vector<uint8_t>(frame.begin() + 12, frame.begin() + 17),
              (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01, 9})); // the intra picture's
    EXPECT_EQ(std::vector<uint8_t>(frame.begin() + 60, frame.begin() + 65),
              (std::vector<uint8_t>{0, 0, 1, 0xB6, 0x50}));
    EXPECT_FALSE(transport::isIFrameRecord(frame.data(), 1044));
}

TEST_F(StreamingTest, ConfigurationValueSelectsTheThirtyFrameVolEntry) {
    options.video.configValue = 1;
    startStreaming();
    ASSERT_TRUE(sendIntra(200));
    ASSERT_GT(nextFrame(), 0);
    EXPECT_EQ(frame[26], 1);
    EXPECT_EQ(0, std::memcmp(frame.data() + 54, volEntry(1, 30).data(), kVolEntrySize));
}

TEST_F(StreamingTest, BidirectionalPictureIsRejectedAndReadingGoesOn) {
    startStreaming();
    camsim::VideoFrame b;
    b.data = {0x00, 0x00, 0x01, 0xB6, 0x90, 0x11, 0x22};
    ASSERT_TRUE(camera->sendVideo(b));
    ASSERT_TRUE(sendPredicted(50));
    EXPECT_EQ(nextFrame(), -1);
    EXPECT_EQ(nextFrame(), 12 + 16 + 50 + 32);
}

TEST_F(StreamingTest, DigitalInputByteShowsOnceThenResets) {
    startStreaming();
    notice(0x1000C, 14);
    ASSERT_TRUE(sendPredicted(20));
    ASSERT_GT(nextFrame(), 0);
    EXPECT_EQ(frame[19], 2);
    ASSERT_TRUE(sendPredicted(20));
    ASSERT_GT(nextFrame(), 0);
    EXPECT_EQ(frame[19], 3);
    notice(0x1000C, 3);
    ASSERT_TRUE(sendPredicted(20));
    ASSERT_GT(nextFrame(), 0);
    EXPECT_EQ(frame[19], 0);
    notice(0x1000C, 0x55); // outside the table: taken as it is
    ASSERT_TRUE(sendPredicted(20));
    ASSERT_GT(nextFrame(), 0);
    EXPECT_EQ(frame[19], 0x55);
}

TEST_F(StreamingTest, LaterMotionNoticeWinsAndMotionResetsAfterTheFrame) {
    startStreaming();
    notice(0x1000E, 1);
    notice(0x1000E, 6);
    ASSERT_TRUE(sendPredicted(20));
    ASSERT_GT(nextFrame(), 0);
    EXPECT_EQ(frame[18], 6);
    ASSERT_TRUE(sendPredicted(20));
    ASSERT_GT(nextFrame(), 0);
    EXPECT_EQ(frame[18], 0);
}

TEST_F(StreamingTest, NoticeArrivingWhileTheReaderWaitsReachesTheNextFrame) {
    startStreaming();
    std::atomic<int32_t> result{0};
    std::thread reader([&] { result = nextFrame(); });
    // The reader is blocked on the media channel when the notice comes.
    ASSERT_TRUE(camera->sendControl(0x1000E, {4}));
    ASSERT_TRUE(log.waitForType(0x1000E));
    ASSERT_TRUE(sendPredicted(20));
    reader.join();
    ASSERT_GT(result.load(), 0);
    EXPECT_EQ(frame[18], 4);
}

TEST_F(StreamingTest, StatusBytePersistsAcrossFrames) {
    startStreaming();
    notice(0x10013, 0x30);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(sendPredicted(20));
        ASSERT_GT(nextFrame(), 0);
        EXPECT_EQ(frame[17], 0x30);
    }
    notice(0x10013, 0x01);
    ASSERT_TRUE(sendPredicted(20));
    ASSERT_GT(nextFrame(), 0);
    EXPECT_EQ(frame[17], 0);
}

TEST_F(StreamingTest, WrongMagicFailsOneReadAndTheNextMessageIsRead) {
    startStreaming();
    ASSERT_TRUE(camera->sendMediaRaw({'X', 'e', 'x', 'o', 0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(sendPredicted(30));
    EXPECT_EQ(nextFrame(), -1);
    EXPECT_EQ(nextFrame(), 12 + 16 + 30 + 32);
}

TEST_F(StreamingTest, OversizedPayloadIsRefused) {
    startStreaming();
    camera->faults().oversizedPayloadOnce = true;
    ASSERT_TRUE(sendPredicted(30));
    EXPECT_EQ(nextFrame(), -1);
}

TEST_F(StreamingTest, LargestMessageFitsAndIsNeverWrittenPastTheBuffer) {
    startStreaming();
    const std::size_t picture = 256000 - 16;
    ASSERT_TRUE(sendIntra(picture)); // record of 256000 + 12 + 47 bytes
    std::vector<uint8_t> guarded(256200, 0xEE);
    int32_t k = 0;
    EXPECT_EQ(M_XGetNextFrame(handle, &k, guarded.data(), 256000), -1);
    for (std::size_t i = 0; i < guarded.size(); ++i) ASSERT_EQ(guarded[i], 0xEE) << i;
    ASSERT_TRUE(sendIntra(picture));
    EXPECT_EQ(M_XGetNextFrame(handle, &k, guarded.data(), static_cast<int32_t>(guarded.size())),
              static_cast<int32_t>(256000 + 12 + 47));
    EXPECT_EQ(guarded[256000 + 12 + 47], 0xEE);
}

TEST_F(StreamingTest, LargePicturesArriveWholeAndInOrder) {
    startStreaming();
    camsim::VideoFrame i;
    i.data = camsim::SyntheticVideoSource::makeIntra(200000, 0x31);
    i.intra = true;
    camsim::VideoFrame p;
    p.data = camsim::SyntheticVideoSource::makePredicted(150000, 0x32);
    const auto im = camsim::V1Camera::videoMessage(i, 0);
    const auto pm = camsim::V1Camera::videoMessage(p, 0);
    ASSERT_TRUE(camera->sendVideo(i));
    ASSERT_TRUE(camera->sendVideo(p));
    ASSERT_EQ(nextFrame(), static_cast<int32_t>(im.size() + 47));
    EXPECT_EQ(0, std::memcmp(frame.data() + 75, im.data() + 28, im.size() - 28));
    ASSERT_EQ(nextFrame(), static_cast<int32_t>(pm.size() + 32));
    EXPECT_EQ(0, std::memcmp(frame.data() + 44, pm.data() + 12, pm.size() - 12));
}

TEST_F(StreamingTest, LargeRejectedMessageIsSkippedWhole) {
    startStreaming();
    camsim::VideoFrame b;
    b.data = {0x00, 0x00, 0x01, 0xB6, 0x80};
    b.data.resize(180000, 0x44);
    ASSERT_TRUE(camera->sendVideo(b));
    ASSERT_TRUE(sendPredicted(70));
    EXPECT_EQ(nextFrame(), -1);
    EXPECT_EQ(nextFrame(), 12 + 16 + 70 + 32);
}

TEST_F(StreamingTest, UnusableCameraConfigurationRejectsFrames) {
    options.video.frameRate = 0;
    startStreaming();
    ASSERT_TRUE(sendPredicted(30));
    EXPECT_EQ(nextFrame(), -1);
}

// Waits out one real five-second answer time-out.
TEST_F(StreamingTest, UnansweredVideoConfigRequestZeroesTheConfigurationAndFramesFail) {
    startStreaming();
    camera->faults().ignoreConfigRequests = true;
    VideoConfig v{1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(M_XGetVideoConfig(handle, &v), 0);
    EXPECT_EQ(v.frameRate, 0);
    EXPECT_EQ(v.resolutionCode, 0);
    ASSERT_TRUE(sendPredicted(30));
    EXPECT_EQ(nextFrame(), -1);
}

TEST_F(StreamingTest, NextIntraFrameSkipsToAndSwallowsTheIntraRecord) {
    startStreaming();
    ASSERT_TRUE(sendPredicted(30));
    ASSERT_TRUE(sendPredicted(40));
    ASSERT_TRUE(sendIntra(500));
    ASSERT_TRUE(sendPredicted(60));
    EXPECT_EQ(M_XGetNextIFrame(handle), 12 + 16 + 500 + 47);
    EXPECT_EQ(nextFrame(), 12 + 16 + 60 + 32);
}

TEST_F(StreamingTest, NextIntraFrameFailsWhenTheMediaChannelIsGone) {
    startStreaming();
    ASSERT_TRUE(sendPredicted(30));
    camera->closeChannel(Channel::Media);
    EXPECT_EQ(M_XGetNextIFrame(handle), -1);
}

TEST_F(StreamingTest, NextIntraFrameGivesUpOnEndlessMalformedMessages) {
    startStreaming();
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(camera->sendMediaRaw({'V', 'e', 'x', 'o', 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(M_XGetNextIFrame(handle), -1);
}

TEST_F(StreamingTest, ClosedMediaChannelEndsReading) {
    startStreaming();
    camera->closeChannel(Channel::Media);
    EXPECT_EQ(nextFrame(), -1);
    EXPECT_EQ(nextFrame(), -1);
}

TEST_F(StreamingTest, DisconnectWakesAReaderBlockedOnTheMediaChannel) {
    startStreaming();
    std::atomic<int32_t> result{1};
    std::thread reader([&] { result = nextFrame(); });
    ASSERT_TRUE(camera->recording().waitFor(Channel::Control, 34, 5000));
    M_XDisconnect(handle);
    reader.join();
    EXPECT_LE(result.load(), 0);
    M_XStopStreaming(handle);
}

TEST_F(StreamingTest, StopThenDisconnectLeavesEverythingClosed) {
    startStreaming();
    M_XStopStreaming(handle);
    EXPECT_EQ(instance().media().state(), 0);
    EXPECT_TRUE(instance().control().isAttached()); // control stays for keep-alives
    EXPECT_EQ(nextFrame(), -1);
    M_XDisconnect(handle);
    EXPECT_EQ(instance().control().state(), 0);
    ASSERT_TRUE(camera->recording().waitFor(Channel::Control, 18, 5000));
}

TEST_F(StreamingTest, CameraClosingAfterByeDoesNotHangDisconnect) {
    startStreaming();
    camera->faults().closeControlOnBye = true;
    M_XDisconnect(handle);
    M_XStopStreaming(handle);
    EXPECT_EQ(instance().control().state(), 0);
    EXPECT_EQ(instance().media().state(), 0);
}

// With the time-out only a lost connection ends a silent media channel; this
// waits out one receive time-out, shortened from 15 s to 2.
TEST_F(StreamingTest, LostControlConnectionEndsASilentMediaRead) {
    startCamera();
    instance().setSilentMediaReadTimeoutMs(2000);
    ASSERT_EQ(M_XConnect(handle), 1);
    ASSERT_EQ(M_XStartStreaming(handle), 1);
    ASSERT_TRUE(camera->waitStreaming(5000));
    camera->closeChannel(Channel::Control);
    ASSERT_TRUE(log.waitForLoss());
    EXPECT_EQ(nextFrame(), -1);
}

} // namespace
} // namespace fenwa10::test
