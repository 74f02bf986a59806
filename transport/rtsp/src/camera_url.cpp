#include "corvel/camera_url.h"

#include "platform/network_guard.h"
#include "platform/url_encode.h"

#include <cstring>
#include <strings.h>

extern "C" {
#include <libavformat/avformat.h>
}

namespace corvel {

namespace {

constexpr std::size_t kMaxAddress = sizeof(MediaConfig::cameraAddress) - 1;
constexpr char kScheme[] = "rtsp://";

std::string fieldText(const char* field, std::size_t width) {
    const void* end = std::memchr(field, '\0', width);
    if (end == nullptr) return {};
    return std::string(field, static_cast<const char*>(end));
}

std::string hostPort(const std::string& host, int port) {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

} // namespace

std::string cameraAddressOf(const MediaConfig& config) {
    return fieldText(config.cameraAddress, sizeof config.cameraAddress);
}

Credentials credentialsOf(const MediaConfig& config) {
    return {fieldText(config.userName, sizeof config.userName), fieldText(config.password, sizeof config.password)};
}

CameraUrl buildCameraUrl(const std::string& address, int port, const Credentials& credentials,
                         const std::string& hostsFile) {
    CameraUrl result;
    if (address.empty()) {
        result.reason = "no camera address";
        return result;
    }
    if (address.size() > kMaxAddress) {
        result.reason = "the camera address is longer than " + std::to_string(kMaxAddress) + " bytes";
        return result;
    }
    std::string host;
    std::string path = "/";
    std::string userInfo;
    if (strncasecmp(address.c_str(), kScheme, sizeof kScheme - 1) == 0) {
        char proto[16];
        char auth[256];
        char hostText[300];
        char pathText[300];
        int urlPort = -1;
        av_url_split(proto, sizeof proto, auth, sizeof auth, hostText, sizeof hostText, &urlPort, pathText,
                     sizeof pathText, address.c_str());
        host = hostText;
        path = pathText[0] == '\0' ? "/" : pathText;
        userInfo = auth;
        port = urlPort;
    } else if (address.find_first_of("/@ ") != std::string::npos) {
        result.reason = "the camera address is neither a host nor an rtsp:// URL";
        return result;
    } else {
        host = address;
        if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    }
    if (host.empty()) {
        result.reason = "the camera URL names no host";
        return result;
    }
    if (port <= 0) port = kDefaultRtspPort;
    if (port > 65535) {
        result.reason = "port " + std::to_string(port) + " is out of range";
        return result;
    }
    const platform::GuardedHost guarded = platform::guardHost(host, hostsFile);
    if (!guarded.allowed) {
        result.reason = guarded.reason;
        return result;
    }
    if (!credentials.user.empty()) {
        userInfo = platform::percentEncodeQueryValue(credentials.user);
        if (!credentials.password.empty()) userInfo += ":" + platform::percentEncodeQueryValue(credentials.password);
    }
    const std::string place = hostPort(guarded.address, port) + path;
    result.ok = true;
    result.url = kScheme + (userInfo.empty() ? "" : userInfo + "@") + place;
    result.redacted = kScheme + hostPort(host, port) + path;
    return result;
}

} // namespace corvel
