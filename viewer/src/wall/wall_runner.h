// The wall as the form runs it: the layout and page from the settings file,
// the wall full screen over the form until it is left, the layout and page
// written back, and the single live view of a camera opened over it.
#pragma once

#include <functional>

#include "form/live_view_runner.h"
#include "form/tavolin_dlg.h"

namespace tavolin::ui {

class CameraWallDlg;
class Shell;
class StreamCatalogues;

// `singleView` opens the single live view of a camera chosen on the wall.
// `opened`, when given, gets each wall once it is up (the demo drives it
// from there). `catalogues`, when given, is where the wall learns each
// camera's streams.
CTavolinDlg::WallRunner cameraWallRunner(Shell& shell, SingleViewOverWall singleView,
                                         std::function<void(CameraWallDlg& wall)> opened = {}, bool capture = false,
                                         StreamCatalogues* catalogues = nullptr, PlaybackOpener playback = {});

} // namespace tavolin::ui
