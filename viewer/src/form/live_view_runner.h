// Play's live view: the full-screen view of a camera, modal to the window it
// opens over.
#pragma once

#include <functional>
#include <string>

#include "form/tavolin_dlg.h"

namespace tavolin::ui {

class CWideVideoDlg;
class Shell;

// Opens CWideVideoDlg over the records at `position`. `opened`, when given,
// gets each view once it is up (the demo drives it from there).
// With `captureSettings` (the settings file) views offer Snapshot and Record.
CTavolinDlg::LiveViewRunner wideVideoRunner(Shell& shell, std::function<void(CWideVideoDlg& view)> opened = {},
                                            std::string captureSettings = {});

} // namespace tavolin::ui
