// The playback window's picture: a window surface the player draws into
// (registered under its own handle, as the live view's), painted with its
// aspect kept, and the picture's own date and time over it.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "live/video_surface.h"

namespace tavolin::ui {

class PlaybackPicture final : public QWidget {
public:
    explicit PlaybackPicture(QWidget* parent);
    // Leaves the registry: the player drawing into it must be gone first.
    ~PlaybackPicture() override;
    PlaybackPicture(const PlaybackPicture&) = delete;
    PlaybackPicture& operator=(const PlaybackPicture&) = delete;

    uint32_t surfaceHandle() const { return handle_; }
    const VideoSurface& surface() const { return *surface_; }
    // The picture's time, top left; a notice in the middle while there is no picture.
    void setOverlay(const QString& text);
    void setNotice(const QString& text);
    const QString& overlay() const { return overlay_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::shared_ptr<VideoSurface> surface_;
    uint32_t handle_ = 0;
    QString overlay_;
    QString notice_;
};

} // namespace tavolin::ui
