#include "instance.h"

#include "platform/diagnostics.h"
#include "transport/protocol_message.h"

#include <cstring>
#include <new>
#include <vector>

namespace fenwa10 {

namespace {

constexpr uint32_t kSetBrightness = 4;
constexpr uint32_t kSetContrast = 5;
constexpr uint32_t kSetSaturation = 6;
constexpr uint32_t kSetHue = 7;
constexpr uint32_t kSetFrameRate = 8;
constexpr uint32_t kSetBitRate = 9;
constexpr uint32_t kSetResolution = 10;
constexpr uint32_t kSetMotion = 14;
constexpr int32_t kConnectionTypeStart35 = 4;

} // namespace

Instance::Instance(const platform::Clock& clock) : state_(clock), login_(state_), control_(state_), media_(state_) {}

Instance::~Instance() { closeAll(); }

void Instance::setMediaConfig(const MediaConfig& config) { config_ = config; }

void Instance::closeAll() {
    login_.close();
    control_.close();
    media_.close();
}

CameraVideoConfig Instance::fetchCameraConfig() {
    CameraVideoConfig camera{};
    if (!control_.requestVideoConfig(camera)) camera.fill(0);
    media_.setCameraConfig(camera);
    return camera;
}

void Instance::beginOperation() {
    std::lock_guard<std::mutex> lock(operationMutex_);
    operationRunning_ = true;
    operationAborted_.store(false);
}

bool Instance::endOperation() {
    std::lock_guard<std::mutex> lock(operationMutex_);
    operationRunning_ = false;
    if (!operationAborted_.load()) return false;
    // Woken on purpose: the sockets are shut down; free them here, on the
    // thread that used them.
    closeAll();
    return true;
}

bool Instance::abortOperationLocked() {
    if (!operationRunning_) return false;
    operationAborted_.store(true);
    login_.abort();
    control_.abort();
    media_.abort();
    return true;
}

int32_t Instance::connect() {
    beginOperation();
    // A connection still alive is not connected twice; the leftovers of a
    // lost one are cleared first.
    if (control_.isAttached() && !control_.receiveThreadEnded()) {
        closeAll();
        endOperation();
        return 0;
    }
    closeAll();
    // Every step fails once the connect is woken; the flag covers the gaps
    // between the steps' own waits.
    const auto going = [this] { return !operationAborted_.load(); };
    // Which step failed and why, for a person reading the diagnostics.
    std::string step;
    std::string why;
    const auto portText = [](int32_t port) { return " (port " + std::to_string(port) + ")"; };
    bool ok = false;
    do {
        if (!going()) break;
        if (!login_.open(config_)) {
            step = "the login channel" + portText(config_.registerPort);
            why = platform::describeSystemError(login_.socketError());
            break;
        }
        const uint32_t number = login_.requestConnectionNumber();
        if (!going()) break;
        if (number == 0) {
            step = "the login channel";
            why = "no connection number from the camera";
            break;
        }
        if (!login_.login(config_, number)) {
            step = "the login";
            why = login_.loginAnswered()
                      ? "login refused for user \"" +
                            std::string(config_.userName, strnlen(config_.userName, sizeof config_.userName)) + "\""
                      : "no answer to the login";
            break;
        }
        if (!going()) break;
        if (!control_.open(config_)) {
            step = "the control channel" + portText(config_.controlPort);
            why = platform::describeSystemError(control_.socketError());
            break;
        }
        if (!going()) break;
        if (!media_.open(config_)) {
            step = "the media channel" + portText(config_.streamingPort);
            why = platform::describeSystemError(media_.socketError());
            break;
        }
        if (!going()) break;
        if (!control_.attach(number)) {
            step = "the control channel";
            why = "the camera did not accept the connection number";
            break;
        }
        if (!going()) break;
        CameraVideoConfig probe{};
        if (!control_.requestVideoConfig(probe)) {
            step = "the control channel";
            why = "no answer to the video settings request";
            break;
        }
        if (!going()) break;
        if (!media_.attach(number)) {
            step = "the media channel";
            why = "the camera did not accept the connection number";
            break;
        }
        if (!going()) break;
        fetchCameraConfig();
        ok = true;
    } while (false);
    login_.close();
    if (!ok) {
        closeAll();
        if (step.empty()) {
            step = "a step in progress";
            why = "stopped by a disconnect";
        }
        platform::diagnose(
            "Fenwa10-M: connect to " +
            std::string(config_.cameraAddress, strnlen(config_.cameraAddress, sizeof config_.cameraAddress)) +
            " failed at " + step + ": " + why);
    }
    return !endOperation() && ok ? 1 : 0;
}

int32_t Instance::startStreaming() {
    beginOperation();
    if (!control_.isAttached() || media_.state() != 4) {
        endOperation();
        return 0;
    }
    control_.prepareStream();
    const bool ok = media_.receiveStreamHeader();
    if (ok) control_.startStream(config_.connectionType == kConnectionTypeStart35);
    return !endOperation() && ok ? 1 : 0;
}

void Instance::stopStreaming() {
    std::lock_guard<std::mutex> lock(operationMutex_);
    if (abortOperationLocked()) return;
    media_.close();
}

void Instance::disconnect() {
    std::lock_guard<std::mutex> lock(operationMutex_);
    if (abortOperationLocked()) return;
    closeAll();
}

int32_t Instance::getNextFrame(int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) {
    if (buffer == nullptr || bufferSize <= 0) return -1;
    const int32_t n = media_.nextFrame(control_, buffer, static_cast<std::size_t>(bufferSize));
    if (n > 0 && frameKind != nullptr) *frameKind = buffer[4] == 1 ? 1 : (buffer[4] == 2 ? 2 : 0);
    return n;
}

int32_t Instance::getNextIFrame() { return media_.skipToIntraFrame(control_); }

int32_t Instance::sendCommand(const TransportCommand& command) {
    if (!control_.isConnected()) return 0;
    if (command.length < 0 || (command.length > 0 && command.data == nullptr)) return 0;
    if (static_cast<std::size_t>(command.length) > transport::kMaxMessagePayload) return 0;
    const auto* data = static_cast<const uint8_t*>(command.data);
    uint32_t type = static_cast<uint32_t>(command.type);
    if (command.type == transport::kCommandA0000051) type = kSetFrameRate;
    if (command.type == transport::kCommandDigitalOutput && command.length >= 1) {
        // The camera takes the output value in the high nibble. The caller's
        // buffer is const, so the moved value goes out in a copy.
        std::vector<uint8_t> copy(data, data + command.length);
        copy[0] = static_cast<uint8_t>(copy[0] * 16);
        return control_.send(type, copy.data(), copy.size()) ? 1 : 0;
    }
    return control_.send(type, data, static_cast<std::size_t>(command.length)) ? 1 : 0;
}

void Instance::setControlDataCallback(void* context, ControlDataCallback callback) {
    control_.setCallback(context, callback);
}

int32_t Instance::setMotionInfo(const MotionInfo& info) {
    if (!control_.isConnected()) return 0;
    return control_.send(kSetMotion, &info, sizeof info) ? 1 : 0;
}

int32_t Instance::getMotionInfo(MotionInfo& info) {
    if (!control_.isConnected()) return 0;
    uint8_t bytes[kMotionInfoSize];
    if (!control_.requestMotionInfo(bytes)) {
        control_.close();
        return 0;
    }
    std::memcpy(&info, bytes, sizeof info);
    return 1;
}

int32_t Instance::setVideoConfig(const VideoConfig& config) {
    lastVideoConfig_ = config;
    if (!control_.isConnected()) return 0;
    const std::pair<uint32_t, int32_t> steps[] = {
        {kSetBrightness, config.brightness}, {kSetContrast, config.contrast},
        {kSetSaturation, config.saturation}, {kSetHue, config.hue},
        {kSetBitRate, config.bitRateCode},   {kSetResolution, config.resolutionCode},
        {kSetFrameRate, config.frameRate},
    };
    bool all = true;
    for (const auto& [type, value] : steps) {
        uint8_t payload[4];
        transport::putUint32Le(payload, static_cast<uint32_t>(value));
        all = control_.send(type, payload, sizeof payload) && all;
    }
    fetchCameraConfig();
    return all ? 1 : 0;
}

int32_t Instance::getVideoConfig(VideoConfig& out) {
    CameraVideoConfig camera{};
    if (control_.isConnected()) camera = fetchCameraConfig();
    out.videoStandard = static_cast<int32_t>(transport::getUint32Le(camera.data() + 0));
    out.resolutionCode = static_cast<int32_t>(transport::getUint32Le(camera.data() + 8));
    out.bitRateCode = static_cast<int32_t>(transport::getUint32Le(camera.data() + 12));
    out.brightness = static_cast<int32_t>(transport::getUint32Le(camera.data() + 16));
    out.contrast = static_cast<int32_t>(transport::getUint32Le(camera.data() + 20));
    out.saturation = static_cast<int32_t>(transport::getUint32Le(camera.data() + 24));
    out.hue = static_cast<int32_t>(transport::getUint32Le(camera.data() + 28));
    out.frameRate = transport::getUint16Le(camera.data() + 40);
    return out.videoStandard;
}

void* handleOf(Instance* instance) { return transport::handleOf(instance); }

Instance* instanceFromHandle(void* handle) { return static_cast<Instance*>(transport::instanceOf(handle)); }

} // namespace fenwa10

std::unique_ptr<transport::PluginInstance> transport::makePluginInstance() {
    return std::unique_ptr<PluginInstance>(new (std::nothrow) fenwa10::Instance(platform::SystemClock::instance()));
}
