#include "recording_session.h"

#include <cstdlib>

namespace recorder::test {

ScratchFolder::ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/recorder-test-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty() && std::getenv("RECORDER_TEST_KEEP") == nullptr) std::filesystem::remove_all(path_, ignored);
}

RecordingSession::RecordingSession(camsim::SimulatedCameraSettings camera, RecorderSettings settings)
    : camera_(std::move(camera)), recorder_(std::make_unique<CameraRecorder>(std::move(settings))) {}

RecordingSession::~RecordingSession() {
    disconnect();
    recorder_.reset();
}

bool RecordingSession::start() {
    if (!camera_.start()) {
        error_ = camera_.error();
        return false;
    }
    handle_ = M_KOpenInterface();
    if (handle_ == nullptr) {
        error_ = "no stream client";
        return false;
    }
    M_KSetFrameTapCallback(handle_, recorder_.get(), &CameraRecorder::tap);
    M_KSetStreamingType(handle_, camera_.streamingType());
    const MediaConfig config = camera_.mediaConfig();
    if (M_KSetMediaConfig(handle_, &config) != 1) {
        error_ = "the stream client refused the camera's settings";
        return false;
    }
    RenderInfo info{};
    info.flags = OSTREL_RENDER_NO_DECODE;
    M_KSetRenderInfo(handle_, &info);
    if (M_KConnect(handle_) != 1) {
        error_ = "not connected";
        return false;
    }
    return true;
}

void RecordingSession::disconnect() {
    if (handle_ == nullptr) return;
    M_KDisconnect(handle_);
    M_KCloseInterface(handle_);
    handle_ = nullptr;
}

} // namespace recorder::test
