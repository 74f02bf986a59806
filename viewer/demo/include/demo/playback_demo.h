// The demo's playback window: once the camera's day is found and its first
// picture shown, the timeline zoomed to two hours, the next event shown,
// the window pictured as playback.png, then closed.
#pragma once

#include "demo/demo_driver.h"

namespace tavolin::ui {
class PlaybackWindow;
}

namespace tavolin::demo {

void drivePlaybackWindow(ui::PlaybackWindow& window, const DemoOptions& options);

} // namespace tavolin::demo
