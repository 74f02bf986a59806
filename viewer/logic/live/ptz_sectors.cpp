#include "live/ptz_sectors.h"

namespace tavolin::ui {

PtzSector ptzSectorAt(QSize screen, QPoint point) {
    const int w = screen.width() / 3;
    const int h = screen.height() / 3;
    const int x = point.x();
    const int y = point.y();
    const int row = y < h ? 0 : (y < 2 * h ? 1 : 2);
    if (x < w) {
        static constexpr PtzSector left[] = {PtzSector::UpLeft, PtzSector::Left, PtzSector::DownLeft};
        return left[row];
    }
    if (x >= 2 * w) {
        static constexpr PtzSector right[] = {PtzSector::UpRight, PtzSector::Right, PtzSector::DownRight};
        return right[row];
    }
    if (row == 0) return PtzSector::Up;
    if (row == 2) return PtzSector::Down;
    return y < screen.height() / 2 ? PtzSector::ZoomIn : PtzSector::ZoomOut;
}

QPoint ptzArrowTopLeft(PtzSector sector, QPoint point) {
    const int full = kPtzArrowSize;
    const int half = kPtzArrowSize / 2;
    switch (sector) {
    case PtzSector::UpLeft:
    case PtzSector::DownRight: return point - QPoint(full, full);
    case PtzSector::Left:
    case PtzSector::ZoomIn:
    case PtzSector::ZoomOut:
    case PtzSector::Right: return point - QPoint(full, half);
    case PtzSector::DownLeft:
    case PtzSector::UpRight: return point - QPoint(full, 0);
    case PtzSector::Up:
    case PtzSector::Down: return point - QPoint(half, 0);
    }
    return point;
}

int ptzSpeedArgument(int recordSpeed) { return recordSpeed == 0 ? 3 : recordSpeed; }

} // namespace tavolin::ui
