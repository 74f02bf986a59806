#include "form/found_camera.h"

#include "onvif/address.h"

namespace tavolin::ui {

namespace {

QString shown(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

uint32_t portOf(const onvif::UrlParts& url) {
    bool ok = false;
    const uint32_t port = QString::fromStdString(url.port).toUInt(&ok);
    if (ok && port > 0 && port <= 65535) return port;
    return url.scheme == "https" ? 443 : 80;
}

} // namespace

FoundCamera foundCameraOf(const onvif::DiscoveredDevice& device) {
    FoundCamera found;
    found.name = shown(device.name);
    found.model = shown(device.model);
    found.address = shown(device.address);
    found.host = device.address;
    // The service address on the host that answered comes first; any plain
    // HTTP one gives the port otherwise.
    std::optional<onvif::UrlParts> chosen;
    for (const std::string& xaddr : device.xaddrs) {
        const auto url = onvif::splitUrl(xaddr);
        if (!url || (url->scheme != "http" && url->scheme != "https")) continue;
        if (!chosen || (url->host == device.address && chosen->host != device.address)) chosen = url;
    }
    if (chosen) {
        found.httpPort = portOf(*chosen);
        if (found.host.empty()) found.host = chosen->host;
    }
    return found;
}

} // namespace tavolin::ui
