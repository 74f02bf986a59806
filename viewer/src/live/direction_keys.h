// The four direction keys of the live view. With OSD mode on they drive the
// camera's on-screen menu (Left leaves it, Right enters); with it off, Up
// and Down step through the switch group and Left and Right do nothing.
#pragma once

#include <ostrel/stream_client.h>

#include <optional>

#include "live/patrol.h"

namespace tavolin::ui {

// True for the keys handled here (Qt::Key_Up, Down, Left, Right).
bool isDirectionKey(int key);

// Sends the on-screen-menu command of a key going down. The OSD menu is
// driven only with PTZ on and a stream handle; otherwise the key does nothing
// in OSD mode. Returns the step through the switch group that the caller
// makes when OSD mode is off.
std::optional<PatrolDirection> directionKeyDown(OstrelInterface* handle, int key, bool osdMode, bool ptzEnabled);

// Stops the camera's menu movement when Up or Down comes up in OSD mode.
void directionKeyUp(OstrelInterface* handle, int key, bool osdMode, bool ptzEnabled);

}  // namespace tavolin::ui
