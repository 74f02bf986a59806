// Play's live view: the full-screen view of a camera, modal to the window it
// opens over.
#pragma once

#include <functional>
#include <string>

#include "form/tavolin_dlg.h"
#include "live/view_handover.h"

namespace tavolin::ui {

class CWideVideoDlg;
class Shell;
class StreamCatalogues;

// Opens CWideVideoDlg over the records at `position`. `opened`, when given,
// gets each view once it is up (the demo drives it from there).
// With `captureSettings` (the settings file) views offer Snapshot and Record.
// `catalogues`, when given, is where the views learn each camera's streams
// (shared, so each camera is asked once).
// With `playback`, views offer Playback of the shown camera.
CTavolinDlg::LiveViewRunner wideVideoRunner(Shell& shell, std::function<void(CWideVideoDlg& view)> opened = {},
                                            std::string captureSettings = {}, StreamCatalogues* catalogues = nullptr,
                                            PlaybackOpener playback = {});

// The same view opened over the camera wall, taking its camera over from the
// wall's cell.
using SingleViewOverWall = std::function<void(const CTavolinDlg::Records& records, int position, QWidget* parent,
                                              ViewHandover handover, CTavolinDlg::Closed closed)>;
SingleViewOverWall wideVideoOverWall(Shell& shell, std::function<void(CWideVideoDlg& view)> opened = {},
                                     std::string captureSettings = {}, StreamCatalogues* catalogues = nullptr,
                                     PlaybackOpener playback = {});

} // namespace tavolin::ui
