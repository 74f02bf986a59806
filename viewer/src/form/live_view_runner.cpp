#include "form/live_view_runner.h"

#include "live/wide_video_dlg.h"

namespace tavolin::ui {

CTavolinDlg::LiveViewRunner wideVideoRunner(Shell& shell, std::function<void(CWideVideoDlg& view)> opened) {
    return [&shell, opened = std::move(opened)](const CTavolinDlg::Records& records, int position, QWidget* parent,
                                                CTavolinDlg::Closed closed) {
        auto* view = new CWideVideoDlg(records, position, shell, parent);
        view->setAttribute(Qt::WA_DeleteOnClose);
        // It finishes once it has closed its stream.
        QObject::connect(view, &QDialog::finished, view,
                         [view, closed = std::move(closed)] { closed(view->controller().changes()); });
        view->open();
        if (opened) opened(*view);
    };
}

} // namespace tavolin::ui
