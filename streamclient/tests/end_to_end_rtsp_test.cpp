// RTSP cameras along the whole road: the simulated RTSP camera, Corvel-M,
// the decoder plug-in and the stream client drawing on a test surface.
// A plain RTSP camera has no control path, so these tests carry no PTZ.
#include "camsim/rtsp_camera.h"
#include "camsim/scene_renderer.h"
#include "camsim/yuv_picture.h"
#include "ostrel_fixture.h"
#include "platform/audio_fake.h"
#include "platform/diagnostic_capture.h"
#include "platform/module.h"
#include "platform/network_guard.h"
#include "platform/surface.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <future>
#include <vector>

namespace ostrel::test {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

camsim::RtspOptions cameraOptions() {
    camsim::RtspOptions o;
    o.width = kWidth;
    o.height = kHeight;
    o.name = "RTSP";
    o.user = "viewer";
    o.password = "s3cret";
    return o;
}

class RtspEndToEndTest : public ::testing::Test {
protected:
    // The plug-in's libraries (libavformat and what it pulls in) keep some
    // process-wide state that goes unreachable once they are unloaded; kept
    // loaded, the leak checker sees only what the tests themselves leave.
    static void SetUpTestSuite() {
        platform::Module plugin;
        ASSERT_TRUE(plugin.load("Corvel-M")) << plugin.error();
        ASSERT_NE(::dlopen(plugin.path().c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE), nullptr);
    }
    void SetUp() override {
        platform::enableLoopbackOnly();
        ASSERT_TRUE(camera.start()) << camera.error();
        window = platform::SurfaceRegistry::add(surface);
        ostrel::Seams seams;
        seams.audioDevices = [devices = audio] { return devices; };
        handle = ostrel::openInterface(seams);
        ASSERT_NE(handle, nullptr);
    }
    void TearDown() override {
        if (handle != nullptr) {
            M_KDisconnect(handle);
            M_KCloseInterface(handle);
        }
        platform::SurfaceRegistry::remove(window);
    }
    // The viewer's order of calls for a type-4 camera at the mount, then connect.
    int32_t open(camsim::RtspCodec codec, const char* password) {
        M_KSetAfterRenderCallback(handle, &rendered, countSimple);
        M_KSetStreamingType(handle, 4);
        MediaConfig c{};
        c.connectionType = 1;
        std::strncpy(c.cameraAddress, camera.url(codec).c_str(), sizeof c.cameraAddress - 1);
        std::strcpy(c.userName, "viewer");
        std::strcpy(c.password, password);
        c.connectTimeoutSeconds = 3;
        if (M_KSetMediaConfig(handle, &c) != 1) return 0;
        const RenderInfo info{0, window, 0, 0, kWidth, kHeight};
        M_KSetRenderInfo(handle, &info);
        return M_KConnect(handle);
    }

    camsim::RtspCamera camera{cameraOptions()};
    std::shared_ptr<platform::RecordingSurface> surface =
        std::make_shared<platform::RecordingSurface>(platform::SurfaceSize{kWidth, kHeight});
    std::shared_ptr<platform::FakeAudioDevices> audio = std::make_shared<platform::FakeAudioDevices>();
    uint32_t window = 0;
    OstrelInterface* handle = nullptr;
    CallCounter rendered;
};

// Drawn pixels are 32-bit BGRx.
const uint8_t* pixelAt(const platform::RecordingSurface::Snapshot& snap, int x, int y) {
    return snap.pixels.data() + snap.stride * static_cast<std::size_t>(y) + 4u * static_cast<std::size_t>(x);
}

// Mean absolute difference between the drawn picture's luma and the scene
// of a panorama as the head shows it now (without the running clock).
double differenceFromScene(const platform::RecordingSurface::Snapshot& snap, const camsim::CameraHead& head,
                           int variant) {
    camsim::SceneRenderer renderer(kWidth, kHeight, "RTSP", variant);
    camsim::YuvImage scene(kWidth, kHeight);
    renderer.render(head, "", scene.picture());
    double sum = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* p = pixelAt(snap, x, y);
            const double luma = 16 + (65.738 * p[2] + 129.057 * p[1] + 25.064 * p[0]) / 256;
            sum += std::abs(luma - scene.plane(0)[y * scene.stride(0) + x]);
        }
    }
    return sum / (kWidth * kHeight);
}

