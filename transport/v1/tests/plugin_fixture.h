// A protocol version 1 plug-in instance against an in-process camera.
#pragma once

#include "camsim/v1_camera.h"
#include "instance.h"
#include "platform/clock.h"
#include "transport/plugin_exports.h"
#include "transport/protocol_message.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

namespace fenwa10::test {

// Collects what the plug-in hands to the control-data callback.
class CallbackLog {
public:
    static void callback(void* context, const void* data, int32_t length) {
        auto* self = static_cast<CallbackLog*>(context);
        const auto* p = static_cast<const uint8_t*>(data);
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->blocks_.emplace_back(p, p + length);
        }
        self->changed_.notify_all();
    }
    // Waits for a block whose first four bytes are the type; copies it out.
    bool waitForType(uint32_t type, std::vector<uint8_t>* found = nullptr, int timeoutMs = 5000) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const auto& b : blocks_) {
                if (b.size() >= 4 && transport::getUint32Le(b.data()) == type) {
                    if (found != nullptr) *found = b;
                    return true;
                }
            }
            return false;
        });
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        blocks_.clear();
    }
    bool waitForLoss(int timeoutMs = 5000) {
        return waitForType(static_cast<uint32_t>(transport::kNetworkLossNotice), nullptr, timeoutMs);
    }
    std::size_t countType(uint32_t type) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::size_t n = 0;
        for (const auto& b : blocks_) n += b.size() >= 4 && transport::getUint32Le(b.data()) == type ? 1 : 0;
        return n;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::vector<uint8_t>> blocks_;
};

inline MediaConfig mediaConfigFor(const camsim::V1Camera& camera, const char* user, const char* password) {
    MediaConfig c;
    std::memset(&c, 0, sizeof c);
    c.connectionType = 2;
    std::strcpy(c.cameraAddress, "127.0.0.1");
    std::strncpy(c.userName, user, sizeof c.userName - 1);
    std::strncpy(c.password, password, sizeof c.password - 1);
    c.registerPort = camera.loginPort();
    c.streamingPort = camera.mediaPort();
    c.controlPort = camera.controlPort();
    c.connectTimeoutSeconds = 2;
    return c;
}

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        options.user = "operator";
        options.password = "pass word";
        options.connectionNumber = 0x51;
        options.autoStream = false; // tests send each frame themselves
        options.video.resolutionCode = 1;
        options.video.frameRate = 15;
        options.video.bitRateCode = 6;
    }
    void TearDown() override {
        if (handle != nullptr) M_XExit(handle);
        handle = nullptr;
        camera.reset();
    }

    // Starts the camera and an instance configured for it.
    void startCamera() {
        camera = std::make_unique<camsim::V1Camera>(options);
        ASSERT_TRUE(camera->start());
        handle = handleOf(new Instance(clock));
        config = mediaConfigFor(*camera, options.user.c_str(), options.password.c_str());
        M_XSetControlDataCallBack(handle, &log, &CallbackLog::callback);
        M_XSetMediaConfig(handle, &config);
    }
    // Camera, connection and stream in one step.
    void startStreaming() {
        startCamera();
        ASSERT_EQ(M_XConnect(handle), 1);
        ASSERT_EQ(M_XStartStreaming(handle), 1);
        ASSERT_TRUE(camera->waitStreaming(5000));
    }
    Instance& instance() { return *instanceFromHandle(handle); }

    // Reads one frame into frame; the result of M_XGetNextFrame.
    int32_t nextFrame() {
        kind = -7;
        return M_XGetNextFrame(handle, &kind, frame.data(), static_cast<int32_t>(frame.size()));
    }
    bool sendIntra(std::size_t size, uint32_t timeStamp = 0, uint8_t perFrame = 0) {
        camsim::VideoFrame f;
        f.data = camsim::SyntheticVideoSource::makeIntra(size);
        f.intra = true;
        f.timeStampMs = timeStamp;
        return camera->sendVideo(f, perFrame);
    }
    bool sendPredicted(std::size_t size) {
        camsim::VideoFrame f;
        f.data = camsim::SyntheticVideoSource::makePredicted(size);
        return camera->sendVideo(f, 0);
    }

    camsim::CameraOptions options;
    std::unique_ptr<camsim::V1Camera> camera;
    platform::ManualClock clock{1000000};
    CallbackLog log;
    MediaConfig config{};
    void* handle = nullptr;
    std::vector<uint8_t> frame = std::vector<uint8_t>(transport::kFrameBufferSize);
    int32_t kind = 0;
};

} // namespace fenwa10::test
