// Stepping through the switch group: the cameras whose records are in the
// group, visited in position order with wrap-around. The camera shown is
// never chosen by its own step, whether or not it is in the group.
#pragma once

#include <array>
#include <optional>

#include "tavolin/camera_record.h"

namespace tavolin::ui {

enum class PatrolDirection { Next, Previous };

// The position a step from `current` lands on, or nothing when no other
// camera is in the group.
std::optional<int> patrolStep(const std::array<CameraRecord*, kCameraCount>& records, int current,
                              PatrolDirection direction);

} // namespace tavolin::ui
