// Camera settings over the camera's web server, against the simulator.
#include "v2_fixture.h"

#include "instance.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using fenwa20test::configFor;

class HttpSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(camera.start()); }

    void configure(int32_t channel = 0) { instance.setMediaConfig(configFor(camera, 2, channel)); }

    std::string onlyTarget() {
        const auto requests = camera.http().requests();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? std::string() : requests.back().target;
    }

    camsim::V2Camera camera{fenwa20test::quietCamera()};
    fenwa20::Instance instance;
};

TEST_F(HttpSettingsTest, RequestsCarryTheAgentAndBypassCaches) {
    configure();
    VideoConfig out{};
    instance.getVideoConfig(out);
    const auto requests = camera.http().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].header("user-agent"), "DeViru");
    EXPECT_EQ(requests[0].header("cache-control"), "no-cache");
    EXPECT_EQ(requests[0].header("pragma"), "no-cache");
}

TEST_F(HttpSettingsTest, SetVideoSendsTheFormAndChangesNothingLocally) {
    configure();
    VideoConfig before{};
    instance.getVideoConfig(before);
    camera.http().clearRequests();
    const VideoConfig config{0, 7, 3, 10, 20, 30, 40, 12};
    instance.setVideoConfig(config);
    EXPECT_EQ(onlyTarget(),
              "/cgi-bin/mpeg4?USER=admin&PWD=admin&VIDEO_BITRATE=3&VIDEO_RESOLUTION=N720x480&VIDEO_FPS_NUM=12"
              "&VIDEO_BRIGHTNESS=10&VIDEO_CONTRAST=20&VIDEO_HUE=40&VIDEO_SATURATION=30");
    EXPECT_EQ(camera.videoSettings().bitRateCode, 3);
    EXPECT_EQ(camera.videoSettings().hue, 40);
    // The stored record moves only with a get.
    camera.http().setFixedAnswer("");
    VideoConfig after{};
    instance.getVideoConfig(after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
}

TEST_F(HttpSettingsTest, ChannelIsAddedOnlyWhenNotZero) {
    configure(2);
    VideoConfig video{};
    MotionInfo motion{};
    motion.regionCount = 1;
    instance.getVideoConfig(video);
    instance.setVideoConfig(video);
    instance.getMotionInfo(motion);
    motion.regionCount = 1;
    instance.setMotionInfo(motion);
    for (const auto& r : camera.http().requests()) {
        EXPECT_EQ(r.target.rfind("/cgi-bin/mpeg4?USER=admin&PWD=admin&CHANNEL=2&", 0), 0u) << r.target;
    }
    camera.http().clearRequests();
    configure(0);
    instance.getVideoConfig(video);
    instance.setVideoConfig(video);
    instance.getMotionInfo(motion);
    motion.regionCount = 1;
    instance.setMotionInfo(motion);
    ASSERT_EQ(camera.http().requests().size(), 4u);
    for (const auto& r : camera.http().requests()) EXPECT_EQ(r.target.find("CHANNEL="), std::string::npos);
}

TEST_F(HttpSettingsTest, GetVideoReadsTheCameraAnswer) {
    camsim::CameraVideoSettings s;
    s.bitRateCode = 1; // "56K"
    s.resolutionCode = 64;
    s.frameRate = 15;
    s.brightness = 1;
    s.contrast = 2;
    s.saturation = 3;
    s.hue = 4;
    camera.setVideoSettings(s);
    configure();
    VideoConfig out{};
    instance.getVideoConfig(out);
    EXPECT_EQ(onlyTarget(), "/cgi-bin/mpeg4?USER=admin&PWD=admin&VIDEO_BITRATE&VIDEO_RESOLUTION&VIDEO_FPS_NUM"
                            "&VIDEO_BRIGHTNESS&VIDEO_CONTRAST&VIDEO_HUE&VIDEO_SATURATION");
    EXPECT_EQ(out.videoStandard, 0);
    EXPECT_EQ(out.resolutionCode, 64);
    EXPECT_EQ(out.bitRateCode, 1);
    EXPECT_EQ(out.frameRate, 15);
    EXPECT_EQ(out.brightness, 1);
    EXPECT_EQ(out.contrast, 2);
    EXPECT_EQ(out.saturation, 3);
    EXPECT_EQ(out.hue, 4);
}

TEST_F(HttpSettingsTest, EmptyBitRateValueReadsAsOneMegabit) {
    configure();
    camera.http().setFixedAnswer("VIDEO_BITRATE=''\nVIDEO_FPS_NUM='9'\n");
    VideoConfig out{};
    instance.getVideoConfig(out);
    EXPECT_EQ(out.bitRateCode, 7);
    EXPECT_EQ(out.frameRate, 9);
}

TEST_F(HttpSettingsTest, FailedGetVideoHandsOutTheStoredValues) {
    configure();
    VideoConfig first{};
    instance.getVideoConfig(first);
    camera.http().faults().errorStatus = 500;
    camera.setVideoSettings({});
    VideoConfig second;
    std::memset(&second, 0x77, sizeof second);
    instance.getVideoConfig(second);
    EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);
}

