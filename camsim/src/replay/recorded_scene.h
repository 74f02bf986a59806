// What a simulated camera's SD card shows at a moment: its scene as the
// head sees it at rest, the date and time in large digits, the time strip
// along the bottom, and the object the motion detector saw while a motion
// event was under way. One per card; pictures are drawn one at a time.
#pragma once

#include "camsim/camera_head.h"
#include "camsim/scene_renderer.h"
#include "camsim/sd_card.h"
#include "camsim/yuv_picture.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace camsim::replay {

// "2026-12-08" and "09:30:10.240" of a time in milliseconds since 1970.
std::string dateText(int64_t unixMs);
std::string timeText(int64_t unixMs);

class RecordedScene {
public:
    explicit RecordedScene(std::shared_ptr<const SdCard> card);
    // Goes after the last picture drawn (by whichever streaming thread drew
    // it): taking the lock orders the two where only GStreamer's own thread
    // hand-over would.
    ~RecordedScene();

    // Draws the picture recorded at `unixMs` (the card's size).
    void draw(int64_t unixMs, const YuvPicture& out);

    int width() const { return width_; }
    int height() const { return height_; }

private:
    const std::shared_ptr<const SdCard> card_;
    const int width_;
    const int height_;
    std::mutex mutex_; // the renderer's buffers
    CameraHead head_;
    SceneRenderer renderer_;
};

} // namespace camsim::replay
