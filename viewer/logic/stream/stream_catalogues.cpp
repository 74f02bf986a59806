#include "stream/stream_catalogues.h"

#include <cstring>
#include <utility>

#include "live/live_stream.h"
#include "onvif/device.h"
#include "onvif/soap_transport.h"
#include "transport/contract.h"

namespace tavolin::ui {

namespace {

template <std::size_t N>
std::string fieldText(const char (&field)[N]) {
    return std::string(field, ::strnlen(field, N));
}

} // namespace

StreamCatalogues::ProfileFetch StreamCatalogues::onvifProfiles(int callTimeoutMs) {
    return [callTimeoutMs](const StreamSettings& settings,
                           std::stop_token stop) -> std::optional<std::vector<onvif::Profile>> {
        const MediaConfig& config = settings.connection;
        onvif::DeviceSettings device;
        device.host = fieldText(config.cameraAddress);
        device.port = config.httpPort > 0 ? config.httpPort : 80;
        device.user = fieldText(config.userName);
        device.password = fieldText(config.password);
        device.callTimeoutMs = callTimeoutMs;
        const std::unique_ptr<onvif::SoapTransport> transport = onvif::makeHttpSoapTransport();
        const std::stop_callback abort(stop, [&transport] { transport->abort(); });
        onvif::Device camera(*transport, device);
        if (!camera.connect()) return std::nullopt;
        return camera.profiles();
    };
}

StreamCatalogues::StreamCatalogues(ProfileFetch fetch, QObject* parent)
    : QObject(parent), fetch_(std::move(fetch)), shared_(new SharedStreams(this)), fetching_(*this) {}

// Each fetch under way is asked to stop and joined; what it posted goes with us.
StreamCatalogues::~StreamCatalogues() = default;

std::string StreamCatalogues::keyOf(const StreamSettings& settings) {
    const MediaConfig& c = settings.connection;
    return std::to_string(settings.streamingType) + '\n' + fieldText(c.cameraAddress) + '\n' +
           std::to_string(c.channel) + ':' + std::to_string(c.streamingPort) + ':' + std::to_string(c.httpPort) + ':' +
           std::to_string(c.controlPort) + '\n' + fieldText(c.userName) + '\n' + fieldText(c.password) + '\n' +
           settings.subStreamAddress;
}

std::optional<StreamOptions> StreamCatalogues::streams(const StreamSettings& settings) {
    const std::string key = keyOf(settings);
    if (const auto it = known_.find(key); it != known_.end()) return it->second;
    if (const std::optional<StreamOptions> fixed = streamsOfSettings(settings)) {
        known_[key] = *fixed;
        return fixed;
    }
    if (const auto it = failed_.find(key); it != failed_.end()) {
        // Once after a failed fetch the stream opens on the plug-in's own
        // choice; the next view of the camera asks again.
        failed_.erase(it);
        return streamsOfProfiles({});
    }
    if (!asked_.insert(key).second) return std::nullopt;
    fetching_.run<std::optional<std::vector<onvif::Profile>>>(
        [fetch = fetch_, settings](std::stop_token stop) { return fetch(settings, stop); },
        [this, key](std::optional<std::vector<onvif::Profile>> profiles) { fetched(key, profiles); });
    return std::nullopt;
}

void StreamCatalogues::fetched(const std::string& key, const std::optional<std::vector<onvif::Profile>>& profiles) {
    asked_.erase(key);
    if (profiles) {
        known_[key] = streamsOfProfiles(*profiles);
    } else {
        failed_.insert(key);
    }
    emit ready(QString::fromStdString(key));
}

void StreamCatalogues::pictureSeen(const StreamSettings& settings, int option, QSize picture, QSize box) {
    const auto it = known_.find(keyOf(settings));
    if (it == known_.end() || option < 0 || option >= static_cast<int>(it->second.size())) return;
    learnSize(it->second[static_cast<std::size_t>(option)], picture, box);
}

} // namespace tavolin::ui
