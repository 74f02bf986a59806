// Talk-back through Corvel-O against the simulated ONVIF camera: a tone
// sent on the audio back channel reaches the camera's speaker, and a camera
// that refuses the back channel (551, no answer, no speaker at all) says why
// while its picture plays on.
#include "onvif_instance.h"

#include <camsim/onvif_camera.h>
#include <camsim/onvif_rtsp_streams.h>
#include <camsim/talk_receiver.h>
#include <platform/network_guard.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <thread>
#include <vector>

namespace corvel {
namespace {

using SteadyClock = std::chrono::steady_clock;

class CorvelOTalkTest : public ::testing::Test {
protected:
    // `seconds` bounds the connect and the back channel's set-up alike.
    void start(camsim::OnvifFault fault, int seconds = 1, camsim::RtspFault streamFault = camsim::RtspFault::None) {
        platform::enableLoopbackOnly();
        camsim::RtspProfileSettings settings;
        settings.audio = false;
        settings.talk = talk;
        settings.fault = streamFault;
        streams = std::make_shared<camsim::RtspProfileStreams>(options, head, settings);
        ASSERT_TRUE(streams->start()) << streams->error();
        camera = std::make_unique<camsim::OnvifCamera>(options, head, streams);
        ASSERT_TRUE(camera->start());
        camera->setFault(fault);

        MediaConfig c{};
        c.connectionType = 2;
        std::strncpy(c.cameraAddress, "127.0.0.1", sizeof c.cameraAddress - 1);
        std::strncpy(c.userName, "admin", sizeof c.userName - 1);
        std::strncpy(c.password, "admin", sizeof c.password - 1);
        c.httpPort = camera->port();
        c.connectTimeoutSeconds = seconds;
        instance.setMediaConfig(c);
        ASSERT_EQ(instance.connect(), 1);
        ASSERT_EQ(instance.startStreaming(), 1);
        ASSERT_GT(instance.getNextIFrame(), 0);
    }
    void TearDown() override { instance.disconnect(); }

    camsim::OnvifOptions options;
    std::shared_ptr<camsim::CameraHead> head = std::make_shared<camsim::CameraHead>();
    std::shared_ptr<camsim::TalkReceiver> talk = std::make_shared<camsim::TalkReceiver>(camsim::TalkCodec::Pcmu, head);
    std::shared_ptr<camsim::RtspProfileStreams> streams;
    std::unique_ptr<camsim::OnvifCamera> camera;
    OnvifInstance instance;
};

TEST_F(CorvelOTalkTest, ToneReachesTheCameraAndShowsItsLevel) {
    // The longest set-up there is: a slow (sanitizer) build needs it.
    ASSERT_NO_FATAL_FAILURE(start(camsim::OnvifFault::None, 2));
    std::string reason;
    EXPECT_EQ(instance.checkBackChannel(reason), 1);
    ASSERT_EQ(instance.openBackChannel(reason), 1) << reason;
    EXPECT_EQ(talk->sessionsOpened(), 1);

    constexpr double kAmplitude = 6000;
    std::vector<int16_t> second(8000);
    for (std::size_t i = 0; i < second.size(); ++i) {
        second[i] = static_cast<int16_t>(kAmplitude * std::sin(2 * std::numbers::pi * 1000 * i / 8000.0));
    }
    ASSERT_EQ(instance.sendBackChannelAudio(second.data(), second.size()), 1);
    ASSERT_TRUE(talk->waitForSamples(second.size(), 3000)) << talk->sampleCount();
    EXPECT_GT(head->state().talkLevel, 0.3);
    instance.closeBackChannel();

    const std::vector<int16_t> heard = talk->samples();
    const camsim::ToneMeasure m = camsim::measureTone(heard.data(), heard.size());
    EXPECT_NEAR(m.frequencyHz, 1000, 10);
    EXPECT_NEAR(m.rms, kAmplitude / std::numbers::sqrt2, kAmplitude * 0.05);
}

// The speaker is on the main profile alone while the small one is shown
// (channel 0): talk-back goes over the main profile's stream.
TEST_F(CorvelOTalkTest, TalksOverTheProfileWithTheSpeakerWhileTheSmallOneIsShown) {
    options.profiles[1].audioOutput = false;
    ASSERT_NO_FATAL_FAILURE(start(camsim::OnvifFault::None, 2));
    ASSERT_EQ(instance.session()->profile()->token, options.profiles[1].token);
    std::string reason;
    ASSERT_EQ(instance.openBackChannel(reason), 1) << reason;
    EXPECT_EQ(talk->sessionsOpened(), 1);
    instance.closeBackChannel();
}

struct Refusal {
    const char* what;
    camsim::OnvifFault fault;
    const char* reason;
};

class CorvelORefusedTalkTest : public CorvelOTalkTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CorvelORefusedTalkTest, SaysWhyAndThePicturePlaysOn) {
    ASSERT_NO_FATAL_FAILURE(start(GetParam().fault));
    std::string reason;
    EXPECT_EQ(instance.openBackChannel(reason), 0);
    EXPECT_NE(reason.find(GetParam().reason), std::string::npos) << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
    const int16_t pcm[160] = {};
    EXPECT_EQ(instance.sendBackChannelAudio(pcm, 160), 0);

