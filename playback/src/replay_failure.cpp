#include "replay_failure.h"

#include <cstdlib>

namespace playback {

namespace {

constexpr const char* kStatusMarker = "Error (";

std::string seconds(int ms) {
    const int tenths = (ms + 50) / 100;
    return std::to_string(tenths / 10) + (tenths % 10 != 0 ? "." + std::to_string(tenths % 10) : "") + " s";
}

// The status's own words after "Error (NNN): ", to the end of the line.
std::string statusText(const std::string& debug) {
    const std::size_t at = debug.find(kStatusMarker);
    if (at == std::string::npos) return {};
    const std::size_t colon = debug.find("): ", at);
    if (colon == std::string::npos) return {};
    std::string text = debug.substr(colon + 3, debug.find('\n', colon) - colon - 3);
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '\r')) text.pop_back();
    return text;
}

} // namespace

std::optional<int> rtspStatusIn(const std::string& debug) {
    const std::size_t at = debug.find(kStatusMarker);
    if (at == std::string::npos) return std::nullopt;
    const char* digits = debug.c_str() + at + std::char_traits<char>::length(kStatusMarker);
    char* end = nullptr;
    const long status = std::strtol(digits, &end, 10);
    if (end == digits || *end != ')' || status < 100 || status > 999) return std::nullopt;
    return static_cast<int>(status);
}

std::string replayFailure(const SourceError& error, int deadlineMs) {
    const std::optional<int> status = rtspStatusIn(error.debug);
    const std::string said = status ? " (" + std::to_string(*status) + " " + statusText(error.debug) + ")" : "";
    if (status == 551) return "the camera refused replay" + said;
    if (status == 501 || status == 405) return "the camera does not offer this kind of replay" + said;
    if (status == 457) return "the camera has no recording at that time" + said;
    if (status == 404 || error.kind == SourceError::Kind::NotFound)
        return "the camera does not hold this recording" + said;
    if (status == 401 || status == 403 || error.kind == SourceError::Kind::NotAuthorized)
        return "the camera refused the user name or password for replay" + said;
    if (status) return "the camera refused replay" + said;
    if (error.debug.find("onnection refused") != std::string::npos)
        return "nothing answers at the camera's replay address (connection refused)";
    if (error.kind == SourceError::Kind::Timeout || error.debug.find("imeout") != std::string::npos)
        return "the camera did not answer the replay request within " + seconds(deadlineMs);
    return "replay failed: " + (error.message.empty() ? std::string("unknown error") : error.message);
}

} // namespace playback
