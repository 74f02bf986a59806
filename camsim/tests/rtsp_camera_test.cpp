// The simulated RTSP camera as an independent client (libavformat) sees it:
// each mount's pictures are the scene at the right size, the head pans them,
// and digest authentication keeps a wrong password out.
#include "camsim/encoding_delays.h"
#include "camsim/rtsp_camera.h"
#include "camsim/scene_renderer.h"
#include "camsim/time_strip.h"
#include "rtsp_test_client.h"

#include "platform/clock.h"
#include "platform/tcp_socket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace camsim {
namespace {

constexpr int kWidth = 320, kHeight = 240;
constexpr int kProbeTimeoutMs = 8000;

RtspOptions smallOptions() {
    RtspOptions o;
    o.width = kWidth;
    o.height = kHeight;
    o.frameRate = 25;
    o.bitRateKbps = 1500;
    o.name = "RTSP";
    o.user = "viewer";
    o.password = "s3cret";
    return o;
}

class RtspCameraTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(camera.start()) << camera.error(); }

    // The scene as the head shows it now, without the running clock.
    std::vector<uint8_t> expectedLuma(int variant = 0) const {
        SceneRenderer renderer(kWidth, kHeight, "RTSP", variant);
        YuvImage image(kWidth, kHeight);
        renderer.render(*head, "", image.picture());
        std::vector<uint8_t> luma;
        for (int y = 0; y < kHeight; ++y) {
            luma.insert(luma.end(), image.plane(0) + y * image.stride(0),
                        image.plane(0) + y * image.stride(0) + kWidth);
        }
        return luma;
    }
    test::RtspProbe probe(RtspCodec codec, const std::string& password = "s3cret") const {
        return test::probeRtsp(test::withCredentials(camera.url(codec), "viewer", password), kProbeTimeoutMs);
    }

    platform::ManualClock clock{1000};
    std::shared_ptr<CameraHead> head = std::make_shared<CameraHead>(1, &clock);
    RtspCamera camera{smallOptions(), head};
};

struct MountCase {
    RtspCodec codec;
    const char* streamName; // libavformat's name of the video codec
};

class RtspMountTest : public RtspCameraTest, public ::testing::WithParamInterface<MountCase> {};

TEST_P(RtspMountTest, ServesTheScenesPictureWithTheTone) {
    const test::RtspProbe p = probe(GetParam().codec);
    ASSERT_EQ(p.error, 0) << p.errorText;
    EXPECT_EQ(p.streams, (std::vector<std::string>{GetParam().streamName, "pcm_mulaw"}));
    ASSERT_EQ(p.picture.width, kWidth);
    ASSERT_EQ(p.picture.height, kHeight);
    // Only the running clock and the coding error differ from the scene; a
    // neighbouring panorama differs everywhere.
    const double own = test::meanLumaDifference(p.picture.luma, expectedLuma(0));
    const double other = test::meanLumaDifference(p.picture.luma, expectedLuma(1));
    EXPECT_LT(own, 6.0);
    EXPECT_GT(other, 4 * own + 10);
}

INSTANTIATE_TEST_SUITE_P(Codecs, RtspMountTest,
                         ::testing::Values(MountCase{RtspCodec::H264, "h264"}, MountCase{RtspCodec::H265, "hevc"},
                                           MountCase{RtspCodec::Mjpeg, "mjpeg"}),
                         [](const auto& info) { return std::string(rtspMountName(info.param.codec)); });

TEST_F(RtspCameraTest, PanningTheHeadPansThePicture) {
    const std::vector<uint8_t> before = expectedLuma();
    PtzCommand right;
    right.pan = 1;
    right.panSpeed = 0x3F;
    head->apply(right);
    clock.advanceMs(800);
    head->apply(PtzCommand{});
    const std::vector<uint8_t> after = expectedLuma();
    ASSERT_GT(test::meanLumaDifference(before, after), 10.0) << "the head did not move the window";

    const test::RtspProbe p = probe(RtspCodec::H264);
    ASSERT_EQ(p.error, 0) << p.errorText;
    EXPECT_LT(test::meanLumaDifference(p.picture.luma, after), 6.0);
}

TEST_F(RtspCameraTest, DigestAuthenticationRefusesAWrongPassword) {
    const test::RtspProbe wrong = probe(RtspCodec::H264, "guess");
    EXPECT_NE(wrong.error, 0);
    EXPECT_EQ(wrong.picturesDecoded, 0);
    const test::RtspProbe none = test::probeRtsp(camera.url(RtspCodec::H264), kProbeTimeoutMs);
    EXPECT_NE(none.error, 0);
    EXPECT_EQ(camera.sessionsStarted(), 0);

    // On the wire: the challenge is digest, never basic.
    platform::TcpSocket socket;
    ASSERT_TRUE(socket.connect("127.0.0.1", camera.port(), 2000));
    ASSERT_TRUE(socket.setReceiveTimeout(3000));
    const std::string request = "DESCRIBE " + camera.url(RtspCodec::H264) + " RTSP/1.0\r\nCSeq: 1\r\n\r\n";
    ASSERT_TRUE(socket.sendAll(request.data(), request.size()));
    std::string answer;
    char buffer[1024];
    while (answer.find("\r\n\r\n") == std::string::npos) {
        const auto r = socket.receiveSome(buffer, sizeof buffer);
        ASSERT_EQ(r.status, platform::RecvStatus::Ok);
        answer.append(buffer, r.bytes);
    }
    EXPECT_EQ(answer.rfind("RTSP/1.0 401", 0), 0u) << answer;
    EXPECT_NE(answer.find("WWW-Authenticate: Digest"), std::string::npos) << answer;
    EXPECT_EQ(answer.find("Basic"), std::string::npos) << answer;
    // RFC 2069 digest, as older cameras ask: no quality of protection.
    EXPECT_EQ(answer.find("qop"), std::string::npos) << answer;
}

