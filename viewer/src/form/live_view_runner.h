// Play's live view: the full-screen view of a camera, run modally.
#pragma once

#include "form/tavolin_dlg.h"

namespace tavolin::ui {

class ReasonLog;
class Shell;

// Runs CWideVideoDlg over the records at `position`; `reasons`, when given,
// tells why a connection failed.
CTavolinDlg::LiveViewRunner wideVideoRunner(Shell& shell, const ReasonLog* reasons = nullptr);

} // namespace tavolin::ui
