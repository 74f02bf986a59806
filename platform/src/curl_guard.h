// The loopback guard for libcurl transfers: a host check before the transfer
// and a check of every resolved address before a socket opens.
#pragma once

#include <curl/curl.h>

#include <string>

namespace platform::detail {

// libcurl's global start-up, once per process.
void initialiseCurlOnce();

// The host part of a URL as libcurl reads it; empty when it cannot be parsed.
std::string curlUrlHost(const std::string& url);

// Set by the socket check when it refused an address.
struct SocketGuard {
    bool refused = false;
};

// Makes every socket of the transfer pass the loopback guard; `guard` must
// outlive the transfer.
void guardSockets(CURL* easy, SocketGuard* guard);

} // namespace platform::detail
