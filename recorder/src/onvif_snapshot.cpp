#include "recorder/onvif_snapshot.h"

#include "onvif/soap_transport.h"
#include "platform/http_get.h"

namespace recorder {

namespace {

// A 4K camera's JPEG is a few megabytes; anything past this is no picture.
constexpr std::size_t kLargestJpeg = std::size_t{32} << 20;

bool isJpeg(const std::string& body) {
    return body.size() > 4 && static_cast<uint8_t>(body[0]) == 0xFF && static_cast<uint8_t>(body[1]) == 0xD8;
}

} // namespace

OnvifSnapshot fetchOnvifSnapshot(const onvif::DeviceSettings& camera, bool picture) {
    OnvifSnapshot result;
    const std::unique_ptr<onvif::SoapTransport> transport = onvif::makeHttpSoapTransport();
    onvif::Device device(*transport, camera);
    const std::optional<std::vector<onvif::Profile>> profiles = device.connect() ? device.profiles() : std::nullopt;
    if (!profiles || profiles->empty()) {
        result.error = profiles ? "the camera has no profile" : device.lastError();
        return result;
    }
    std::size_t largest = 0;
    for (std::size_t i = 1; i < profiles->size(); ++i) {
        const auto& p = (*profiles)[i];
        const auto& best = (*profiles)[largest];
        if (static_cast<long long>(p.width) * p.height > static_cast<long long>(best.width) * best.height) largest = i;
    }
    result.channel = static_cast<int>(largest) + 1;
    if (!picture) return result;
    const std::optional<std::string> uri = device.snapshotUri((*profiles)[largest].token);
    if (!uri) {
        result.error = device.lastError();
        return result;
    }
    platform::HttpGetRequest request;
    request.url = *uri;
    request.agent = "Tavolin";
    request.timeoutMs = camera.callTimeoutMs * 2;
    request.maxBodyBytes = kLargestJpeg + 1;
    request.user = camera.user;
    request.password = camera.password;
    platform::HttpGetResult got = platform::httpGet(request);
    if (!got.ok() || !isJpeg(got.body) || got.body.size() > kLargestJpeg) {
        result.error = "the camera's snapshot " + (!got.completed ? "did not come: " + got.errorText
                                                   : !got.ok() ? "was refused (HTTP " + std::to_string(got.status) + ")"
                                                               : std::string("is no JPEG picture"));
        return result;
    }
    result.jpeg.emplace(got.body.begin(), got.body.end());
    return result;
}

} // namespace recorder
