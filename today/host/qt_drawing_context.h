// A drawing context that paints with a QPainter: the fonts an item asks for
// become Qt fonts (the named face where installed, else the nearest sans
// face), icons are decoded from their PNG bytes once and drawn at their size.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <map>

#include "windowing/drawing.h"

namespace today {

class QtDrawingContext final : public windowing::DrawingContext {
public:
    explicit QtDrawingContext(QPainter& painter);

    windowing::ColorRef setTextColor(windowing::ColorRef color) override;
    windowing::BackgroundMode setBackgroundMode(windowing::BackgroundMode mode) override;
    const windowing::Font* selectFont(const windowing::Font* font) override;
    windowing::Size measureText(const std::u16string& text) override;
    void drawText(const std::u16string& text, const windowing::Rect& box, uint32_t flags) override;
    void drawIcon(windowing::Point at, const windowing::Icon& icon) override;
    void fillRect(const windowing::Rect& box, windowing::ColorRef color) override;

    // The Qt font a logical font becomes.
    static QFont toQFont(const windowing::FontSpec& spec);

private:
    QPainter& painter_;
    windowing::ColorRef textColor_ = 0;
    windowing::ColorRef backgroundColor_ = windowing::makeColorRef(255, 255, 255);
    windowing::BackgroundMode mode_ = windowing::BackgroundMode::Opaque;
    const windowing::Font* font_ = nullptr;
    QFont qfont_;
    std::map<const uint8_t*, QImage> decoded_;
};

QColor toQColor(windowing::ColorRef color);

} // namespace today
