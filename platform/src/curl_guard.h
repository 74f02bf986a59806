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

// What the socket check saw: whether it refused an address (since the
// flag was last cleared) and how many sockets it let open.
struct SocketGuard {
    bool refused = false;
    int opened = 0;
};

// Makes every socket of the transfer pass the loopback guard; `guard` must
// outlive the transfer.
void guardSockets(CURL* easy, SocketGuard* guard);

} // namespace platform::detail
