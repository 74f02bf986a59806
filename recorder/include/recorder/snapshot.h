// Snapshots: a camera's picture as a JPEG file at its full size, named
// "<camera name>_<YYYY-MM-DD_HH-MM-SS.mmm>.jpg" from the picture's own time,
// never replacing a file (a taken name gets a suffix).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace recorder {

// A decoded picture as the stream client draws it (16, 24 or 32 bits a
// pixel, rows top-down) coded as a JPEG with libavcodec; nothing, with the
// reason, when the picture makes no sense or cannot be coded.
std::optional<std::vector<uint8_t>> encodeJpeg(const platform::PictureView& picture, std::string& error);

// Whether JPEG bytes a camera sent are a whole picture of at least
// minWidth x minHeight (0: any size): they decode completely, without
// errors, up to their end marker. False with the reason.
bool checkJpeg(std::span<const uint8_t> jpeg, int minWidth, int minHeight, std::string& error);

// Writes JPEG bytes (encoded here, or as a camera sent them) as a new file
// in `folder`; the path written, or nothing with the reason in `error`.
std::optional<std::string> saveSnapshot(std::span<const uint8_t> jpeg, const std::string& folder,
                                        const std::string& cameraName, std::chrono::system_clock::time_point time,
                                        std::string& error);

} // namespace recorder
