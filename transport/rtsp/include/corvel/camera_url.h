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

struct CameraUrl {
    bool ok = false;
    std::string reason;   // why no URL could be made
    std::string url;      // for libavformat: credentials escaped in, host as the guard allowed it
    std::string redacted; // for people: the same without credentials
};

// Builds the URL for a camera address that is either a whole rtsp:// URL (at
// most 287 bytes) or a bare host, which with the port (554 when 0) becomes
// rtsp://host:port/. Credentials go into the URL percent-escaped; when none
// are given, those already in a whole URL stay. `hostsFile` serves the guard's
// name look-up.
CameraUrl buildCameraUrl(const std::string& address, int port, const Credentials& credentials,
                         const std::string& hostsFile = "/etc/hosts");

// The camera address and credentials of a connection settings record; the
// address is refused (empty) when the field is not terminated.
std::string cameraAddressOf(const MediaConfig& config);
Credentials credentialsOf(const MediaConfig& config);

} // namespace corvel
