// Puts a camera's pictures on the rhythm of its frame rate. Repaired time
// stamps only grow, but a camera that sends a burst (an encoder starting up,
// protocol 1's pictures stamped only at each intra picture and spread by
// their arrival) puts two pictures closer than one frame apart, which a
// player at the stream's frame rate shows as one picture twice or refuses.
// Each picture goes a whole number of frame intervals after the previous
// one, the number nearest its own time: the times stay within half an
// interval of the camera's, except that a burst is spread out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace recorder {

class FrameCadence {
public:
    // The interval used until the stream's own is known, without a hint.
    static constexpr double kDefaultIntervalMs = 40.0;

    // `frameRate` is what the camera reports (0: nothing), used until enough
    // pictures came to measure the interval.
    int64_t place(int64_t timeMs, int frameRate);
    // The interval the next picture is placed at.
    double intervalMs(int frameRate) const;

private:
    static constexpr std::size_t kWindow = 32;
    static constexpr std::size_t kEnough = 8;

    std::array<int64_t, kWindow> steps_{};
    std::size_t stepCount_ = 0;
    std::size_t nextStep_ = 0;
    bool started_ = false;
    int64_t lastIn_ = 0;
    double lastOut_ = 0;
};

} // namespace recorder
