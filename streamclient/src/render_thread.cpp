// The render thread: draws the newest picture, the overlay text, and ends the
// stream when no picture came for three seconds.
#include <string>

#include "session.h"
#include "video_renderer.h"

namespace ostrel {

namespace {

constexpr platform::SurfaceColor kOverlayText{0, 0, 255};
constexpr platform::SurfaceColor kOverlayBackground{128, 128, 128};

} // namespace

void Session::renderMain() {
    std::u16string overlay;
    overlay.reserve(kOverlayCapacity); // no allocation per frame
    platform::SurfaceRect box;

    // The hand-over started cleared; a picture handed over before this
    // thread ran must not be wiped out.
    bool first = true;
    bool drawn = false;
    while (running_.load()) {
        if (!first) {
            frameReady_.reset();
            picturePending_.store(false);
        }
        first = false;
        // A codec stream shows nothing until its first key picture, which a
        // camera may send only every few seconds.
        const int timeoutMs = codecStream_ && !drawn ? kFirstCodecPictureTimeoutMs : kPictureTimeoutMs;
        if (!seams_.clock->waitFor(frameReady_, timeoutMs)) {
            // No picture for three seconds: end the stream as a network loss.
            frameReady_.set();
            transport_.stop();
            break;
        }
        if (!running_.load()) break; // woken by the receive thread leaving

        drawn = true;
        std::shared_ptr<platform::Surface> held;
        if (codecStream_) {
            // Copied out of the decoder's picture before it decodes again.
            std::lock_guard lock(decodedLock_);
            held = renderer_->draw(*picture_, true);
        } else {
            picture_->pixels = pictureBuffer_.get();
            held = renderer_->draw(*picture_, true);
        }
        if (held) {
            if (settings_.takeOverlay(overlay, box)) held->drawText(overlay, box, kOverlayText, kOverlayBackground);
            held->present();
            held.reset();
        }
        const auto drawn = settings_.callbacks().afterRender;
        if (drawn.function != nullptr) drawn.function(drawn.user);
    }
}

} // namespace ostrel
