// The demo's pictures of the live view's commands: a pan running with its
// arrow over the moving video, the popup menu open, and the next camera of
// the switch group after Down. Runs from the event loop on a connected view
// and calls `done` at the end (also when the view went away meanwhile).
#pragma once

#include <QString>
#include <functional>

namespace tavolin::ui {
class CWideVideoDlg;
}

namespace tavolin::demo {

// Writes live-view-ptz.png, live-view-menu.png and live-view-patrol.png
// into `folder`.
void pictureCommands(ui::CWideVideoDlg* view, const QString& folder, std::function<void()> done);

} // namespace tavolin::demo
