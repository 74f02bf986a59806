#include "live/ptz_sectors.h"

#include <QtGlobal>

// The pictures live in a static library, whose resource object a program
// would drop unless something names it.
static void registerPtzArrowPictures() { Q_INIT_RESOURCE(ptz_arrows); }

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

QString ptzArrowPicture(PtzSector sector) {
    static const bool registered = (registerPtzArrowPictures(), true);
    (void)registered;
    switch (sector) {
    case PtzSector::UpLeft: return QStringLiteral(":/ptz/up_left.png");
    case PtzSector::Left: return QStringLiteral(":/ptz/left.png");
    case PtzSector::DownLeft: return QStringLiteral(":/ptz/down_left.png");
    case PtzSector::Up: return QStringLiteral(":/ptz/up.png");
    case PtzSector::ZoomIn: return QStringLiteral(":/ptz/zoom_in.png");
    case PtzSector::ZoomOut: return QStringLiteral(":/ptz/zoom_out.png");
    case PtzSector::Down: return QStringLiteral(":/ptz/down.png");
    case PtzSector::UpRight: return QStringLiteral(":/ptz/up_right.png");
    case PtzSector::Right: return QStringLiteral(":/ptz/right.png");
    case PtzSector::DownRight: return QStringLiteral(":/ptz/down_right.png");
    }
    return {};
}

int ptzSpeedArgument(int recordSpeed) { return recordSpeed == 0 ? 3 : recordSpeed; }

} // namespace tavolin::ui
