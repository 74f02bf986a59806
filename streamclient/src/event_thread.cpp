// The event thread: turns the motion and digital-input bytes of the latest
// video frame header into callbacks. For a stream whose receive thread draws
// (codec streams) or that draws nothing (record-only), it also ends the
// stream when pictures stop coming, so such a stream runs no render thread.
#include <cstring>

#include "session.h"
#include "transport/frame_header.h"

namespace ostrel {

namespace {

using transport::kEventDigitalInputIndex;
using transport::kEventMotionIndex;

} // namespace

// Inputs are active low: a header with both inputs high and no motion makes
// no callback, so it is not worth waking the event thread for.
bool Session::carriesEvent(const uint8_t* header) {
    return ((header[kEventDigitalInputIndex] ^ 0x03u) & 0x0Fu) != 0 || header[kEventMotionIndex] != 0;
}

// A camera may send its first key picture only after several seconds, so
// the first picture is given longer than the three seconds between two.
int64_t Session::msUntilPicturesCountLost(int64_t nowMs) const {
    const int64_t last = lastPictureMs_.load();
    const int64_t deadline =
        last == kNoPictureYet ? watchStartMs_ + kFirstCodecPictureTimeoutMs : last + kPictureTimeoutMs;
    return deadline - nowMs;
}

bool Session::awaitEventHeader() {
    if (!eventThreadWatchesPictures()) {
        // A farewell signal the caller's reset swallowed still shows here.
        if (!running_.load()) return false;
        eventInfo_.wait(-1);
        return running_.load();
    }
    const platform::Clock& clock = *seams_.clock;
    for (;;) {
        if (!running_.load()) return false;
        const int64_t left = msUntilPicturesCountLost(clock.nowMs());
        if (left <= 0) {
            // No picture in time: end the stream as a network loss.
            frameReady_.set();
            transport_.stop();
            return false;
        }
        if (clock.waitFor(eventInfo_, static_cast<int>(left))) return running_.load();
    }
}

void Session::eventMain() {
    uint8_t header[kEventHeaderSize];
    bool first = true; // keep a header handed over before this thread ran
    while (running_.load()) {
        if (!first) {
            eventInfo_.reset();
            eventInfoPending_.store(false);
        }
        first = false;
        if (!awaitEventHeader()) break;
        std::memcpy(header, eventHeader_, sizeof header);

        const Callbacks callbacks = settings_.callbacks();
        const auto& inputs = callbacks.digitalInput;
        if (inputs.function != nullptr) {
            // Inputs are active low.
            const unsigned v = (header[kEventDigitalInputIndex] ^ 0x03u) & 0x0Fu;
            if (v != 0) inputs.function(inputs.user, (v & 1u) != 0 ? 1 : 0, (v & 2u) != 0 ? 1 : 0);
        }
        const unsigned m = header[kEventMotionIndex];
        const auto& motion = callbacks.motion;
        if (motion.function != nullptr && m != 0) {
            if (callbacks.fourRegions) {
                motion.function(motion.user, m & 1u, (m >> 1) & 1u, (m >> 2) & 1u, (m >> 3) & 1u);
            } else {
                motion.function(motion.user, (m >> 1) & 1u, (m >> 2) & 1u, (m >> 3) & 1u, 0);
            }
        }
    }
}

} // namespace ostrel
