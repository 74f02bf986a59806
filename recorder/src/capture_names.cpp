#include "recorder/capture_names.h"

#include <cstdio>
#include <ctime>

#include "platform/printable_text.h"

namespace recorder {

std::string cleanCameraName(std::string_view name) {
    std::string clean;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || byte < 0x20 || byte == 0x7F) continue;
        clean += c;
    }
    clean.resize(platform::utf8PrefixLength(clean, kCameraNameBytes));
    return clean.empty() ? std::string("camera") : clean;
}

std::string captureTimeText(std::chrono::system_clock::time_point time) {
    const auto sinceEpoch = time.time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds).count();
    const std::time_t whole = static_cast<std::time_t>(seconds.count());
    std::tm local{};
    localtime_r(&whole, &local);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d-%02d-%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(millis));
    return text;
}

std::string captureFileName(std::string_view cameraName, std::chrono::system_clock::time_point time,
                            std::string_view extension) {
    return cleanCameraName(cameraName) + "_" + captureTimeText(time) + "." + std::string(extension);
}

} // namespace recorder
