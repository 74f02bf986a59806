// What a place paints: the surface it shows now, and until that one has its
// first picture the surface it showed before (the stream being switched
// away from), or a picture handed over by another view of the same camera.
// So the place never goes black while its stream changes. GUI thread only.
#pragma once

#include <QRect>
#include <QRectF>
#include <memory>

#include "live/video_surface.h"

class QPainter;

namespace tavolin::ui {

class ShownPicture {
public:
    // Shows `surface` from now on; the one shown before stays painted until
    // this one has a picture.
    void show(std::shared_ptr<VideoSurface> surface);
    // Painted while the shown surface has no picture yet (another view's).
    void setStandIn(std::shared_ptr<VideoSurface> surface);
    // Forgets every picture: the next camera starts from nothing.
    void clear();
    // Lets go of the surfaces too (another camera comes to the place).
    void reset();

    // Paints the newest picture there is into `area` (`part` of it, see
    // VideoSurface::paint); false, painting nothing, without any.
    bool paint(QPainter& painter, const QRect& area, const QRectF& part = VideoSurface::kWholePicture);
    // The shown surface has a picture of its own.
    bool hasOwnPicture() const;
    // A picture came that the place has not painted.
    bool hasNewPicture() const;
    // The surface shown, and the newest picture's surface (for the next view).
    const std::shared_ptr<VideoSurface>& current() const { return current_; }
    std::shared_ptr<VideoSurface> newest() const;
    bool hasStandIn() const { return standIn_ != nullptr; }
    // Pictures handed to the surfaces shown so far, and painted.
    long presentedCount() const;
    long paintedCount() const;
    // The newest picture and where its stream put it; null before the first.
    QImage latestPicture(QRect* dest = nullptr) const;

private:
    // The stand-in goes once the shown surface has a picture.
    void dropStandInOnceShown();

    std::shared_ptr<VideoSurface> current_;
    std::shared_ptr<VideoSurface> standIn_;
    long presentedBefore_ = 0; // by surfaces no longer shown
    long paintedBefore_ = 0;
};

} // namespace tavolin::ui
