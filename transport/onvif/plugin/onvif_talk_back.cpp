#include "onvif_talk_back.h"

#include "onvif/device.h"

#include <platform/diagnostics.h>
#include <transport/streaming_types.h>

namespace corvel {

namespace {

// What answers "no" about a speaker; nothing when the camera could not say.
std::optional<std::string> noSpeaker(onvif::Device* device) {
    if (device == nullptr) return std::nullopt;
    const auto outputs = device->audioOutputs();
    if (outputs && outputs->empty()) return std::string("the camera reports no audio output");
    return std::nullopt;
}

} // namespace

void OnvifTalkBack::setStream(const std::string& uri, const Credentials& credentials, int deadlineMs) {
    std::lock_guard lock(mutex_);
    uri_ = uri;
    credentials_ = credentials;
    deadlineMs_ = deadlineMs;
}

int32_t OnvifTalkBack::check(onvif::Device* device, std::string& reason) {
    const std::optional<std::string> no = noSpeaker(device);
    if (!no) return 1;
    reason = *no;
    return 0;
}

bool OnvifTalkBack::open(onvif::Device* device, std::string& reason) {
    std::optional<std::string> uri;
    talk::SessionTarget target;
    int deadlineMs = 0;
    {
        std::lock_guard lock(mutex_);
        uri = uri_;
        target.user = credentials_.user;
        target.password = credentials_.password;
        target.authentication = rtsp_password::authenticationFor(transport::kOnvifStreamingType);
        deadlineMs = deadlineMs_;
    }
    if (!uri) {
        reason = "the camera is not connected";
        return false;
    }
    if (const std::optional<std::string> no = noSpeaker(device)) {
        reason = *no;
        return false;
    }
    // The login goes to GStreamer apart, not inside the address.
    const CameraUrl where = buildCameraUrl(*uri, 0, {});
    if (!where.ok) {
        reason = where.reason;
        return false;
    }
    target.url = where.url;
    if (!channel_.open(target, deadlineMs)) {
        reason = channel_.reason();
        platform::diagnose("Corvel-O: no back channel on " + where.redacted + ": " + reason);
        return false;
    }
    platform::diagnose("Corvel-O: talking to " + where.redacted + " in " + channel_.encodingText());
    return true;
}

} // namespace corvel
