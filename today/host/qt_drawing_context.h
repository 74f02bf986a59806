// A drawing context that paints with a QPainter: the fonts an item asks for
// become Qt fonts (the named face where installed, else the nearest sans
// face), icons are decoded from their PNG bytes once and drawn at their size.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <map>

#include "platform/drawing.h"

namespace today {

class QtDrawingContext final : public platform::DrawingContext {
public:
    explicit QtDrawingContext(QPainter& painter);

    platform::ColorRef setTextColor(platform::ColorRef color) override;
    platform::BackgroundMode setBackgroundMode(platform::BackgroundMode mode) override;
    const platform::Font* selectFont(const platform::Font* font) override;
    platform::Size measureText(const std::u16string& text) override;
    void drawText(const std::u16string& text, const platform::Rect& box, uint32_t flags) override;
    void drawIcon(platform::Point at, const platform::Icon& icon) override;
    void fillRect(const platform::Rect& box, platform::ColorRef color) override;

    // The Qt font a logical font becomes.
    static QFont toQFont(const platform::FontSpec& spec);

private:
    QPainter& painter_;
    platform::ColorRef textColor_ = 0;
    platform::ColorRef backgroundColor_ = platform::makeColorRef(255, 255, 255);
    platform::BackgroundMode mode_ = platform::BackgroundMode::Opaque;
    const platform::Font* font_ = nullptr;
    QFont qfont_;
    std::map<const uint8_t*, QImage> decoded_;
};

QColor toQColor(platform::ColorRef color);

} // namespace today
