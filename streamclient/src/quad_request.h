// The display mode of a four-input video server, set over its web server.
#pragma once

#include <cstdint>
#include <string>

struct MediaConfig;

namespace ostrel {

// Whole request, connect included.
inline constexpr int kQuadRequestTimeoutMs = 1000;

// "http://host:port/cgi-bin/quad?USER=..&PWD=..&DISPLAY=mode"; user name and
// password are percent-encoded so that their characters cannot end a value.
std::string quadUrl(const MediaConfig& config, int32_t mode);

// One GET whose answer is read and dropped; true when it completed.
bool fetchAndDiscard(const std::string& url);

} // namespace ostrel
