// Addresses a camera hands back (service addresses, stream address) name the
// camera as it sees itself; behind NAT that is an inner address nobody else
// can reach. The client keeps the path and port and puts the host it was
// configured with in their place.
#pragma once

#include <optional>
#include <string>

namespace onvif {

struct UrlParts {
    std::string scheme;   // "http", "rtsp"
    std::string userInfo; // without the "@"
    std::string host;     // without brackets
    std::string port;     // digits, empty when none
    std::string rest;     // path, query and fragment, "/" at least
};

// Splits scheme://[userinfo@]host[:port][/rest]; nothing when `url` is not
// such an address.
std::optional<UrlParts> splitUrl(const std::string& url);

// `url` with its host replaced by `host`; nothing when `url` is not an
// absolute address.
std::optional<std::string> replaceHost(const std::string& url, const std::string& host);

} // namespace onvif