// A camera whose encoder runs on regardless: a client that joins in the
// middle of a long key-picture interval sees nothing until the next key
// picture (Corvel-O's tests show a request ending the wait).
TEST(RtspKeyFrameTest, ClientThatJoinsMidIntervalWaitsForTheNextKeyPicture) {
    RtspOptions o = smallOptions();
    o.audio = false;
    o.keyFrameInterval = 250; // 10 s
    o.keyPictureOnPlay = false;
    RtspCamera camera(o);
    ASSERT_TRUE(camera.start()) << camera.error();
    EXPECT_EQ(camera.requestKeyFrame(), 0) << "nobody is playing yet";
    const test::RtspProbe p =
        test::probeRtsp(test::withCredentials(camera.url(RtspCodec::H264), "viewer", "s3cret"), 1200);
    EXPECT_EQ(p.picturesDecoded, 0) << "a picture came without a key picture";
    EXPECT_FALSE(p.streams.empty()) << "the session itself must work: " << p.errorText;
}

TEST(RtspPreEncodedTest, LoopServesTheSceneToEveryClient) {
    RtspOptions o = smallOptions();
    o.user.clear();
    o.frameRate = 50;
    o.preEncodedSeconds = 1;
    o.keyFrameInterval = 10;
    RtspCamera camera(o);
    ASSERT_TRUE(camera.start()) << camera.error();
    CameraHead head;
    SceneRenderer renderer(kWidth, kHeight, "RTSP", 0);
    YuvImage scene(kWidth, kHeight);
    renderer.render(head, "", scene.picture());
    std::vector<uint8_t> expected;
    for (int y = 0; y < kHeight; ++y) {
        expected.insert(expected.end(), scene.plane(0) + y * scene.stride(0),
                        scene.plane(0) + y * scene.stride(0) + kWidth);
    }
    // The first client reads past the end of the 50-picture loop; the loop,
    // encoded once, serves the second as well.
    for (int pictures : {60, 5}) {
        const test::RtspProbe p = test::probeRtsp(camera.url(RtspCodec::H265), kProbeTimeoutMs, pictures);
        ASSERT_EQ(p.error, 0) << p.errorText;
        EXPECT_LT(test::meanLumaDifference(p.picture.luma, expected), 6.0);
    }
}

// The capture time drawn into a live picture survives H.264 and reads back
// as a time between the client's asking and its having the picture; the
// encoding delay of each picture the client had is counted, and lies in
// that span too.
TEST(RtspTimeStripTest, LivePicturesCarryTheirCaptureTime) {
    RtspOptions o = smallOptions();
    o.user.clear();
    o.audio = false;
    o.timeStrip = true;
    o.encodingDelays = std::make_shared<EncodingDelays>();
    RtspCamera camera(o);
    ASSERT_TRUE(camera.start()) << camera.error();
    const auto nowMs = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const int64_t asked = nowMs();
    const test::RtspProbe p = test::probeRtsp(camera.url(RtspCodec::H264), kProbeTimeoutMs, 3);
    const int64_t had = nowMs();
    const DelayFigures encoding = o.encodingDelays->figures();
    const int64_t read = nowMs();
    ASSERT_EQ(p.error, 0) << p.errorText;
    const std::optional<int64_t> captured = readTimeStrip(p.picture.luma.data(), kWidth, kWidth, kHeight);
    ASSERT_TRUE(captured.has_value()) << "no strip in the live picture";
    EXPECT_GE(*captured, asked);
    EXPECT_LE(*captured, had);
    EXPECT_GE(encoding.count, 3);
    EXPECT_GE(encoding.median, 0);
    EXPECT_LE(encoding.percentile95, (read - asked + 1) * 1000); // microseconds
}

TEST(RtspCameraStartTest, RefusesUnusableOptionsAndATakenPort) {
    RtspOptions odd = smallOptions();
    odd.width = 322;
    RtspCamera oddCamera(odd);
    EXPECT_FALSE(oddCamera.start());
    EXPECT_NE(oddCamera.error().find("size"), std::string::npos);
    RtspOptions stripOnLoop = smallOptions();
    stripOnLoop.preEncodedSeconds = 1;
    stripOnLoop.timeStrip = true;
    RtspCamera loopCamera(stripOnLoop);
    EXPECT_FALSE(loopCamera.start());
    EXPECT_NE(loopCamera.error().find("live encoding"), std::string::npos);
    RtspOptions delayOnLoop = smallOptions();
    delayOnLoop.preEncodedSeconds = 1;
    delayOnLoop.encodingDelays = std::make_shared<EncodingDelays>();
    RtspCamera delayCamera(delayOnLoop);
    EXPECT_FALSE(delayCamera.start());

    RtspCamera first(smallOptions());
    ASSERT_TRUE(first.start()) << first.error();
    EXPECT_NE(first.port(), 0);
    EXPECT_EQ(first.url(RtspCodec::H265), "rtsp://127.0.0.1:" + std::to_string(first.port()) + "/h265");
    RtspOptions same = smallOptions();
    same.port = first.port();
    RtspCamera second(same);
    EXPECT_FALSE(second.start());
    EXPECT_EQ(second.port(), 0);
}

} // namespace
} // namespace camsim
