#include "qt_drawing_context.h"

#include <QFontMetrics>
#include <QString>
#include <algorithm>
#include <utility>

namespace today {

QColor toQColor(platform::ColorRef color) {
    return QColor(platform::redOf(color), platform::greenOf(color), platform::blueOf(color));
}

QFont QtDrawingContext::toQFont(const platform::FontSpec& spec) {
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
    qfont_ = toQFont(platform::systemFontSpec());
}

platform::ColorRef QtDrawingContext::setTextColor(platform::ColorRef color) { return std::exchange(textColor_, color); }

platform::BackgroundMode QtDrawingContext::setBackgroundMode(platform::BackgroundMode mode) {
    return std::exchange(mode_, mode);
}

const platform::Font* QtDrawingContext::selectFont(const platform::Font* font) {
    qfont_ = toQFont(font != nullptr ? font->spec() : platform::systemFontSpec());
    return std::exchange(font_, font);
}

platform::Size QtDrawingContext::measureText(const std::u16string& text) {
    const QFontMetrics metrics(qfont_);
    return {metrics.horizontalAdvance(QString::fromStdU16String(text)), metrics.height()};
}

void QtDrawingContext::drawText(const std::u16string& text, const platform::Rect& box, uint32_t) {
    const QRect rect(box.left, box.top, box.width(), box.height());
    if (mode_ == platform::BackgroundMode::Opaque) painter_.fillRect(rect, toQColor(backgroundColor_));
    painter_.setFont(qfont_);
    painter_.setPen(toQColor(textColor_));
    painter_.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, QString::fromStdU16String(text));
}

void QtDrawingContext::drawIcon(platform::Point at, const platform::Icon& icon) {
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

void QtDrawingContext::fillRect(const platform::Rect& box, platform::ColorRef color) {
    painter_.fillRect(QRect(box.left, box.top, box.width(), box.height()), toQColor(color));
}

} // namespace today
