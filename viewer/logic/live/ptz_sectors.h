// Steering with the pointer: the video is cut into a 3 x 3 grid, and the
// middle cell into an upper half that zooms in and a lower half that zooms
// out. Each of the ten sectors has a start command, a stop command and an
// arrow picture shown beside the pointer while the command runs.
#pragma once

#include <QPoint>
#include <QSize>

namespace tavolin::ui {

enum class PtzSector {
    UpLeft = 1,
    Left,
    DownLeft,
    Up,
    ZoomIn,
    ZoomOut,
    Down,
    UpRight,
    Right,
    DownRight,
};
inline constexpr int kPtzSectorCount = 10;

// Side of every arrow picture, in pixels.
inline constexpr int kPtzArrowSize = 24;

// The sector of a point on a screen of the given size. Points outside the
// screen (a drag that left the view) fall into the nearest border sector.
PtzSector ptzSectorAt(QSize screen, QPoint point);

// Where the sector's arrow picture goes (its top-left corner) for a press at
// `point`.
QPoint ptzArrowTopLeft(PtzSector sector, QPoint point);

// The speed a move command is sent with: the camera's PTZ speed, or the
// middle speed 3 when none was chosen (0).
int ptzSpeedArgument(int recordSpeed);

} // namespace tavolin::ui
