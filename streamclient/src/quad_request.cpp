#include "quad_request.h"

#include <transport/contract.h>

#include <cstdio>
#include <string_view>

#include "platform/http_get.h"
#include "platform/url_encode.h"

namespace ostrel {

namespace {

constexpr const char* kAgent = "DeViru";

// A fixed-width text field, up to its NUL or its end.
std::string_view field(const char* text, std::size_t width) {
    std::size_t n = 0;
    while (n < width && text[n] != '\0') ++n;
    return {text, n};
}

} // namespace

std::string quadUrl(const MediaConfig& config, int32_t mode) {
    char query[32];
    std::snprintf(query, sizeof query, "DISPLAY=%d", mode);
    std::string url = "http://";
    url += field(config.cameraAddress, sizeof config.cameraAddress);
    url += ':';
    url += std::to_string(config.httpPort);
    url += "/cgi-bin/quad?USER=";
    url += platform::percentEncodeQueryValue(field(config.userName, sizeof config.userName));
    url += "&PWD=";
    url += platform::percentEncodeQueryValue(field(config.password, sizeof config.password));
    url += '&';
    url += query;
    return url;
}

bool fetchAndDiscard(const std::string& url) {
    platform::HttpGetRequest request;
    request.url = url;
    request.agent = kAgent;
    // The answer is not used; keep only a little of it.
    request.maxBodyBytes = 32000;
    // The viewer asks from its window's thread: a server that does not answer
    // must not hold the window for long.
    request.timeoutMs = kQuadRequestTimeoutMs;
    return platform::httpGet(request).completed;
}

} // namespace ostrel
