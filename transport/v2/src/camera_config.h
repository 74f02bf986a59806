// Camera settings over the camera's web server: the query texts of every
// request and the parsers of the camera's answers.
#pragma once

#include "transport/contract.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fenwa20 {

// Who asks: the query values are already made safe for a URL.
struct QueryIdentity {
    std::string base;     // "http://host:port/cgi-bin/"
    std::string user;     // percent-encoded
    std::string password; // percent-encoded
    int32_t channel = 0;  // "CHANNEL=" only when not 0
};

// Camera text for a resolution code; unknown codes read as "N720x480".
const char* resolutionText(int32_t code);

std::string videoSetQuery(const QueryIdentity& who, const VideoConfig& config);
std::string videoGetQuery(const QueryIdentity& who);
// Empty when the region count is not 1, 2 or 3: the camera has no form for it.
std::optional<std::string> motionSetQuery(const QueryIdentity& who, const MotionInfo& info);
std::string motionGetQuery(const QueryIdentity& who);

// "8N1", "8O1", "8E1" for 0, 8, 24; empty for any other value.
std::optional<std::string_view> serialFormatText(uint8_t code);
// 1200 .. 230400 for indexes 0 to 8, 0 for any other.
int serialBaudRate(uint8_t index);
std::optional<std::string> serialSettingUrl(std::string_view host, int32_t httpPort, std::string_view user,
                                            std::string_view password, uint8_t format, uint8_t baudIndex);

// Updates the fields whose keys appear in (at most the first 511 characters
// of) the answer; leaves the others as they are.
void parseVideoAnswer(std::string_view answer, VideoConfig& stored);
// The record described by (at most the first 1023 characters of) the answer;
// regions it does not list stay 0.
MotionInfo parseMotionAnswer(std::string_view answer);

} // namespace fenwa20
