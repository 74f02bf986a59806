// Places the controls of a dialog template: labels at their origin in dialog
// units, drop-down lists at the height of one line with a list of the given
// height in dialog units.
#pragma once

class QComboBox;
class QLabel;
class QWidget;

namespace tavolin::ui {

class DialogUnits;

// Height of an edit line or closed drop-down list, in dialog units.
inline constexpr int kLineHeight = 12;

// Makes `label` the buddy of `field` and its text the field's accessible
// name (some platforms name a drop-down list by its current item otherwise).
void nameByLabel(QWidget* field, QLabel* label);

void placeLabel(QLabel* label, const DialogUnits& du, int x, int y);
// Once the label's buddy is placed: a label longer than the room before its
// buddy is set in a narrower cut of the same font, so it reads whole instead
// of being covered by the field. Past the narrowest cut it is covered as in
// the template, and its tool tip holds the whole text.
void fitLabelBeforeBuddy(QLabel* label);
void placeComboBox(QComboBox* combo, const DialogUnits& du, int x, int y, int width, int listHeight);

} // namespace tavolin::ui
