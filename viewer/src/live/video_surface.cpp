#include "live/video_surface.h"

#include <QMetaObject>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <QTransform>
#include <libyuv/convert_argb.h>
#include <libyuv/scale.h>
#include <libyuv/scale_argb.h>
#include <cmath>
#include <cstring>
#include <utility>

namespace tavolin::ui {

namespace {

// Bitmap layouts the renderer hands over, as the matching image formats
// (rows of both are padded to four bytes).
QImage::Format formatOf(int bitCount) {
    switch (bitCount) {
    case 32: return QImage::Format_RGB32;  // blue, green, red, unused
    case 24: return QImage::Format_BGR888; // blue, green, red
    case 16: return QImage::Format_RGB16;  // 5-6-5
    default: return QImage::Format_Invalid;
    }
}

QColor colorOf(platform::SurfaceColor c) { return QColor(c.red, c.green, c.blue); }

// Blackens what `area` has beside `picture`: up to four strips, as a clip
// region would cost more than the strips on every picture of a wall.
void fillAround(QPainter& painter, const QRect& area, const QRect& picture) {
    const QRect inside = area.intersected(picture);
    if (inside.isEmpty()) {
        painter.fillRect(area, Qt::black);
        return;
    }
    const QRect strips[] = {
        QRect(QPoint(area.left(), area.top()), QPoint(area.right(), inside.top() - 1)),
        QRect(QPoint(area.left(), inside.bottom() + 1), QPoint(area.right(), area.bottom())),
        QRect(QPoint(area.left(), inside.top()), QPoint(inside.left() - 1, inside.bottom())),
        QRect(QPoint(inside.right() + 1, inside.top()), QPoint(area.right(), inside.bottom())),
    };
    for (const QRect& strip : strips) {
        if (strip.isValid()) painter.fillRect(strip, Qt::black);
    }
}

// Planes of pictures no camera sends (more than 8192 on a side) are not lent.
constexpr int kLargestPlaneSide = 8192;

int alignedRow(int bytes) { return (bytes + 31) / 32 * 32; }

} // namespace

void VideoSurface::Planes::shape(QSize picture) {
    size = picture;
    yStride = alignedRow(picture.width());
    uvStride = alignedRow((picture.width() + 1) / 2);
    const auto rows = static_cast<std::size_t>(picture.height());
    const std::size_t needed =
        static_cast<std::size_t>(yStride) * rows + 2 * static_cast<std::size_t>(uvStride) * ((rows + 1) / 2);
    if (bytes.size() < needed) bytes.resize(needed);
}

// libyuv's "ARGB" is B, G, R, A in memory: a little-endian 0xAARRGGBB word,
// as QImage's 32-bit formats hold it; alpha comes out 255.
bool VideoSurface::Planes::writeRows(uint8_t* pixels, int stride) const {
    return (fullRange ? libyuv::J420ToARGB : libyuv::I420ToARGB)(y(), yStride, u(), uvStride, v(), uvStride, pixels,
                                                                 stride, size.width(), size.height()) == 0;
}

bool VideoSurface::Planes::resizeInto(Planes& resized, QSize picture) const {
    resized.shape(picture);
    resized.fullRange = fullRange;
    const bool shrinking = picture.width() < size.width();
    return libyuv::I420Scale(y(), yStride, u(), uvStride, v(), uvStride, size.width(), size.height(), resized.y(),
                             resized.yStride, resized.u(), resized.uvStride, resized.v(), resized.uvStride,
                             picture.width(), picture.height(),
                             shrinking ? libyuv::kFilterBox : libyuv::kFilterBilinear) == 0;
}

VideoSurface::VideoSurface(QWidget* widget, Repaint repaint) : widget_(widget), repaint_(repaint) {
    if (widget != nullptr) setClientSize(widget->size());
}

void VideoSurface::detach() {
    std::lock_guard lock(swapLock_);
    widget_ = nullptr;
}

void VideoSurface::attach(QWidget* widget) {
    std::lock_guard lock(swapLock_);
    widget_ = widget;
}

void VideoSurface::stretchDraw(const platform::PictureView& picture, const platform::SurfaceRect& dest) {
    const QImage::Format format = formatOf(picture.bitCount);
    if (format == QImage::Format_Invalid || picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0) {
        return;
    }
    std::lock_guard lock(writerLock_);
    QImage& image = writing_.image;
    if (image.width() != picture.width || image.height() != picture.height || image.format() != format) {
        image = QImage(picture.width, picture.height, format);
        if (image.isNull()) return;
    }
    const auto rowBytes = static_cast<std::size_t>(image.bytesPerLine());
    const std::size_t copyBytes = std::min(rowBytes, picture.stride);
    if (rowBytes == picture.stride) {
        std::memcpy(image.bits(), picture.pixels, rowBytes * static_cast<std::size_t>(picture.height));
    } else {
        for (int y = 0; y < picture.height; ++y) {
            std::memcpy(image.scanLine(y), picture.pixels + picture.stride * static_cast<std::size_t>(y), copyBytes);
        }
    }
    writing_.dest = QRect(dest.left, dest.top, dest.width, dest.height);
    writing_.text.clear();
    writing_.planar = false;
    writing_.valid = true;
}

platform::PictureTarget VideoSurface::lendPicture(int width, int height, int bitCount) {
    const QImage::Format format = formatOf(bitCount);
    if (format == QImage::Format_Invalid || width <= 0 || height <= 0) return {};
    std::unique_lock lock(writerLock_);
    QImage& image = writing_.image;
    if (image.width() != width || image.height() != height || image.format() != format) {
        image = QImage(width, height, format);
        if (image.isNull()) return {};
    }
    const auto stride = static_cast<std::size_t>(image.bytesPerLine());
    if (stride != platform::bitmapStride(width, bitCount)) return {};
    writing_.planar = false;
    writing_.valid = false;
    lent_ = std::move(lock);
    return {image.bits(), stride};
}

platform::PlanarTarget VideoSurface::lendPlanes(int width, int height) {
    if (!takesPlanes_.load() || width <= 0 || height <= 0 || width > kLargestPlaneSide || height > kLargestPlaneSide)
        return {};
    std::unique_lock lock(writerLock_);
    Planes& planes = writing_.planes;
    planes.shape(QSize(width, height));
    writing_.planar = true;
    writing_.valid = false;
    lent_ = std::move(lock);
    return {planes.y(), planes.u(), planes.v(), static_cast<std::size_t>(planes.yStride),
            static_cast<std::size_t>(planes.uvStride)};
}

void VideoSurface::finishLentPlanes(const platform::SurfaceRect& dest, bool filled, bool fullRange) {
    if (!lent_.owns_lock()) return;
    writing_.planes.fullRange = fullRange;
    finishLent(dest, filled);
}

void VideoSurface::finishLent(const platform::SurfaceRect& dest, bool filled) {
    if (!lent_.owns_lock()) return;
    writing_.dest = QRect(dest.left, dest.top, dest.width, dest.height);
    writing_.text.clear();
    writing_.valid = filled;
    lent_.unlock();
}

void VideoSurface::drawText(const std::u16string& text, const platform::SurfaceRect& box,
                            platform::SurfaceColor textColor, platform::SurfaceColor background) {
    std::lock_guard lock(writerLock_);
    writing_.text = QString::fromStdU16String(text);
    writing_.textBox = QRect(box.left, box.top, box.width, box.height);
    writing_.textColor = colorOf(textColor);
    writing_.textBackground = colorOf(background);
}

void VideoSurface::present() {
    {
        std::lock_guard writer(writerLock_);
        if (!writing_.valid) return;
        std::lock_guard swap(swapLock_);
        std::swap(writing_, latest_);
        writing_.valid = false;
        fresh_ = true;
    }
    presented_.fetch_add(1);
    if (repaint_ == Repaint::OnEachPicture) requestRepaint();
}

void VideoSurface::requestRepaint() {
    // One repaint request in flight at a time: pictures that come faster than
    // the screen repaints are folded into the next paint.
    if (repaintPending_.exchange(true)) return;
    std::lock_guard lock(swapLock_);
    QWidget* widget = widget_.data();
    if (widget == nullptr) {
        repaintPending_ = false;
        return;
    }
    QMetaObject::invokeMethod(
        widget,
        [this, widget] {
            repaintPending_ = false;
            updateWidget(*widget);
        },
        Qt::QueuedConnection);
}

void VideoSurface::updateWidget(QWidget& widget) {
    // While the picture keeps its place, the bars beside it stay as painted.
    QRect target;
    const QRect changed = changedArea(&target);
    if (changed.isEmpty() || target != paintedTarget_) {
        widget.update();
    } else {
        widget.update(changed);
    }
}

bool VideoSurface::repaintIfNew() {
    QWidget* widget = nullptr;
    {
        std::lock_guard lock(swapLock_);
        if (!fresh_) return false;
        widget = widget_.data();
    }
    if (widget == nullptr) return false;
    updateWidget(*widget);
    return true;
}

QRect VideoSurface::targetOf(const Frame& frame, const QRect& area) const {
    return keepAspect_ ? fitKeepingAspect(frame.size(), area) : frame.dest;
}

QRect VideoSurface::changedArea(QRect* target) const {
    if (paintedArea_.isEmpty()) return {};
    std::lock_guard lock(swapLock_);
    const Frame& frame = fresh_ ? latest_ : showing_;
    if (!frame.valid) return {};
    *target = targetOf(frame, paintedArea_);
    return frame.text.isEmpty() ? *target : target->united(frame.textBox);
}

platform::SurfaceSize VideoSurface::clientSize() const { return {width_.load(), height_.load()}; }

void VideoSurface::setClientSize(QSize size) {
    width_ = size.width();
    height_ = size.height();
}

bool VideoSurface::hasNewPicture() const {
    std::lock_guard lock(swapLock_);
    return fresh_;
}

QSize VideoSurface::pictureSize() const {
    std::lock_guard lock(swapLock_);
    const Frame& frame = fresh_ ? latest_ : showing_;
    return frame.valid ? frame.size() : QSize();
}

bool VideoSurface::paint(QPainter& painter, const QRect& area, const QRectF& part) {
    {
        std::lock_guard lock(swapLock_);
        if (fresh_) {
            std::swap(latest_, showing_);
            fresh_ = false;
            ++painted_;
        }
    }
    if (!showing_.valid) return false;
    const QRect target = targetOf(showing_, area);
    paintedArea_ = area;
    paintedTarget_ = target;
    if (!target.contains(area)) fillAround(painter, area, target);
    if (showing_.planar && part == kWholePicture && drawPlanesInPlace(painter, target)) {
        // written
    } else if (part != kWholePicture) {
        const QImage& picture = showingImage();
        const QSizeF size = picture.size();
        const QRectF source(part.x() * size.width(), part.y() * size.height(), part.width() * size.width(),
                            part.height() * size.height());
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(target), picture, source);
        painter.restore();
    } else if (keepAspect_ && target.size() != showing_.size()) {
        drawScaled(painter, showingImage(), target);
    } else {
        painter.drawImage(target, showingImage());
    }
    if (!showing_.text.isEmpty()) {
        painter.fillRect(showing_.textBox, showing_.textBackground);
        painter.setPen(showing_.textColor);
        painter.drawText(showing_.textBox, Qt::AlignLeft | Qt::AlignTop, showing_.text);
    }
    return true;
}

