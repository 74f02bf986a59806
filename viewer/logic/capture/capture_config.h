// What snapshots and clips of the viewer follow: the settings file's
// [Capture] section (folder, pre-roll, limits) and each camera's
// RecordOnMotion.
#pragma once

#include <array>
#include <string>

#include "recorder/capture_settings.h"
#include "tavolin/camera_record.h"

namespace tavolin::ui {

struct CaptureConfig {
    recorder::CaptureSettings settings =
        recorder::readCaptureSettings([](const char*) { return std::string(); }, recorder::UserFolders::fromProcess());
    // Seconds a clip goes on after the last motion, per camera; 0: off.
    std::array<int, kCameraCount> recordOnMotionSeconds{};
};

// Reads the settings file at `path`; defaults when there is none (no file
// is made).
CaptureConfig loadCaptureConfig(const std::string& path);

} // namespace tavolin::ui
