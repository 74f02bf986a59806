// What the live view changed in the camera records it was given (PTZ speed
// and audio in, chosen from its menu, and a PTZ calibration it measured),
// handed back to the settings form, which stores them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "tavolin/camera_record.h"

namespace tavolin::ui {

struct RecordChanges {
    std::optional<int32_t> ptzSpeed;
    std::optional<uint8_t> playAudio;
    std::optional<std::string> ptzCalibration;
    bool operator==(const RecordChanges&) const = default;
};
using LiveViewChanges = std::array<RecordChanges, kCameraCount>;

// Applies what the live view changed to the records.
inline void applyChanges(const LiveViewChanges& changes, const std::array<CameraRecord*, kCameraCount>& records) {
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (records[i] == nullptr) continue;
        if (changes[i].ptzSpeed) records[i]->ptzSpeed = *changes[i].ptzSpeed;
        if (changes[i].playAudio) records[i]->playAudio = *changes[i].playAudio;
        if (changes[i].ptzCalibration) setText(records[i]->ptzCalibration, *changes[i].ptzCalibration);
    }
}

} // namespace tavolin::ui
