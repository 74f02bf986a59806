#include "widgets/color_static.h"

#include <QApplication>
#include <QPalette>

namespace tavolin::ui {

CColorStatic::CColorStatic(QWidget* parent)
    : QLabel(parent), text_(Qt::black), background_(QApplication::palette().color(QPalette::Button)) {
    setAutoFillBackground(true);
    applyColors();
}

void CColorStatic::setTextColor(const QColor& color) {
    text_ = color;
    applyColors();
}

void CColorStatic::setBkColor(const QColor& color) {
    background_ = color;
    applyColors();
}

void CColorStatic::applyColors() {
    QPalette colors = palette();
    colors.setColor(QPalette::Window, background_);
    colors.setColor(QPalette::WindowText, text_);
    setPalette(colors);
    update();
}

} // namespace tavolin::ui
