// The whole road in one process: a simulated camera on 127.0.0.1, the real
// transport and decoder plug-ins, the stream client and a test surface.
#pragma once

#include <gtest/gtest.h>
#include <ostrel/stream_client.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "camsim/camera_options.h"
#include "camsim/encoded_video_source.h"
#include "clock_driver.h"
#include "interface_object.h"
#include "ostrel_fixture.h"
#include "platform/audio_fake.h"
#include "platform/clock.h"
#include "platform/surface.h"

namespace ostrel::test {

inline camsim::CameraOptions loopbackCamera(int resolutionCode = 1, int frameRate = 30) {
    camsim::CameraOptions o;
    o.host = "127.0.0.1";
    o.user = "admin";
    o.password = "admin";
    o.video.resolutionCode = resolutionCode;
    o.video.frameRate = static_cast<uint16_t>(frameRate);
    return o;
}

// Expects the test pattern's quadrant colours in a drawn 32-bit picture.
inline void expectPatternQuadrants(const platform::RecordingSurface::Snapshot& snap) {
    ASSERT_EQ(snap.bitCount, 32);
    ASSERT_GE(snap.pixels.size(), snap.stride * static_cast<std::size_t>(snap.height));
    for (int qy : {snap.height / 4, 3 * snap.height / 4}) {
        for (int qx : {snap.width / 4, 3 * snap.width / 4}) {
            const uint8_t* p = snap.pixels.data() + snap.stride * static_cast<std::size_t>(qy) + 4u * qx;
            // The quadrants do not move; frame 0 tells their colours.
            const auto want = camsim::EncodedVideoSource::patternColour(snap.width, snap.height, 0, qx, qy);
            EXPECT_NEAR(p[2], want.r, 40) << qx << "," << qy;
            EXPECT_NEAR(p[1], want.g, 40) << qx << "," << qy;
            EXPECT_NEAR(p[0], want.b, 40) << qx << "," << qy;
        }
    }
}

template <class Camera>
class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        surface = std::make_shared<platform::RecordingSurface>(platform::SurfaceSize{640, 480});
        window = platform::SurfaceRegistry::add(surface);
        ostrel::Seams seams;
        seams.clock = &clock;
        auto devices = audio;
        seams.audioDevices = [devices] { return devices; };
        handle = ostrel::openInterface(seams);
        ASSERT_NE(handle, nullptr);
    }
    void TearDown() override {
        if (handle != nullptr) {
            M_KDisconnect(handle);
            M_KCloseInterface(handle);
        }
        platform::SurfaceRegistry::remove(window);
        camera.reset();
    }

    bool startCamera(const camsim::CameraOptions& options) {
        camera = std::make_unique<Camera>(options);
        return camera->start();
    }

    // The viewer's order of calls, then connect.
    int32_t open(int32_t streamingType, const MediaConfig& config, bool events = true) {
        if (events) {
            M_KSetMotionDetectionCallback(handle, &motion, countMotion, 0);
            M_KSetDICallback(handle, &inputs, countDi);
        }
        M_KSetNetworkLossCallback(handle, &networkLoss, countSimple);
        M_KSetAfterRenderCallback(handle, &rendered, countSimple);
        M_KSetStreamingType(handle, streamingType);
        if (M_KSetMediaConfig(handle, &config) != 1) return 0;
        RenderInfo info{};
        info.window = window;
        info.width = 320;
        info.height = 240;
        M_KSetRenderInfo(handle, &info);
        return M_KConnect(handle);
    }

    // open() for a connect expected to fail: its wait runs out as soon as it
    // started.
    int32_t openWhileAdvancing(int32_t streamingType, const MediaConfig& config) {
        return callWhileAdvancing(clock, ostrel::kConnectWaitMs, [&] { return open(streamingType, config); });
    }

    // Lets the picture time-out run out until the network loss was reported.
    bool advanceUntilNetworkLoss() {
        return advanceUntil(clock, ostrel::kPictureTimeoutMs, [this] { return networkLoss.waitFor(1, 5); });
    }

    std::unique_ptr<Camera> camera;
    platform::ManualClock clock;
    std::shared_ptr<platform::FakeAudioDevices> audio = std::make_shared<platform::FakeAudioDevices>();
    std::shared_ptr<platform::RecordingSurface> surface;
    uint32_t window = 0;
    OstrelInterface* handle = nullptr;
    CallCounter networkLoss;
    CallCounter rendered;
    CallCounter motion;
    CallCounter inputs;
};

} // namespace ostrel::test
