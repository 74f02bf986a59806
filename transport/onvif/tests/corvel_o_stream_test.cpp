// Corvel-O end to end against the simulated ONVIF camera and the RTSP
// streams behind its profiles: the first picture arrives (soon, as the
// connect asks for a key picture), whether the camera names a foreign
// address or knows only HTTP digest, and a pan record moves the head that
// draws the streamed picture.
#include "onvif_instance.h"

#include <camsim/onvif_camera.h>
#include <camsim/onvif_rtsp_streams.h>
#include <platform/diagnostics.h>
#include <platform/network_guard.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace corvel {
namespace {

using SteadyClock = std::chrono::steady_clock;

const uint8_t kPanRight[] = {'O', 'V', 1, 100, 0, 0, 0};

struct StreamCase {
    const char* what;
    camsim::OnvifFault fault;
    camsim::OnvifAuth auth;
};

class CorvelOStreamTest : public ::testing::TestWithParam<StreamCase> {
protected:
    void SetUp() override {
        platform::enableLoopbackOnly();
        camsim::OnvifOptions o;
        o.user = "operator";
        o.password = "pa:ss word";
        o.auth = GetParam().auth;
        // A key picture only every 10 s: the first picture is the one the
        // connect asks for.
        for (auto& p : o.profiles) p.govLength = 250;
        camsim::RtspProfileSettings settings;
        settings.audio = false;
        streams = std::make_shared<camsim::RtspProfileStreams>(o, head, settings);
        ASSERT_TRUE(streams->start()) << streams->error();
        camera = std::make_unique<camsim::OnvifCamera>(o, head, streams);
        ASSERT_TRUE(camera->start());
        camera->setFault(GetParam().fault);
    }

    MediaConfig config() const {
        MediaConfig c{};
        c.connectionType = 2;
        std::strncpy(c.cameraAddress, "127.0.0.1", sizeof c.cameraAddress - 1);
        std::strncpy(c.userName, "operator", sizeof c.userName - 1);
        std::strncpy(c.password, "pa:ss word", sizeof c.password - 1);
        c.httpPort = camera->port();
        c.connectTimeoutSeconds = 5;
        return c;
    }

    std::shared_ptr<camsim::CameraHead> head = std::make_shared<camsim::CameraHead>();
    std::shared_ptr<camsim::RtspProfileStreams> streams;
    std::unique_ptr<camsim::OnvifCamera> camera;
};

TEST_P(CorvelOStreamTest, FirstPictureIsAKeyPictureOfTheSmallProfileAndAPanMovesTheHead) {
    OnvifInstance instance;
    instance.setMediaConfig(config());
    ASSERT_EQ(instance.connect(), 1);
    ASSERT_EQ(instance.startStreaming(), 1);
    const auto start = SteadyClock::now();
    ASSERT_GT(instance.getNextIFrame(), 0);
    EXPECT_LT(SteadyClock::now() - start, std::chrono::seconds(5)) << "not the key picture asked for";
    EXPECT_EQ(streams->keyFramesRequested(), 1);
    // Channel 0 is the smaller profile: its stream, not the main one, plays.
    EXPECT_EQ(streams->camera(1).sessionsStarted(), 1);
    EXPECT_EQ(streams->camera(0).sessionsStarted(), 0);

    const double xBefore = head->window().x;
    TransportCommand pan{};
    pan.type = 11;
    pan.data = kPanRight;
    pan.length = sizeof kPanRight;
    EXPECT_EQ(instance.sendCommand(pan), 1);
    const auto end = SteadyClock::now() + std::chrono::seconds(3);
    while (head->window().x <= xBefore && SteadyClock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GT(head->window().x, xBefore);
    instance.disconnect();
}

// A stream nobody shows events of holds no subscription; one that does gives
// its subscription back when it disconnects, so a camera with two pull
// points serves one stream after another.
class CorvelOEventsTest : public CorvelOStreamTest {};

TEST_P(CorvelOEventsTest, SubscribesOnlyWhenEventsAreWantedAndGivesTheSubscriptionBack) {
    camera->setFault(camsim::OnvifFault::TwoPullPoints);
    for (const bool wanted : {false, true, true, true}) {
        OnvifInstance instance;
        instance.setEventsWanted(wanted);
        instance.setMediaConfig(config());
        ASSERT_EQ(instance.connect(), 1);
        ASSERT_EQ(instance.startStreaming(), 1);
        EXPECT_EQ(instance.session()->waitSubscribed(2000), wanted);
        instance.disconnect();
    }
    EXPECT_EQ(camera->livePullPoints(), 0);
}

INSTANTIATE_TEST_SUITE_P(Camera, CorvelOEventsTest,
                         ::testing::Values(StreamCase{"WellBehaved", camsim::OnvifFault::None, camsim::OnvifAuth::Any}),
                         [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.what); });

INSTANTIATE_TEST_SUITE_P(
    Cameras, CorvelOStreamTest,
    ::testing::Values(StreamCase{"WellBehaved", camsim::OnvifFault::None, camsim::OnvifAuth::Any},
                      StreamCase{"BehindNat", camsim::OnvifFault::ForeignXAddrs, camsim::OnvifAuth::Any},
                      StreamCase{"DigestOnly", camsim::OnvifFault::None, camsim::OnvifAuth::HttpDigest}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.what); });

TEST(CorvelOPasswordTest, StreamAskingForBasicAuthenticationNeverGetsThePassword) {
    platform::enableLoopbackOnly();
    camsim::OnvifOptions o;
    auto head = std::make_shared<camsim::CameraHead>();
    camsim::RtspProfileSettings settings;
    settings.audio = false;
    settings.fault = camsim::RtspFault::BasicOnly;
    auto streams = std::make_shared<camsim::RtspProfileStreams>(o, head, settings);
    ASSERT_TRUE(streams->start()) << streams->error();
    camsim::OnvifCamera camera(o, head, streams);
    ASSERT_TRUE(camera.start());
    MediaConfig c{};
    std::strncpy(c.cameraAddress, "127.0.0.1", sizeof c.cameraAddress - 1);
    std::strncpy(c.userName, o.user.c_str(), sizeof c.userName - 1);
    std::strncpy(c.password, o.password.c_str(), sizeof c.password - 1);
    c.httpPort = camera.port();
    c.connectTimeoutSeconds = 5;
    OnvifInstance instance;
    instance.setMediaConfig(c);
    platform::ReasonSlot told;
    const platform::ReasonScope scope(&told);
    EXPECT_EQ(instance.connect(), 0);
    const RtspSession& rtsp = static_cast<const Instance&>(instance).session();
    EXPECT_EQ(rtsp.failure(), Failure::BasicRefused) << told.last();
    EXPECT_EQ(streams->camera(1).basicAuthorizationsSeen(), 0);
}

} // namespace
} // namespace corvel
