// The demo of an ONVIF camera found on the network: "Find..." on the form,
// the answer chosen, the login typed, PTZ on, Apply and Play; pictures of
// the search, the filled form and the live view; a pan; then a restart of
// the camera, which the script running the simulator carries out when it
// reads "demo: restart the camera now" on standard error, and the picture
// once video is back ("demo: the camera came back", or a line that says it
// did not).
#pragma once

#include <QString>

namespace tavolin::ui {
class CTavolinDlg;
}

namespace tavolin::demo {

struct DemoOptions;

// Starts the demo on a shown form; the rest runs from the event loop.
// `login` is "user:password" for the camera.
void driveOnvifDemo(ui::CTavolinDlg& form, const DemoOptions& options);

} // namespace tavolin::demo
