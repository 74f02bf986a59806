// Two-way audio against the simulated protocol 2 camera: the audio-out
// token, captured packets, keep-alives and the release.
#include <gtest/gtest.h>
#include <ostrel/stream_client.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

#include "audio_sender.h"
#include "audio_token.h"
#include "camsim/v2_camera.h"
#include "camsim_session.h"
#include "platform/audio_fake.h"
#include "platform/tcp_socket.h"

namespace ostrel::test {
namespace {

using Bytes = std::vector<uint8_t>;
using camsim::Channel;

constexpr uint32_t kKeepAlive = 48;
constexpr uint32_t kRelease = 49;
constexpr uint32_t kAudio = 55;
constexpr std::size_t kPacket = 4096;

class AudioOutTest : public ::testing::Test {
protected:
    void SetUp() override {
        camera = std::make_unique<camsim::V2Camera>(camsim::quietCameraOptions());
        ASSERT_TRUE(camera->start());
        handle = openFor(camera->controlPort());
        ASSERT_NE(handle, nullptr);
    }
    void TearDown() override {
        for (OstrelInterface* h : {handle, other}) M_KCloseInterface(h);
        camera.reset();
    }

    // The stop's wait for a buffer in flight runs on the given clock.
    OstrelInterface* openFor(uint16_t controlPort,
                             const platform::Clock& stopClock = platform::SystemClock::instance()) {
        OstrelInterface* h = openQuietInterface(stopClock, microphone);
        if (h == nullptr) return nullptr;
        M_KSetStreamingType(h, 2);
        MediaConfig c = cameraConfig(2, 0, camera->videoPort(), controlPort, camera->httpPort());
        M_KSetMediaConfig(h, &c);
        return h;
    }

    std::vector<uint32_t> audioTypes() const { return camera->recording().typesOn(Channel::AudioOut); }

    // One buffer of captured sound whose every byte is `value`.
    void speak(uint8_t value) { microphone->pushInput(Bytes(kPacket, value)); }

