#include "live/direction_keys.h"

#include <Qt>

namespace tavolin::ui {
namespace {

constexpr int32_t kStopUp = 1;
constexpr int32_t kStopDown = 2;

}  // namespace

bool isDirectionKey(int key) {
  return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
}

std::optional<PatrolDirection> directionKeyDown(OstrelInterface* handle, int key, bool osdMode, bool ptzEnabled) {
  if (!osdMode) {
    if (key == Qt::Key_Up) return PatrolDirection::Previous;
    if (key == Qt::Key_Down) return PatrolDirection::Next;
    return std::nullopt;
  }
  if (!ptzEnabled || handle == nullptr) return std::nullopt;
  switch (key) {
    case Qt::Key_Up: M_KPTZ_OSD_UP(handle); break;
    case Qt::Key_Down: M_KPTZ_OSD_DOWN(handle); break;
    case Qt::Key_Left: M_KPTZ_OSD_LEAVE(handle); break;
    case Qt::Key_Right: M_KPTZ_OSD_ENTER(handle); break;
    default: break;
  }
  return std::nullopt;
}

void directionKeyUp(OstrelInterface* handle, int key, bool osdMode, bool ptzEnabled) {
  if (!osdMode || !ptzEnabled || handle == nullptr) return;
  if (key == Qt::Key_Up) M_KPTZ_STOP(handle, kStopUp);
  if (key == Qt::Key_Down) M_KPTZ_STOP(handle, kStopDown);
}

}  // namespace tavolin::ui
