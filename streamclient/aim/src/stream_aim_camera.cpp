#include "aim/stream_aim_camera.h"

#include <chrono>
#include <thread>

namespace aim {

Capabilities StreamAimCamera::capabilities() {
    uint32_t spaces = 0;
    Capabilities c;
    // Cameras that tell no spaces are steered by the protocol file alone.
    if (M_KPTZ_GET_SPACES(handle_, &spaces) == 0) return c;
    c.fovPanTilt = (spaces & OSTREL_PTZ_SPACE_FOV_PANTILT) != 0;
    c.fovZoom = (spaces & OSTREL_PTZ_SPACE_FOV_ZOOM) != 0;
    c.relative = (spaces & OSTREL_PTZ_SPACE_RELATIVE) != 0;
    c.absolute = (spaces & OSTREL_PTZ_SPACE_ABSOLUTE) != 0;
    c.position = (spaces & OSTREL_PTZ_SPACE_POSITION) != 0;
    c.zoom = (spaces & OSTREL_PTZ_SPACE_ZOOM) != 0;
    return c;
}

bool StreamAimCamera::relativeMove(bool fov, double pan, double tilt, double zoom) {
    return M_KPTZ_RELATIVE_MOVE(handle_, fov ? 1 : 0, static_cast<float>(pan), static_cast<float>(tilt),
                                static_cast<float>(zoom)) != 0;
}

bool StreamAimCamera::absoluteMove(const Position& to) {
    return M_KPTZ_ABSOLUTE_MOVE(handle_, static_cast<float>(to.pan), static_cast<float>(to.tilt),
                                static_cast<float>(to.zoom)) != 0;
}

std::optional<Position> StreamAimCamera::position() {
    float pan = 0, tilt = 0, zoom = 0;
    int32_t moving = 0;
    if (M_KPTZ_GET_POSITION(handle_, &pan, &tilt, &zoom, &moving) == 0) return std::nullopt;
    return Position{pan, tilt, zoom, moving != 0};
}

bool StreamAimCamera::startMove(int pan, int tilt, int zoom, int speed) {
    zooming_ = zoom != 0;
    if (zoom > 0) return M_KPTZ_ZOOM_IN(handle_) != 0;
    if (zoom < 0) return M_KPTZ_ZOOM_OUT(handle_) != 0;
    if (pan > 0 && tilt > 0) return M_KPTZ_UP_RIGHT(handle_, speed) != 0;
    if (pan > 0 && tilt < 0) return M_KPTZ_DOWN_RIGHT(handle_, speed) != 0;
    if (pan < 0 && tilt > 0) return M_KPTZ_UP_LEFT(handle_, speed) != 0;
    if (pan < 0 && tilt < 0) return M_KPTZ_DOWN_LEFT(handle_, speed) != 0;
    if (pan > 0) return M_KPTZ_RIGHT(handle_, speed) != 0;
    if (pan < 0) return M_KPTZ_LEFT(handle_, speed) != 0;
    if (tilt > 0) return M_KPTZ_UP(handle_, speed) != 0;
    if (tilt < 0) return M_KPTZ_DOWN(handle_, speed) != 0;
    return false;
}

void StreamAimCamera::stopMove() {
    if (zooming_) {
        M_KPTZ_ZOOM_STOP(handle_);
    } else {
        M_KPTZ_STOP(handle_, 0);
    }
    zooming_ = false;
}

std::optional<GrayPicture> StreamAimCamera::nextPicture(SampleSize size, int timeoutMs) {
    GrayPicture picture{size.width, size.height, {}};
    picture.pixels.resize(static_cast<std::size_t>(size.width) * size.height);
    if (M_KGetPictureSample(handle_, picture.pixels.data(), size.width, size.height, timeoutMs) == 0)
        return std::nullopt;
    return picture;
}

SampleSize StreamAimCamera::pictureSize() {
    int32_t width = 0, height = 0;
    M_KGetStreamSize(handle_, &width, &height);
    return {width, height};
}

int64_t StreamAimCamera::nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void StreamAimCamera::waitMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace aim
