#include "playback/playback_picture.h"

#include <QPainter>

#include "platform/surface.h"

namespace tavolin::ui {

namespace {

void drawLabel(QPainter& painter, const QRect& area, const QString& text, Qt::Alignment where) {
    const QFontMetrics metrics(painter.font());
    QRect box = metrics.boundingRect(area.adjusted(8, 8, -8, -8), static_cast<int>(where), text).adjusted(-6, -3, 6, 3);
    painter.fillRect(box, QColor(0, 0, 0, 150));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, text);
}

} // namespace

PlaybackPicture::PlaybackPicture(QWidget* parent) : QWidget(parent), surface_(std::make_shared<VideoSurface>(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    surface_->setKeepAspect(true);
    handle_ = platform::SurfaceRegistry::add(surface_);
}

PlaybackPicture::~PlaybackPicture() {
    surface_->detach();
    platform::SurfaceRegistry::remove(handle_);
}

void PlaybackPicture::setOverlay(const QString& text) {
    if (text == overlay_) return;
    overlay_ = text;
    update();
}

void PlaybackPicture::setNotice(const QString& text) {
    if (text == notice_) return;
    notice_ = text;
    update();
}

void PlaybackPicture::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    surface_->setClientSize(size());
}

void PlaybackPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!surface_->paint(painter, rect())) {
        painter.fillRect(rect(), Qt::black);
        if (!notice_.isEmpty()) drawLabel(painter, rect(), notice_, Qt::AlignCenter);
    }
    if (!overlay_.isEmpty()) drawLabel(painter, rect(), overlay_, Qt::AlignLeft | Qt::AlignTop);
}

} // namespace tavolin::ui
