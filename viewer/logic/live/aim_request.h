// Pointing a PTZ camera from the live view: where to, on which picture the
// user chose it, with the camera's calibration when one was measured; and
// what came of it.
#pragma once

#include <QString>
#include <optional>

#include "aim/calibration.h"
#include "aim/gray_picture.h"
#include "aim/move_planner.h"

namespace tavolin::ui {

struct AimRequest {
    aim::Target target;
    std::optional<aim::GrayPicture> reference; // the picture the target was chosen on
    std::optional<aim::Calibration> calibration;
};

struct AimOutcome {
    bool moved = false;
    QString why; // when it did not move, or the point was not found after it
    // A calibration measured on the way, for the camera's record.
    std::optional<aim::Calibration> measured;
};

} // namespace tavolin::ui
