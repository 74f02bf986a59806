// The window surfaces of one place (the single view, a wall cell): each
// stream of the place draws into one of its own, and the place shows one of
// them at a time. The widget implements it; tests record it.
#pragma once

#include <QSize>
#include <cstdint>

namespace tavolin::ui {

class StreamSurfaces {
public:
    virtual ~StreamSurfaces() = default;
    // A new registered surface for a stream to draw into, not shown yet.
    virtual uint32_t addSurface() = 0;
    // The place shows this surface from now on. The one shown before keeps
    // its last picture on the screen until this one has its first.
    virtual void showSurface(uint32_t handle) = 0;
    // No stream draws into it any more. A surface still shown keeps its last
    // picture until another is shown.
    virtual void removeSurface(uint32_t handle) = 0;
    // The size of the newest picture drawn into it; empty before the first.
    virtual QSize pictureSize(uint32_t handle) const = 0;
};

} // namespace tavolin::ui
