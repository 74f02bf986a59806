// Drop-down lists of the handheld's forms are only a few characters wide; the
// desktop style's wide arrow button would hide their text. This style gives
// the arrow the width of the dialog font's average character plus a little
// and the text the rest.
#pragma once

#include <QProxyStyle>

namespace tavolin::ui {

class CompactComboStyle final : public QProxyStyle {
public:
    // `arrowWidth` in pixels.
    explicit CompactComboStyle(int arrowWidth);

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;

private:
    int arrowWidth_;
};

} // namespace tavolin::ui