    platform::ManualClock clock;
    std::shared_ptr<platform::FakeAudioDevices> microphone = std::make_shared<platform::FakeAudioDevices>();
    std::unique_ptr<camsim::V2Camera> camera;
    OstrelInterface* handle = nullptr;
    OstrelInterface* other = nullptr;
};

TEST_F(AudioOutTest, GrantedTokenLeavesHolderEmpty) {
    char holder[16] = "unchanged";
    EXPECT_EQ(M_KGetAudioToken(handle, holder), 1);
    EXPECT_STREQ(holder, "");

    // The request is the control login block with login code 2.
    camsim::ReceivedMessage block;
    ASSERT_TRUE(camera->recording().waitFor(Channel::Control, camsim::V2Camera::kLoginBlockType, 1000, &block));
    ASSERT_EQ(block.payload.size(), 128u);
    Bytes expected(128, 0);
    std::memcpy(expected.data(), "admin", 5);
    expected[32] = 2;
    std::memcpy(expected.data() + 64, "admin", 5);
    EXPECT_EQ(block.payload, expected);
    // The token connection stays open for talking.
    EXPECT_EQ(M_KStartAudioTransfer(handle), 1);
    M_KStopAudioTransfer(handle);
}

TEST_F(AudioOutTest, RefusalNamesTheHolderFromTheReply) {
    camera->faults().refuseAudioToken.store(true);
    camera->setAudioTokenHolder({192, 168, 0, 5});
    char holder[16] = "unchanged";
    EXPECT_EQ(M_KGetAudioToken(handle, holder), 0);
    EXPECT_STREQ(holder, "192.168.0.5");
    // The refused client says goodbye and closes; nothing can be started.
    ASSERT_TRUE(camera->recording().waitFor(Channel::AudioOut, kRelease, 2000));
    EXPECT_EQ(M_KStartAudioTransfer(handle), 0);
}

TEST_F(AudioOutTest, SecondClientIsRefusedWhileTheTokenIsHeld) {
    other = openFor(camera->controlPort());
    ASSERT_EQ(M_KGetAudioToken(handle, nullptr), 1);
    char holder[16] = {};
    EXPECT_EQ(M_KGetAudioToken(other, holder), 0);
    EXPECT_STREQ(holder, "127.0.0.1");
    M_KFreeAudioToken(handle);
    EXPECT_EQ(M_KStartAudioTransfer(handle), 0);
    EXPECT_EQ(M_KGetAudioToken(other, holder), 1);
    EXPECT_STREQ(holder, "");
}

TEST_F(AudioOutTest, AskingAgainReplacesTheConnection) {
    ASSERT_EQ(M_KGetAudioToken(handle, nullptr), 1);
    EXPECT_EQ(M_KGetAudioToken(handle, nullptr), 1);
    EXPECT_EQ(camera->recording().count(Channel::Control, camsim::V2Camera::kLoginBlockType), 2u);
}

TEST_F(AudioOutTest, ClosedPortLeavesHolderUntouched) {
    uint16_t closedPort = 0;
    {
        platform::TcpListener listener;
        ASSERT_TRUE(listener.listen("127.0.0.1", 0));
        closedPort = listener.port();
    }
    other = openFor(closedPort);
    char holder[16] = "unchanged";
    EXPECT_EQ(M_KGetAudioToken(other, holder), 0);
    EXPECT_STREQ(holder, "unchanged");
}

TEST_F(AudioOutTest, SilentCameraReportsTheLastHolderKnown) {
    platform::TcpListener silent;
    ASSERT_TRUE(silent.listen("127.0.0.1", 0));
    std::atomic<bool> done{false};
    std::thread acceptor([&] {
        // Accepts and keeps the connection open without answering.
        platform::TcpSocket kept;
        while (!done.load() && !kept.isOpen()) kept = silent.accept(50);
        while (!done.load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    other = openFor(silent.port());
    char holder[16] = "unchanged";
    EXPECT_EQ(M_KGetAudioToken(other, holder), 0);
    EXPECT_STREQ(holder, "0.0.0.0");
    done.store(true);
    acceptor.join();
}

TEST_F(AudioOutTest, TrickledReplyEndsWithinTheReplyTimeOut) {
    // 128 bytes 50 ms apart: over six seconds if each byte restarted the wait.
    camera->faults().link.trickleMs = 50;
    char holder[16] = "unchanged";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(M_KGetAudioToken(handle, holder), 0);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(took, 3.0);
    RecordProperty("token_ms", static_cast<int>(took * 1000 + 0.5));
    EXPECT_STREQ(holder, "0.0.0.0");
}

TEST_F(AudioOutTest, TransferNeedsTheToken) { EXPECT_EQ(M_KStartAudioTransfer(handle), 0); }

TEST_F(AudioOutTest, PacketsKeepAlivesAndReleaseArriveInOrder) {
    ASSERT_EQ(M_KGetAudioToken(handle, nullptr), 1);
    ASSERT_EQ(M_KStartAudioTransfer(handle), 1);
    for (int i = 1; i <= 24; ++i) speak(static_cast<uint8_t>(i));
    ASSERT_TRUE(microphone->waitInputDrained(5000));
    ASSERT_TRUE(waitForCount(camera->recording(), Channel::AudioOut, kAudio, 24));
    M_KStopAudioTransfer(handle);
    M_KFreeAudioToken(handle);
    ASSERT_TRUE(camera->recording().waitFor(Channel::AudioOut, kRelease, 2000));

    // Eleven packets, then a keep-alive before the 12th and the 24th.
    std::vector<uint32_t> expected(11, kAudio);
    expected.push_back(kKeepAlive);
    expected.insert(expected.end(), 12, kAudio);
    expected.push_back(kKeepAlive);
    expected.push_back(kAudio);
    expected.push_back(kRelease);
    EXPECT_EQ(audioTypes(), expected);

    const auto packets = payloads(camera->recording(), Channel::AudioOut, kAudio);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(packets[i], Bytes(kPacket, static_cast<uint8_t>(i + 1))) << "packet " << i + 1;
    }
    EXPECT_TRUE(payloads(camera->recording(), Channel::AudioOut, kKeepAlive).front().empty());
}

TEST_F(AudioOutTest, PacketCountCarriesOverARestart) {
    ASSERT_EQ(M_KGetAudioToken(handle, nullptr), 1);
    ASSERT_EQ(M_KStartAudioTransfer(handle), 1);
    for (int i = 0; i < 6; ++i) speak(1);
    ASSERT_TRUE(waitForCount(camera->recording(), Channel::AudioOut, kAudio, 6));
    M_KStopAudioTransfer(handle);
    ASSERT_EQ(M_KStartAudioTransfer(handle), 1); // the token is still held
    for (int i = 0; i < 6; ++i) speak(2);
    ASSERT_TRUE(waitForCount(camera->recording(), Channel::AudioOut, kAudio, 12));
    const auto types = audioTypes();
    ASSERT_EQ(types.size(), 13u);
    EXPECT_EQ(types[11], kKeepAlive);
}

TEST_F(AudioOutTest, StopWithoutACompletedBufferWaitsOnlyForItsBound) {
    M_KCloseInterface(handle);
    handle = openFor(camera->controlPort(), clock);
    ASSERT_EQ(M_KGetAudioToken(handle, nullptr), 1);
    ASSERT_EQ(M_KStartAudioTransfer(handle), 1);
    auto stopped = std::async(std::launch::async, [this] { M_KStopAudioTransfer(handle); });
    // It waits for the acknowledgement until its bound runs out, then stops.
    ASSERT_TRUE(clock.awaitWaiters(1));
    clock.advanceMs(999);
    EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    clock.advanceMs(1);
    stopped.get();
    // Nothing is captured any more, and the token is still held.
    speak(9);
    EXPECT_FALSE(microphone->waitInputDrained(100));
    EXPECT_EQ(camera->recording().count(Channel::AudioOut, kAudio), 0u);
    EXPECT_EQ(camera->recording().count(Channel::AudioOut, kRelease), 0u);
}

TEST_F(AudioOutTest, NoMicrophoneKeepsTheToken) {
    microphone->setDeviceCounts(1, 0);
    ASSERT_EQ(M_KGetAudioToken(handle, nullptr), 1);
    EXPECT_EQ(M_KStartAudioTransfer(handle), 0);
    // Not given up: no goodbye until the caller frees it.
    EXPECT_EQ(camera->recording().count(Channel::AudioOut, kRelease), 0u);
    M_KFreeAudioToken(handle);
    ASSERT_TRUE(camera->recording().waitFor(Channel::AudioOut, kRelease, 2000));
    EXPECT_EQ(audioTypes(), (std::vector<uint32_t>{kRelease}));
}

TEST_F(AudioOutTest, ClosingWhileTalkingReleasesTheToken) {
    ASSERT_EQ(M_KGetAudioToken(handle, nullptr), 1);
    ASSERT_EQ(M_KStartAudioTransfer(handle), 1);
    std::atomic<bool> done{false};
    std::thread talker([&] {
        while (!done.load()) {
            speak(7);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    ASSERT_TRUE(waitForCount(camera->recording(), Channel::AudioOut, kAudio, 3));
    M_KCloseInterface(handle);
    handle = nullptr;
    done.store(true);
    talker.join();
    ASSERT_TRUE(camera->recording().waitFor(Channel::AudioOut, kRelease, 2000));
    EXPECT_EQ(audioTypes().back(), kRelease);
    // The token is free again for the next client.
    other = openFor(camera->controlPort());
    EXPECT_EQ(M_KGetAudioToken(other, nullptr), 1);
}

TEST_F(AudioOutTest, NullHandleDoesNothing) {
    char holder[16] = "unchanged";
    EXPECT_EQ(M_KGetAudioToken(nullptr, holder), 0);
    EXPECT_EQ(M_KStartAudioTransfer(nullptr), 0);
    M_KStopAudioTransfer(nullptr);
    M_KFreeAudioToken(nullptr);
    EXPECT_STREQ(holder, "unchanged");
}

// The token connection's bytes, worked out by hand.
TEST(AudioTokenWire, RequestTakesThirtyTwoBytesOfTheUserName) {
    MediaConfig c{};
    std::strcpy(c.cameraAddress, "127.0.0.1");
    std::memset(c.userName, 'u', 40);
    std::strcpy(c.password, "pw");
    c.controlPort = 6001;
    const auto request = ostrel::buildTokenRequest(ostrel::makeConnectionBlock(c));
    for (int i = 0; i < 32; ++i) EXPECT_EQ(request[i], 'u') << i;
    EXPECT_EQ(request[32], 2);
    for (int i = 33; i < 64; ++i) EXPECT_EQ(request[i], 0) << i;
    EXPECT_EQ(request[64], 'p');
    EXPECT_EQ(request[65], 'w');
    for (int i = 66; i < 128; ++i) EXPECT_EQ(request[i], 0) << i;
}

TEST(AudioTokenWire, ConnectionBlockKeepsFieldsTerminated) {
    MediaConfig c{};
    std::memset(c.cameraAddress, '9', sizeof c.cameraAddress);
    std::memset(c.userName, 'u', sizeof c.userName);
    std::memset(c.password, 'p', sizeof c.password);
    c.controlPort = 6001;
    c.connectTimeoutSeconds = 7;
    const ostrel::AudioConnectionBlock block = ostrel::makeConnectionBlock(c);
    EXPECT_EQ(std::strlen(block.cameraAddress), 15u);
    EXPECT_EQ(std::strlen(block.userName), 63u);
    EXPECT_EQ(std::strlen(block.password), 63u);
    EXPECT_EQ(block.controlPort, 6001);
    EXPECT_EQ(block.connectTimeout, 7);
}

TEST(AudioTokenWire, ReplyStatusAndHolder) {
    uint8_t reply[128] = {};
    reply[8] = 10;
    reply[9] = 0;
    reply[10] = 0;
    reply[11] = 254;
    ostrel::TokenReply parsed = ostrel::parseTokenReply(reply);
    EXPECT_TRUE(parsed.granted);
    char text[16];
    ostrel::formatHolder(parsed.holder, text);
    EXPECT_STREQ(text, "10.0.0.254");
    reply[1] = 1; // status 256: any nonzero status refuses
    EXPECT_FALSE(ostrel::parseTokenReply(reply).granted);
    ostrel::formatHolder({255, 255, 255, 255}, text);
    EXPECT_STREQ(text, "255.255.255.255");
}

} // namespace
} // namespace ostrel::test
