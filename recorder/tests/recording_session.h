// A simulated camera on 127.0.0.1 recorded through the stream client's tap,
// the stream opened for recording only, into a fresh folder.
#pragma once

#include <ostrel/stream_client.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "camsim/simulated_camera.h"
#include "recorder/camera_recorder.h"

namespace recorder::test {

// A folder of its own under the system's temporary folder, removed with the
// object.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

class RecordingSession {
public:
    RecordingSession(camsim::SimulatedCameraSettings camera, RecorderSettings settings);
    // Disconnects, then finishes the recording.
    ~RecordingSession();
    RecordingSession(const RecordingSession&) = delete;
    RecordingSession& operator=(const RecordingSession&) = delete;

    // Starts the camera and connects; false with the reason in error().
    bool start();
    void disconnect();
    const std::string& error() const { return error_; }

    camsim::SimulatedCamera& camera() { return camera_; }
    CameraRecorder& recorder() { return *recorder_; }

private:
    camsim::SimulatedCamera camera_;
    std::unique_ptr<CameraRecorder> recorder_;
    OstrelInterface* handle_ = nullptr;
    std::string error_;
};

// Waits (real time) until `done` holds; false after timeoutMs.
template <class Condition>
bool waitUntil(Condition done, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace recorder::test
