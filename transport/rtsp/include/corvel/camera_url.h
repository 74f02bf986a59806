// Where an RTSP camera is: the URL libavformat is given, built from the
// connection settings, with the host checked by the loopback guard.
#pragma once

#include <transport/contract.h>

#include <string>

namespace corvel {

inline constexpr int kDefaultRtspPort = 554;

struct Credentials {
    std::string user;
    std::string password;
};

// Where the user information of an rtsp:// URL ends.
enum class UserInfoEnd {
    // At the last '@' of the URL: people type passwords holding '/' and '@'
    // unescaped, and the password must then neither be printed as part of a
    // path nor its start be taken for the host. An '@' in the path of such a
    // URL has to be written "%40".
    LastAtSign,
    // At the last '@' before the first '/', '?' or '#' (RFC 3986): for
    // addresses a camera hands back, whose path may hold an '@' that must
    // never pick the host the credentials go to.
    BeforePath,
};

// The parts of an rtsp:// URL.
struct RtspUrlParts {
    bool ok = false;
    std::string reason;       // why the text is not a usable rtsp:// URL
    bool hasUserInfo = false; // an '@' was there
    std::string user;         // percent-escapes decoded
    std::string password;     // percent-escapes decoded
    std::string host;         // an IPv6 literal without its brackets
    int port = 0;             // 0 when the URL names none
    std::string pathAndQuery; // "/" when the URL has none
};

// Splits an rtsp:// URL (the scheme in any case). Refused: no host, a port
// that is not a number from 1 to 65535, a host that is neither a name nor an
// address, and blanks or control characters anywhere. The reason never
// holds anything of the user information.
RtspUrlParts splitRtspUrl(const std::string& url, UserInfoEnd end = UserInfoEnd::LastAtSign);

// "rtsp://host:port/path" with an IPv6 host in brackets, no credentials;
// without ":port" when `port` is 0.
std::string joinRtspUrl(const std::string& host, int port, const std::string& pathAndQuery);

struct CameraUrl {
    bool ok = false;
    std::string reason;   // why no URL could be made
    std::string url;      // for libavformat: credentials escaped in, host as the guard allowed it
    std::string bare;     // the same without credentials
    std::string redacted; // for people: the same without credentials
};

// Builds the URL for a camera address that is either a whole rtsp:// URL (at
// most 287 bytes) or a bare host, which with the port (554 when 0) becomes
// rtsp://host:port/. Credentials go into the URL percent-escaped; when none
// are given, those already in a whole URL stay. `end` says how a whole URL
// is split. `hostsFile` serves the guard's name look-up.
CameraUrl buildCameraUrl(const std::string& address, int port, const Credentials& credentials,
                         const std::string& hostsFile = "/etc/hosts", UserInfoEnd end = UserInfoEnd::LastAtSign);

// The camera address and credentials of a connection settings record; the
// address is refused (empty) when the field is not terminated.
std::string cameraAddressOf(const MediaConfig& config);
Credentials credentialsOf(const MediaConfig& config);

} // namespace corvel
