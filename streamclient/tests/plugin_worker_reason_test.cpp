// A transport plug-in's own worker threads tell their lines for the stream
// whose call started them: two simulated ONVIF cameras open at once, and a
// command refused on one camera's command thread becomes that handle's last
// reason, never the other's.
#include <gtest/gtest.h>
#include <ostrel/stream_client.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "camsim/simulated_camera.h"
#include "camsim_session.h"
#include "platform/network_guard.h"

namespace ostrel::test {
namespace {

struct OnvifStream {
    bool start() {
        camsim::SimulatedCameraSettings s;
        s.streamingType = camsim::kOnvifStreamingType;
        s.options = camsim::quietCameraOptions();
        s.rtsp.audio = false;
        camera = std::make_unique<camsim::SimulatedCamera>(s);
        if (!camera->start()) return false;
        handle = openQuietInterface(platform::SystemClock::instance());
        if (handle == nullptr) return false;
        M_KSetStreamingType(handle, camsim::kOnvifStreamingType);
        const MediaConfig c = camera->mediaConfig(3);
        return M_KSetMediaConfig(handle, &c) == 1 && M_KConnect(handle) == 1;
    }
    ~OnvifStream() {
        M_KDisconnect(handle);
        M_KCloseInterface(handle);
    }
    std::string lastReason() const {
        char text[1025] = "";
        M_KGetLastReason(handle, text, sizeof text);
        return text;
    }

    std::unique_ptr<camsim::SimulatedCamera> camera;
    OstrelInterface* handle = nullptr;
};

TEST(PluginWorkerReasonTest, LineToldOnAPluginsWorkerThreadReachesItsOwnStreamOnly) {
    platform::enableLoopbackOnly();
    OnvifStream refusing;
    OnvifStream other;
    ASSERT_TRUE(refusing.start());
    ASSERT_TRUE(other.start());
    const std::string otherBefore = other.lastReason();

    refusing.camera->onvif()->setFault(camsim::OnvifFault::SoapFault);
    // The relay goes out on the plug-in's command thread; the caller's
    // thread returns at once and tells nothing.
    M_KSendDO(refusing.handle, 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (refusing.lastReason().find("Relay") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    const std::string told = refusing.lastReason();
    EXPECT_EQ(told.rfind("ONVIF: ", 0), 0u) << told;
    EXPECT_NE(told.find("Relay"), std::string::npos) << told;
    EXPECT_EQ(other.lastReason(), otherBefore);
}

} // namespace
} // namespace ostrel::test
