#include "live/shown_picture.h"

#include <utility>

namespace tavolin::ui {

void ShownPicture::show(std::shared_ptr<VideoSurface> surface) {
    if (surface == current_) return;
    if (current_) {
        presentedBefore_ += current_->presentedCount();
        paintedBefore_ += current_->paintedCount();
        // A surface without a picture stands in for nothing.
        if (current_->pictureSize().isValid()) standIn_ = current_;
    }
    current_ = std::move(surface);
}

void ShownPicture::setStandIn(std::shared_ptr<VideoSurface> surface) { standIn_ = std::move(surface); }

void ShownPicture::clear() {
    standIn_.reset();
    if (current_) current_->clear();
}

void ShownPicture::reset() {
    show(nullptr);
    standIn_.reset();
}

QImage ShownPicture::latestPicture(QRect* dest) const {
    const std::shared_ptr<VideoSurface> surface = newest();
    return surface ? surface->latestPicture(dest) : QImage();
}

bool ShownPicture::hasOwnPicture() const { return current_ && current_->pictureSize().isValid(); }

bool ShownPicture::hasNewPicture() const {
    if (current_ && current_->hasNewPicture()) return true;
    return !hasOwnPicture() && standIn_ && standIn_->hasNewPicture();
}

std::shared_ptr<VideoSurface> ShownPicture::newest() const { return hasOwnPicture() ? current_ : standIn_; }

void ShownPicture::dropStandInOnceShown() {
    if (standIn_ && hasOwnPicture()) standIn_.reset();
}

bool ShownPicture::paint(QPainter& painter, const QRect& area, const QRectF& part) {
    if (current_ && current_->paint(painter, area, part)) {
        dropStandInOnceShown();
        return true;
    }
    return standIn_ && standIn_->paint(painter, area, part);
}

long ShownPicture::presentedCount() const { return presentedBefore_ + (current_ ? current_->presentedCount() : 0); }

long ShownPicture::paintedCount() const { return paintedBefore_ + (current_ ? current_->paintedCount() : 0); }

} // namespace tavolin::ui
