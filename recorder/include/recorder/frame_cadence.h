// Puts a camera's pictures on the rhythm of its frame rate. Repaired time
// stamps only grow, but a camera that sends a burst (an encoder starting up,
// protocol 1's pictures stamped only at each intra picture and spread by
// their arrival) puts two pictures closer than one frame apart, which a
// player at the stream's frame rate shows as one picture twice or refuses.
// Pictures are placed on a grid of whole frame intervals, each at the grid
// point nearest its own time after the previous one: the times stay within
// half an interval of the camera's, except that a burst is spread out. The
// interval is the camera's reported frame rate until enough pictures came
// to measure it; a measured rate more than a tenth away starts a new grid.
// The measurement needs 16 pictures, so that the burst a stream may start
// with does not decide it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace recorder {

class FrameCadence {
public:
    // The interval used until the stream's own is known, without a hint.
    static constexpr double kDefaultIntervalMs = 40.0;

    // `frameRate` is what the camera reports (0: nothing).
    int64_t place(int64_t timeMs, int frameRate);
    // The grid's interval now, and whether it was measured on the stream.
    double intervalMs() const { return gridMs_; }
    bool measured() const { return stepCount_ >= kEnough; }

private:
    static constexpr std::size_t kWindow = 32;
    static constexpr std::size_t kEnough = 16;

    double measuredMs(int frameRate) const;

    std::array<int64_t, kWindow> steps_{};
    std::size_t stepCount_ = 0;
    std::size_t nextStep_ = 0;
    bool started_ = false;
    int64_t lastIn_ = 0;
    double gridMs_ = kDefaultIntervalMs;
    double originMs_ = 0; // the grid's first point
    int64_t points_ = 0;  // grid points from the origin to the last picture
};

} // namespace recorder
