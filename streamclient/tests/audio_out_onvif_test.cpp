// Talking to a simulated ONVIF camera through the audio-out calls the viewer
// makes for protocol 2 cameras: the microphone reaches the camera's speaker
// over its audio back channel, and a camera without a speaker says so.
#include <gtest/gtest.h>
#include <ostrel/stream_client.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "camsim/simulated_camera.h"
#include "camsim/talk_receiver.h"
#include "camsim_session.h"
#include "platform/audio_fake.h"
#include "platform/network_guard.h"

namespace ostrel::test {
namespace {

class OnvifAudioOutTest : public ::testing::Test {
protected:
    void start(camsim::OnvifFault fault) {
        platform::enableLoopbackOnly();
        camsim::SimulatedCameraSettings s;
        s.streamingType = camsim::kOnvifStreamingType;
        s.options = camsim::quietCameraOptions();
        s.rtsp.audio = false;
        s.onvifFault = fault;
        camera = std::make_unique<camsim::SimulatedCamera>(s);
        ASSERT_TRUE(camera->start()) << camera->error();
        handle = openQuietInterface(platform::SystemClock::instance(), microphone);
        ASSERT_NE(handle, nullptr);
        M_KSetStreamingType(handle, camsim::kOnvifStreamingType);
        const MediaConfig c = camera->mediaConfig(3);
        ASSERT_EQ(M_KSetMediaConfig(handle, &c), 1);
        ASSERT_EQ(M_KConnect(handle), 1);
    }
    void TearDown() override {
        M_KDisconnect(handle);
        M_KCloseInterface(handle);
    }

    std::shared_ptr<platform::FakeAudioDevices> microphone = std::make_shared<platform::FakeAudioDevices>();
    std::unique_ptr<camsim::SimulatedCamera> camera;
    OstrelInterface* handle = nullptr;
};

TEST_F(OnvifAudioOutTest, MicrophoneToneReachesTheCamerasSpeaker) {
    ASSERT_NO_FATAL_FAILURE(start(camsim::OnvifFault::None));
    EXPECT_EQ(M_KCheckAudioOut(handle, nullptr, 0), 1);
    char holder[32] = "unchanged";
    ASSERT_EQ(M_KGetAudioToken(handle, holder), 1);
    EXPECT_STREQ(holder, "");
    ASSERT_EQ(M_KStartAudioTransfer(handle), 1);

    constexpr std::size_t kSamples = 4 * 2048; // four microphone buffers
    std::vector<uint8_t> tone(kSamples * 2);
    for (std::size_t i = 0; i < kSamples; ++i) {
        const auto v = static_cast<int16_t>(5000 * std::sin(2 * std::numbers::pi * 1000 * i / 8000.0));
        std::memcpy(&tone[2 * i], &v, 2);
    }
    microphone->pushInput(tone);
    ASSERT_TRUE(camera->talk()->waitForSamples(kSamples, 3000)) << camera->talk()->sampleCount();
    M_KStopAudioTransfer(handle);
    M_KFreeAudioToken(handle);

    const std::vector<int16_t> heard = camera->talk()->samples();
    const camsim::ToneMeasure m = camsim::measureTone(heard.data(), heard.size());
    EXPECT_NEAR(m.frequencyHz, 1000, 10);
    EXPECT_NEAR(m.rms, 5000 / std::numbers::sqrt2, 250);
}

TEST_F(OnvifAudioOutTest, CameraWithoutSpeakerSaysSoInOneLine) {
    ASSERT_NO_FATAL_FAILURE(start(camsim::OnvifFault::NoBackChannel));
    char reason[128] = "";
    EXPECT_EQ(M_KCheckAudioOut(handle, reason, sizeof reason), 0);
    EXPECT_STREQ(reason, "the camera reports no audio output");
    EXPECT_EQ(M_KGetAudioToken(handle, nullptr), 0);
    EXPECT_EQ(M_KStartAudioTransfer(handle), 0);
    char kept[8] = "";
    EXPECT_EQ(M_KGetAudioOutReason(handle, kept, sizeof kept), 1);
    EXPECT_STREQ(kept, "the cam"); // cut to the buffer
}

} // namespace
} // namespace ostrel::test
