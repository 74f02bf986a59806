#include "live/ptz_sectors.h"

#include <QtGlobal>

// The pictures live in a static library, whose resource object a program
// would drop unless something names it.
static void registerPtzArrowPictures() { Q_INIT_RESOURCE(ptz_arrows); }

namespace tavolin::ui {
namespace {

// Stop direction codes of M_KPTZ_STOP.
constexpr int32_t kStopAll = 0;
constexpr int32_t kStopUp = 1;
constexpr int32_t kStopDown = 2;
constexpr int32_t kStopLeft = 3;
constexpr int32_t kStopRight = 4;

}  // namespace

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

void startPtzSector(OstrelInterface* handle, PtzSector sector, int speed) {
  switch (sector) {
    case PtzSector::UpLeft: M_KPTZ_UP_LEFT(handle, speed); return;
    case PtzSector::Left: M_KPTZ_LEFT(handle, speed); return;
    case PtzSector::DownLeft: M_KPTZ_DOWN_LEFT(handle, speed); return;
    case PtzSector::Up: M_KPTZ_UP(handle, speed); return;
    case PtzSector::ZoomIn: M_KPTZ_ZOOM_IN(handle); return;
    case PtzSector::ZoomOut: M_KPTZ_ZOOM_OUT(handle); return;
    case PtzSector::Down: M_KPTZ_DOWN(handle, speed); return;
    case PtzSector::UpRight: M_KPTZ_UP_RIGHT(handle, speed); return;
    case PtzSector::Right: M_KPTZ_RIGHT(handle, speed); return;
    case PtzSector::DownRight: M_KPTZ_DOWN_RIGHT(handle, speed); return;
  }
}

void stopPtzSector(OstrelInterface* handle, PtzSector sector) {
  switch (sector) {
    case PtzSector::ZoomIn:
    case PtzSector::ZoomOut: M_KPTZ_ZOOM_STOP(handle); return;
    case PtzSector::Left: M_KPTZ_STOP(handle, kStopLeft); return;
    case PtzSector::Right: M_KPTZ_STOP(handle, kStopRight); return;
    case PtzSector::Up: M_KPTZ_STOP(handle, kStopUp); return;
    case PtzSector::Down: M_KPTZ_STOP(handle, kStopDown); return;
    case PtzSector::UpLeft:
    case PtzSector::DownLeft:
    case PtzSector::UpRight:
    case PtzSector::DownRight: M_KPTZ_STOP(handle, kStopAll); return;
  }
}

}  // namespace tavolin::ui
