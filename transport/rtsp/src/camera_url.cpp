#include "corvel/camera_url.h"

#include "platform/network_guard.h"
#include "platform/url_encode.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <strings.h>

namespace corvel {

namespace {

constexpr std::size_t kMaxAddress = sizeof(MediaConfig::cameraAddress) - 1;
constexpr std::string_view kScheme = "rtsp://";
constexpr int kMaxPort = 65535;
constexpr const char* kPortReason = "the port must be a number from 1 to 65535";
constexpr const char* kHostReason = "the camera URL's host is neither a host name nor an address";

std::string fieldText(const char* field, std::size_t width) {
    const void* end = std::memchr(field, '\0', width);
    if (end == nullptr) return {};
    return std::string(field, static_cast<const char*>(end));
}

bool isBlankOrControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7f;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    return (c | 0x20) - 'a' + 10;
}

// Escapes that are not two hex digits stay as typed.
std::string percentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && isHexDigit(text[i + 1]) && isHexDigit(text[i + 2])) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A host name (letters, digits, "-._~") or dotted address, or the inside of
// an IPv6 literal's brackets (at least two colons, hex digits and dots).
bool isHostText(std::string_view host, bool bracketed) {
    if (host.empty()) return false;
    if (bracketed) {
        return std::count(host.begin(), host.end(), ':') >= 2 &&
               std::all_of(host.begin(), host.end(), [](char c) { return isHexDigit(c) || c == ':' || c == '.'; });
    }
    return std::all_of(host.begin(), host.end(), [](char c) {
        return isDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '-' || c == '.' || c == '_' || c == '~';
    });
}

// Digits only, 1 to 65535; 0 for anything else.
int portNumber(std::string_view text) {
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), isDigit)) return 0;
    int value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value <= kMaxPort ? value : 0;
}

// HOST, HOST:PORT, [V6] or [V6]:PORT; an empty port means the default.
bool splitHostPort(std::string_view text, RtspUrlParts& parts) {
    std::string_view portText;
    bool hasPort = false;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return false;
        parts.host = std::string(text.substr(1, close - 1));
        const std::string_view after = text.substr(close + 1);
        if (!after.empty() && after.front() != ':') return false;
        hasPort = !after.empty();
        if (hasPort) portText = after.substr(1);
        if (!isHostText(parts.host, true)) return false;
    } else {
        const std::size_t colon = text.find(':');
        parts.host = std::string(text.substr(0, colon));
        hasPort = colon != std::string_view::npos;
        if (hasPort) portText = text.substr(colon + 1);
        if (!isHostText(parts.host, false)) return false;
    }
    parts.port = 0;
    if (hasPort && !portText.empty()) {
        parts.port = portNumber(portText);
        if (parts.port == 0) {
            parts.reason = kPortReason;
            return false;
        }
    }
    return true;
}

std::string bracketed(const std::string& host) { return host.find(':') != std::string::npos ? "[" + host + "]" : host; }

} // namespace

RtspUrlParts splitRtspUrl(const std::string& url, UserInfoEnd end) {
    RtspUrlParts parts;
    if (url.size() < kScheme.size() || strncasecmp(url.c_str(), kScheme.data(), kScheme.size()) != 0) {
        parts.reason = "the camera URL does not start with rtsp://";
        return parts;
    }
    if (std::any_of(url.begin(), url.end(), isBlankOrControl)) {
        parts.reason = "the camera URL holds a blank or a control character";
        return parts;
    }
    const std::string_view rest = std::string_view(url).substr(kScheme.size());
    const std::size_t at =
        end == UserInfoEnd::LastAtSign ? rest.rfind('@') : rest.substr(0, rest.find_first_of("/?#")).rfind('@');
    std::string_view place = rest;
    if (at != std::string_view::npos) {
        const std::string_view userInfo = rest.substr(0, at);
        const std::size_t colon = userInfo.find(':');
        parts.hasUserInfo = true;
        parts.user = percentDecode(userInfo.substr(0, colon));
        if (colon != std::string_view::npos) parts.password = percentDecode(userInfo.substr(colon + 1));
        place = rest.substr(at + 1);
    }
    const std::size_t pathStart = std::min(place.find_first_of("/?#"), place.size());
    if (!splitHostPort(place.substr(0, pathStart), parts)) {
        if (parts.reason.empty()) parts.reason = parts.host.empty() ? "the camera URL names no host" : kHostReason;
        return parts;
    }
    parts.pathAndQuery = std::string(place.substr(pathStart));
    if (parts.pathAndQuery.empty() || parts.pathAndQuery.front() != '/') parts.pathAndQuery.insert(0, "/");
    parts.ok = true;
    return parts;
}

std::string joinRtspUrl(const std::string& host, int port, const std::string& pathAndQuery) {
    return std::string(kScheme) + bracketed(host) + (port > 0 ? ":" + std::to_string(port) : "") + pathAndQuery;
}

std::string cameraAddressOf(const MediaConfig& config) {
    return fieldText(config.cameraAddress, sizeof config.cameraAddress);
}

Credentials credentialsOf(const MediaConfig& config) {
    return {fieldText(config.userName, sizeof config.userName), fieldText(config.password, sizeof config.password)};
}

CameraUrl buildCameraUrl(const std::string& address, int port, const Credentials& credentials,
                         const std::string& hostsFile, UserInfoEnd end) {
    CameraUrl result;
    if (address.empty()) {
        result.reason = "no camera address";
        return result;
    }
    if (address.size() > kMaxAddress) {
        result.reason = "the camera address is longer than " + std::to_string(kMaxAddress) + " bytes";
        return result;
    }
    RtspUrlParts parts;
    if (strncasecmp(address.c_str(), kScheme.data(), kScheme.size()) == 0) {
        parts = splitRtspUrl(address, end);
        if (!parts.ok) {
            result.reason = parts.reason;
            return result;
        }
        if (parts.port == 0) parts.port = kDefaultRtspPort;
    } else {
        const bool v6 = address.size() > 2 && address.front() == '[' && address.back() == ']';
        parts.host = v6 ? address.substr(1, address.size() - 2) : address;
        if (!isHostText(parts.host, v6 || std::count(address.begin(), address.end(), ':') >= 2)) {
            result.reason = "the camera address is neither a host nor an rtsp:// URL";
            return result;
        }
        if (port < 0 || port > kMaxPort) {
            result.reason = kPortReason;
            return result;
        }
        parts.port = port == 0 ? kDefaultRtspPort : port;
        parts.pathAndQuery = "/";
    }
    const platform::GuardedHost guarded = platform::guardHost(parts.host, hostsFile);
    if (!guarded.allowed) {
        result.reason = guarded.reason;
        return result;
    }
    Credentials sent{parts.user, parts.password};
    if (!credentials.user.empty()) sent = credentials;
    std::string userInfo;
    if (!sent.user.empty() || !sent.password.empty()) {
        userInfo = platform::percentEncodeQueryValue(sent.user);
        if (!sent.password.empty()) userInfo += ":" + platform::percentEncodeQueryValue(sent.password);
        userInfo += "@";
    }
    const std::string place = joinRtspUrl(guarded.address, parts.port, parts.pathAndQuery);
    result.ok = true;
    result.url = std::string(kScheme) + userInfo + place.substr(kScheme.size());
    result.bare = place;
    result.redacted = joinRtspUrl(parts.host, parts.port, parts.pathAndQuery);
    return result;
}

} // namespace corvel
