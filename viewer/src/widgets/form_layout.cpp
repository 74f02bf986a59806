#include "widgets/form_layout.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <algorithm>

#include "widgets/dialog_units.h"

namespace tavolin::ui {

void nameByLabel(QWidget* field, QLabel* label) {
    label->setBuddy(field);
    field->setAccessibleName(label->text());
}

void placeLabel(QLabel* label, const DialogUnits& du, int x, int y) {
    // A static text is one line of the dialog font, as wide as its text.
    label->setGeometry(du.x(x), du.y(y), label->sizeHint().width(), du.y(8));
}

void fitLabelBeforeBuddy(QLabel* label) {
    const QWidget* buddy = label->buddy();
    if (buddy == nullptr || buddy->x() <= label->x()) return;
    // A pixel of air between the text and the field's frame.
    const int room = buddy->x() - label->x() - 1;
    QFont font = label->parentWidget() != nullptr ? label->parentWidget()->font() : label->font();
    const QString text = label->text();
    constexpr int kNarrowestStretch = 75;
    for (int stretch = 100; stretch >= kNarrowestStretch; stretch -= 5) {
        font.setStretch(stretch);
        if (QFontMetrics(font).horizontalAdvance(text) <= room) break;
    }
    label->setFont(font);
    const int width = QFontMetrics(font).horizontalAdvance(text);
    label->resize(width, label->height());
    label->setToolTip(width > room ? text : QString());
}

void placeComboBox(QComboBox* combo, const DialogUnits& du, int x, int y, int width, int listHeight) {
    combo->setGeometry(du.rect(x, y, width, kLineHeight));
    // The template's height covers the closed box and its open list; a list
    // item takes about nine vertical units.
    combo->setMaxVisibleItems(std::max(1, (listHeight - kLineHeight) / 9));
}

} // namespace tavolin::ui
