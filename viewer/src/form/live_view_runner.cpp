#include "form/live_view_runner.h"

#include <optional>

#include "capture/capture_config.h"
#include "live/wide_video_dlg.h"

namespace tavolin::ui {

SingleViewOverWall wideVideoOverWall(Shell& shell, std::function<void(CWideVideoDlg& view)> opened,
                                     std::string captureSettings, StreamCatalogues* catalogues,
                                     PlaybackOpener playback) {
    return [&shell, opened = std::move(opened), captureSettings = std::move(captureSettings), catalogues,
            playback = std::move(playback)](const CTavolinDlg::Records& records, int position, QWidget* parent,
                                            ViewHandover handover, CTavolinDlg::Closed closed) {
        std::optional<CaptureConfig> capture;
        if (!captureSettings.empty()) capture = loadCaptureConfig(captureSettings);
        auto* view = new CWideVideoDlg(records, position, shell, parent, std::move(capture), catalogues);
        view->setAttribute(Qt::WA_DeleteOnClose);
        view->takeOver(std::move(handover));
        view->offerPlayback(playback);
        // It finishes once it has closed its stream.
        QObject::connect(view, &QDialog::finished, view,
                         [view, closed = std::move(closed)] { closed(view->controller().changes()); });
        view->open();
        if (opened) opened(*view);
    };
}

CTavolinDlg::LiveViewRunner wideVideoRunner(Shell& shell, std::function<void(CWideVideoDlg& view)> opened,
                                            std::string captureSettings, StreamCatalogues* catalogues,
                                            PlaybackOpener playback) {
    return [run = wideVideoOverWall(shell, std::move(opened), std::move(captureSettings), catalogues,
                                    std::move(playback))](const CTavolinDlg::Records& records, int position,
                                                          QWidget* parent, CTavolinDlg::Closed closed) {
        run(records, position, parent, {}, std::move(closed));
    };
}

} // namespace tavolin::ui
