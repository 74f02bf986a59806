#include "live/patrol.h"

namespace tavolin::ui {

std::optional<int> patrolStep(const std::array<CameraRecord*, kCameraCount>& records, int current,
                              PatrolDirection direction) {
    const int start = ((current % kCameraCount) + kCameraCount) % kCameraCount;
    const int move = direction == PatrolDirection::Next ? 1 : kCameraCount - 1;
    for (int position = (start + move) % kCameraCount; position != start; position = (position + move) % kCameraCount) {
        const CameraRecord* record = records[static_cast<std::size_t>(position)];
        if (record != nullptr && record->inSwitchGroup != 0) return position;
    }
    return std::nullopt;
}

} // namespace tavolin::ui
