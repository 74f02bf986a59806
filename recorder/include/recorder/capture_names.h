// Names of snapshot and clip files: "<camera name>_<YYYY-MM-DD_HH-MM-SS.mmm>"
// in local time, from the picture's own time.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace recorder {

// The camera's name as a file name may hold it: without "/" and control
// characters; "camera" when nothing is left.
std::string cleanCameraName(std::string_view name);

// "YYYY-MM-DD_HH-MM-SS.mmm" in local time.
std::string captureTimeText(std::chrono::system_clock::time_point time);

// "<clean name>_<time>.<extension>"
std::string captureFileName(std::string_view cameraName, std::chrono::system_clock::time_point time,
                            std::string_view extension);

} // namespace recorder
