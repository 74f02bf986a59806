// Drives the settings form the way a user would, for the main job on a
// machine without a display: a picture of the form, Play on camera 1, a
// picture of the live view once video runs, then the view closed and Exit.
// Play is pressed only when every camera of the list points at 127.0.0.1.
#pragma once

#include <QString>

namespace tavolin::ui {

class CTavolinDlg;

struct DemoOptions {
  QString screenshotFolder;  // form.png and live-view.png go here
  int viewMs = 6000;         // how long the live view runs before its picture
};

// True when every record of the form's camera list names 127.0.0.1.
bool everyCameraIsLoopback(CTavolinDlg& form);

// Starts the demo on a shown form; returns at once, the rest runs from the
// event loop. Messages go to standard error.
void driveDemo(CTavolinDlg& form, const DemoOptions& options);

}  // namespace tavolin::ui
