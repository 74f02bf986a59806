#include "playback/playback_runner.h"

#include <utility>

#include "playback/playback_window.h"
#include "tavolin/camera_playback_source.h"

namespace tavolin::ui {

PlaybackOpener cameraPlaybackOpener(std::function<void(PlaybackWindow& window)> opened) {
    return [opened = std::move(opened)](const CameraRecord& record, QWidget* parent, std::function<void()> closed) {
        auto* window = new PlaybackWindow(record, cameraPlaybackSource(record), parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(window, &QDialog::finished, window, [closed = std::move(closed)] {
            if (closed) closed();
        });
        window->open();
        if (opened) opened(*window);
    };
}

} // namespace tavolin::ui
