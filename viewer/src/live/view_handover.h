// A camera passing from one view to another (a wall cell to the single view
// and back): the view it leaves keeps showing it until the new view's own
// stream has a picture, so the camera never goes black in between.
#pragma once

#include <functional>
#include <memory>

class QScreen;

namespace tavolin::ui {

class VideoSurface;

struct ViewHandover {
    // The camera's picture in the view left behind, shown until the new
    // view's own first picture.
    std::shared_ptr<VideoSurface> picture;
    // Told once, when the new view no longer needs `picture` (its own first
    // picture came, it moved to another camera, or it closed): the view left
    // behind may close its stream then.
    std::function<void()> taken;
    // Given the new view's last picture when it closes, for the view it goes
    // back to.
    std::function<void(std::shared_ptr<VideoSurface> last)> closing;
    // The screen the new view opens on; null: its parent's.
    QScreen* screen = nullptr;
};

} // namespace tavolin::ui
