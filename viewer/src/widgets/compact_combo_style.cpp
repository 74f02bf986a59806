#include "widgets/compact_combo_style.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOptionComboBox>

namespace tavolin::ui {

CompactComboStyle::CompactComboStyle(int arrowWidth)
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name())), arrowWidth_(arrowWidth) {}

QRect CompactComboStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                                        const QWidget* widget) const {
    if (control != CC_ComboBox || option == nullptr) {
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }
    const QRect frame = option->rect;
    const int frameWidth = 2;
    switch (sub) {
    case SC_ComboBoxArrow:
        return visualRect(option->direction, frame,
                          QRect(frame.right() - arrowWidth_ - frameWidth + 1, frame.top() + frameWidth, arrowWidth_,
                                frame.height() - 2 * frameWidth));
    case SC_ComboBoxEditField:
        return visualRect(option->direction, frame,
                          QRect(frame.left() + frameWidth, frame.top() + frameWidth,
                                frame.width() - arrowWidth_ - 2 * frameWidth, frame.height() - 2 * frameWidth));
    default: return QProxyStyle::subControlRect(control, option, sub, widget);
    }
}

} // namespace tavolin::ui
