// Opens the playback window of a camera over the window it is asked from
// (the form, the single live view, the wall), modal to it; `closed` is
// called once it has closed. The window asks the camera's own archive.
#pragma once

#include <functional>

#include "tavolin/camera_record.h"

class QWidget;

namespace tavolin::ui {

class PlaybackWindow;

using PlaybackOpener = std::function<void(const CameraRecord& record, QWidget* parent, std::function<void()> closed)>;

// `opened`, when given, gets each window once it is up (the demo drives it).
PlaybackOpener cameraPlaybackOpener(std::function<void(PlaybackWindow& window)> opened = {});

} // namespace tavolin::ui