// The paint engine scales with a generic bilinear fetch spread over a pool
// of threads: a 720x480 camera on a 1920x1080 screen spent about half of
// the live view's processor time there. libyuv's vector scaler gives the
// same filter (area averaging when shrinking) for a fraction, once per
// picture, however often the window repaints it.
void VideoSurface::drawScaled(QPainter& painter, const QImage& picture, const QRect& target) {
    if (picture.format() == QImage::Format_RGB32) {
        if (scaledFrom_ != painted_ || scaled_.size() != target.size()) {
            if (scaled_.size() != target.size()) scaled_ = QImage(target.size(), QImage::Format_RGB32);
            const bool shrinking = target.width() < picture.width();
            const bool scaled =
                !scaled_.isNull() &&
                libyuv::ARGBScale(picture.constBits(), static_cast<int>(picture.bytesPerLine()), picture.width(),
                                  picture.height(), scaled_.bits(), static_cast<int>(scaled_.bytesPerLine()),
                                  scaled_.width(), scaled_.height(),
                                  shrinking ? libyuv::kFilterBox : libyuv::kFilterBilinear) == 0;
            scaledFrom_ = scaled ? painted_ : -1;
        }
        if (scaledFrom_ == painted_) {
            painter.drawImage(target.topLeft(), scaled_);
            return;
        }
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture);
    painter.restore();
}

