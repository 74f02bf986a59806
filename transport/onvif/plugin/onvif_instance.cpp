#include "onvif_instance.h"

#include <platform/diagnostics.h>
#include <transport/frame_header.h>
#include <transport/streaming_types.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace corvel {

namespace {

// Every SOAP call ends within this, whatever the camera does.
constexpr int kSoapCallMs = 2000;
// Setting the back channel up blocks the caller (the viewer's menu) like
// asking for a protocol 2 camera's audio token does.
constexpr int kBackChannelMs = 2000;

onvif::SessionSettings sessionSettings(const MediaConfig& config, int deadlineMs) {
    const Credentials credentials = credentialsOf(config);
    onvif::SessionSettings s;
    s.device.host = cameraAddressOf(config);
    s.device.port = config.httpPort > 0 ? config.httpPort : 80;
    s.device.user = credentials.user;
    s.device.password = credentials.password;
    s.device.callTimeoutMs = std::clamp(deadlineMs, 1, kSoapCallMs);
    s.channel = config.channel;
    return s;
}

} // namespace

OnvifInstance::OnvifInstance(bool synchronize, onvif::EventPumpTiming events)
    : Instance(
          "Corvel-O", [this](const MediaConfig& config, int deadlineMs) { return locate(config, deadlineMs); }, {},
          rtsp_password::authenticationFor(transport::kOnvifStreamingType)),
      synchronize_(synchronize), eventTiming_(events) {}

OnvifInstance::~OnvifInstance() { endSession(); }

CameraUrl OnvifInstance::locate(const MediaConfig& config, int deadlineMs) {
    endSession();
    auto session = std::make_shared<onvif::CameraSession>(onvif::makeHttpSoapTransport(),
                                                          sessionSettings(config, deadlineMs), eventTiming_);
    {
        std::lock_guard lock(mutex_);
        session_ = session;
    }
    const std::optional<std::string> uri = session->open();
    if (!uri) {
        CameraUrl failed;
        failed.reason = "ONVIF: " + session->lastError();
        return failed;
    }
    talkBack_.setStream(session->talkStreamUri().value_or(*uri), credentialsOf(config),
                        std::clamp(deadlineMs, 1, kBackChannelMs));
    // The stream address carries no credentials; the camera's own go in,
    // escaped, and the host passes the loopback guard like any RTSP host. An
    // '@' in the camera's path never picks the host they go to.
    return buildCameraUrl(*uri, 0, credentialsOf(config), "/etc/hosts", UserInfoEnd::BeforePath);
}

int32_t OnvifInstance::checkBackChannel(std::string& reason) {
    const auto s = session();
    return talkBack_.check(s ? &s->device() : nullptr, reason);
}

int32_t OnvifInstance::openBackChannel(std::string& reason) {
    const auto s = session();
    return talkBack_.open(s ? &s->device() : nullptr, reason) ? 1 : 0;
}

std::shared_ptr<onvif::CameraSession> OnvifInstance::session() {
    std::lock_guard lock(mutex_);
    return session_;
}

int32_t OnvifInstance::startStreaming() {
    const int32_t started = Instance::startStreaming();
    const auto s = session();
    if (started == 0 || s == nullptr) return started;
    if (synchronize_ && !s->synchronize()) platform::diagnose("Corvel-O: no key frame on request: " + s->lastError());
    if (eventsWanted_.load()) s->startEvents();
    return started;
}

int32_t OnvifInstance::getNextFrame(int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) {
    const int32_t n = Instance::getNextFrame(frameKind, buffer, bufferSize);
    if (n >= static_cast<int32_t>(transport::kFrameHeaderSize) &&
        transport::recordStreamKind(buffer) != transport::kAudioStreamKind) {
        if (const auto s = session()) s->stampHeader(buffer);
    }
    return n;
}

void OnvifInstance::endSession() {
    std::shared_ptr<onvif::CameraSession> ending;
    {
        std::lock_guard lock(mutex_);
        ending = std::move(session_);
    }
    // The subscription goes back to the camera first (within a second), then
    // the calls still in flight end at once; the last owner's release joins
    // the worker and the event thread.
    if (ending) ending->close();
}

void OnvifInstance::stopStreaming() {
    Instance::stopStreaming();
    endSession();
}

void OnvifInstance::disconnect() {
    Instance::disconnect();
    endSession();
}

int32_t OnvifInstance::sendCommand(const TransportCommand& command) {
    const auto s = session();
    if (!s) return 0;
    if (command.type == transport::kCommandPtzAim) return aim(*s, command);
    return s->sendCommand(command.type, static_cast<const uint8_t*>(command.data), command.length);
}

int32_t OnvifInstance::aim(onvif::CameraSession& s, const TransportCommand& command) {
    using transport::PtzAimOperation;
    if (command.data == nullptr || command.length != static_cast<int32_t>(sizeof(transport::PtzAimRequest)) ||
        command.replyBuffer == nullptr || command.replyCapacity < static_cast<int32_t>(sizeof(transport::PtzAimReply)))
        return 0;
    transport::PtzAimRequest request{};
    std::memcpy(&request, command.data, sizeof request);
    transport::PtzAimReply reply{};
    bool done = false;
    switch (request.operation) {
    case PtzAimOperation::Spaces:
        if (const auto spaces = s.ptzSpaces()) {
            done = true;
            if (spaces->fovPanTilt) reply.spaces |= transport::kPtzAimFovPanTilt;
            if (!spaces->fovZoomSpace.empty()) reply.spaces |= transport::kPtzAimFovZoom;
            if (spaces->relativePanTilt) reply.spaces |= transport::kPtzAimRelative;
            // Positions come with the absolute spaces: GetStatus reports in them.
            if (spaces->absolute) reply.spaces |= transport::kPtzAimAbsolute | transport::kPtzAimPosition;
            if (spaces->zoom) reply.spaces |= transport::kPtzAimZoom;
        }
        break;
    case PtzAimOperation::FovRelative:
    case PtzAimOperation::GenericRelative:
        done =
            s.relativeMove(request.operation == PtzAimOperation::FovRelative, request.pan, request.tilt, request.zoom);
        break;
    case PtzAimOperation::Absolute: done = s.absoluteMove(request.pan, request.tilt, request.zoom); break;
    case PtzAimOperation::Position:
        if (const auto status = s.ptzStatus()) {
            done = true;
            reply.pan = static_cast<float>(status->pan);
            reply.tilt = static_cast<float>(status->tilt);
            reply.zoom = static_cast<float>(status->zoom);
            reply.moving = status->moving ? 1 : 0;
        }
        break;
    }
    if (!done) {
        platform::diagnose("Corvel-O: pointing: " + s.lastError());
        return 0;
    }
    std::memcpy(command.replyBuffer, &reply, sizeof reply);
    return 1;
}

} // namespace corvel

std::unique_ptr<transport::PluginInstance> transport::makePluginInstance() {
    return std::unique_ptr<PluginInstance>(new (std::nothrow) corvel::OnvifInstance());
}
