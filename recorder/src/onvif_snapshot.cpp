#include "recorder/onvif_snapshot.h"

#include "onvif/replies.h"
#include "onvif/soap_transport.h"
#include "platform/http_get.h"
#include "recorder/snapshot.h"

namespace recorder {

namespace {

// A 4K camera's JPEG is a few megabytes; anything past this is no picture.
constexpr std::size_t kLargestJpeg = std::size_t{32} << 20;

// The JPEG of `profile` from a camera `device` is connected to.
void fetchPicture(onvif::Device& device, const onvif::DeviceSettings& camera, const SnapshotProfile& profile,
                  OnvifSnapshot& result) {
    const std::optional<std::string> uri = device.snapshotUri(profile.token);
    if (!uri) {
        result.error = device.lastError();
        return;
    }
    platform::HttpGetRequest request;
    request.url = *uri;
    request.agent = "Tavolin";
    request.timeoutMs = camera.callTimeoutMs * 2;
    request.maxBodyBytes = kLargestJpeg + 1;
    request.user = camera.user;
    request.password = camera.password;
    platform::HttpGetResult got = platform::httpGet(request);
    if (!got.completed || !got.ok() || got.body.size() > kLargestJpeg) {
        result.error = "the camera's snapshot " + (!got.completed ? "did not come: " + got.errorText
                                                   : !got.ok() ? "was refused (HTTP " + std::to_string(got.status) + ")"
                                                               : std::string("is too large"));
        return;
    }
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(got.body.data()), got.body.size());
    std::string why;
    if (!checkJpeg(bytes, profile.width, profile.height, why)) {
        result.error = "the camera's snapshot " + why;
        return;
    }
    result.jpeg.emplace(bytes.begin(), bytes.end());
}

} // namespace

OnvifSnapshot fetchOnvifSnapshot(const onvif::DeviceSettings& camera, const SnapshotProfile& profile) {
    OnvifSnapshot result;
    result.channel = profile.channel;
    const std::unique_ptr<onvif::SoapTransport> transport = onvif::makeHttpSoapTransport();
    onvif::Device device(*transport, camera);
    if (!device.connect()) {
        result.error = device.lastError();
        return result;
    }
    if (!profile.token.empty()) {
        fetchPicture(device, camera, profile, result);
        return result;
    }
    const std::optional<std::vector<onvif::Profile>> profiles = device.profiles();
    if (!profiles || profiles->empty()) {
        result.error = profiles ? "the camera has no profile" : device.lastError();
        return result;
    }
    const std::vector<onvif::ChannelProfile> streams = onvif::switchableProfiles(*profiles);
    onvif::ChannelProfile chosen{1, profiles->front()};
    if (profile.channel >= 1 && profile.channel <= static_cast<int>(profiles->size())) {
        chosen = {profile.channel, (*profiles)[static_cast<std::size_t>(profile.channel - 1)]};
    } else if (!streams.empty()) {
        chosen = streams.back();
    }
    result.channel = chosen.channel;
    fetchPicture(device, camera, {chosen.profile.token, chosen.profile.width, chosen.profile.height, chosen.channel},
                 result);
    return result;
}

} // namespace recorder
