// The render thread of an MPEG-4 stream: draws the newest picture and the
// overlay text, and ends the stream when no picture came for three seconds.
#include <string>

#include "session.h"
#include "video_renderer.h"

namespace ostrel {

namespace {

constexpr platform::SurfaceColor kOverlayText{0, 0, 255};
constexpr platform::SurfaceColor kOverlayBackground{128, 128, 128};

} // namespace

void Session::renderMain() {
    // The hand-over started cleared; a picture handed over before this
    // thread ran must not be wiped out.
    bool first = true;
    while (running_.load()) {
        if (!first) {
            frameReady_.reset();
            picturePending_.store(false);
        }
        first = false;
        if (!seams_.clock->waitFor(frameReady_, kPictureTimeoutMs)) {
            // No picture for three seconds: end the stream as a network loss.
            frameReady_.set();
            transport_.stop();
            break;
        }
        if (!running_.load()) break; // woken by the receive thread leaving
        picture_->pixels = pictureBuffer_.get();
        drawPicture();
    }
}

void Session::drawPicture() {
    report_.pictures.offer(*picture_);
    const std::shared_ptr<platform::Surface> held = renderer_->draw(*picture_, true);
    finishDrawing(held.get());
}

void Session::finishDrawing(platform::Surface* drawn) {
    if (drawn != nullptr) {
        if (settings_.takeOverlay(overlay_, overlayBox_)) {
            drawn->drawText(overlay_, overlayBox_, kOverlayText, kOverlayBackground);
        }
        drawn->present();
    }
    const auto told = settings_.callbacks().afterRender;
    if (told.function != nullptr) told.function(told.user);
}

} // namespace ostrel
