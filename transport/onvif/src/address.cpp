#include "onvif/address.h"

#include <cctype>

namespace onvif {

std::optional<UrlParts> splitUrl(const std::string& url) {
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos || schemeEnd == 0) return std::nullopt;
    UrlParts parts;
    parts.scheme = url.substr(0, schemeEnd);
    for (char c : parts.scheme) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return std::nullopt;
    }
    const std::size_t authorityStart = schemeEnd + 3;
    std::size_t authorityEnd = url.find_first_of("/?#", authorityStart);
    if (authorityEnd == std::string::npos) authorityEnd = url.size();
    std::string authority = url.substr(authorityStart, authorityEnd - authorityStart);
    parts.rest = authorityEnd < url.size() ? url.substr(authorityEnd) : "/";
    if (parts.rest.front() != '/') parts.rest.insert(0, "/");

    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        parts.userInfo = authority.substr(0, at);
        authority.erase(0, at + 1);
    }
    std::string hostPort = authority;
    if (!hostPort.empty() && hostPort.front() == '[') {
        const std::size_t close = hostPort.find(']');
        if (close == std::string::npos) return std::nullopt;
        parts.host = hostPort.substr(1, close - 1);
        hostPort.erase(0, close + 1);
        if (!hostPort.empty()) {
            if (hostPort.front() != ':') return std::nullopt;
            parts.port = hostPort.substr(1);
        }
    } else {
        const std::size_t colon = hostPort.rfind(':');
        parts.host = hostPort.substr(0, colon);
        if (colon != std::string::npos) parts.port = hostPort.substr(colon + 1);
    }
    if (parts.host.empty()) return std::nullopt;
    for (char c : parts.port) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    }
    return parts;
}

std::optional<std::string> replaceHost(const std::string& url, const std::string& host) {
    const std::optional<UrlParts> parts = splitUrl(url);
    if (!parts) return std::nullopt;
    std::string out = parts->scheme + "://";
    if (!parts->userInfo.empty()) out += parts->userInfo + "@";
    out += host.find(':') != std::string::npos ? "[" + host + "]" : host;
    if (!parts->port.empty()) out += ":" + parts->port;
    return out + parts->rest;
}

} // namespace onvif
