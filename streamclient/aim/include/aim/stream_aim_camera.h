// The AimCamera of a stream client handle: pointing requests, the protocol
// file's direction commands for timed moves, and grey copies of the pictures
// the stream already draws. Used from one thread at a time (the viewer's
// stream worker, or the headless tool), never from a stream callback.
#pragma once

#include <ostrel/stream_client.h>

#include <atomic>

#include "aim/aim_camera.h"

namespace aim {

class StreamAimCamera final : public AimCamera {
public:
    // `cancel`, when given, is polled by long work (set it to give up).
    explicit StreamAimCamera(OstrelInterface* handle, const std::atomic<bool>* cancel = nullptr)
        : handle_(handle), cancel_(cancel) {}

    Capabilities capabilities() override;
    bool relativeMove(bool fov, double pan, double tilt, double zoom) override;
    bool absoluteMove(const Position& to) override;
    std::optional<Position> position() override;
    bool startMove(int pan, int tilt, int zoom, int speed) override;
    void stopMove() override;
    std::optional<GrayPicture> nextPicture(SampleSize size, int timeoutMs) override;
    SampleSize pictureSize() override;
    int64_t nowMs() override;
    void waitMs(int ms) override;
    bool cancelled() override { return cancel_ != nullptr && cancel_->load(); }

private:
    OstrelInterface* handle_;
    const std::atomic<bool>* cancel_;
    bool zooming_ = false; // the last timed move zoomed
};

} // namespace aim
