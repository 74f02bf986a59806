// A static text label with its own text and background colours. Defaults: the
// style's button-face colour behind black text.
#pragma once

#include <QColor>
#include <QLabel>

namespace tavolin::ui {

class CColorStatic : public QLabel {
    Q_OBJECT

public:
    explicit CColorStatic(QWidget* parent = nullptr);

    void setTextColor(const QColor& color);
    void setBkColor(const QColor& color);
    QColor textColor() const { return text_; }
    QColor bkColor() const { return background_; }

private:
    void applyColors();

    QColor text_;
    QColor background_;
};

} // namespace tavolin::ui
