// The wall as the form runs it: the layout and page from the settings file,
// the wall full screen over the form until it is left, the layout and page
// written back, and the single live view of a camera opened over it.
#pragma once

#include <functional>

#include "form/tavolin_dlg.h"

namespace tavolin::ui {

class CameraWallDlg;
class Shell;

// `singleView` opens the single live view of a camera chosen on the wall.
// `opened`, when given, gets each wall once it is up (the demo drives it
// from there).
CTavolinDlg::WallRunner cameraWallRunner(Shell& shell, CTavolinDlg::LiveViewRunner singleView,
                                         std::function<void(CameraWallDlg& wall)> opened = {}, bool capture = false);

} // namespace tavolin::ui
