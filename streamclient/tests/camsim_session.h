// An interface object talking to a simulated camera over loopback through the
// real transport plug-ins, for the control-request and audio tests.
#pragma once

#include <gtest/gtest.h>
#include <ostrel/stream_client.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "camsim/camera_options.h"
#include "camsim/recording.h"
#include "camsim/simulated_camera.h"
#include "interface_object.h"
#include "platform/clock.h"

namespace ostrel::test {

// A connection record with ports of a test's choosing (cameras started by
// themselves take camsim::loopbackMediaConfig).
inline MediaConfig cameraConfig(int32_t connectionType, uint16_t loginPort, uint16_t videoPort, uint16_t controlPort,
                                uint16_t httpPort) {
    MediaConfig c{};
    c.connectionType = connectionType;
    std::strcpy(c.cameraAddress, "127.0.0.1");
    std::strcpy(c.userName, "admin");
    std::strcpy(c.password, "admin");
    c.registerPort = loginPort;
    c.streamingPort = videoPort;
    c.controlPort = controlPort;
    c.httpPort = httpPort;
    c.connectTimeoutSeconds = 5;
    return c;
}

// Opens an interface object whose time-outs never run out on their own (a
// clock that stands still) and whose only audio devices are the given ones
// (none by default), so that it plays no received audio.
inline OstrelInterface* openQuietInterface(const platform::Clock& clock,
                                           std::shared_ptr<platform::AudioDevices> devices = nullptr) {
    ostrel::Seams seams;
    seams.clock = &clock;
    seams.audioDevices = [devices] { return devices; };
    return ostrel::openInterface(seams);
}

// Payloads of the messages of one type that arrived on a channel, in order.
inline std::vector<std::vector<uint8_t>> payloads(const camsim::Recording& recording, camsim::Channel channel,
                                                  uint32_t type) {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& m : recording.on(channel)) {
        if (m.type == type) out.push_back(m.payload);
    }
    return out;
}

// Waits until `count` messages of one type arrived on a channel.
inline bool waitForCount(const camsim::Recording& recording, camsim::Channel channel, uint32_t type, std::size_t count,
                         int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (recording.count(channel, type) < count) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A protocol file written into a fresh folder, removed with the object.
class ProtocolFile {
public:
    ProtocolFile(const std::string& name, const std::string& text) {
        folder_ = std::filesystem::temp_directory_path() / ("ostrel-ptz-" + std::to_string(::getpid()) + "-" +
                                                            std::to_string(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / name).string();
        std::ofstream(path_) << text;
    }
    ~ProtocolFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::string& path() const { return path_; }

    PTZEnableInfo enableInfo(int32_t addressId = 1) const {
        PTZEnableInfo info{};
        info.sourceType = OSTREL_PTZ_SOURCE_FILE;
        std::strncpy(info.fileName, path_.c_str(), sizeof info.fileName - 1);
        info.addressId = addressId;
        return info;
    }

private:
    std::filesystem::path folder_;
    std::string path_;
};

} // namespace ostrel::test

namespace ostrel::test {

// M_KConnect on the standing clock; a connect that did not succeed within
// 20 s of real time is made to give up instead of waiting for ever.
inline int32_t connectOnStandingClock(OstrelInterface* handle, platform::ManualClock& clock) {
    auto result = std::async(std::launch::async, [handle] { return M_KConnect(handle); });
    if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready && clock.awaitWaiters(1)) {
        clock.advanceMs(ostrel::kConnectWaitMs);
    }
    return result.get();
}

} // namespace ostrel::test
