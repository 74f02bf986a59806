// Dialog units, as dialog templates measure them: a horizontal unit is a
// quarter of the dialog font's average character width, a vertical unit an
// eighth of its height. Every position the forms take from their templates
// goes through here, so the layouts keep their proportions at any font size
// and display scaling.
#pragma once

#include <QFont>
#include <QRect>

namespace tavolin::ui {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int x(int units) const;
    int y(int units) const;
    QRect rect(int x, int y, int width, int height) const;

    // Base units in pixels: average character width and height of the font.
    int baseWidth() const { return baseWidth_; }
    int baseHeight() const { return baseHeight_; }

private:
    int baseWidth_;
    int baseHeight_;
};

// The dialog font of the forms: Arial 9 point, or the nearest sans font.
QFont dialogFont();

} // namespace tavolin::ui