const QImage& VideoSurface::showingImage() {
    if (!showing_.planar) return showing_.image;
    const Planes& planes = showing_.planes;
    if (convertedFrom_ != painted_ || converted_.size() != planes.size) {
        if (converted_.size() != planes.size) converted_ = QImage(planes.size, QImage::Format_RGB32);
        const bool converted =
            !converted_.isNull() && planes.writeRows(converted_.bits(), static_cast<int>(converted_.bytesPerLine()));
        convertedFrom_ = converted ? painted_ : -1;
        if (!converted) converted_.fill(Qt::black);
    }
    return converted_;
}

// Only where nothing but the picture would change those pixels: the raster
// engine painting a plain 32-bit image, no transform but a move, no clip of
// the painter's own, and the target whole inside the part being repainted.
bool VideoSurface::drawPlanesInPlace(QPainter& painter, const QRect& target) {
    QPaintEngine* engine = painter.paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster || painter.hasClipping()) return false;
    if (painter.opacity() < 1.0 || painter.compositionMode() != QPainter::CompositionMode_SourceOver) return false;
    QPaintDevice* device = engine->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image) return false;
    const QImage& image = *static_cast<QImage*>(device);
    const QImage::Format format = image.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return false;
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxTranslate || transform.dx() != std::floor(transform.dx()) ||
        transform.dy() != std::floor(transform.dy()))
        return false;
    const QRect onDevice = target.translated(static_cast<int>(transform.dx()), static_cast<int>(transform.dy()));
    if (onDevice.isEmpty() || !image.rect().contains(onDevice)) return false;
    const QRegion repainted = engine->systemClip();
    if (!repainted.isEmpty() && !QRegion(onDevice).subtracted(repainted).isEmpty()) return false;

    const Planes* planes = &showing_.planes;
    if (onDevice.size() != planes->size) {
        if (!planes->resizeInto(resized_, onDevice.size())) return false;
        planes = &resized_;
    }
    // The device's own bytes: bits() would detach a shared image and leave
    // the engine painting the other copy.
    const auto stride = static_cast<std::size_t>(image.bytesPerLine());
    auto* pixels = const_cast<uint8_t*>(image.constBits()) + stride * static_cast<std::size_t>(onDevice.y()) +
                   4 * static_cast<std::size_t>(onDevice.x());
    return planes->writeRows(pixels, static_cast<int>(stride));
}

void VideoSurface::clear() {
    {
        std::lock_guard writer(writerLock_);
        writing_.valid = false;
    }
    std::lock_guard lock(swapLock_);
    latest_.valid = false;
    fresh_ = false;
    showing_.valid = false;
    paintedTarget_ = {};
}

QImage VideoSurface::latestPicture(QRect* dest) const {
    std::lock_guard lock(swapLock_);
    const Frame& frame = fresh_ ? latest_ : showing_;
    if (!frame.valid) return {};
    if (dest != nullptr) *dest = frame.dest;
    if (!frame.planar) return frame.image.copy();
    QImage image(frame.planes.size, QImage::Format_RGB32);
    if (image.isNull() || !frame.planes.writeRows(image.bits(), static_cast<int>(image.bytesPerLine()))) return {};
    return image;
}

} // namespace tavolin::ui