    // The picture's own session never noticed.
    auto frame = std::make_unique<uint8_t[]>(transport::kFrameBufferSize);
    const auto until = SteadyClock::now() + std::chrono::milliseconds(400);
    int pictures = 0;
    while (SteadyClock::now() < until) {
        int32_t kind = 0;
        ASSERT_GT(instance.getNextFrame(&kind, frame.get(), transport::kFrameBufferSize), 44);
        ++pictures;
    }
    EXPECT_GT(pictures, 3);
}

// A gate in front of the camera lets the picture through on digest but asks
// for Basic on the back channel: the password never goes out in clear, and
// the one line says so and names the camera.
TEST_F(CorvelOTalkTest, BasicChallengeOnTheBackChannelIsRefusedWithoutThePassword) {
    ASSERT_NO_FATAL_FAILURE(start(camsim::OnvifFault::None, 2, camsim::RtspFault::BasicOnBackChannel));
    std::string reason;
    EXPECT_EQ(instance.openBackChannel(reason), 0);
    EXPECT_NE(reason.find("Basic authentication"), std::string::npos) << reason;
    EXPECT_NE(reason.find("rtsp://127.0.0.1:"), std::string::npos) << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
    int basicSeen = 0;
    for (std::size_t i = 0; i < options.profiles.size(); ++i) basicSeen += streams->camera(i).basicAuthorizationsSeen();
    EXPECT_EQ(basicSeen, 0);
}

// The stream address is checked before GStreamer opens a socket for it.
TEST(OnvifTalkBackTest, StreamOutsideLoopbackIsRefusedUnderTheGuard) {
    platform::enableLoopbackOnly();
    OnvifTalkBack talkBack;
    talkBack.setStream("rtsp://10.254.0.9:554/h264", {"admin", "admin"}, 1000);
    std::string reason;
    EXPECT_FALSE(talkBack.open(nullptr, reason));
    EXPECT_NE(reason.find("loopback-only mode refuses 10.254.0.9"), std::string::npos) << reason;
}

INSTANTIATE_TEST_SUITE_P(Cameras, CorvelORefusedTalkTest,
                         ::testing::Values(Refusal{"OptionNotSupported", camsim::OnvifFault::BackChannelRefused,
                                                   "refused the request"},
                                           Refusal{"NoAnswer", camsim::OnvifFault::BackChannelSilent, "did not"},
                                           Refusal{"NoSpeaker", camsim::OnvifFault::NoBackChannel, "no audio output"},
                                           Refusal{"Redirected", camsim::OnvifFault::BackChannelRedirect,
                                                   "redirected the back channel to rtsp://127.0.0.2:"}),
                         [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.what); });

} // namespace
} // namespace corvel
