#include "corvel/instance.h"

#include "platform/diagnostics.h"

#include <algorithm>
#include <memory>
#include <new>

namespace corvel {

CameraUrl locatePlainRtsp(const MediaConfig& config, int /*deadlineMs*/) {
    return buildCameraUrl(cameraAddressOf(config), config.streamingPort, credentialsOf(config));
}

Instance::Instance(std::string name, StreamLocator locator, Deadlines deadlines, Authentication authentication)
    : name_(std::move(name)), locator_(std::move(locator)), deadlines_(deadlines), session_(name_, authentication) {}

Instance::~Instance() { session_.close(); }

void Instance::setMediaConfig(const MediaConfig& config) {
    std::lock_guard lock(configLock_);
    config_ = config;
}

int32_t Instance::connect() {
    MediaConfig config;
    {
        std::lock_guard lock(configLock_);
        config = config_;
    }
    const int seconds = config.connectTimeoutSeconds > 0
                            ? std::min<int32_t>(config.connectTimeoutSeconds, kMaxConnectSeconds)
                            : kDefaultConnectSeconds;
    Deadlines deadlines = deadlines_;
    deadlines.connectMs = seconds * 1000;
    const CameraUrl where = locator_(config, deadlines.connectMs);
    if (!where.ok) {
        platform::diagnose(name_ + ": " + where.reason);
        return 0;
    }
    return session_.open(where, deadlines) ? 1 : 0;
}

int32_t Instance::startStreaming() { return session_.play() ? 1 : 0; }

int32_t Instance::getNextFrame(int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) {
    if (frameKind == nullptr || buffer == nullptr || bufferSize <= 0) return -1;
    return session_.nextRecord(frameKind, std::span<uint8_t>(buffer, static_cast<std::size_t>(bufferSize)));
}

int32_t Instance::getNextIFrame() {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[transport::kFrameBufferSize]);
    if (!buffer) return -1;
    for (;;) {
        int32_t kind = 0;
        const int32_t n = getNextFrame(&kind, buffer.get(), transport::kFrameBufferSize);
        if (n <= 0) return n;
        if (kind != static_cast<int32_t>(RecordKind::Audio) && transport::recordStartsPicture(buffer.get())) return n;
    }
}

void Instance::stopStreaming() { session_.close(); }

void Instance::disconnect() { session_.close(); }

} // namespace corvel
