// Play's live view: the full-screen view of a camera, run modally.
#pragma once

#include "form/tavolin_dlg.h"

namespace tavolin::ui {

class Shell;

// Runs CWideVideoDlg over the records at `position`.
CTavolinDlg::LiveViewRunner wideVideoRunner(Shell& shell);

}  // namespace tavolin::ui
