// The event thread: turns the motion and digital-input bytes of the latest
// video frame header into callbacks.
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

void Session::eventMain() {
    uint8_t header[kEventHeaderSize];
    bool first = true; // keep a header handed over before this thread ran
    while (running_.load()) {
        if (!first) {
            eventInfo_.reset();
            eventInfoPending_.store(false);
        }
        first = false;
        if (!running_.load()) break;
        eventInfo_.wait(-1);
        if (!running_.load()) break;
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