TEST_F(HttpSettingsTest, MotionRoundTripThroughTheCamera) {
    configure();
    MotionInfo info{};
    info.enabled = 1;
    info.regionCount = 2;
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 4; ++k) info.window[r][k] = 100 * (r + 1) + k;
        info.fifth[r] = 100 * (r + 1) + 9;
    }
    instance.setMotionInfo(info);
    EXPECT_EQ(onlyTarget(), "/cgi-bin/mpeg4?USER=admin&PWD=admin&MOTION_ENABLED=1&MOTION_SETTING=1,100,101,102,103,109"
                            "&MOTION_SETTING=2,200,201,202,203,209");
    camera.http().clearRequests();
    MotionInfo out;
    std::memset(&out, 0x33, sizeof out);
    instance.getMotionInfo(out);
    EXPECT_EQ(onlyTarget(), "/cgi-bin/mpeg4?USER=admin&PWD=admin&MOTION_ENABLED&MOTION_STATUS");
    EXPECT_EQ(out.enabled, 1);
    EXPECT_EQ(out.regionCount, 2);
    EXPECT_EQ(out.window[1][2], 202);
    EXPECT_EQ(out.fifth[1], 209);
    // A region the camera does not report reads as zero.
    EXPECT_EQ(out.window[2][0], 0);
    EXPECT_EQ(out.fifth[2], 0);
}

TEST_F(HttpSettingsTest, MotionWithoutAFormSendsNoRequest) {
    configure();
    MotionInfo info{};
    info.regionCount = 4;
    instance.setMotionInfo(info);
    VideoConfig out{};
    instance.getVideoConfig(out); // a request that does go out, as a marker
    ASSERT_TRUE(camera.http().waitForRequests(1, 5000));
    EXPECT_EQ(camera.http().requests().size(), 1u);
    EXPECT_NE(camera.http().requests()[0].target.find("VIDEO_BITRATE"), std::string::npos);
}

TEST_F(HttpSettingsTest, FailedOrSlowMotionAnswerLeavesTheOutputUntouched) {
    fenwa20::InstanceOptions o;
    o.httpTimeoutMs = 300;
    fenwa20::Instance quick(o);
    quick.setMediaConfig(configFor(camera, 2));
    MotionInfo out;
    std::memset(&out, 0x33, sizeof out);
    MotionInfo pattern = out;

    camera.http().faults().errorStatus = 404;
    quick.getMotionInfo(out);
    EXPECT_EQ(std::memcmp(&out, &pattern, sizeof out), 0);

    camera.http().faults().errorStatus = 0;
    camera.http().faults().delayMs = 3000;
    quick.getMotionInfo(out);
    EXPECT_EQ(std::memcmp(&out, &pattern, sizeof out), 0);

    camera.http().faults().delayMs = 0;
    camera.http().faults().truncateBody = true;
    quick.getMotionInfo(out);
    EXPECT_EQ(std::memcmp(&out, &pattern, sizeof out), 0);

    camera.http().faults().truncateBody = false;
    camera.http().faults().closeWithoutAnswer = true;
    quick.getMotionInfo(out);
    EXPECT_EQ(std::memcmp(&out, &pattern, sizeof out), 0);
}

