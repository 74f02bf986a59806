#include "widgets/form_layout.h"

#include <QComboBox>
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

void placeComboBox(QComboBox* combo, const DialogUnits& du, int x, int y, int width, int listHeight) {
  combo->setGeometry(du.rect(x, y, width, kLineHeight));
  // The template's height covers the closed box and its open list; a list
  // item takes about nine vertical units.
  combo->setMaxVisibleItems(std::max(1, (listHeight - kLineHeight) / 9));
}

}  // namespace tavolin::ui
