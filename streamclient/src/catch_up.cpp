#include "catch_up.h"

#include <algorithm>

namespace ostrel {

void CatchUp::restartFrom(int64_t arrivalMs, int64_t offset) {
    started_ = true;
    windowStart_ = arrivalMs;
    windowMin_ = offset;
    previousMin_ = kNone;
}

void CatchUp::note(int64_t arrivalMs, int64_t offset) {
    if (!started_) {
        restartFrom(arrivalMs, offset);
        return;
    }
    if (arrivalMs - windowStart_ >= kWindowMs) {
        previousMin_ = windowMin_;
        windowMin_ = kNone;
        windowStart_ = arrivalMs;
    }
    windowMin_ = std::min(windowMin_, offset);
}

bool CatchUp::decode(int64_t arrivalMs, uint32_t streamMs, bool keyPicture) {
    if (!started_) {
        streamMs_ = streamMs;
    } else if (streamMs == lastStreamMs_) {
        // A picture without a time of its own is as late as the one before.
        streamMs_ += arrivalMs - lastArrivalMs_;
    } else {
        streamMs_ += static_cast<int32_t>(streamMs - lastStreamMs_);
    }
    lastStreamMs_ = streamMs;
    lastArrivalMs_ = arrivalMs;
    const int64_t offset = arrivalMs - streamMs_;
    note(arrivalMs, offset);
    lateness_ = offset - std::min(windowMin_, previousMin_);
    const bool late = lateness_ > kBoundMs;
    if (!catchingUp_) {
        if (!late) return true;
        catchingUp_ = true;
        catchUpSince_ = arrivalMs;
    }
    // Once one picture is skipped, only a key picture can follow.
    if (keyPicture && (!late || arrivalMs - catchUpSince_ >= kGiveUpMs)) {
        if (late) restartFrom(arrivalMs, offset);
        catchingUp_ = false;
        return true;
    }
    ++skipped_;
    return false;
}

} // namespace ostrel