TEST_F(HttpSettingsTest, SlowButTimelyAnswerIsRead) {
    configure();
    camera.http().faults().delayMs = 200;
    camera.http().setFixedAnswer("MOTION_ENABLED='0x01'\nMOTION_STATUS=1,1,2,3,4,5\nMOTION_STATUS=2,6,7,8,9,10\n");
    MotionInfo out{};
    instance.getMotionInfo(out);
    EXPECT_EQ(out.enabled, 1);
    EXPECT_EQ(out.regionCount, 2);
    EXPECT_EQ(out.fifth[1], 10);
}

TEST_F(HttpSettingsTest, SerialSettingGoesOutEvenBeforeConnect) {
    configure();
    const uint8_t payload[2] = {8, 3};
    TransportCommand command{17, payload, 2, nullptr, 0};
    EXPECT_EQ(instance.sendCommand(command), 1);
    EXPECT_EQ(onlyTarget(), "/cgi-bin/mpeg4?USER=admin&PWD=admin&SERIAL_SETTING=8O1,9600");
    EXPECT_EQ(camera.serialSetting(), "8O1,9600");
}

TEST_F(HttpSettingsTest, SerialSettingReportsFailure) {
    configure();
    const uint8_t payload[2] = {0, 7};
    TransportCommand command{17, payload, 2, nullptr, 0};
    camera.http().faults().errorStatus = 503;
    EXPECT_EQ(instance.sendCommand(command), 0);
    camera.http().faults().errorStatus = 0;
    TransportCommand shortPayload{17, payload, 1, nullptr, 0};
    EXPECT_EQ(instance.sendCommand(shortPayload), 0);
    const uint8_t unknownFormat[2] = {3, 3};
    TransportCommand unknown{17, unknownFormat, 2, nullptr, 0};
    EXPECT_EQ(instance.sendCommand(unknown), 0);
    EXPECT_EQ(camera.http().requests().size(), 1u);

    MediaConfig c = configFor(camera, 2);
    c.httpPort = fenwa20test::closedPort();
    instance.setMediaConfig(c);
    EXPECT_EQ(instance.sendCommand(command), 0);
}

TEST_F(HttpSettingsTest, SerialSettingGivesUpOnAWebServerThatDoesNotAnswerWithinASecond) {
    configure();
    const uint8_t payload[2] = {8, 3};
    TransportCommand command{17, payload, 2, nullptr, 0};
    camera.http().faults().delayMs = 2500;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(instance.sendCommand(command), 0);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(took, 2.0);
    RecordProperty("serial_setting_ms", static_cast<int>(took * 1000 + 0.5));
}

TEST(HttpSettingsEncoding, SpecialCharactersInCredentialsArePercentEncoded) {
    camsim::CameraOptions o = fenwa20test::quietCamera();
    o.user = "ops team";
    o.password = "a&b#c=d";
    camsim::V2Camera camera(o);
    ASSERT_TRUE(camera.start());
    fenwa20::Instance instance;
    instance.setMediaConfig(configFor(camera, 2));
    const uint8_t payload[2] = {24, 4};
    TransportCommand command{17, payload, 2, nullptr, 0};
    // The camera decodes the values and accepts the credentials.
    EXPECT_EQ(instance.sendCommand(command), 1);
    ASSERT_EQ(camera.http().requests().size(), 1u);
    EXPECT_EQ(camera.http().requests()[0].target,
              "/cgi-bin/mpeg4?USER=ops%20team&PWD=a%26b%23c%3Dd&SERIAL_SETTING=8E1,19200");
    EXPECT_EQ(camera.serialSetting(), "8E1,19200");
}

} // namespace
