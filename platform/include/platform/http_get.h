// One HTTP GET, as the camera web-server clients need it: a user agent text,
// never answered from a cache, bounded in time and in the body it keeps. The
// set-up and the time-out rule are those of HttpConnection
// (platform/http_connection.h), which also keeps the connection.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

struct HttpGetRequest {
    std::string url;
    std::string agent;
    int timeoutMs = 10000;              // whole request, connect included; <= 0 fails at once
    std::size_t maxBodyBytes = 1 << 20; // the rest of a longer body is read and dropped
    // HTTP digest authentication when the server asks for it; empty: none.
    std::string user;
    std::string password;
};

struct HttpGetResult {
    bool completed = false; // the server answered and the whole body was read
    long status = 0;        // HTTP status code, 0 when no answer came
    std::string headers;    // raw response headers, CRLF separated
    std::string body;       // at most maxBodyBytes of the body
    int errorCode = 0;      // transfer error number, 0 when completed
    std::string errorText;  // short description of a failure

    // Completed with a 2xx status.
    bool ok() const { return completed && status >= 200 && status < 300; }
};

HttpGetResult httpGet(const HttpGetRequest& request);

} // namespace platform
