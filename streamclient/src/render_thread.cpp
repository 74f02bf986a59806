// The render thread: draws the newest picture, the overlay text, and ends the
// stream when no picture came for three seconds.
#include <string>

#include "clock_wait.h"
#include "interface_object.h"
#include "video_renderer.h"

namespace ostrel {

namespace {

constexpr platform::SurfaceColor kOverlayText{0, 0, 255};
constexpr platform::SurfaceColor kOverlayBackground{128, 128, 128};
constexpr int kOverlayCharWidth = 14;
constexpr int kOverlayHeight = 14;

// Copies the overlay under the settings lock; false when it is off.
bool takeOverlay(OstrelInterface& self, std::u16string& text, platform::SurfaceRect& box) {
    std::lock_guard lock(self.settingsLock);
    if (self.overlayOn.load() == 0) return false;
    text.assign(self.overlayText, static_cast<std::size_t>(self.overlayLength));
    box = {self.overlayX, self.overlayY, kOverlayCharWidth * self.overlayLength, kOverlayHeight};
    return true;
}

} // namespace

void renderThreadMain(OstrelInterface* selfPtr) {
    OstrelInterface& self = *selfPtr;
    std::u16string overlay;
    overlay.reserve(kOverlayCapacity); // no allocation per frame
    platform::SurfaceRect box;

    // M_KConnect reset the hand-over before the receive thread started; a
    // picture handed over before this thread ran must not be wiped out.
    bool first = true;
    while (self.running.load() != 0) {
        if (!first) {
            self.frameReady.reset();
            self.picturePending.store(0);
        }
        first = false;
        if (!waitOnClock(self.frameReady, *self.seams.clock, kPictureTimeoutMs)) {
            // No picture for three seconds: end the stream as a network loss.
            self.frameReady.set();
            stopTransport(self);
            break;
        }
        if (self.running.load() == 0) break; // woken by the receive thread leaving

        self.picture->pixels = self.pictureBuffer.get();
        std::shared_ptr<platform::Surface> held = self.renderer->draw(*self.picture, true);
        if (held) {
            if (takeOverlay(self, overlay, box)) held->drawText(overlay, box, kOverlayText, kOverlayBackground);
            held->present();
            held.reset();
        }
        if (self.afterRenderCallback != nullptr) self.afterRenderCallback(self.afterRenderUser);
    }
}

} // namespace ostrel
