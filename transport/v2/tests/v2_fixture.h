// A protocol version 2 camera on 127.0.0.1 and the connection settings that
// point a plug-in instance at it.
#pragma once

#include "camsim/v2_camera.h"
#include "platform/tcp_socket.h"
#include "transport/contract.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace fenwa20test {

// A port on 127.0.0.1 that nothing listens on.
inline int closedPort() {
    platform::TcpListener listener;
    if (!listener.listen("127.0.0.1", 0)) return 1;
    const int port = listener.port();
    listener.close();
    return port;
}

inline MediaConfig configFor(const camsim::V2Camera& camera, int32_t connectionType, int32_t channel = 0) {
    MediaConfig c{};
    c.connectionType = connectionType;
    c.channel = channel;
    std::strcpy(c.cameraAddress, "127.0.0.1");
    std::strncpy(c.userName, camera.options().user.c_str(), sizeof c.userName - 1);
    std::strncpy(c.password, camera.options().password.c_str(), sizeof c.password - 1);
    c.streamingPort = camera.videoPort();
    c.controlPort = camera.controlPort();
    c.httpPort = camera.httpPort();
    c.connectTimeoutSeconds = 1;
    return c;
}

inline camsim::CameraOptions quietCamera() {
    camsim::CameraOptions o;
    o.autoStream = false; // the tests send every record themselves
    return o;
}

// Collects what the control-data callback receives, from its thread.
class CallbackLog {
public:
    static void callback(void* context, const void* data, int32_t length) {
        auto* self = static_cast<CallbackLog*>(context);
        const auto* p = static_cast<const uint8_t*>(data);
        std::lock_guard lock(self->mutex_);
        self->blocks_.emplace_back(p, p + length);
        self->changed_.notify_all();
    }
    bool waitFor(std::size_t count, int timeoutMs = 5000) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return blocks_.size() >= count; });
    }
    std::vector<std::vector<uint8_t>> blocks() {
        std::lock_guard lock(mutex_);
        return blocks_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::vector<uint8_t>> blocks_;
};

inline std::vector<uint8_t> le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

inline camsim::VideoFrame picture(std::size_t size, bool intra) {
    camsim::VideoFrame f;
    f.intra = intra;
    f.data = intra ? camsim::SyntheticVideoSource::makeIntra(size) : camsim::SyntheticVideoSource::makePredicted(size);
    f.timeStampMs = 40;
    return f;
}

} // namespace fenwa20test
