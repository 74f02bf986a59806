// Play's live view: the full-screen view of a camera, modal to the window it
// opens over.
#pragma once

#include <functional>

#include "form/tavolin_dlg.h"

namespace tavolin::ui {

class CWideVideoDlg;
class ReasonLog;
class Shell;

// Opens CWideVideoDlg over the records at `position`; `reasons`, when given,
// tells why a connection failed. `opened`, when given, gets each view once it
// is up (the demo drives it from there).
CTavolinDlg::LiveViewRunner wideVideoRunner(Shell& shell, const ReasonLog* reasons = nullptr,
                                            std::function<void(CWideVideoDlg& view)> opened = {});

} // namespace tavolin::ui
