// The window surfaces the streams of one place draw into: each a picture
// surface of the place's widget, registered under its own handle for the
// stream client. The place is told which one it shows; a surface no stream
// draws into any more leaves the registry, and its object lives on as long as
// the place still paints its last picture.
#pragma once

#include <QSize>
#include <functional>
#include <map>
#include <memory>

#include "live/video_surface.h"
#include "stream/stream_surfaces.h"

class QWidget;

namespace tavolin::ui {

class SurfacePool final : public StreamSurfaces {
public:
    using Show = std::function<void(const std::shared_ptr<VideoSurface>& surface)>;

    // Surfaces repaint `widget` as `repaint` says; `show` gets the surface
    // the place shows from now on.
    SurfacePool(QWidget* widget, VideoSurface::Repaint repaint, Show show);
    // Every surface still registered leaves the registry.
    ~SurfacePool() override;
    SurfacePool(const SurfacePool&) = delete;
    SurfacePool& operator=(const SurfacePool&) = delete;

    uint32_t addSurface() override;
    void showSurface(uint32_t handle) override;
    void removeSurface(uint32_t handle) override;
    QSize pictureSize(uint32_t handle) const override;

    // For the surfaces there are and those made from now on.
    void setKeepAspect(bool keep);
    void setTakesPlanes(bool takes);
    void setClientSize(QSize size);
    // The place moved to another widget: its surfaces repaint that one, and
    // `show` is told the surface shown again.
    void moveTo(QWidget* widget, Show show);

private:
    QWidget* widget_;
    const VideoSurface::Repaint repaint_;
    Show show_;
    bool keepAspect_ = false;
    bool takesPlanes_ = false;
    QSize clientSize_;
    uint32_t shown_ = 0;
    std::map<uint32_t, std::shared_ptr<VideoSurface>> surfaces_;
};

} // namespace tavolin::ui
