#include "live/stream_records.h"

#include <cstring>
#include <string_view>

namespace tavolin::ui {

namespace {

// Copies a record text into a fixed field, NUL-terminated and cut to fit.
template <std::size_t N, std::size_t M>
void copyText(char (&field)[N], const char (&text)[M]) {
    const std::string_view value = textOf(text);
    const std::size_t n = value.size() < N - 1 ? value.size() : N - 1;
    std::memcpy(field, value.data(), n);
    field[n] = '\0';
}

} // namespace

bool recordCanConnect(const CameraRecord& record) {
    // RTSP and ONVIF cameras are found by their URL or host alone.
    if (streamsOverRtsp(record.streamingType)) return !textOf(record.host).empty();
    return record.controlPort > 0 && record.streamingPort > 0 && textOf(record.host).size() > 5;
}

void fillMediaConfig(MediaConfig& config, const CameraRecord& record) {
    config.connectionType = 2; // control and video
    config.channel = static_cast<int32_t>(record.channel);
    // Only the host the record's type uses is the camera's; the rest of the
    // field is left as it was.
    const std::string_view host = textOf(record.host).substr(0, hostLimit(record.streamingType));
    std::memcpy(config.cameraAddress, host.data(), host.size());
    config.cameraAddress[host.size()] = '\0';
    copyText(config.userName, record.userName);
    copyText(config.password, record.password);
    config.registerPort = static_cast<int32_t>(record.registerPort);
    config.streamingPort = static_cast<int32_t>(record.streamingPort);
    config.controlPort = static_cast<int32_t>(record.controlPort);
    config.httpPort = static_cast<int32_t>(record.httpPort);
    config.connectTimeoutSeconds = kConnectTimeoutSeconds;
}

void prepareMediaConfig(MediaConfig& config, const CameraRecord& record) {
    if (recordCanConnect(record)) {
        fillMediaConfig(config, record);
    } else {
        std::memset(&config, 0, sizeof config);
    }
}

RenderInfo makeRenderInfo(uint32_t window, QSize screen) {
    RenderInfo info{};
    info.window = window;
    info.top = 0;
    info.left = 0;
    info.width = screen.width();
    info.height = screen.height();
    return info;
}

PTZEnableInfo makePtzEnableInfo(const CameraRecord& record) {
    PTZEnableInfo info{};
    info.sourceType = static_cast<int32_t>(record.ptzSourceType);
    copyText(info.vendorName, record.ptzVendor);
    copyText(info.protocolName, record.ptzProtocol);
    copyText(info.fileName, record.ptzProtocolFile);
    info.addressId = record.ptzAddress;
    return info;
}

QString cameraNameText(int position, const CameraRecord& record) {
    const std::string_view name = textOf(record.name);
    return QStringLiteral(" %1 - %2")
        .arg(position + 1)
        .arg(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

} // namespace tavolin::ui
