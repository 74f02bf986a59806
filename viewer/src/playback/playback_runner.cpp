#include "playback/playback_runner.h"

#include <utility>

#include "capture/capture_config.h"
#include "playback/playback_window.h"
#include "tavolin/camera_playback_source.h"

namespace tavolin::ui {

PlaybackOpener cameraPlaybackOpener(std::string settingsPath, std::function<void(PlaybackWindow& window)> opened) {
    return [settingsPath = std::move(settingsPath),
            opened = std::move(opened)](const CameraRecord& record, QWidget* parent, std::function<void()> closed) {
        // The folder as the settings say now (it may have changed since the start).
        const std::string clipFolder = loadCaptureConfig(settingsPath).settings.folder;
        auto* window = new PlaybackWindow(record, cameraPlaybackSource(record, clipFolder), parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(window, &QDialog::finished, window, [closed = std::move(closed)] {
            if (closed) closed();
        });
        window->open();
        if (opened) opened(*window);
    };
}

} // namespace tavolin::ui
