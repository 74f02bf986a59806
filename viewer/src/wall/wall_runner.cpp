#include "wall/wall_runner.h"

#include <memory>
#include <utility>

#include "live/camera_stream.h"
#include "platform/clock.h"
#include "tavolin/wall_settings.h"
#include "wall/camera_wall_dlg.h"

namespace tavolin::ui {

CTavolinDlg::WallRunner cameraWallRunner(Shell& shell, CTavolinDlg::LiveViewRunner singleView,
                                         const ReasonLog* reasons) {
    return [&shell, singleView = std::move(singleView), reasons](const CTavolinDlg::Records& records,
                                                                 CameraList& cameras, QWidget* parent) {
        auto streams = [reasons](const StreamSettings& settings) -> std::unique_ptr<LiveStream> {
            return std::make_unique<CameraStream>(settings, reasons);
        };
        auto single = [&](int position, QWidget* over) {
            return singleView ? singleView(records, position, over) : LiveViewChanges{};
        };
        CameraWallDlg wall(records, loadWallSettings(cameras), streams, single, shell,
                           platform::SystemClock::instance(), parent);
        // When exec() returns every stream of the wall has closed.
        wall.exec();
        saveWallSettings(cameras, wall.settings());
        return wall.changes();
    };
}

} // namespace tavolin::ui
