// The event thread: turns the motion and digital-input bytes of the latest
// video frame header into callbacks.
#include <cstring>

#include "interface_object.h"

namespace ostrel {

namespace {

constexpr std::size_t kMotionIndex = 18 - 12;
constexpr std::size_t kDigitalInputIndex = 19 - 12;

} // namespace

void eventThreadMain(OstrelInterface* selfPtr) {
    OstrelInterface& self = *selfPtr;
    uint8_t header[kEventHeaderSize];
    bool first = true; // keep a header handed over before this thread ran
    while (self.running.load() != 0) {
        if (!first) {
            self.eventInfo.reset();
            self.eventInfoPending.store(0);
        }
        first = false;
        if (self.running.load() == 0) break;
        self.eventInfo.wait(-1);
        if (self.running.load() == 0) break;
        std::memcpy(header, self.eventHeader, sizeof header);

        if (self.diCallback != nullptr) {
            // Inputs are active low.
            const unsigned v = (header[kDigitalInputIndex] ^ 0x03u) & 0x0Fu;
            if (v != 0) self.diCallback(self.diUser, (v & 1u) != 0 ? 1 : 0, (v & 2u) != 0 ? 1 : 0);
        }
        const unsigned m = header[kMotionIndex];
        if (self.motionCallback != nullptr && m != 0) {
            if (self.fourRegions.load() != 0) {
                self.motionCallback(self.motionUser, m & 1u, (m >> 1) & 1u, (m >> 2) & 1u, (m >> 3) & 1u);
            } else {
                self.motionCallback(self.motionUser, (m >> 1) & 1u, (m >> 2) & 1u, (m >> 3) & 1u, 0);
            }
        }
    }
}

} // namespace ostrel
