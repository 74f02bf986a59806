#include "wall/wall_runner.h"

#include <memory>
#include <utility>

#include "capture/capture_config.h"
#include "live/camera_stream.h"
#include "platform/clock.h"
#include "tavolin/wall_settings.h"
#include "wall/camera_wall_dlg.h"

namespace tavolin::ui {

CTavolinDlg::WallRunner cameraWallRunner(Shell& shell, SingleViewOverWall singleView,
                                         std::function<void(CameraWallDlg& wall)> opened, bool capture,
                                         StreamCatalogues* catalogues, PlaybackOpener playback) {
    return [&shell, singleView = std::move(singleView), opened = std::move(opened), capture, catalogues,
            playback = std::move(playback)](const CTavolinDlg::Records& records, CameraList& cameras, QWidget* parent,
                                            CTavolinDlg::Closed closed) {
        auto streams = [](const StreamSettings& settings) -> std::unique_ptr<LiveStream> {
            return std::make_unique<CameraStream>(settings);
        };
        CameraWallDlg::SingleViewRunner single;
        if (singleView) {
            single = [singleView, records](int position, QWidget* over, ViewHandover handover,
                                           CameraWallDlg::SingleViewClosed done) {
                singleView(records, position, over, std::move(handover), std::move(done));
            };
        }
        // Snapshot and Record follow the [Capture] section of the cameras' file.
        std::optional<CaptureConfig> captureConfig;
        if (capture) captureConfig = loadCaptureConfig(cameras.path());
        auto* wall = new CameraWallDlg(records, loadWallSettings(cameras), streams, std::move(single), shell,
                                       platform::SystemClock::instance(), parent, std::move(captureConfig), catalogues);
        wall->setAttribute(Qt::WA_DeleteOnClose);
        wall->offerPlayback(playback);
        // It finishes once every stream of the wall has closed.
        QObject::connect(wall, &QDialog::finished, wall, [wall, &cameras, closed = std::move(closed)] {
            saveWallSettings(cameras, wall->settings());
            closed(wall->changes());
        });
        wall->open();
        if (opened) opened(*wall);
    };
}

} // namespace tavolin::ui
