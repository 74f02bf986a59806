// Where snapshots and clips go, and the recording limits: the settings
// file's [Capture] section, and a camera's RecordOnMotion.
//
//   [Capture]
//   Folder=/home/me/Videos/cameras   ; default $XDG_PICTURES_DIR/Tavolin
//   PreRollSeconds=10
//   PreRollMegabytes=32              ; per recording camera
//   ClipMinutes=30                   ; a clip goes on in a new file after this
//   ClipMegabytes=1024               ; ... or this
//   KeepFreeMegabytes=500            ; recording stops below this
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "recorder/camera_recorder.h"

namespace recorder {

inline constexpr const char* kCaptureSection = "Capture";

// What the folder's default is made of; fromProcess() reads it from the
// environment.
struct UserFolders {
    std::string home;
    std::string picturesDir; // $XDG_PICTURES_DIR
    std::string configHome;  // $XDG_CONFIG_HOME
    static UserFolders fromProcess();
};

// $XDG_PICTURES_DIR/Tavolin; else the pictures folder named in
// user-dirs.dirs (as desktops keep it); else ~/Pictures/Tavolin.
std::string defaultCaptureFolder(const UserFolders& folders);

struct CaptureSettings {
    std::string folder;
    int preRollSeconds = 10;
    int preRollMegabytes = 32;
    int clipMinutes = 30;
    int clipMegabytes = 1024;
    int keepFreeMegabytes = 500;

    // The recorder's limits from these settings.
    RecorderSettings recorderSettings() const;
};

// Reads the [Capture] keys through `value` (the key's text, empty when
// missing); missing and unreadable values take their defaults.
CaptureSettings readCaptureSettings(const std::function<std::string(const char* key)>& value,
                                    const UserFolders& folders);

// A camera's RecordOnMotion value: seconds a clip goes on after the last
// motion; 0 (off) when missing, not a number, or not positive.
int recordOnMotionSeconds(const std::string& value);

// Makes the folder when it is missing and checks that files can be made in
// it; false with one line for the user when they cannot.
bool prepareCaptureFolder(const std::string& folder, std::string& message);

} // namespace recorder
