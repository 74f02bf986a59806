// Keeps a live stream's pictures fresh: a stream whose pictures arrive later
// than their own time stamps say, by more than a bound, skips to its next
// key picture that is on time again, rather than show a growing backlog.
//
// Lateness is measured without the camera's help: the offset of a picture is
// its arrival (the viewer's clock) minus its stream time (the camera's), and
// its lateness the offset above the smallest offset of the last 10 to 20
// seconds. A backlog (pictures queued behind a slow decoder or a stalled
// network) raises the offset at once; a camera clock that runs fast lowers
// it and the minimum follows; one that runs slow raises it by less than the
// bound before old minima are forgotten.
#pragma once

#include <cstdint>
#include <limits>

namespace ostrel {

class CatchUp {
public:
    // Pictures later than this are not shown; their stream skips ahead.
    static constexpr int64_t kBoundMs = 200;
    // Minima are kept per window of arrival time; the two latest count.
    static constexpr int64_t kWindowMs = 10000;
    // A catch-up that found no key picture on time within this long takes
    // the next one anyway and measures from there (a camera whose time
    // stamps jumped would otherwise never be on time again).
    static constexpr int64_t kGiveUpMs = 3000;

    // Whether to decode a video picture with stream time `streamMs` (a
    // record's milliseconds, which wrap) that arrived at `arrivalMs`;
    // `keyPicture` when decoding may start at it.
    bool decode(int64_t arrivalMs, uint32_t streamMs, bool keyPicture);

    // The last picture's lateness, and the pictures skipped so far.
    int64_t latenessMs() const { return lateness_; }
    int64_t skipped() const { return skipped_; }

private:
    static constexpr int64_t kNone = std::numeric_limits<int64_t>::max();
    void note(int64_t arrivalMs, int64_t offset);
    void restartFrom(int64_t arrivalMs, int64_t offset);

    int64_t windowStart_ = 0;
    int64_t windowMin_ = kNone;
    int64_t previousMin_ = kNone;
    bool started_ = false;
    uint32_t lastStreamMs_ = 0;
    int64_t lastArrivalMs_ = 0;
    int64_t streamMs_ = 0; // unwrapped
    bool catchingUp_ = false;
    int64_t catchUpSince_ = 0;
    int64_t lateness_ = 0;
    int64_t skipped_ = 0;
};

} // namespace ostrel