// A codec, and whether the window lends its own buffer for the decoder to
// write into (as the viewer's do) or takes pictures drawn into it.
struct PictureWay {
    camsim::RtspCodec codec;
    platform::RecordingSurface::Lending lending;
};

class RtspCodecTest : public RtspEndToEndTest, public ::testing::WithParamInterface<PictureWay> {};

TEST_P(RtspCodecTest, PicturesOfTheSceneReachTheRenderer) {
    // The scene below is drawn when the test looks, later than the picture
    // it is compared with (the more so on a slow machine): nothing but the
    // clock may move in between.
    camera.head().setMotionDetection(false, {});
    platform::SurfaceRegistry::remove(window);
    surface = std::make_shared<platform::RecordingSurface>(platform::SurfaceSize{kWidth, kHeight}, GetParam().lending);
    window = platform::SurfaceRegistry::add(surface);
    ASSERT_EQ(open(GetParam().codec, "s3cret"), 1);
    ASSERT_TRUE(rendered.waitFor(10, 10000));
    const auto snap = surface->snapshot();
    ASSERT_EQ(snap.width, kWidth);
    ASSERT_EQ(snap.height, kHeight);
    ASSERT_EQ(snap.bitCount, 32);

    // Each landmark in view keeps its colour through coding and decoding.
    int checked = 0;
    for (const camsim::Landmark& mark : camsim::SceneRenderer::landmarks(0)) {
        double px = 0, py = 0;
        camsim::SceneRenderer::sceneToPicture(camera.head().window(), mark.x, mark.y, kWidth, kHeight, px, py);
        if (px < 60 || px > kWidth - 60 || py < 40 || py > kHeight - 40) continue;
        const uint8_t* p = pixelAt(snap, static_cast<int>(px), static_cast<int>(py));
        EXPECT_NEAR(p[2], mark.colour.r, 40) << mark.x << "," << mark.y;
        EXPECT_NEAR(p[1], mark.colour.g, 40) << mark.x << "," << mark.y;
        EXPECT_NEAR(p[0], mark.colour.b, 40) << mark.x << "," << mark.y;
        ++checked;
    }
    EXPECT_GT(checked, 0) << "no landmark in view";
    // Only the running clock and the coding error differ from the scene; the
    // neighbouring panorama differs everywhere.
    const double own = differenceFromScene(snap, camera.head(), 0);
    EXPECT_LT(own, 6.5);
    EXPECT_GT(differenceFromScene(snap, camera.head(), 1), 3 * own + 10);
    if (GetParam().lending == platform::RecordingSurface::Lending::Planes) {
        EXPECT_GT(snap.planarCount, 0) << "every picture came as rows";
        // Pointing still gets its grey copies of pictures drawn as planes.
        std::vector<uint8_t> grey(32 * 24);
        EXPECT_EQ(M_KGetPictureSample(handle, grey.data(), 32, 24, 5000), 1);
    }
}

using Lending = platform::RecordingSurface::Lending;
INSTANTIATE_TEST_SUITE_P(Codecs, RtspCodecTest,
                         ::testing::Values(PictureWay{camsim::RtspCodec::H264, Lending::No},
                                           PictureWay{camsim::RtspCodec::H265, Lending::No},
                                           PictureWay{camsim::RtspCodec::Mjpeg, Lending::No},
                                           PictureWay{camsim::RtspCodec::H264, Lending::Yes},
                                           PictureWay{camsim::RtspCodec::H264, Lending::Planes},
                                           PictureWay{camsim::RtspCodec::Mjpeg, Lending::Planes}),
                         [](const auto& info) {
                             const Lending lending = info.param.lending;
                             return std::string(camsim::rtspMountName(info.param.codec)) +
                                    (lending == Lending::Yes      ? "IntoTheWindow"
                                     : lending == Lending::Planes ? "IntoTheWindowAsPlanes"
                                                                  : "");
                         });

