// Play's live view: the full-screen view of a camera, modal to the window it
// opens over.
#pragma once

#include <functional>

#include "form/tavolin_dlg.h"

namespace tavolin::ui {

class CWideVideoDlg;
class Shell;

// Opens CWideVideoDlg over the records at `position`. `opened`, when given,
// gets each view once it is up (the demo drives it from there).
CTavolinDlg::LiveViewRunner wideVideoRunner(Shell& shell, std::function<void(CWideVideoDlg& view)> opened = {});

} // namespace tavolin::ui
