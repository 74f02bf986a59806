// Names of snapshot and clip files: "<camera name>_<YYYY-MM-DD_HH-MM-SS.mmm>"
// in local time, from the picture's own time.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace recorder {

// As many bytes of a camera's name as the viewer's camera record holds.
inline constexpr std::size_t kCameraNameBytes = 63;

// The camera's name as a file name may hold it: without "/" and control
// characters, cut to kCameraNameBytes without splitting a character;
// "camera" when nothing is left.
std::string cleanCameraName(std::string_view name);

// "YYYY-MM-DD_HH-MM-SS.mmm" in local time.
std::string captureTimeText(std::chrono::system_clock::time_point time);

// "<clean name>_<time>.<extension>"
std::string captureFileName(std::string_view cameraName, std::chrono::system_clock::time_point time,
                            std::string_view extension);

} // namespace recorder
