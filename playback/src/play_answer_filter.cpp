#include "play_answer_filter.h"

#include <algorithm>

namespace playback {

namespace {

constexpr std::size_t kStaleKept = 8;

} // namespace

void PlayAnswerFilter::newPlay() {
    if (current_ >= 0) {
        stale_.push_back(static_cast<uint8_t>(current_));
        if (stale_.size() > kStaleKept) stale_.erase(stale_.begin());
    }
    current_ = -1;
}

bool PlayAnswerFilter::keep(uint8_t cseq, bool discontinuity) {
    if (!numbered_ || cseq == current_) return true;
    const bool stale = std::find(stale_.begin(), stale_.end(), cseq) != stale_.end();
    if (stale && current_ < 0 && discontinuity) {
        // The first packet of the new answer, under the old number.
        numbered_ = false;
        current_ = cseq;
        return true;
    }
    if (stale) return false;
    current_ = cseq;
    return true;
}

} // namespace playback
