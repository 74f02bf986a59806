#include "replay_request.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace playback {

namespace {

// "4", "0.5", "-8": the shortest text that reads back as the same speed.
std::string speedText(double speed) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", speed);
    return text;
}

} // namespace

std::string clockRangeFrom(int64_t unixMs) {
    if (unixMs < 0) unixMs = 0;
    const std::time_t seconds = static_cast<std::time_t>(unixMs / 1000);
    const int ms = static_cast<int>(unixMs % 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    const int n = std::snprintf(text, sizeof text, "clock=%04d%02d%02dT%02d%02d%02d", utc.tm_year + 1900,
                                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    std::string range(text, static_cast<std::size_t>(n));
    if (ms != 0) {
        std::snprintf(text, sizeof text, ".%03d", ms);
        range += text;
    }
    return range + "Z-";
}

const std::vector<std::string>& replayHeaderNames() {
    static const std::vector<std::string> names = {"Require", "Range", "Rate-Control", "Scale", "Speed", "Frames"};
    return names;
}

std::vector<HeaderLine> replayHeaders(RtspStep step, const ReplayRequest& request) {
    std::vector<HeaderLine> lines;
    if (step == RtspStep::Other) return lines;
    lines.push_back({"Require", "onvif-replay"});
    if (step == RtspStep::Setup) return lines;
    lines.push_back({"Range", clockRangeFrom(request.fromMs)});
    lines.push_back({"Rate-Control", "no"});
    // 1 is what a camera assumes without the header.
    if (request.speed != 1 && std::isfinite(request.speed) && request.speed != 0) {
        lines.push_back({request.rateHeader == RateHeader::Scale ? "Scale" : "Speed", speedText(request.speed)});
    }
    if (request.intraOnly) {
        lines.push_back({"Frames", request.intraIntervalMs > 0 ? "intra/" + std::to_string(request.intraIntervalMs)
                                                               : std::string("intra")});
    }
    return lines;
}

} // namespace playback