TEST_F(RtspEndToEndTest, CamerasToneReachesTheAudioPlayerAsPcmWhenAudioIsOn) {
    M_KSetMute(handle, 1);
    ASSERT_EQ(open(camsim::RtspCodec::H264, "s3cret"), 1);
    ASSERT_TRUE(waitUntil([&] { return audio->writtenBuffers().size() >= 5; }));
    // The camera's 1000 Hz tone of amplitude 8000 through G.711 mu-law: at
    // 8,000 samples/s every buffer repeats itself every 8 samples and turns
    // over every 4, at the tone's level.
    for (const auto& played : audio->writtenBuffers()) {
        ASSERT_EQ(played.size(), 640u);
        std::vector<int> s(played.size() / 2);
        for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(played[2 * i] | played[2 * i + 1] << 8);
        double energy = 0;
        int worst = 0;
        for (std::size_t i = 0; i + 8 < s.size(); ++i) {
            energy += static_cast<double>(s[i]) * s[i];
            worst = std::max({worst, std::abs(s[i] - s[i + 8]), std::abs(s[i] + s[i + 4])});
        }
        EXPECT_LT(worst, 300);
        EXPECT_NEAR(std::sqrt(energy / static_cast<double>(s.size() - 8)), 8000 / std::sqrt(2.0), 300);
    }
}

TEST_F(RtspEndToEndTest, WrongPasswordFailsWithItsOneLineReasonInUnderASecond) {
    platform::DiagnosticCapture reasons;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(open(camsim::RtspCodec::H264, "wrong"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    const auto lines = reasons.lines();
    const auto reason = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("user name or password") != std::string::npos;
    });
    ASSERT_NE(reason, lines.end()) << reasons.text();
    EXPECT_EQ(reason->find('\n'), std::string::npos);
    EXPECT_EQ(reason->find("wrong"), std::string::npos) << "the password reached the diagnostics";
    EXPECT_EQ(rendered.value(), 0);
}

// Two cameras of a wall failing at the same time for different reasons:
// each handle keeps its own, also while no diagnostics are printed.
TEST_F(RtspEndToEndTest, TwoHandlesFailingAtOnceEachKeepTheirOwnReason) {
    OstrelInterface* other = M_KOpenInterface();
    ASSERT_NE(other, nullptr);
    MediaConfig c{};
    c.connectionType = 1;
    std::strcpy(c.cameraAddress, ("rtsp://127.0.0.1:" + std::to_string(camera.port()) + "/nosuch").c_str());
    std::strcpy(c.userName, "viewer");
    std::strcpy(c.password, "s3cret");
    M_KSetStreamingType(other, 4);
    ASSERT_EQ(M_KSetMediaConfig(other, &c), 1);
    auto otherConnect = std::async(std::launch::async, [other] { return M_KConnect(other); });
    EXPECT_EQ(open(camsim::RtspCodec::H264, "wrong"), 0);
    EXPECT_EQ(otherConnect.get(), 0);

    char reason[512];
    ASSERT_GT(M_KGetLastReason(handle, reason, sizeof reason), 0);
    EXPECT_NE(std::string(reason).find("refused the user name or password"), std::string::npos) << reason;
    ASSERT_GT(M_KGetLastReason(other, reason, sizeof reason), 0);
    EXPECT_NE(std::string(reason).find("no stream at that path"), std::string::npos) << reason;
    // A short buffer gets the start of the reason, terminated.
    char start[8];
    EXPECT_EQ(M_KGetLastReason(other, start, sizeof start), 7);
    EXPECT_EQ(std::string(start), std::string(reason, 7));
    M_KCloseInterface(other);
}

} // namespace
} // namespace ostrel::test
