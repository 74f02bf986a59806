#include "qt_drawing_context.h"

#include <QFontMetrics>
#include <QString>
#include <algorithm>
#include <utility>

namespace today {

QColor toQColor(windowing::ColorRef color) {
    return QColor(windowing::redOf(color), windowing::greenOf(color), windowing::blueOf(color));
}

QFont QtDrawingContext::toQFont(const windowing::FontSpec& spec) {
    QFont font(QString::fromStdString(spec.face));
    // Where the face is not installed, fontconfig picks by this hint.
    font.setStyleHint(QFont::SansSerif);
    // A negative height is the character (em) height in pixels; a positive
    // one the whole cell, of which the em is roughly 80 per cent.
    const int pixels = spec.height < 0 ? -spec.height : (spec.height * 4 + 2) / 5;
    if (pixels > 0) font.setPixelSize(pixels);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(spec.weight == 0 ? 400 : spec.weight, 100, 900)));
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    return font;
}

QtDrawingContext::QtDrawingContext(QPainter& painter) : painter_(painter) {
    qfont_ = toQFont(windowing::systemFontSpec());
}

windowing::ColorRef QtDrawingContext::setTextColor(windowing::ColorRef color) {
    return std::exchange(textColor_, color);
}

windowing::BackgroundMode QtDrawingContext::setBackgroundMode(windowing::BackgroundMode mode) {
    return std::exchange(mode_, mode);
}

const windowing::Font* QtDrawingContext::selectFont(const windowing::Font* font) {
    qfont_ = toQFont(font != nullptr ? font->spec() : windowing::systemFontSpec());
    return std::exchange(font_, font);
}

windowing::Size QtDrawingContext::measureText(const std::u16string& text) {
    const QFontMetrics metrics(qfont_);
    return {metrics.horizontalAdvance(QString::fromStdU16String(text)), metrics.height()};
}

void QtDrawingContext::drawText(const std::u16string& text, const windowing::Rect& box, uint32_t) {
    const QRect rect(box.left, box.top, box.width(), box.height());
    if (mode_ == windowing::BackgroundMode::Opaque) painter_.fillRect(rect, toQColor(backgroundColor_));
    painter_.setFont(qfont_);
    painter_.setPen(toQColor(textColor_));
    painter_.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, QString::fromStdU16String(text));
}

void QtDrawingContext::drawIcon(windowing::Point at, const windowing::Icon& icon) {
    auto it = decoded_.find(icon.data());
    if (it == decoded_.end()) {
        QImage image;
        image.loadFromData(icon.data(), static_cast<int>(icon.length()), "PNG");
        it = decoded_.emplace(icon.data(), std::move(image)).first;
    }
    if (it->second.isNull()) return; // an undecodable icon is not drawn
    const QSize size(icon.size().width, icon.size().height);
    const QImage& image = it->second;
    painter_.drawImage(QPoint(at.x, at.y), image.size() == size
                                               ? image
                                               : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void QtDrawingContext::fillRect(const windowing::Rect& box, windowing::ColorRef color) {
    painter_.fillRect(QRect(box.left, box.top, box.width(), box.height()), toQColor(color));
}

} // namespace today
