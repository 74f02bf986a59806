// What pointing asks of a camera: its PTZ capabilities, relative, absolute
// and timed moves, its position, and the pictures it shows. Calls block the
// caller (a worker of the viewer's stream, or the headless tool) for as long
// as the camera takes to answer.
#pragma once

#include <cstdint>
#include <optional>

#include "aim/gray_picture.h"
#include "aim/move_planner.h"

namespace aim {

struct Position {
    double pan = 0.0; // generic position spaces: -1..1, zoom 0..1
    double tilt = 0.0;
    double zoom = 0.0;
    bool moving = false;
};

class AimCamera {
public:
    virtual ~AimCamera() = default;

    virtual Capabilities capabilities() = 0;
    // fov: pan/tilt in the field-of-view space and zoom as the view's ratio
    // (1 leaves it); else all three in the generic translation spaces. False
    // when the camera refused or did not answer.
    virtual bool relativeMove(bool fov, double pan, double tilt, double zoom) = 0;
    virtual bool absoluteMove(const Position& to) = 0;
    virtual std::optional<Position> position() = 0;
    // A continuous move at `speed` (1..5) on each axis that is not 0 (pan
    // right, tilt up, zoom in positive), replacing the one running; stop
    // ends every axis.
    virtual bool startMove(int pan, int tilt, int zoom, int speed) = 0;
    virtual void stopMove() = 0;
    // The next picture shown after the call, as a grey sample of `size`;
    // nothing when none came within timeoutMs.
    virtual std::optional<GrayPicture> nextPicture(SampleSize size, int timeoutMs) = 0;
    // The size of the camera's pictures; 0 x 0 before the first.
    virtual SampleSize pictureSize() = 0;
    virtual int64_t nowMs() = 0;
    virtual void waitMs(int ms) = 0;
    // True once the caller gave up (the view closed): long work ends early.
    virtual bool cancelled() { return false; }
};

} // namespace aim
