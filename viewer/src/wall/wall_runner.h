// The wall as the form runs it: the layout and page from the settings file,
// the wall full screen until it is left, the layout and page written back,
// and the single live view of a camera opened from it.
#pragma once

#include "form/tavolin_dlg.h"

namespace tavolin::ui {

class ReasonLog;
class Shell;

// `singleView` runs the single live view of a camera chosen on the wall;
// `reasons`, when given, tells why a connection failed.
CTavolinDlg::WallRunner cameraWallRunner(Shell& shell, CTavolinDlg::LiveViewRunner singleView,
                                         const ReasonLog* reasons = nullptr);

} // namespace tavolin::ui
