// The demo program (tavolin-demo): the viewer's settings form driven the way
// a user would, for pictures on a machine without a display: a picture of
// the form, Play on camera 1 (or Wall), pictures of the live view once video
// runs, then the view closed and Exit. Play is pressed only when every camera
// of the list points at 127.0.0.1.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/tavolin_app.h"

namespace tavolin {
class CameraList;
}

namespace tavolin::ui {
class Shell;
class StreamCatalogues;
} // namespace tavolin::ui

namespace tavolin::demo {

struct DemoOptions {
    QString screenshotFolder; // form.png and live-view.png go here
    int viewMs = 6000;        // how long the live view runs before its picture
    // Not empty: the ONVIF demo (onvif_demo.h), which finds the camera and
    // logs in with this "user:password".
    QString findLogin;
    // The wall instead of the live view: 4x4, pictured as wall.png.
    bool wall = false;
    // With findLogin: instead of panning and the restart, the live view
    // points the camera: a double-click, then a box drawn with Shift.
    bool aim = false;
    // With the wall: its first camera opened in the single view this many
    // times and timed (single_view_rounds.h).
    int singleRounds = 0;
    // Playback instead of the live view: camera 1's recordings, pictured as
    // playback.png at the picture of an event (playback_demo.h).
    bool playback = false;
    // Set: every camera plays on this channel, as if typed into its form.
    std::optional<uint32_t> channel;
};

// True when an address is 127.0.0.1, or an rtsp:// URL whose host is.
bool isLoopbackAddress(std::string_view address);

// True when every record of the list names 127.0.0.1.
bool everyCameraIsLoopback(const CameraList& cameras);

// Closes whatever still covers the form after `ms`, and again each `ms`:
// should a view stop at a question (a failed connection, say), the demo
// still ends.
void startWatchdog(ui::CTavolinDlg& form, int ms);

// Makes `app` the demo: an instance of its own, so that a viewer the user
// runs is left alone; notices written out, since no one answers a message
// box; the live view and the wall opened as the viewer opens them, with the
// demo driving each once it is up; and the form driven once it is shown.
// Messages go to standard error. `catalogues`, when given, tells the views
// each camera's streams.
void runAsDemo(ui::CTavolinApp::Options& app, ui::Shell& shell, const DemoOptions& options,
               ui::StreamCatalogues* catalogues = nullptr);

} // namespace tavolin::demo
