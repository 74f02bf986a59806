#include "widgets/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace tavolin::ui {

namespace {

// The dialog manager's average width: the 52 letters measured together,
// rounded, which is steadier than a single glyph's advance.
int averageCharWidth(const QFontMetrics& metrics) {
    static const QString kLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int total = metrics.horizontalAdvance(kLetters);
    return (total / 26 + 1) / 2;
}

// Rounds a * b / c to the nearest integer, as the dialog manager does.
int mulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    baseWidth_ = averageCharWidth(metrics);
    baseHeight_ = metrics.height();
    if (baseWidth_ <= 0) baseWidth_ = 1;
    if (baseHeight_ <= 0) baseHeight_ = 1;
}

int DialogUnits::x(int units) const { return mulDiv(units, baseWidth_, 4); }

int DialogUnits::y(int units) const { return mulDiv(units, baseHeight_, 8); }

QRect DialogUnits::rect(int x, int y, int width, int height) const {
    return QRect(this->x(x), this->y(y), this->x(width), this->y(height));
}

QFont dialogFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace tavolin::ui
