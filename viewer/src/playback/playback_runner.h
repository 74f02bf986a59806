// Opens the playback window of a camera over the window it is asked from
// (the form, the single live view, the wall), modal to it; `closed` is
// called once it has closed. The window asks the camera's own archive.
#pragma once

#include <functional>
#include <string>

#include "tavolin/camera_record.h"

class QWidget;

namespace tavolin::ui {

class PlaybackWindow;

using PlaybackOpener = std::function<void(const CameraRecord& record, QWidget* parent, std::function<void()> closed)>;

// Tavolin's clips are looked for in the capture folder the settings file at
// `settingsPath` names. `opened`, when given, gets each window once it is up
// (the demo drives it).
PlaybackOpener cameraPlaybackOpener(std::string settingsPath, std::function<void(PlaybackWindow& window)> opened = {});

} // namespace tavolin::ui
