// The demo of an ONVIF camera found on the network: "Find..." on the form,
// the answer chosen, the login typed, PTZ on, Apply and Play; pictures of
// the search, the filled form and the live view; a pan; then a restart of
// the camera, which the script running the simulator carries out when it
// reads "demo: restart the camera now" on standard error, and the picture
// once video is back ("demo: the camera came back", or a line that says it
// did not).
#pragma once

namespace tavolin::ui {
class CTavolinDlg;
class CWideVideoDlg;
} // namespace tavolin::ui

namespace tavolin::demo {

struct DemoOptions;

// Starts the demo on a shown form; the rest runs from the event loop.
void driveOnvifDemo(ui::CTavolinDlg& form, const DemoOptions& options);

// Runs the live view part once the view is up: video, a pan, the restart.
void driveOnvifLiveView(ui::CWideVideoDlg& view, const DemoOptions& options);

} // namespace tavolin::demo
