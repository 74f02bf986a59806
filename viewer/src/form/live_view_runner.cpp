#include "form/live_view_runner.h"

#include "live/wide_video_dlg.h"

namespace tavolin::ui {

CTavolinDlg::LiveViewRunner wideVideoRunner(Shell& shell, const ReasonLog* reasons) {
    return [&shell, reasons](const CTavolinDlg::Records& records, int position, QWidget* parent) {
        CWideVideoDlg view(records, position, shell, parent, reasons);
        // When exec() returns the view has closed its stream.
        view.exec();
        return view.changes();
    };
}

} // namespace tavolin::ui
